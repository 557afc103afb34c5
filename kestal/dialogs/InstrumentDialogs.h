#pragma once

#include <QDialog>
#include <QString>

#include <functional>

namespace varno::kestal {

class CKestalDoc;


class InstrumentCommands;

// Closes dialog (as "Cancel") as soon as the document is no longer connected: what it
// shows and edits belongs to a connection that has gone.
void CloseWhenDisconnected(QDialog& dialog, CKestalDoc& doc);

// Runs an editor dialog (made with its parent, filled with SetValues, read with Values) on
// values; true on "OK", values then hold the result. The dialog closes when the line goes.
template <typename Dialog, typename Values>
bool EditInDialog(Values& values, CKestalDoc& doc, QWidget* parent)
{
    Dialog dialog(parent);
    dialog.SetValues(values);
    CloseWhenDisconnected(dialog, doc);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.Values();
    return true;
}

// Runs work on a worker thread while the window thread waits. User input waits meanwhile;
// when work takes longer than delayMs a "Please Wait" window shows text with moving dots.
void RunBehindWaitWindow(const QString& text, int tickMs, int delayMs, const std::function<void()>& work);

// Gives the instrument commands their windows: the setup sheet, the title, comment and
// set-clock dialogs, the command interface and the wait window of long calls, each owned
// by the active window.
void InstallInstrumentDialogs(InstrumentCommands& commands, int waitDelayMs = 400);

} // namespace varno::kestal
