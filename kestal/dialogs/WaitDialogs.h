#pragma once

#include <QDialog>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <kestal/files/Download.h>
#include <kestal/files/InstrumentListing.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/stations/Timing.h>

class CQuorvalin;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace varno::kestal {

class WorkerCall;

class CWaitThread;

// The modeless "Please Wait" window of a wait thread: a multi-line text with dots that keep
// moving. Its tick copies a new message from the thread when there is one.
class CWaitDlg : public QDialog {
    Q_OBJECT
public:
    CWaitDlg(CWaitThread& owner, int tickMs, QWidget* parent = nullptr);

    // One timer tick (every 100 ms): take a new message, or append a dot every fifth tick
    // after it.
    void tick();
    QString text() const;
    QTimer* timer() const { return m_timer; }

protected:
    void reject() override {} // no buttons: only the owner ends it

private:
    CWaitThread& m_owner;
    QPlainTextEdit* m_text;
    QTimer* m_timer;
    int m_ticks = 0; // since the last message
};

// Shows a "Please Wait" window while a blocking operation runs. Messages may be handed over
// from any thread; the window itself lives on the window thread (Qt windows cannot live
// elsewhere) and keeps moving because the blocking call runs on a worker (see
// ShowWaitWindow).
class CWaitThread {
public:
    // Start: creates and shows the window (empty until the first message).
    explicit CWaitThread(int tickMs = 100, QWidget* parent = nullptr);
    // Stop: hides and destroys the window.
    ~CWaitThread();
    CWaitThread(const CWaitThread&) = delete;
    CWaitThread& operator=(const CWaitThread&) = delete;

    // Hands over the text to show (any thread); only the latest one is shown.
    void SetMessage(const QString& text);
    // For the window's tick: copies the message and takes the "changed" flag.
    bool TakeMessage(QString& text);
    CWaitDlg* dialog() const { return m_dialog.get(); }

private:
    std::mutex m_mutex;
    QString m_message;
    bool m_changed = false;
    std::unique_ptr<CWaitDlg> m_dialog;
};

// Shows text in a wait window while whileShown runs on the window thread; a blocking call
// inside it goes to a worker (RunOffThread), so that the dots keep moving.
void ShowWaitWindow(const QString& text, int tickMs, const std::function<void()>& whileShown);

// Gives the document its windows: the connecting progress, the wait window of its wait
// messages and the idle countdown, each owned by the active window.
void InstallWaitDialogs(CKestalDoc& doc);

// "Please Wait" while connecting: "Connecting.." with a dot more every second. The call
// itself runs on a worker thread; "Cancel" asks the link to abort it. Ends with Accepted
// when the link is connected afterwards, else Rejected.
class CConnectingDlg : public QDialog {
    Q_OBJECT
public:
    CConnectingDlg(const ConnectCall& call, const KestalTiming& timing, QWidget* parent = nullptr);
    ~CConnectingDlg() override;

    QString text() const;
    QPushButton* cancelButton() const { return m_cancel; }
    void cancel();
    // Whether the call has been started and not yet returned.
    bool running() const { return m_running; }

protected:
    void reject() override; // closing the window cancels the call

private:
    void startConnect();
    void connectEnded();

    const ConnectCall m_call;
    QLineEdit* m_text;
    QPushButton* m_cancel;
    QTimer* m_dots;
    WorkerCall* m_worker;
    bool m_running = false;
};

// "Please Wait" while the instrument's file list is read: "refreshing file view" with
// moving dots. The reading runs on a worker thread; "Cancel" asks it to stop after the entry
// it is reading. Ends with Accepted when the list was read through, else Rejected.
class CRefreshDlg : public QDialog {
    Q_OBJECT
public:
    CRefreshDlg(ListingRead read, const KestalTiming& timing, QWidget* parent = nullptr);
    ~CRefreshDlg() override;
    QString text() const;
    QPushButton* cancelButton() const { return m_cancelButton; }
    void cancel();

protected:
    void reject() override; // closing the window cancels

private:
    void startReading();

    ListingRead m_read;
    std::atomic<bool> m_cancel{false};
    QLineEdit* m_text;
    QPushButton* m_cancelButton;
    QTimer* m_dots;
    WorkerCall* m_worker;
    int m_dotMs;
};

// "File Transfer": one download of a data-log range, polled every few milliseconds with a
// progress bar and "Cancel". The caller reads GetFile() afterwards: empty means the transfer
// did not complete.
class CTransferProgressDlg : public QDialog {
    Q_OBJECT
public:
    using Step = DownloadSteps::Step;

    CTransferProgressDlg(CQuorvalin& link, const KestalTiming& timing, QWidget* parent = nullptr);

    void SetDownload(const DownloadRequest& request);
    QString GetFile() const { return m_steps->file(); }

    // One poll; true while the download goes on. Public for tests.
    bool step();
    void cancel();
    QString text() const;
    QPushButton* cancelButton() const { return m_cancel; }
    QProgressBar* progressBar() const { return m_bar; }
    Step state() const { return m_steps->state(); }

protected:
    void reject() override { cancel(); }
    void showEvent(QShowEvent* event) override;

private:
    void poll();

    CQuorvalin& m_link;
    int m_pollMs;
    std::unique_ptr<DownloadSteps> m_steps;
    QString m_shown = QStringLiteral("starting transfer...");
    double m_lastFraction = 0; // the bar changes only when the fraction does
    bool m_started = false;
    QLineEdit* m_text;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    QTimer* m_timer;
};

// "Disconnect": counts down from 30 seconds before an idle modem line is dropped.
// "Continue" ends with Accepted; "Disconnect", and the end of the countdown, with Rejected.
class CDisconnectDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDisconnectDlg(int seconds = 30, int tickMs = 1000, QWidget* parent = nullptr);

    void tick();
    int secondsLeft() const { return m_seconds; }
    QString text() const;
    QPushButton* continueButton() const { return m_continue; }
    QPushButton* disconnectButton() const { return m_disconnect; }

private:
    QString m_format;
    int m_seconds;
    QLabel* m_label;
    QPushButton* m_continue;
    QPushButton* m_disconnect;
    QTimer* m_timer;
};

} // namespace varno::kestal
