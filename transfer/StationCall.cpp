#include "StationCall.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "DataLogNames.h"
#include "FileMoves.h"
#include "ostrel/Calendar.h"
#include "Protocol.h"
#include "Quorvalin.h"

using protocol::Format;
using protocol::OneLine;

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

int64_t steadySeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
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

} // namespace

std::string EffectiveConnection(const TransferOptions& options, const std::string& connection)
{
    std::string text;
    if (options.modemPort && connection.find("COM") == std::string::npos)
        text = *options.modemPort + " ";
    return text + connection;
}

Dictionary ListLocalFiles(const std::string& folder)
{
    Dictionary list;
    for (const std::string& name : datalog::ListFolder(folder, "*.vrn"))
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
        datalog::ReadLeadingNumbers(l[li].value.value_or(std::string()), ls, lb, ll, lm);
        datalog::ReadLeadingNumbers(r[ri].value.value_or(std::string()), rs, rb, rl, rm);
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
    if (!m_env.monotonicSeconds)
        m_env.monotonicSeconds = steadySeconds;
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

int StationCall::Run(const std::string& connection, const std::optional<std::string>& password,
                     const std::optional<std::string>& destination)
{
    m_connection = EffectiveConnection(m_options, connection);
    Line(Format("INFO connection=\"%s\"\n", OneLine(m_connection).c_str()));
    if (m_options.modemInit)
        Line(Format("INFO modeminit=\"%s\"\n", OneLine(*m_options.modemInit).c_str()));
    if (m_options.readahead >= 0)
        Line(Format("INFO readahead=%i\n", int(m_options.readahead)));

    m_transferred = m_skipped = 0;
    m_startTime = 0;
    m_duration = 0;
    m_password = password.value_or(std::string());
    m_modemInit = m_options.modemInit.value_or(std::string());
    m_link.reset(m_env.newLink());
    m_link->SetReadahead(m_options.readahead);

    int status = -1;
    if (Connect()) {
        TransferNewFiles(folderOrCurrent(destination));
        status = 0;
    }
    Disconnect();

    std::string summary = Format("transferred=%i skipped=%i duration=%is", int(m_transferred), int(m_skipped),
                                 int(m_duration));
    const std::string error = m_link->GetLastErrorText();
    if (!error.empty())
        summary += " error=\"" + error + "\"";
    Line("READY " + OneLine(summary) + "\n");

    if (m_link->IsConnected())
        Disconnect();
    return status;
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
    m_link->Connect(m_connection, m_modemInit, "0", 1);
    if (!m_link->IsConnected())
        return false;
    Line("STATUS connected\n");
    m_startTime = int32_t(m_env.wallSeconds());
    if (m_startTime == 0)
        m_startTime = 1;
    m_startMonotonic = m_env.monotonicSeconds();
    const std::string type = m_link->GetInstrumentType();
    const double version = m_link->GetFirmwareVersion();
    const uint32_t serial = m_link->GetSerialNumber();
    Line(Format("INFO instrument=\"%s version %0.1f nr %li\"\n", OneLine(type).c_str(), version, long(serial)));
    return true;
}

void StationCall::Disconnect()
{
    Line("STATUS disconnecting\n");
    m_link->Disconnect();
    if (m_startTime != 0)
        m_duration = int32_t(m_env.monotonicSeconds() - m_startMonotonic);
    Line("STATUS disconnected\n");
}

void StationCall::ListRemoteFiles(Dictionary& remote)
{
    const uint32_t serial = m_link->GetSerialNumber();
    m_link->ReadFileList();
    if (m_options.verbose > 2)
        Line("Files:\n");
    while (m_link->NextFile()) {
        datalog::Record record;
        record.serial = serial;
        record.start = m_link->GetFileStart();
        record.length = m_link->GetFileLength();
        record.startTime = m_link->GetFileStartTime();
        record.stopTime = m_link->GetFileStopTime();
        record.text = m_link->GetFileText();
        if (m_options.verbose > 2)
            Line(Format("File %" PRIu32 " %" PRIu32 " %" PRIu32 " %" PRIu32 " %s\n", record.start, record.length,
                        record.startTime, record.stopTime, OneLine(record.text).c_str()));
        remote.Append(datalog::FileKey(serial, record.start, record.length), datalog::TransferFileName(record));
    }
    if (m_options.verbose > 2)
        Line("OK\n");
}

void StationCall::TransferNewFiles(const std::string& folder)
{
    const Dictionary local = ListLocalFiles(folder);
    if (m_options.verbose > 2) {
        Line("local files:\n");
        local.Print(m_env.out, "local ");
    }
    m_link->SetFileListRange(0, 2147483647u);
    Dictionary remote;
    ListRemoteFiles(remote);
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
        Line(Format("STATUS transferring file %i/%i\n", i, n));
        if (m_interrupted || m_env.interrupted()) {
            m_interrupted = true;
            if (m_options.verbose != 0)
                Line("ERROR interrupted\n");
            break;
        }
        if (!m_link->IsConnected()) {
            if (m_options.verbose != 0)
                Line("ERROR disconnected\n");
            break;
        }
        const std::string name = OneLine(entry.value.value_or(std::string()));
        if (TransferFile(folder, entry) == Attempt::Ok)
            continue;
        if (m_interrupted) {
            // Told to stop: no second attempt, and the file is not given up for good.
            if (m_options.verbose != 0)
                Line("ERROR interrupted\n");
            break;
        }
        if (TransferFile(folder, entry) == Attempt::Failed) {
            ++m_skipped;
            Line(Format("SKIPPED download failed permanently. file=\"%s\"\n", name.c_str()));
        } else {
            Line(Format("WARNING download failed at first attempt. file=\"%s\"\n", name.c_str()));
        }
    }
    if (m_options.verbose > 1)
        Line("Ready\n");
}

std::string StationCall::ReserveTemporary(const std::string& folder, const std::string& key, bool& reserved)
{
    // One name per remote range, and never the name of a file left over from an earlier
    // download that could not be installed: that file still holds the only copy of its data.
    // The name is taken with O_EXCL, so it belongs to this attempt alone.
    const std::string base = folder + "/temporary-download-" + key;
    reserved = false;
    for (int i = 0; i < 1000; ++i) {
        const std::string candidate = i == 0 ? base : base + "-" + std::to_string(i);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            reserved = true;
            return candidate;
        }
        if (errno != EEXIST)
            return candidate; // the folder cannot be written: the download reports why
    }
    return std::string();
}

StationCall::Attempt StationCall::TransferFile(const std::string& folder, const DictionaryEntry& entry)
{
    // An attempt that finds the line dropped has stored nothing: it counts as failed.
    if (!m_link->IsConnected())
        return Attempt::Failed;
    const std::string name = entry.value.value_or(std::string());
    Line(Format("TRANSFER file=\"%s\"\n", OneLine(name).c_str()));

    uint32_t serial, start, length, magic;
    datalog::ReadLeadingNumbers(name, serial, start, length, magic);
    bool reserved = false;
    const std::string temporary =
        ReserveTemporary(folder, entry.key.value_or(datalog::FileKey(serial, start, length)), reserved);
    if (temporary.empty()) {
        Line("ERROR No free temporary name in " + OneLine(folder) + "\n");
        Line("TRANSFER FAILED\n");
        return Attempt::Failed;
    }

    if (!DownloadDataRange(temporary, start, length)) {
        // A partial download never stays behind, under its temporary name or any other.
        if (reserved)
            ::unlink(temporary.c_str());
        Line("TRANSFER FAILED\n");
        return Attempt::Failed;
    }

    std::string written = m_link->GetDownloadFile();
    if (written.empty())
        written = temporary;
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
    bool cancelled = false;
    while (m_link->IsDownloading()) {
        if (!cancelled && m_env.interrupted()) {
            // Stop the transmission; the link removes the partial file it was writing.
            m_interrupted = true;
            cancelled = true;
            m_link->CancelDownload();
        }
        double progress = m_link->GetDownloadProgress();
        if (progress > 1.0)
            progress = 1.0;
        if (progress != lastShown) {
            lastShown = progress;
            if (m_options.verbose != 0)
                Line(Format("PROGRESS %0.1f percent\n", progress * 100.0));
        }
        m_env.pollPause();
    }
    const double final = m_link->GetDownloadProgress();
    if (m_options.verbose > 2)
        Line(Format("Finished, %0.1f percent written to file: %s\n", final * 100.0,
                    OneLine(m_link->GetDownloadFile()).c_str()));
    if (!cancelled && m_env.interrupted())
        m_interrupted = true;
    return final >= 1.0 && !cancelled;
}

bool StationCall::Install(const std::string& written, const std::string& finalPath)
{
    syncFile(written);
    const datalog::MoveResult result = datalog::MoveWithBackup(written, finalPath);
    if (result == datalog::MoveResult::Moved || result == datalog::MoveResult::SameName) {
        const size_t slash = finalPath.rfind('/');
        syncFolder(slash == std::string::npos ? std::string(".") : finalPath.substr(0, slash));
        return true;
    }
    // The data stay under the temporary name, which no later download uses.
    Line("ERROR " + OneLine(datalog::MoveResultMessage(result, written, finalPath)) + "\n");
    return false;
}
