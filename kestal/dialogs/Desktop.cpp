#include <kestal/dialogs/Desktop.h>

#include <QDesktopServices>
#include <QUrl>

namespace varno::kestal {

void OpenOnDesktop(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

} // namespace varno::kestal
