#pragma once

#include <QIcon>

namespace varno::trelis {

// The viewer's icon: a sheet of text lines, drawn at the usual sizes.
QIcon TrelisIcon();

} // namespace varno::trelis
