// The link object's lock, its connection and its downloads.
#include <quorvalin/Link.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#include <quorvalin/BenchTransport.h>
#include <quorvalin/sim/Bench.h> // the process's span clock, which the test clock hook drives

namespace varno::quorvalin {

namespace {

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

bool modemInitAcceptable(const std::string& init)
{
    for (unsigned char c : init)
        if (!(std::isalnum(c) || std::strchr(" &%=+,.;-?!*#/\\^$@:", c)))
            return false;
    return init.size() <= 60;
}

const char* const kAccessDenied = "access denied: the user level is too low";
const char* const kRefused = "setting refused by the instrument";

} // namespace

CLink::CLink(std::unique_ptr<Transport> transport)
    : m_transport(std::move(transport)),
      m_download(m_mutex, [this](const DownloadWorker::End& end) { downloadEnded(end); })
{
    m_idleStart = sim::spanClockMs();
}

CLink::~CLink()
{
    m_download.stop();
}

// ------------------------------------------------------------ 1. lock
bool CLink::Lock(int32_t ms)
{
    std::unique_lock<std::mutex> guard(m_lockMutex);
    const auto self = std::this_thread::get_id();
    if (m_lockCount > 0 && m_lockOwner == self) {
        ++m_lockCount;
        return true;
    }
    if (ms < 0)
        m_lockFree.wait(guard, [&] { return m_lockCount == 0; });
    else if (!m_lockFree.wait_for(guard, std::chrono::milliseconds(ms), [&] { return m_lockCount == 0; }))
        return false;
    m_lockOwner = self;
    m_lockCount = 1;
    return true;
}

void CLink::Unlock()
{
    std::lock_guard<std::mutex> guard(m_lockMutex);
    if (m_lockCount == 0 || m_lockOwner != std::this_thread::get_id())
        return; // not held by this thread: nothing to release
    if (--m_lockCount == 0) {
        m_lockOwner = std::thread::id();
        m_lockFree.notify_one();
    }
}

bool CLink::TryLock()
{
    std::lock_guard<std::mutex> guard(m_lockMutex);
    if (m_lockCount != 0)
        return false; // held, even by the calling thread
    m_lockOwner = std::this_thread::get_id();
    m_lockCount = 1;
    return true;
}

// ------------------------------------------------------------ 2. connection
bool CLink::Connect(const std::string& connection, const std::string& modemInit, const std::string& dialMethod,
                    int attempts)
{
    m_download.stop();
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        dropConnection();
        m_abort = false;
        m_error.clear();
    }
    const std::string text = trim(connection);
    const size_t blank = text.find(' ');
    const std::string port = text.substr(0, blank);
    const std::string number = blank == std::string::npos ? std::string() : trim(text.substr(blank + 1));
    if (text.empty())
        return fail("no connection given");
    if (!m_transport->hasPort(port))
        return fail("Port " + port + " is not available");
    if (!number.empty() && !modemInitAcceptable(modemInit))
        return fail("Modem rejected the initialisation AT" + modemInit);
    if (!dialMethod.empty() && dialMethod != "0" && dialMethod != "default" && dialMethod != "tone"
        && dialMethod != "pulse")
        return fail("Unknown dialling method " + dialMethod);

    std::string error;
    const std::unique_ptr<Call> call = m_transport->call(port, number, error);
    if (!call)
        return fail(error);
    for (int attempt = 0; attempt < std::max(1, attempts); ++attempt) {
        // The call rings without the lock, so that the other operations go on meanwhile.
        const Dial rang = call->ring(m_abort, error);
        if (rang == Dial::Aborted)
            return fail("Connection aborted");
        if (rang != Dial::Answered)
            return fail(error);

        std::lock_guard<std::recursive_mutex> g(m_mutex);
        const Dial answered = call->answer(error);
        if (answered == Dial::Busy) {
            m_error = error;
            continue; // dial again
        }
        if (answered != Dial::Answered)
            return fail(error);
        m_connected = true;
        m_connection = text;
        m_level = m_transport->levelFor(m_password);
        m_error.clear();
        return true;
    }
    return false;
}

bool CLink::Disconnect()
{
    m_download.stop();
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    dropConnection();
    return true;
}

bool CLink::IsConnected()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    if (m_connected && m_transport->changed())
        sync();
    return m_connected;
}

std::string CLink::GetConnectionText()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    return m_connected ? m_connection : std::string();
}

void CLink::AbortConnect()
{
    m_abort = true;
}

bool CLink::Update()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    return sync();
}

bool CLink::fail(const std::string& error)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    m_error = error;
    m_connected = false;
    return false;
}

void CLink::dropConnection()
{
    m_transport->close();
    m_connected = false;
    m_connection.clear();
    m_level = 0;
    m_list.clear();
    m_listPos = -1;
    m_values.clear();
    m_statistics.clear();
}

bool CLink::allowed(int level)
{
    if (!m_connected) {
        m_error = kNotConnected;
        return false;
    }
    if (m_level < level) {
        m_error = kAccessDenied;
        return false;
    }
    return true;
}

// Brings what is known of the instrument up to date; a lost line ends the connection.
bool CLink::sync()
{
    if (!m_connected)
        return false;
    std::string error;
    if (m_transport->refresh(error))
        return true;
    m_error = error;
    dropConnection();
    return false;
}

// Runs a change of the instrument at the given user level.
bool CLink::change(int level, const std::function<Change()>& f)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    if (!allowed(level))
        return false;
    const Change change = f();
    switch (change.result) {
    case Change::Done:
        return true;
    case Change::Refused:
        if (!change.error.empty())
            m_error = change.error;
        else if (m_error.empty())
            m_error = kRefused;
        return false;
    case Change::LineLost:
        m_error = change.error;
        dropConnection();
        return false;
    }
    return false;
}

// ------------------------------------------------------------ 11. download
bool CLink::StartDownload(const std::string& path, int mode, uint32_t start, uint32_t length)
{
    const DownloadWorker::Start started = m_download.start([&](DownloadJob& job) {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_downloadFile = path;
        if (!allowed(1) || !sync())
            return false;
        if (mode != 0 && mode != 1) {
            m_error = "unknown download mode";
            return false;
        }
        std::string error;
        job.source = m_transport->download(start, length, error);
        if (!job.source || !job.file.open(path, mode, job.source->length(), error)) {
            m_error = error;
            return false;
        }
        job.source->begin(job.file.already(), m_readahead);
        return true;
    });
    if (started == DownloadWorker::Start::Busy) {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_error = "a download is running";
    }
    return started == DownloadWorker::Start::Started;
}

void CLink::CancelDownload()
{
    m_download.cancel();
}

bool CLink::IsDownloading()
{
    return m_download.running();
}

double CLink::GetDownloadProgress()
{
    return m_download.progress();
}

std::string CLink::GetDownloadFile()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    return m_downloadFile;
}

void CLink::downloadEnded(const DownloadWorker::End& end)
{
    const bool done = end.outcome == DownloadWorker::Done;
    const bool lineKept = m_transport->downloadEnded(end.written, done) && end.outcome != DownloadWorker::Dropped;
    if (!end.error.empty())
        m_error = end.error;
    if (!lineKept) {
        m_error = kLineDropped;
        dropConnection();
    }
}

// ------------------------------------------------------------ 13. housekeeping
void CLink::ResetLink()
{
    m_download.stop();
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    m_error.clear();
    m_abort = false;
    m_list.clear();
    m_listPos = -1;
}

std::string CLink::GetLastErrorText()
{
    // Reading the text hands it over: the next call reports only newer errors.
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    std::string text;
    text.swap(m_error);
    return text;
}

int32_t CLink::IdleTime(int peek)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    const int64_t now = sim::spanClockMs();
    if (peek == 0) {
        m_idleStart = now;
        return 0;
    }
    if (m_busy)
        return 0;
    return int32_t(std::clamp<int64_t>((now - m_idleStart) / 1000, 0, INT32_MAX));
}

void CLink::SetBusy(int on)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    m_busy = on != 0;
    if (!m_busy)
        m_idleStart = sim::spanClockMs();
}

} // namespace varno::quorvalin

CQuorvalin* CQuorvalin::newObject()
{
    return new varno::quorvalin::CLink(varno::quorvalin::benchTransport());
}

CQuorvalin::~CQuorvalin() = default;
