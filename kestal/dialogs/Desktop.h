#pragma once

#include <QString>

namespace varno::kestal {

// Hands a folder to the desktop's file browser, a file to the program the desktop
// associates with it.
void OpenOnDesktop(const QString& path);

} // namespace varno::kestal
