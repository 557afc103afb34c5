#include <kestal/stations/WorkerCall.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace varno::kestal {

WorkerCall::WorkerCall(QObject* parent)
    : QObject(parent)
    , m_poll(new QTimer(this))
{
    connect(m_poll, &QTimer::timeout, this, &WorkerCall::poll);
}

WorkerCall::~WorkerCall()
{
    if (m_thread.joinable())
        m_thread.join();
}

void WorkerCall::start(std::function<void()> work, std::function<void()> finished)
{
    if (m_thread.joinable())
        return;
    m_finished = std::move(finished);
    m_done.store(false);
    m_thread = std::thread([this, work = std::move(work)] {
        work();
        m_done.store(true, std::memory_order_release);
    });
    m_poll->start(2);
}

void WorkerCall::poll()
{
    if (!m_done.load(std::memory_order_acquire))
        return;
    m_poll->stop();
    m_thread.join();
    if (m_finished)
        m_finished();
}

void RunOffThread(const std::function<void()>& work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return;
    }
    QEventLoop loop;
    WorkerCall call;
    // finished comes from a timer of this loop, so never before exec() runs.
    call.start(work, [&loop] { loop.quit(); });
    loop.exec();
}

} // namespace varno::kestal
