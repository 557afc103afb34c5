#include <quorvalin/DownloadWorker.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace varno::quorvalin {

DownloadFile::DownloadFile(DownloadFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_mode(other.m_mode), m_path(std::move(other.m_path)),
      m_already(other.m_already), m_errno(other.m_errno) {}

DownloadFile::~DownloadFile()
{
    close();
}

bool DownloadFile::open(const std::string& path, int mode, uint64_t length, std::string& error)
{
    m_path = path;
    m_mode = mode;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == 1 ? O_TRUNC : O_APPEND);
    m_fd = ::open(path.c_str(), flags, 0644);
    if (m_fd < 0) {
        m_errno = errno;
        error = writeError();
        return false;
    }
    if (mode == 0) {
        struct stat st;
        if (::fstat(m_fd, &st) == 0)
            m_already = uint64_t(st.st_size);
        if (m_already > length) {
            close();
            error = "the file to continue is longer than the data log";
            return false;
        }
    }
    return true;
}

bool DownloadFile::write(const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t w = ::write(m_fd, data, size);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            m_errno = w < 0 ? errno : EIO;
            return false;
        }
        data += w;
        size -= size_t(w);
    }
    return true;
}

bool DownloadFile::close()
{
    if (m_fd < 0)
        return true;
    const bool closed = ::close(m_fd) == 0;
    if (!closed)
        m_errno = errno;
    m_fd = -1;
    return closed;
}

void DownloadFile::discard()
{
    if (m_mode == 1)
        ::unlink(m_path.c_str());
}

std::string DownloadFile::writeError() const
{
    return "cannot write " + m_path + ": " + std::strerror(m_errno);
}

DownloadWorker::DownloadWorker(std::recursive_mutex& linkState, Ended ended)
    : m_linkState(linkState), m_ended(std::move(ended)) {}

DownloadWorker::~DownloadWorker()
{
    stop();
}

DownloadWorker::Start DownloadWorker::start(const std::function<bool(DownloadJob&)>& prepare)
{
    std::lock_guard<std::mutex> control(m_control);
    if (m_running)
        return Start::Busy;
    join(); // collects the finished thread
    m_progress = 0.0;
    DownloadJob job;
    if (!prepare(job))
        return Start::Refused;
    const uint64_t total = job.source->length();
    m_looks = 0;
    m_cancel = false;
    m_progress = total == 0 ? 1.0 : double(job.file.already()) / double(total);
    m_running = true;
    m_thread = std::thread([this, job = std::move(job)]() mutable { run(job); });
    return Start::Started;
}

void DownloadWorker::stop()
{
    std::lock_guard<std::mutex> control(m_control);
    m_cancel = true;
    join();
}

double DownloadWorker::progress()
{
    ++m_looks; // counted before the look, so a poll-paced block is always seen
    return m_progress;
}

void DownloadWorker::join()
{
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

namespace {

DownloadWorker::Outcome outcomeOf(DownloadSource::Step step)
{
    switch (step) {
    case DownloadSource::Step::End:
        return DownloadWorker::Done;
    case DownloadSource::Step::Short:
        return DownloadWorker::Short;
    case DownloadSource::Step::Failed:
        return DownloadWorker::Failed;
    case DownloadSource::Step::Dropped:
        return DownloadWorker::Dropped;
    case DownloadSource::Step::Cancelled:
    case DownloadSource::Step::Block:
        break;
    }
    return DownloadWorker::Cancelled;
}

} // namespace

void DownloadWorker::run(DownloadJob& job)
{
    DownloadWatch watch(m_cancel, m_looks);
    const uint64_t total = job.source->length();
    const uint64_t already = job.file.already();
    uint64_t written = 0;
    Outcome outcome = Done;
    for (;;) {
        const uint8_t* data = nullptr;
        size_t size = 0;
        const DownloadSource::Step step = job.source->next(data, size, watch);
        if (step != DownloadSource::Step::Block) {
            outcome = outcomeOf(step);
            break;
        }
        if (!job.file.write(data, size)) {
            outcome = WriteError;
            break;
        }
        written += size;
        m_progress = total == 0 ? 1.0 : double(already + written) / double(total);
        watch.blockShown();
    }
    if (!job.file.close() && outcome == Done)
        outcome = WriteError;

    End end{outcome, written, {}};
    switch (outcome) {
    case Done:
        break;
    case Short: {
        char buf[120];
        std::snprintf(buf, sizeof buf, "the instrument sent %" PRIu64 " of %" PRIu64 " bytes", already + written,
                      total);
        end.error = buf;
        break;
    }
    case Failed:
        end.error = "download failed: transmission error";
        break;
    case Cancelled:
        end.error = "download cancelled";
        break;
    case Dropped:
        end.error = kLineDropped;
        break;
    case WriteError:
        end.error = job.file.writeError();
        break;
    }

    std::lock_guard<std::recursive_mutex> g(m_linkState);
    if (outcome == Done)
        m_progress = total == 0 ? 1.0 : double(already + written) / double(total);
    m_ended(end);
    if (outcome != Done) {
        job.file.discard();
        if (m_progress >= 1.0)
            m_progress = 0.999;
    }
    m_running = false;
}

} // namespace varno::quorvalin
