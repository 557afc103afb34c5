#include <kestal/dialogs/InstrumentDialogs.h>

#include <kestal/dialogs/CommandDlg.h>
#include <kestal/instrument/InstrumentCommands.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/dialogs/SetClockDlg.h>
#include <kestal/dialogs/SetupSheet.h>
#include <kestal/dialogs/TextEntryDlg.h>
#include <kestal/dialogs/WaitDialogs.h>
#include <kestal/stations/WorkerCall.h>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace varno::kestal {

void CloseWhenDisconnected(QDialog& dialog, CKestalDoc& doc)
{
    QObject::connect(&doc, &CKestalDoc::changed, &dialog, [&dialog, &doc] {
        if (!doc.IsConnected())
            dialog.reject();
    });
}

void RunBehindWaitWindow(const QString& text, int tickMs, int delayMs, const std::function<void()>& work)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        RunOffThread(work); // no windows to show
        return;
    }
    std::unique_ptr<CWaitThread> wait;
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, [&] {
        wait = std::make_unique<CWaitThread>(tickMs);
        wait->SetMessage(text);
        wait->dialog()->tick();
    });
    later.start(delayMs);
    QEventLoop loop;
    WorkerCall call;
    call.start(work, [&loop] { loop.quit(); });
    // Timers and painting go on (the dots move, ticks find the link busy); clicks and keys
    // wait until the call has ended.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void InstallInstrumentDialogs(InstrumentCommands& commands, int waitDelayMs)
{
    CKestalDoc& doc = commands.Doc();
    commands.Session().SetLongCall([&doc, waitDelayMs](const QString& text, const std::function<void()>& work) {
        RunBehindWaitWindow(text, doc.Timing().waitDialogTickMs, waitDelayMs, work);
    });
    commands.SetSetupSheet([&commands](bool withTimerPage) {
        CSetupSheet sheet(commands.Session(), withTimerPage, QApplication::activeWindow());
        sheet.exec();
    });
    commands.SetTitleDialog([&doc](QString& title) {
        return EditInDialog<CMeasurementTitleDlg>(title, doc, QApplication::activeWindow());
    });
    commands.SetCommentDialog([&doc](QString& text) {
        return EditInDialog<CCommentDlg>(text, doc, QApplication::activeWindow());
    });
    commands.SetClockDialog([&doc](int& hours) {
        return EditInDialog<CSetClockDlg>(hours, doc, QApplication::activeWindow());
    });
    commands.SetCommandDialog([&doc](CommandLine& line) {
        CCommandDlg dialog(line, QApplication::activeWindow());
        CloseWhenDisconnected(dialog, doc);
        dialog.exec();
    });
}

} // namespace varno::kestal
