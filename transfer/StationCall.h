#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <transfer/Dictionary.h>

class CQuorvalin;

namespace varno::transfer {

// Program-wide settings of the transfer program, taken from its command line.
struct TransferOptions {
    int verbose = 1;
    int32_t readahead = -1; // -1: not given
    int32_t stall = 120;    // seconds without progress that end a download; 0 or less: no limit
    std::optional<std::string> modemPort;
    std::optional<std::string> modemInit;
    std::optional<std::string> connection;
    std::optional<std::string> password;
    std::optional<std::string> destination;
    std::optional<std::string> station;
    std::optional<std::string> test;
    std::optional<std::string> archive; // accepted; nothing reads it
};

// What a call needs from its surroundings; every member has a working default.
struct CallEnvironment {
    std::FILE* out = stdout;
    std::function<CQuorvalin*()> newLink;        // default: CQuorvalin::newObject
    std::function<int64_t()> wallSeconds;        // default: local wall-clock seconds
    std::function<int64_t()> monotonicMs;        // default: steady clock, milliseconds
    std::function<void()> pollPause;             // default: 10 ms sleep between download polls
    // Whether a stop was requested (default: never). Also asked from a watcher thread while
    // the link dials, so it must be safe to call from any thread.
    std::function<bool()> interrupted;
};

// The effective connection text: the modem port and a blank in front of a connection that
// does not name a "COM" port or a device path ("/dev/...") itself.
std::string EffectiveConnection(const TransferOptions& options, const std::string& connection);

// One call of one station: connect, list, select the new data logs, download and install
// them, disconnect. Every step is reported as a protocol line on the environment's stream.
class StationCall {
public:
    StationCall(const TransferOptions& options, const CallEnvironment& environment);
    ~StationCall();
    StationCall(const StationCall&) = delete;
    StationCall& operator=(const StationCall&) = delete;

    // Runs the whole call; returns the exit status (0: a connection was made, -1: none).
    int Run(const std::string& connection, const std::optional<std::string>& password,
            const std::optional<std::string>& destination);

    int32_t transferred() const { return m_transferred; }
    int32_t skipped() const { return m_skipped; }
    int32_t duration() const { return m_duration; }

private:
    // CannotWrite: the destination takes no files; the next files would fail the same way.
    enum class Attempt { Ok, Failed, CannotWrite };

    bool Connect();
    void Disconnect();
    void ReportLeftoverDownloads(const std::string& folder);
    bool TransferNewFiles(const std::string& folder);
    bool ListRemoteFiles(Dictionary& remote);
    Attempt TransferFile(const std::string& folder, const DictionaryEntry& entry);
    bool DownloadDataRange(const std::string& path, uint32_t start, uint32_t length);
    bool HasExpectedSize(const std::string& written, uint32_t expected);
    bool Install(const std::string& written, const std::string& finalPath);
    bool StopRequested();
    bool Stopping();
    void NoteFailure(const std::string& text);
    void NoteLinkFailure(const std::string& fallback);
    void Line(const std::string& text);

    const TransferOptions& m_options;
    CallEnvironment m_env;

    int32_t m_startTime = 0;
    int64_t m_startMonotonicMs = 0;
    int32_t m_duration = 0;
    int32_t m_transferred = 0;
    int32_t m_skipped = 0;
    std::string m_connection;
    std::string m_password;
    std::string m_modemInit;
    std::unique_ptr<CQuorvalin> m_link;
    std::map<std::string, uint32_t> m_remoteSizes; // bytes of each listed data log, by key
    std::string m_failure;     // text of this call's last failure
    bool m_failed = false;     // the call ended in failure: no connection, no list, or cut short
    bool m_interrupted = false;
    bool m_interruptReported = false;
};

// Local data logs ("*.vrn") of a folder, each with its name as key and value, sorted.
Dictionary ListLocalFiles(const std::string& folder);

// The remote entries that the sorted local list does not cover, in the remote order.
Dictionary SelectNewFiles(const Dictionary& local, const Dictionary& remote);

} // namespace varno::transfer
