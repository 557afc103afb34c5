#pragma once

#include <QIcon>

// The viewer's icon: a sheet of text lines, drawn at the usual sizes.
QIcon TrelisIcon();
