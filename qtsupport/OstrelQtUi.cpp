#include <qtsupport/OstrelQtUi.h>

#include <QDir>
#include <QFileInfo>

#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

namespace varno::qtsupport {

void OstrelQtUi::ShowMessage(const std::string& text, const std::string& caption)
{
    const QString qCaption = textFromBytes(caption);
    userInteraction().message(textFromBytes(text), qCaption,
                              qCaption == "Error" ? UserInteraction::Icon::Critical
                                                  : UserInteraction::Icon::Information);
}

std::string OstrelQtUi::ChooseFileToOpen(const std::string& defaultExtension,
                                         const std::string& initialName,
                                         const std::string& filter)
{
    (void)defaultExtension; // the filter already selects that extension
    // An initial name that is only a pattern ("*.vrn") names no file: start in the
    // current folder.
    QString start = pathFromBytes(initialName);
    if (start.contains('*') || start.contains('?'))
        start = QFileInfo(start).path() == "." ? QDir::currentPath() : QFileInfo(start).path();
    const QString chosen = userInteraction().openFileName(
        QStringLiteral("Open"), start, filter.empty() ? QString(kDataFileFilter) : qtFileFilter(textFromBytes(filter)));
    return chosen.isEmpty() ? std::string() : pathBytes(chosen);
}

void OstrelQtUi::BeginWaitCursor() { userInteraction().beginWaitCursor(); }

void OstrelQtUi::EndWaitCursor() { userInteraction().endWaitCursor(); }

void installOstrelQtUi()
{
    static OstrelQtUi ui;
    ostrel_setui(&ui);
}

} // namespace varno::qtsupport
