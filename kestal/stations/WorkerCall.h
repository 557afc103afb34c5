#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <thread>

class QTimer;

namespace varno::kestal {

// Runs a blocking call on a worker thread and tells the window thread when it has ended.
// The window thread looks at an atomic flag every few milliseconds (no event crosses the
// threads), joins the worker and then calls finished. Destroying the object waits for a
// running call.
class WorkerCall : public QObject {
public:
    explicit WorkerCall(QObject* parent = nullptr);
    ~WorkerCall() override;
    // work runs on the worker and must not touch widgets; finished runs on the window thread.
    void start(std::function<void()> work, std::function<void()> finished);
    bool running() const { return m_thread.joinable(); }

private:
    void poll();

    std::thread m_thread;
    std::atomic<bool> m_done{false};
    QTimer* m_poll;
    std::function<void()> m_finished;
};

// Runs work on a worker thread while the calling (window) thread keeps its event loop
// turning, so that timers fire and windows repaint; returns when work has ended and the
// worker is joined. work must not touch widgets. Without an application, or off the
// application's thread, work runs at once on the calling thread.
void RunOffThread(const std::function<void()>& work);

} // namespace varno::kestal
