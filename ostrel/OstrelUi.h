#pragma once

#include <string>

#include <ostrel/OstrelExport.h>

// What loading a file may ask of the user: a message box, a file-open dialog and a wait
// cursor. Windowed programs install their own; the default writes messages to standard
// error and has no dialog, so loading an empty path fails.
class OSTREL_API COstrelUi {
public:
    virtual ~COstrelUi();
    virtual void ShowMessage(const std::string& text, const std::string& caption);
    // Returns the chosen path of an existing file, or "" when cancelled.
    virtual std::string ChooseFileToOpen(const std::string& defaultExtension,
                                         const std::string& initialName,
                                         const std::string& filter);
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}
};

// Installs ui for every later Load (not owned); nullptr restores the console default.
OSTREL_API void ostrel_setui(COstrelUi* ui);
OSTREL_API COstrelUi& ostrel_ui();
