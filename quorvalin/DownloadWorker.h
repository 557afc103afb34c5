#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <quorvalin/Transport.h>

namespace varno::quorvalin {

// The file a download writes into: a new one (mode 1: emptied, removed when the download
// fails) or one to continue (mode 0: what it holds counts as received and is kept).
class DownloadFile {
public:
    DownloadFile() = default;
    DownloadFile(DownloadFile&& other) noexcept;
    DownloadFile& operator=(DownloadFile&&) = delete;
    ~DownloadFile();

    // Opens path for a range of length bytes; false with the text for the user.
    bool open(const std::string& path, int mode, uint64_t length, std::string& error);
    uint64_t already() const { return m_already; }
    bool write(const uint8_t* data, size_t size);
    bool close();
    // After a failed download: a new file goes, a continued one keeps what arrived.
    void discard();
    // "cannot write <path>: <reason>" of the last failure.
    std::string writeError() const;

private:
    int m_fd = -1;
    int m_mode = 1;
    std::string m_path;
    uint64_t m_already = 0;
    int m_errno = 0;
};

struct DownloadJob {
    DownloadFile file;
    std::unique_ptr<DownloadSource> source;
};

// Runs one download at a time on its own thread: what the source sends goes into the file,
// and the caller polls the progress. Starting, stopping and joining go through a control
// mutex; the end of a download is reported with the link's state lock held.
class DownloadWorker {
public:
    enum Outcome { Done, Short, Failed, Cancelled, Dropped, WriteError };
    struct End {
        Outcome outcome = Done;
        uint64_t written = 0; // bytes this download wrote
        std::string error;    // the text for the user; empty when done
    };
    using Ended = std::function<void(const End&)>;

    // ended runs on the worker's thread, with linkState held, as each download ends.
    DownloadWorker(std::recursive_mutex& linkState, Ended ended);
    ~DownloadWorker();
    DownloadWorker(const DownloadWorker&) = delete;
    DownloadWorker& operator=(const DownloadWorker&) = delete;

    enum class Start { Started, Busy, Refused };
    // Busy while a download runs; otherwise prepare fills the job (false: refused) and the
    // job starts. The caller must not hold the link's state lock, which an ending download takes.
    Start start(const std::function<bool(DownloadJob&)>& prepare);
    void cancel() { m_cancel = true; }
    // Cancels a running download and waits for its end (the caller must not hold the link's
    // state lock either).
    void stop();
    bool running() const { return m_running; }
    // The share of the range that is in the file (1.0 or more once done); a look at the
    // progress, which a poll-paced source waits for.
    double progress();

private:
    void run(DownloadJob& job);
    void join(); // caller holds m_control

    std::recursive_mutex& m_linkState;
    const Ended m_ended;
    std::mutex m_control; // taken before the link's state lock, never after
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancel{false};
    std::atomic<double> m_progress{0.0};
    std::atomic<uint64_t> m_looks{0};
};

} // namespace varno::quorvalin
