#pragma once

#include <ostrel/Ostrel.h>
#include <ostrel/OstrelUi.h>

#include <qtsupport/QtSupportExport.h>

namespace varno::qtsupport {

// Hands the conversion library's message boxes, file-open dialog and wait cursor to the
// current user interaction (userInteraction()).
class QTSUPPORT_API OstrelQtUi : public COstrelUi {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override;
    std::string ChooseFileToOpen(const std::string& defaultExtension,
                                 const std::string& initialName,
                                 const std::string& filter) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
};

// Installs one process-wide OstrelQtUi into the conversion library.
QTSUPPORT_API void installOstrelQtUi();

} // namespace varno::qtsupport
