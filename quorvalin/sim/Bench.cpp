#include <quorvalin/sim/Bench.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varno::sim {

namespace {

std::atomic<ClockHook> g_clockHook{nullptr};

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::string digits(const std::string& s)
{
    std::string d;
    for (char c : s)
        if (std::isdigit((unsigned char)c))
            d += c;
    return d;
}

std::string readKey(const std::string& file, const std::string& key)
{
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + "=") == 0)
            return trim(line.substr(key.size() + 1));
    }
    return {};
}

} // namespace

std::string benchFolder()
{
    if (const char* env = std::getenv("QUORVALIN_BENCH"); env && *env)
        return env;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::string(xdg) + "/varno/quorvalin-bench";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/varno/quorvalin-bench";
}

std::vector<std::string> benchPorts(const std::string& bench)
{
    std::ifstream in(bench + "/ports.txt");
    if (!in)
        return {"COM1", "COM2", "COM3", "COM4"};
    std::vector<std::string> ports;
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (!line.empty() && line[0] != '#')
            ports.push_back(line);
    }
    return ports;
}

bool portExists(const std::string& bench, const std::string& port)
{
    const std::vector<std::string> ports = benchPorts(bench);
    return !port.empty() && std::find(ports.begin(), ports.end(), port) != ports.end();
}

namespace {

std::string portLockPath(const std::string& bench, const std::string& port)
{
    std::string name = port;
    for (char& c : name)
        if (c == '/')
            c = '_';
    return bench + "/.port-" + name + ".lock";
}

} // namespace

bool makeFolders(const std::string& path)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/')
            continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

int claimPort(const std::string& bench, const std::string& port)
{
    makeFolders(bench);
    const int fd = ::open(portLockPath(bench, port).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return kPortUnlocked; // nowhere to keep the claim: the port counts as free
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void releasePort(int fd)
{
    if (fd >= 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
}

bool portFree(const std::string& bench, const std::string& port)
{
    if (!portExists(bench, port))
        return false;
    const int fd = claimPort(bench, port);
    releasePort(fd);
    return fd != -1;
}

std::vector<std::string> instrumentNames(const std::string& bench)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(bench.c_str());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::stat((bench + "/" + name + "/instrument.txt").c_str(), &st) == 0)
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string findInstrumentByPort(const std::string& bench, const std::string& port)
{
    for (const std::string& name : instrumentNames(bench))
        if (readKey(bench + "/" + name + "/instrument.txt", "port") == port)
            return bench + "/" + name;
    return {};
}

std::string findInstrumentByPhone(const std::string& bench, const std::string& number)
{
    const std::string wanted = digits(number);
    if (wanted.empty())
        return {};
    for (const std::string& name : instrumentNames(bench))
        if (digits(readKey(bench + "/" + name + "/instrument.txt", "phone")) == wanted)
            return bench + "/" + name;
    return {};
}

int64_t processClock()
{
    if (ClockHook hook = g_clockHook.load())
        return hook();
    return int64_t(std::time(nullptr));
}

int64_t spanClockMs()
{
    if (ClockHook hook = g_clockHook.load())
        return hook() * 1000;
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t localOffset(int64_t utc)
{
    // tzset: follow the zone the program has now, as the terminal's own clock display does.
    ::tzset();
    const time_t t = time_t(utc);
    struct tm local;
    return localtime_r(&t, &local) ? int64_t(local.tm_gmtoff) : 0;
}

void setProcessClock(ClockHook hook)
{
    g_clockHook.store(hook);
}

int64_t frozenClock(const std::string& bench)
{
    const std::string v = readKey(bench + "/bench.txt", "clock");
    return v.empty() ? 0 : std::strtoll(v.c_str(), nullptr, 10);
}

bool setFrozenClock(const std::string& bench, int64_t seconds)
{
    makeFolders(bench);
    const std::string path = bench + "/bench.txt";
    std::vector<std::string> lines;
    {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line))
            if (line.compare(0, 6, "clock=") != 0)
                lines.push_back(line);
    }
    if (seconds != 0)
        lines.push_back("clock=" + std::to_string(seconds));
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp);
        for (const std::string& l : lines)
            out << l << "\n";
        if (!out)
            return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

int64_t benchClock(const std::string& bench)
{
    const int64_t frozen = frozenClock(bench);
    return frozen != 0 ? frozen : processClock();
}

FolderLock::FolderLock(const std::string& dir)
{
    m_fd = ::open((dir + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}

} // namespace varno::sim
