#include <kestal/dialogs/WaitDialogs.h>

#include <kestal/stations/WorkerCall.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace varno::kestal {

void ShowWaitWindow(const QString& text, int tickMs, const std::function<void()>& whileShown)
{
    CWaitThread wait(tickMs);
    wait.SetMessage(text);
    wait.dialog()->tick(); // the text shows at once
    whileShown();
}

void InstallWaitDialogs(CKestalDoc& doc)
{
    // Timings are read when a window opens: tests shorten them after the document exists.
    doc.SetConnectingProgress([&doc](const ConnectCall& call) {
        CConnectingDlg dialog(call, doc.Timing(), QApplication::activeWindow());
        dialog.exec();
    });
    doc.SetWaitMessage([&doc](const QString& text, const std::function<void()>& whileShown) {
        ShowWaitWindow(text, doc.Timing().waitDialogTickMs, whileShown);
    });
    doc.SetHangUpDialog([&doc] {
        const KestalTiming& t = doc.Timing();
        CDisconnectDlg dialog(t.hangUpCountdownSeconds, t.hangUpTickMs, QApplication::activeWindow());
        return dialog.exec() == QDialog::Rejected;
    });
}


// ------------------------------------------------------------------ wait window

CWaitDlg::CWaitDlg(CWaitThread& owner, int tickMs, QWidget* parent)
    : QDialog(parent)
    , m_owner(owner)
    , m_text(new QPlainTextEdit(this))
    , m_timer(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Please Wait"));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint);
    m_text->setReadOnly(true);
    m_text->setMinimumSize(260, 60);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    connect(m_timer, &QTimer::timeout, this, &CWaitDlg::tick);
    m_timer->start(tickMs);
}

QString CWaitDlg::text() const { return m_text->toPlainText(); }

void CWaitDlg::tick()
{
    QString message;
    if (m_owner.TakeMessage(message)) {
        m_text->setPlainText(message);
        m_ticks = 0;
        setVisible(!message.isEmpty());
        return;
    }
    const int v = m_ticks++;
    if (v % 5 == 0)
        m_text->setPlainText(m_text->toPlainText() + QLatin1Char('.'));
}

CWaitThread::CWaitThread(int tickMs, QWidget* parent)
    : m_dialog(std::make_unique<CWaitDlg>(*this, tickMs, parent))
{
    m_dialog->show();
}

CWaitThread::~CWaitThread()
{
    m_dialog->timer()->stop();
    m_dialog->hide();
}

void CWaitThread::SetMessage(const QString& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_message = text;
    m_changed = true;
}

bool CWaitThread::TakeMessage(QString& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    text = m_message;
    const bool changed = m_changed;
    m_changed = false;
    return changed;
}

// ------------------------------------------------------------------ connecting

CConnectingDlg::CConnectingDlg(const ConnectCall& call, const KestalTiming& timing, QWidget* parent)
    : QDialog(parent)
    , m_call(call)
    , m_text(new QLineEdit(QStringLiteral("Connecting.."), this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
    , m_dots(new QTimer(this))
    , m_worker(new WorkerCall(this))
{
    setWindowTitle(QStringLiteral("Please Wait"));
    m_text->setReadOnly(true);
    m_text->setMinimumWidth(240);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_cancel);
    layout->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, &CConnectingDlg::cancel);
    connect(m_dots, &QTimer::timeout, this, [this] { m_text->setText(m_text->text() + QLatin1Char('.')); });
    m_dots->start(timing.dotMs);
    QTimer::singleShot(timing.connectStartMs, this, &CConnectingDlg::startConnect);
}

CConnectingDlg::~CConnectingDlg()
{
    if (m_worker->running())
        m_call.link.AbortConnect();
    delete m_worker; // waits for the worker while the members it reads still exist
}

QString CConnectingDlg::text() const { return m_text->text(); }

void CConnectingDlg::startConnect()
{
    m_running = true;
    m_worker->start([this] { m_call.Run(); }, [this] { connectEnded(); });
}

void CConnectingDlg::connectEnded()
{
    m_running = false;
    for (QTimer* t : findChildren<QTimer*>())
        t->stop();
    m_dots->stop();
    done(m_call.link.IsConnected() ? QDialog::Accepted : QDialog::Rejected);
}

void CConnectingDlg::cancel()
{
    if (!m_cancel->isEnabled())
        return;
    m_cancel->setEnabled(false);
    m_call.link.AbortConnect();
    // A call that was only about to start would forget the request: repeat it until the
    // call has returned.
    auto* again = new QTimer(this);
    connect(again, &QTimer::timeout, this, [this] { m_call.link.AbortConnect(); });
    again->start(10);
}

void CConnectingDlg::reject()
{
    // The dialog ends when the call returns; before it started, cancelling ends it at once.
    if (m_running) {
        cancel();
        return;
    }
    if (!m_worker->running()) {
        m_call.link.AbortConnect();
        QDialog::reject();
    }
}

// ------------------------------------------------------------------ refreshing

CRefreshDlg::CRefreshDlg(ListingRead read, const KestalTiming& timing, QWidget* parent)
    : QDialog(parent)
    , m_read(std::move(read))
    , m_text(new QLineEdit(QStringLiteral("refreshing file view"), this))
    , m_cancelButton(new QPushButton(QStringLiteral("Cancel"), this))
    , m_dots(new QTimer(this))
    , m_worker(new WorkerCall(this))
    , m_dotMs(timing.dotMs)
{
    setWindowTitle(QStringLiteral("Please Wait"));
    m_text->setReadOnly(true);
    m_text->setMinimumWidth(240);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_cancelButton);
    layout->addLayout(row);
    connect(m_cancelButton, &QPushButton::clicked, this, &CRefreshDlg::cancel);
    m_dots->setSingleShot(true);
    connect(m_dots, &QTimer::timeout, this, [this] {
        m_text->setText(m_text->text() + QLatin1Char('.'));
        m_dots->start(m_dotMs);
    });
    m_dots->start(timing.connectStartMs);
    QTimer::singleShot(timing.connectStartMs, this, &CRefreshDlg::startReading);
}

CRefreshDlg::~CRefreshDlg()
{
    m_cancel = true;
    delete m_worker; // waits for the worker while the members it reads still exist
}

QString CRefreshDlg::text() const { return m_text->text(); }

void CRefreshDlg::startReading()
{
    if (m_cancel)
        return;
    m_worker->start([this] { m_read(m_cancel); }, [this] {
        m_dots->stop();
        done(m_cancel ? QDialog::Rejected : QDialog::Accepted);
    });
}

void CRefreshDlg::cancel()
{
    if (!m_cancelButton->isEnabled())
        return;
    m_cancelButton->setEnabled(false);
    m_cancel = true;
    // Not started yet: nothing to wait for. Otherwise the dialog ends with the worker.
    if (!m_worker->running()) {
        m_dots->stop();
        QDialog::reject();
    }
}

void CRefreshDlg::reject()
{
    cancel();
}

// ------------------------------------------------------------------ file transfer

CTransferProgressDlg::CTransferProgressDlg(CQuorvalin& link, const KestalTiming& timing, QWidget* parent)
    : QDialog(parent)
    , m_link(link)
    , m_pollMs(timing.downloadPollMs)
    , m_text(new QLineEdit(this))
    , m_bar(new QProgressBar(this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
    , m_timer(new QTimer(this))
{
    setWindowTitle(QStringLiteral("File Transfer"));
    m_text->setReadOnly(true);
    m_text->setMinimumWidth(320);
    m_text->setText(m_shown);
    DownloadRequest unset;
    unset.target = QDir::tempPath();
    m_steps = std::make_unique<DownloadSteps>(link, unset);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Receiving:"), this));
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_cancel);
    layout->addLayout(row);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &CTransferProgressDlg::poll);
    connect(m_cancel, &QPushButton::clicked, this, &CTransferProgressDlg::cancel);
}

void CTransferProgressDlg::SetDownload(const DownloadRequest& request)
{
    m_steps = std::make_unique<DownloadSteps>(m_link, request);
    m_shown = request.caption.isEmpty() ? request.target : request.caption;
    m_text->setText(m_shown);
}

QString CTransferProgressDlg::text() const { return m_text->text(); }

void CTransferProgressDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        m_timer->start(m_pollMs);
    }
}

void CTransferProgressDlg::poll()
{
    if (step())
        m_timer->start(m_pollMs);
    else if (state() != Step::CancelRequested)
        done(QDialog::Accepted);
}

bool CTransferProgressDlg::step()
{
    const bool going = m_steps->Next();
    const double f = m_steps->fraction();
    if (f != m_lastFraction) {
        m_lastFraction = f;
        m_bar->setValue(std::clamp(int(f * 100), 0, 100));
    }
    m_text->setText(m_shown);
    if (!going && state() == Step::CancelRequested)
        done(QDialog::Rejected);
    return going;
}

void CTransferProgressDlg::cancel()
{
    m_steps->Cancel();
    m_cancel->setEnabled(false);
}

// ------------------------------------------------------------------ disconnect countdown

CDisconnectDlg::CDisconnectDlg(int seconds, int tickMs, QWidget* parent)
    : QDialog(parent)
    , m_format(QStringLiteral("The Instrument will be disconnected automatically in   %i   seconds."))
    , m_seconds(seconds)
    , m_label(new QLabel(this))
    , m_continue(new QPushButton(QStringLiteral("Continue"), this))
    , m_disconnect(new QPushButton(QStringLiteral("Disconnect"), this))
    , m_timer(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Disconnect"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    auto* hint = new QLabel(QStringLiteral("Press CONTINUE if you want to keep the connection, or "
                                           "DISCONNECT to disconnect the instrument now."), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_continue);
    row->addWidget(m_disconnect);
    layout->addLayout(row);
    m_continue->setDefault(true);
    connect(m_continue, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_disconnect, &QPushButton::clicked, this, &QDialog::reject);
    m_label->setText(QString::asprintf(qPrintable(m_format), m_seconds));
    connect(m_timer, &QTimer::timeout, this, &CDisconnectDlg::tick);
    m_timer->start(tickMs);
}

QString CDisconnectDlg::text() const { return m_label->text(); }

void CDisconnectDlg::tick()
{
    --m_seconds;
    if (m_seconds < 1) {
        m_timer->stop();
        reject();
        return;
    }
    m_label->setText(QString::asprintf(qPrintable(m_format), m_seconds));
}

} // namespace varno::kestal
