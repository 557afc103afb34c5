#include <transfer/StationCall.h>

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <link/DataLogNames.h>
#include <link/FileMoves.h>
#include <ostrel/Calendar.h>
#include <transfer/Protocol.h>
#include <quorvalin/Quorvalin.h>

namespace varno::transfer {

using protocol::Format;
using protocol::OneLine;
using protocol::Quoted;

namespace {

// Seconds of the local calendar time counted from 1970-01-01 00:00:00; only differences
// and "not 0" are used.
int64_t localWallSeconds()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ostrel::calendar::SecondsFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                              local.tm_min, local.tm_sec);
}

int64_t steadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Writes a file's data through to the disk before it gets its final name.
void syncFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string folderOrCurrent(const std::optional<std::string>& folder)
{
    return folder && !folder->empty() ? *folder : std::string(".");
}

const char* const kTemporaryPrefix = "temporary-download-";

// A file of its own for one download: "temporary-download-" and the key of the range, with
// "-1", "-2" ... after it while earlier names are taken (a download that could not be
// installed keeps its data under its name). The disk must be able to take the whole data
// log, so that a full disk shows here and not part-way through the download.
struct Reservation {
    std::string path;
    std::string error; // why the folder takes no file; empty when path is reserved
};

Reservation reserveTemporary(const std::string& folder, const std::string& key, uint32_t bytes)
{
    const std::string base = folder + "/" + kTemporaryPrefix + key;
    for (int i = 0; i < 1000; ++i) {
        const std::string candidate = i == 0 ? base : base + "-" + std::to_string(i);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return {std::string(), std::strerror(errno)};
        if (bytes > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes)) != 0 && errno != EOPNOTSUPP
            && errno != ENOSYS) {
            const int error = errno;
            ::close(fd);
            ::unlink(candidate.c_str());
            return {std::string(), std::strerror(error)};
        }
        ::close(fd);
        return {candidate, std::string()};
    }
    return {std::string(), "no free name for a temporary download"};
}

// Calls AbortConnect as soon as a stop is requested while the link dials: Connect blocks
// the calling thread, so the request is watched from a thread of its own.
class ConnectWatch {
public:
    ConnectWatch(CQuorvalin& link, const std::function<bool()>& interrupted)
        : m_thread([this, &link, interrupted] {
              std::unique_lock<std::mutex> lock(m_mutex);
              while (!m_done) {
                  // Again and again: a link may clear the request as it starts to dial.
                  if (interrupted())
                      link.AbortConnect();
                  m_wake.wait_for(lock, std::chrono::milliseconds(10));
              }
          })
    {
    }
    ~ConnectWatch()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    ConnectWatch(const ConnectWatch&) = delete;
    ConnectWatch& operator=(const ConnectWatch&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace

std::string EffectiveConnection(const TransferOptions& options, const std::string& connection)
{
    std::string text;
    // A device path is a direct line as much as a port name: dialling it as a number on the
    // modem would call nobody (the terminal reads it the same way).
    const bool directLine = connection.find("COM") != std::string::npos || connection.rfind("/dev/", 0) == 0;
    if (options.modemPort && !directLine)
        text = *options.modemPort + " ";
    return text + connection;
}

Dictionary ListLocalFiles(const std::string& folder)
{
    Dictionary list;
    for (const std::string& name : link::ListFolder(folder, "*.vrn"))
        list.Append(name, name);
    list.SortByName();
    return list;
}

Dictionary SelectNewFiles(const Dictionary& local, const Dictionary& remote)
{
    Dictionary result;
    const auto& l = local.entries();
    const auto& r = remote.entries();
    size_t li = 0, ri = 0;
    while (li < l.size() && ri < r.size()) {
        uint32_t ls, lb, ll, lm, rs, rb, rl, rm;
        link::ReadLeadingNumbers(l[li].value.value_or(std::string()), ls, lb, ll, lm);
        link::ReadLeadingNumbers(r[ri].value.value_or(std::string()), rs, rb, rl, rm);
        if (ls != rs) {
            ++li;
        } else if (rb < lb) {
            result.Append(r[ri].key, r[ri].value);
            ++ri;
        } else if (uint32_t(rb + rl) <= uint32_t(lb + ll)) {
            ++ri; // covered by the local file
        } else {
            ++li;
        }
    }
    for (; ri < r.size(); ++ri)
        result.Append(r[ri].key, r[ri].value);
    return result;
}

StationCall::StationCall(const TransferOptions& options, const CallEnvironment& environment)
    : m_options(options), m_env(environment)
{
    if (!m_env.out)
        m_env.out = stdout;
    if (!m_env.newLink)
        m_env.newLink = [] { return CQuorvalin::newObject(); };
    if (!m_env.wallSeconds)
        m_env.wallSeconds = localWallSeconds;
    if (!m_env.monotonicMs)
        m_env.monotonicMs = steadyMilliseconds;
    if (!m_env.pollPause)
        m_env.pollPause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); };
    if (!m_env.interrupted)
        m_env.interrupted = [] { return false; };
}

StationCall::~StationCall() = default;

void StationCall::Line(const std::string& text)
{
    protocol::Write(m_env.out, text);
}

void StationCall::NoteFailure(const std::string& text)
{
    m_failure = text;
}

void StationCall::NoteLinkFailure(const std::string& fallback)
{
    const std::string text = m_link->GetLastErrorText();
    NoteFailure(text.empty() ? fallback : text);
}

bool StationCall::StopRequested()
{
    if (!m_interrupted && m_env.interrupted())
        m_interrupted = true;
    return m_interrupted;
}

// A stop request ends the call: nothing new is started after it. Reported once, and it is
// the call's last failure whatever the link said about the download or dial it cut short.
bool StationCall::Stopping()
{
    if (!StopRequested())
        return false;
    if (!m_interruptReported) {
        m_interruptReported = true;
        m_failed = true;
        NoteFailure("interrupted");
        if (m_options.verbose != 0)
            Line("ERROR interrupted\n");
    }
    return true;
}

int StationCall::Run(const std::string& connection, const std::optional<std::string>& password,
                     const std::optional<std::string>& destination)
{
    const std::string folder = folderOrCurrent(destination);
    m_connection = EffectiveConnection(m_options, connection);
    Line("INFO connection=" + Quoted(m_connection) + "\n");
    if (m_options.modemInit)
        Line("INFO modeminit=" + Quoted(*m_options.modemInit) + "\n");
    if (m_options.readahead >= 0)
        Line(Format("INFO readahead=%i\n", int(m_options.readahead)));

    m_transferred = m_skipped = 0;
    m_startTime = 0;
    m_duration = 0;
    m_failure.clear();
    m_failed = m_interrupted = m_interruptReported = false;
    m_remoteSizes.clear();
    m_password = password.value_or(std::string());
    m_modemInit = m_options.modemInit.value_or(std::string());
    m_link.reset(m_env.newLink());
    m_link->SetReadahead(m_options.readahead);

    ReportLeftoverDownloads(folder);
    int status = -1;
    if (Connect())
        status = TransferNewFiles(folder) ? 0 : -1;
    else
        m_failed = true;
    Disconnect();

    std::string summary = Format("transferred=%i skipped=%i duration=%is", int(m_transferred), int(m_skipped),
                                 int(m_duration));
    if ((m_failed || m_skipped > 0) && !m_failure.empty())
        summary += " error=" + Quoted(m_failure);
    Line("READY " + summary + "\n");

    if (m_link->IsConnected())
        Disconnect();
    return status;
}

// What a killed run left behind: a temporary below the length in its name is a download
// that never finished and goes; a complete one could not be installed and stays until
// someone deals with it.
void StationCall::ReportLeftoverDownloads(const std::string& folder)
{
    const size_t prefix = std::strlen(kTemporaryPrefix);
    for (const std::string& name : link::ListFolder(folder, std::string(kTemporaryPrefix) + "*")) {
        uint32_t serial = 0, start = 0, length = 0;
        if (std::sscanf(name.c_str() + prefix, "%" SCNu32 "-%" SCNu32 "-%" SCNu32, &serial, &start, &length) != 3)
            continue;
        const std::string path = folder + "/" + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (uint64_t(st.st_size) < length && ::unlink(path.c_str()) == 0)
            Line("INFO removed incomplete download " + OneLine(name) + "\n");
        else
            Line("WARNING kept download " + OneLine(name) + "\n");
    }
}

bool StationCall::Connect()
{
    m_startTime = 0;
    m_duration = 0;
    if (m_connection.empty())
        return false;
    Line("STATUS connecting\n");
    m_link->ResetLink();
    m_link->SetPassword(m_password);
    if (!StopRequested()) {
        const ConnectWatch watch(*m_link, m_env.interrupted);
        m_link->Connect(m_connection, m_modemInit, "0", 1);
    }
    if (!m_link->IsConnected()) {
        NoteLinkFailure(std::string());
        Stopping();
        return false;
    }
    Line("STATUS connected\n");
    m_startTime = int32_t(m_env.wallSeconds());
    if (m_startTime == 0)
        m_startTime = 1;
    m_startMonotonicMs = m_env.monotonicMs();
    const std::string type = m_link->GetInstrumentType();
    const double version = m_link->GetFirmwareVersion();
    const uint32_t serial = m_link->GetSerialNumber();
    Line("INFO instrument=" + Quoted(Format("%s version %0.1f nr %li", type.c_str(), version, long(serial))) + "\n");
    return true;
}

void StationCall::Disconnect()
{
    Line("STATUS disconnecting\n");
    m_link->Disconnect();
    if (m_startTime != 0)
        m_duration = int32_t((m_env.monotonicMs() - m_startMonotonicMs) / 1000);
    Line("STATUS disconnected\n");
}

bool StationCall::ListRemoteFiles(Dictionary& remote)
{
    const uint32_t serial = m_link->GetSerialNumber();
    const bool read = m_link->ReadFileList();
    if (read && m_options.verbose > 2)
        Line("Files:\n");
    while (read && m_link->NextFile()) {
        link::Record record;
        record.serial = serial;
        record.start = m_link->GetFileStart();
        record.length = m_link->GetFileLength();
        record.startTime = m_link->GetFileStartTime();
        record.stopTime = m_link->GetFileStopTime();
        record.text = m_link->GetFileText();
        if (m_options.verbose > 2)
            Line(Format("File %" PRIu32 " %" PRIu32 " %" PRIu32 " %" PRIu32 " %s\n", record.start, record.length,
                        record.startTime, record.stopTime, OneLine(record.text).c_str()));
        const std::string key = link::FileKey(serial, record.start, record.length);
        m_remoteSizes[key] = m_link->GetFileSize();
        remote.Append(key, link::TransferFileName(record));
    }
    // A refused listing, or a line that dropped while it was read, is not an instrument
    // without new data.
    if (!read || !m_link->IsConnected()) {
        NoteLinkFailure(read ? "disconnected" : "the instrument refused the list");
        m_failed = true;
        Line("ERROR Unable to read the file list: " + OneLine(m_failure) + "\n");
        return false;
    }
    if (m_options.verbose > 2)
        Line("OK\n");
    return true;
}

bool StationCall::TransferNewFiles(const std::string& folder)
{
    const Dictionary local = ListLocalFiles(folder);
    if (m_options.verbose > 2) {
        Line("local files:\n");
        local.Print(m_env.out, "local ");
    }
    if (Stopping())
        return true;
    m_link->SetFileListRange(0, 2147483647u);
    Dictionary remote;
    if (!ListRemoteFiles(remote))
        return false;
    const Dictionary fresh = SelectNewFiles(local, remote);
    if (m_options.verbose > 2) {
        Line("remote files:\n");
        remote.Print(m_env.out, "remote ");
        Line("nonlocal remote files:\n");
        fresh.Print(m_env.out, "nonlocal ");
    }

    const int n = int(fresh.size());
    if (n == 1)
        Line(Format("\nINFO there is %i new file in the instrument\n\n", n));
    else
        Line(Format("\nINFO there are %i new files in the instrument\n\n", n));

    int i = 0;
    for (const DictionaryEntry& entry : fresh.entries()) {
        ++i;
        if (Stopping())
            break;
        Line(Format("STATUS transferring file %i/%i\n", i, n));
        if (!m_link->IsConnected()) {
            NoteLinkFailure(m_failure.empty() ? "disconnected" : m_failure);
            m_failed = true;
            if (m_options.verbose != 0)
                Line("ERROR disconnected\n");
            break;
        }
        const std::string name = Quoted(entry.value.value_or(std::string()));
        Attempt attempt = TransferFile(folder, entry);
        if (attempt == Attempt::Ok)
            continue;
        // Told to stop: no second attempt, and the file is not given up for good.
        if (attempt == Attempt::CannotWrite || Stopping())
            break;
        attempt = TransferFile(folder, entry);
        if (attempt == Attempt::CannotWrite || (attempt == Attempt::Failed && Stopping()))
            break;
        if (attempt == Attempt::Failed) {
            ++m_skipped;
            Line("SKIPPED download failed permanently. file=" + name + "\n");
        } else {
            Line("WARNING download failed at first attempt. file=" + name + "\n");
        }
    }
    if (m_options.verbose > 1)
        Line("Ready\n");
    return true;
}

StationCall::Attempt StationCall::TransferFile(const std::string& folder, const DictionaryEntry& entry)
{
    // An attempt that finds the line dropped has stored nothing: it counts as failed.
    if (!m_link->IsConnected()) {
        NoteLinkFailure(m_failure.empty() ? "disconnected" : m_failure);
        return Attempt::Failed;
    }
    const std::string name = entry.value.value_or(std::string());
    uint32_t serial, start, length, magic;
    link::ReadLeadingNumbers(name, serial, start, length, magic);
    // The listing gives the size in bytes; the length of a data log listed by time is not.
    const auto size = m_remoteSizes.find(entry.key.value_or(std::string()));
    const uint32_t bytes = size != m_remoteSizes.end() ? size->second : length;

    const Reservation temporary = reserveTemporary(folder, link::FileKey(serial, start, bytes), bytes);
    if (temporary.path.empty()) {
        NoteFailure("Unable to write into " + folder + ": " + temporary.error);
        m_failed = true;
        if (m_options.verbose != 0)
            Line("ERROR " + OneLine(m_failure) + "\n");
        return Attempt::CannotWrite;
    }

    Line("TRANSFER file=" + Quoted(name) + "\n");
    if (!DownloadDataRange(temporary.path, start, length)) {
        // A partial download never stays behind, under its temporary name or any other.
        ::unlink(temporary.path.c_str());
        Line("TRANSFER FAILED\n");
        return Attempt::Failed;
    }

    std::string written = m_link->GetDownloadFile();
    if (written.empty())
        written = temporary.path;
    if (!HasExpectedSize(written, bytes)) {
        Line("TRANSFER FAILED\n");
        return Attempt::Failed;
    }
    const std::string finalPath = folder + "/" + name;
    if (m_options.verbose > 2)
        Line(Format("Rename transferred file to: %s\n", OneLine(finalPath).c_str()));
    if (!Install(written, finalPath)) {
        Line("TRANSFER FAILED\n");
        return Attempt::Failed;
    }
    Line("TRANSFER OK\n");
    ++m_transferred;
    return Attempt::Ok;
}

bool StationCall::DownloadDataRange(const std::string& path, uint32_t start, uint32_t length)
{
    double lastShown = -1.0;
    if (m_options.verbose > 2)
        Line(Format("downloadDataRange: %s %" PRIu32 " %" PRIu32 "\n", OneLine(path).c_str(), start, length));
    m_link->StartDownload(path, 1, start, length);
    const int64_t stallMs = int64_t(m_options.stall) * 1000;
    int64_t lastChange = m_env.monotonicMs();
    bool cancelled = false;
    bool stalled = false;
    while (m_link->IsDownloading()) {
        if (!cancelled && StopRequested()) {
            // Stop the transmission; the link removes the partial file it was writing.
            cancelled = true;
            m_link->CancelDownload();
        }
        double progress = m_link->GetDownloadProgress();
        if (progress > 1.0)
            progress = 1.0;
        const int64_t now = m_env.monotonicMs();
        if (progress != lastShown) {
            lastShown = progress;
            lastChange = now;
            if (m_options.verbose != 0)
                Line(Format("PROGRESS %0.1f percent\n", progress * 100.0));
        } else if (!cancelled && stallMs > 0 && now - lastChange >= stallMs) {
            // An instrument that stops sending would keep this loop (and every later run
            // that waits for this one) waiting for ever.
            stalled = cancelled = true;
            m_link->CancelDownload();
        }
        m_env.pollPause();
    }
    const double final = m_link->GetDownloadProgress();
    if (m_options.verbose > 2)
        Line(Format("Finished, %0.1f percent written to file: %s\n", final * 100.0,
                    OneLine(m_link->GetDownloadFile()).c_str()));
    if (final >= 1.0 && !cancelled) {
        if (lastShown < 1.0 && m_options.verbose != 0)
            Line("PROGRESS 100.0 percent\n");
        return true;
    }
    if (stalled) {
        m_link->GetLastErrorText(); // the cancel's own text; the stall is the failure
        NoteFailure("download stalled");
        if (m_options.verbose != 0)
            Line("ERROR download stalled\n");
    } else {
        NoteLinkFailure("download failed");
    }
    return false;
}

// The stored file must be the listed range: a short or long file is no copy of it.
bool StationCall::HasExpectedSize(const std::string& written, uint32_t expected)
{
    struct stat st;
    const uint64_t got = ::stat(written.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
    if (got == expected)
        return true;
    ::unlink(written.c_str());
    NoteFailure(Format("size mismatch: got %" PRIu64 " of %" PRIu32 " bytes", got, expected));
    if (m_options.verbose != 0)
        Line("ERROR " + m_failure + "\n");
    return false;
}

bool StationCall::Install(const std::string& written, const std::string& finalPath)
{
    syncFile(written);
    const link::MoveResult result = link::MoveWithBackup(written, finalPath);
    if (result == link::MoveResult::Moved || result == link::MoveResult::SameName) {
        const size_t slash = finalPath.rfind('/');
        syncFolder(slash == std::string::npos ? std::string(".") : finalPath.substr(0, slash));
        return true;
    }
    // The data stay under the temporary name, which no later download uses.
    NoteFailure(link::MoveResultMessage(result, written, finalPath));
    Line("ERROR " + OneLine(m_failure) + "\n");
    return false;
}

} // namespace varno::transfer
