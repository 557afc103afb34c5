#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The instrument bench: the folder that holds the local ports that exist ("ports.txt",
// one name a line; COM1 .. COM4 when the file is missing), the bench settings
// ("bench.txt": "clock=<UTC seconds>" freezes the PC clock the instruments see) and one
// folder per simulated instrument.
namespace varno::sim {

std::string benchFolder();

std::vector<std::string> benchPorts(const std::string& bench);
bool portExists(const std::string& bench, const std::string& port);

// Creates a folder and its parents.
bool makeFolders(const std::string& path);

// Takes a port for this connection: a descriptor to close when the port is given back
// (kPortUnlocked when the bench cannot keep claims), or -1 when another program (or link
// object) holds it.
constexpr int kPortUnlocked = -2;
int claimPort(const std::string& bench, const std::string& port);
void releasePort(int fd);
// Whether the port exists and nobody holds it.
bool portFree(const std::string& bench, const std::string& port);

// Names of the instrument folders of the bench, sorted.
std::vector<std::string> instrumentNames(const std::string& bench);

// The folder of the instrument on a direct line (port) or reached by a modem call
// (number, compared by its digits); empty when none answers there.
std::string findInstrumentByPort(const std::string& bench, const std::string& port);
std::string findInstrumentByPhone(const std::string& bench, const std::string& number);

// PC clock the instruments see, in UTC seconds: the bench's frozen clock, else the process
// clock. No time zone ever applies, so every program sees the same instruments.
int64_t benchClock(const std::string& bench);
// Process clock: the test hook when set, else the system's UTC time in seconds.
int64_t processClock();
using ClockHook = int64_t (*)();
void setProcessClock(ClockHook hook);
// Milliseconds for measuring spans such as idle time: the test hook when set, else a
// monotonic clock that time zones, summer time and clock steps do not move.
int64_t spanClockMs();
// Seconds by which the PC's local time (zone and summer time now in force) is ahead of
// UTC at the given UTC time.
int64_t localOffset(int64_t utc);

// Frozen bench clock (0: none).
int64_t frozenClock(const std::string& bench);
bool setFrozenClock(const std::string& bench, int64_t seconds); // 0 removes it

// Exclusive lock of one instrument folder across processes; released on destruction.
class FolderLock {
public:
    explicit FolderLock(const std::string& dir);
    ~FolderLock();
    bool locked() const { return m_fd >= 0; }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd = -1;
};

} // namespace varno::sim
