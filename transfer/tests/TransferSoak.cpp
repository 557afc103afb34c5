// transfer-soak: many unattended runs of the transfer program against a simulated instrument
// whose faults come from a seeded random plan, with stop requests and kills at random
// moments, then one clean run; checks that nothing was lost, claimed falsely or left behind.
//
// usage: transfer-soak [--runs=N] [--seed=S] [--work=DIR] [--verbose]
//   --runs=N   runs with faults before the clean run (default 60)
//   --seed=S   seed of the plan (default 1); the same seed gives the same plan
//   --work=DIR where the bench and the station go (default: a new temporary folder, removed
//              when every check passed)
//   --verbose  one line per run
// Exit status 0 when every check passed, 1 otherwise (the work folder is then kept).
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <poll.h>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "BenchRecords.h"
#include <link/DataLogNames.h>
#include <link/FileMoves.h>
#include <quorvalin/sim/Bench.h>
#include <quorvalin/sim/Instrument.h>
#include <testing/TestSupport.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kStart = 1773576000; // 2026-03-15 12:00:00
constexpr const char* kPassword = "read";

// One run's faults, drawn from the seeded generator.
struct Plan {
    varno::sim::Faults faults;
    bool wrongPassword = false;
    int hangupAfterMs = -1; // the line drops this long after the start
    int signal = 0;         // SIGTERM or SIGKILL, or 0
    int signalAfterMs = 0;  // after the first line (SIGTERM) or the start (SIGKILL)

    std::string describe() const
    {
        std::string text;
        const varno::sim::Faults& f = faults;
        auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
        if (!f.connect.empty()) add("connect " + f.connect);
        if (wrongPassword) add("wrong password");
        if (f.dropAfterBytes >= 0) add("drop after " + std::to_string(f.dropAfterBytes) + " bytes");
        if (f.dropAfterDownloads >= 0) add("drop after " + std::to_string(f.dropAfterDownloads) + " downloads");
        if (f.failAt >= 0) add("fail at " + std::to_string(f.failAt) + " x" + std::to_string(f.failAttempts));
        if (f.stallAt >= 0) add("stall at " + std::to_string(f.stallAt) + " x" + std::to_string(f.stallAttempts));
        if (f.shortBy > 0) add("short by " + std::to_string(f.shortBy));
        if (f.lineSpeed > 0) add(std::to_string(f.lineSpeed) + " bytes/s");
        if (hangupAfterMs >= 0) add("hang-up after " + std::to_string(hangupAfterMs) + " ms");
        if (signal) add(std::string(signal == SIGKILL ? "SIGKILL" : "SIGTERM") + " after " + std::to_string(signalAfterMs) + " ms");
        return text.empty() ? "no fault" : text;
    }
};

// Draws from a std::mt19937, whose output the standard fixes, so a seed means the same plan
// everywhere.
class Draw {
public:
    explicit Draw(uint32_t seed) : m_rng(seed) {}
    double uniform() { return double(m_rng() >> 5) / double(1u << 27); }
    bool chance(double p) { return uniform() < p; }
    int between(int lo, int hi) { return lo + int(m_rng() % uint32_t(hi - lo + 1)); }

private:
    std::mt19937 m_rng;
};

Plan drawPlan(Draw& d)
{
    Plan p;
    varno::sim::Faults& f = p.faults;
    if (d.chance(0.06)) f.connect = "refuse";
    p.wrongPassword = d.chance(0.06);
    if (d.chance(0.15)) f.dropAfterBytes = d.between(0, 12000);
    if (d.chance(0.08)) f.dropAfterDownloads = d.between(0, 3);
    if (d.chance(0.15)) {
        f.failAt = d.uniform();
        f.failAttempts = d.between(1, 2);
    }
    if (d.chance(0.08)) {
        f.stallAt = d.uniform();
        f.stallAttempts = d.between(1, 2);
    }
    if (d.chance(0.08)) f.shortBy = d.between(1, 500);
    if (d.chance(0.4)) f.lineSpeed = d.between(5000, 40000);
    if (d.chance(0.10)) p.hangupAfterMs = d.between(0, 800);
    if (d.chance(0.12))
        p.signal = SIGTERM;
    else if (d.chance(0.14))
        p.signal = SIGKILL;
    if (p.signal) {
        // A slow line, so that the signal mostly meets a download.
        f.lineSpeed = d.between(3000, 15000);
        p.signalAfterMs = d.between(0, 600);
    }
    return p;
}

// What one run printed and how it ended.
struct RunResult {
    std::vector<std::string> lines;
    bool killed = false; // ended by a signal
    int status = -1;     // exit status when not killed
    bool hung = false;
};

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = text.find('\n', from);
        if (end == std::string::npos) {
            lines.push_back(text.substr(from)); // cut off by a kill
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

// The grammar of the protocol lines a run at the default verbose level prints.
bool validLine(const std::string& line)
{
    static const std::string q = R"("(?:[^"\\\x00-\x1f\x7f]|\\["\\])*")";
    static const std::string text = R"([^\x00-\x1f\x7f]*)";
    static const std::vector<std::regex> grammar = [] {
        std::vector<std::regex> g;
        for (const std::string& e : std::vector<std::string>{
                 "", "INFO connection=" + q, "INFO modeminit=" + q, "INFO readahead=[0-9]+",
                 "INFO removed incomplete download " + text, "WARNING kept download " + text,
                 "STATUS (connecting|connected|disconnecting|disconnected)", "INFO instrument=" + q,
                 "ERROR Unable to read the file list: " + text, "INFO there is 1 new file in the instrument",
                 "INFO there are (0|[2-9]|[1-9][0-9]+) new files in the instrument",
                 "STATUS transferring file [1-9][0-9]*/[1-9][0-9]*", "ERROR interrupted", "ERROR disconnected",
                 "ERROR Unable to write into " + text + ": " + text, "TRANSFER file=" + q,
                 "PROGRESS ([0-9]|[1-9][0-9])\\.[0-9] percent", "PROGRESS 100\\.0 percent",
                 "ERROR download stalled", "ERROR size mismatch: got [0-9]+ of [0-9]+ bytes",
                 "ERROR (Too many Backup files exist for this file: |Unable to back up |Unable to rename )" + text,
                 "TRANSFER (OK|FAILED)", "WARNING download failed at first attempt\\. file=" + q,
                 "SKIPPED download failed permanently\\. file=" + q,
                 "READY transferred=[0-9]+ skipped=[0-9]+ duration=[0-9]+s( error=" + q + ")?"})
            g.emplace_back(e);
        return g;
    }();
    return std::any_of(grammar.begin(), grammar.end(), [&](const std::regex& r) { return std::regex_match(line, r); });
}

int countOf(const std::vector<std::string>& lines, const std::string& prefix)
{
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.compare(0, prefix.size(), prefix) == 0; }));
}

std::string afterPrefix(const std::string& line, const std::string& prefix)
{
    return line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size()) : std::string();
}

class Soak {
public:
    Soak(const std::string& work, const std::string& program) : m_program(program)
    {
        m_bench = work + "/bench";
        m_station = work + "/station";
        m_vrn = m_station + "/vrn";
        m_instrument = m_bench + "/tower";
    }

    bool setUp()
    {
        if (!varno::sim::makeFolders(m_instrument) || !varno::sim::makeFolders(m_vrn) || !varno::sim::setFrozenClock(m_bench, kStart))
            return fail("cannot create the bench and the station under " + m_bench);
        varno::sim::Instrument in;
        in.serial = 123;
        in.port = "COM3";
        in.title = "Tower";
        in.passwords[1] = kPassword;
        in.passwords[2] = "varno";
        in.passwords[3] = "system";
        in.setDefaultFunctions();
        in.buildHistory(kStart, 3, 3);
        in.generation = 1;
        std::string error;
        if (!in.save(m_instrument, true, &error))
            return fail(error);
        return writeStation(kPassword);
    }

    // Runs with faults from the plan of the seed, then the clean run and the final checks.
    bool run(int runs, uint32_t seed, bool verbose)
    {
        Draw draw(seed);
        for (int i = 1; i <= runs; ++i) {
            advanceClock(draw);
            const Plan plan = drawPlan(draw);
            count(plan);
            if (!applyFaults(plan))
                return false;
            const RunResult result = runOnce(plan);
            if (verbose)
                std::printf("run %4d  %-90s  %s\n", i, plan.describe().c_str(), outcome(result).c_str());
            if (!checkRun(result, plan))
                return report(i, plan, result);
        }
        const Plan clean;
        if (!applyFaults(clean))
            return false;
        const RunResult result = runOnce(clean);
        if (!checkRun(result, clean) || !checkClean(result))
            return report(runs + 1, clean, result);
        return true;
    }

    void summary(int runs, uint32_t seed, double seconds) const
    {
        std::printf("%d runs with faults (seed %u) and one clean run in %.0f s: every check passed\n", runs, seed,
                    seconds);
        for (const auto& [name, n] : m_counts)
            std::printf("  %-48s %6d\n", name.c_str(), n);
    }

private:
    bool fail(const std::string& message)
    {
        std::fprintf(stderr, "transfer-soak: %s\n", message.c_str());
        return false;
    }

    bool report(int run, const Plan& plan, const RunResult& result)
    {
        std::fprintf(stderr, "transfer-soak: run %d (%s) failed: %s\noutput (%s):\n", run, plan.describe().c_str(),
                     m_problem.c_str(), outcome(result).c_str());
        for (const std::string& line : result.lines)
            std::fprintf(stderr, "  | %s\n", line.c_str());
        return false;
    }

    static std::string outcome(const RunResult& r)
    {
        if (r.hung)
            return "hung";
        if (r.killed)
            return "killed";
        return "exit " + std::to_string(r.status) + ", " + (r.lines.empty() ? std::string() : r.lines.back());
    }

    void count(const Plan& plan)
    {
        const varno::sim::Faults& f = plan.faults;
        m_counts["faults: connection refused"] += !f.connect.empty();
        m_counts["faults: wrong password"] += plan.wrongPassword;
        m_counts["faults: line drops after N bytes"] += f.dropAfterBytes >= 0;
        m_counts["faults: line drops after N downloads"] += f.dropAfterDownloads >= 0;
        m_counts["faults: downloads fail at a fraction"] += f.failAt >= 0;
        m_counts["faults: downloads stall at a fraction"] += f.stallAt >= 0;
        m_counts["faults: short deliveries"] += f.shortBy > 0;
        m_counts["faults: slow lines"] += f.lineSpeed > 0;
        m_counts["faults: hang-ups at a random moment"] += plan.hangupAfterMs >= 0;
        m_counts["faults: SIGTERM at a random moment"] += plan.signal == SIGTERM;
        m_counts["faults: SIGKILL at a random moment"] += plan.signal == SIGKILL;
    }

    bool writeStation(const std::string& password)
    {
        const std::string path = m_station + "/station.cfg";
        std::FILE* f = std::fopen(path.c_str(), "w");
        if (!f)
            return fail("cannot write " + path);
        std::fprintf(f, "creator kestal 3.0\r\nstation Tower\r\nconnection COM3\r\npassword %s\r\n", password.c_str());
        return std::fclose(f) == 0 || fail("cannot write " + path);
    }

    // Loads the instrument, catches it up with the bench clock, changes it and stores it.
    bool withInstrument(const std::function<void(varno::sim::Instrument&, int64_t)>& change)
    {
        const varno::sim::FolderLock lock(m_instrument);
        varno::sim::Instrument in;
        std::string error;
        if (!in.load(m_instrument, true, &error))
            return fail(error);
        const int64_t pcNow = varno::sim::benchClock(m_bench);
        in.catchUp(pcNow);
        change(in, pcNow);
        ++in.generation;
        return in.save(m_instrument, true, &error) || fail(error);
    }

    // Time passes between runs: the running data log grows, now and then a new one starts.
    void advanceClock(Draw& draw)
    {
        varno::sim::setFrozenClock(m_bench, varno::sim::frozenClock(m_bench) + draw.between(0, 3 * 3600));
        if (draw.chance(0.05)) {
            ++m_counts["new data logs started"];
            withInstrument([&](varno::sim::Instrument& in, int64_t pcNow) {
                in.startMeasurement(in.clock(pcNow), "Tower " + std::to_string(m_counts["new data logs started"]));
            });
        }
    }

    bool applyFaults(const Plan& plan)
    {
        return writeStation(plan.wrongPassword ? "wrong" : kPassword) && withInstrument([&](varno::sim::Instrument& in, int64_t) {
                   in.faults = plan.faults;
                   in.downloadAttempts = 0;
               });
    }

    RunResult runOnce(const Plan& plan)
    {
        RunResult result;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            result.hung = true;
            return result;
        }
        const std::string station = "--station=" + m_station;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::setenv("QUORVALIN_BENCH", m_bench.c_str(), 1);
            ::execl(m_program.c_str(), m_program.c_str(), station.c_str(), "--stall=1", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        const Clock::time_point started = Clock::now();
        Clock::time_point firstLine{};
        std::string out;
        bool signalled = false, hungUp = false;
        for (;;) {
            const auto now = Clock::now();
            const auto since = [&](Clock::time_point t) {
                return std::chrono::duration_cast<std::chrono::milliseconds>(now - t).count();
            };
            if (!hungUp && plan.hangupAfterMs >= 0 && since(started) >= plan.hangupAfterMs) {
                hungUp = true;
                withInstrument([](varno::sim::Instrument& in, int64_t) { ++in.hangups; });
            }
            const bool due = plan.signal == SIGKILL ? since(started) >= plan.signalAfterMs
                                                    : firstLine != Clock::time_point{} && since(firstLine) >= plan.signalAfterMs;
            if (plan.signal && !signalled && due) {
                signalled = true;
                ::kill(pid, plan.signal);
            }
            if (since(started) > 60000) {
                result.hung = true;
                ::kill(pid, SIGKILL);
            }
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, 5) < 0 && errno != EINTR)
                break;
            if (p.revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            if (firstLine == Clock::time_point{})
                firstLine = Clock::now();
            out.append(buffer, size_t(n));
        }
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.killed = WIFSIGNALED(status);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.lines = splitLines(out);
        if (result.killed)
            ++m_counts["runs killed (SIGKILL)"];
        return result;
    }

    bool problem(const std::string& text)
    {
        m_problem = text;
        return false;
    }

    // The bytes of the instrument's memory that a name's range covers.
    bool rangeBytes(const std::string& name, std::string& bytes)
    {
        uint32_t serial, start, length, magic;
        varno::link::ReadLeadingNumbers(name, serial, start, length, magic);
        varno::sim::Instrument in;
        std::vector<uint8_t> data;
        if (!in.load(m_instrument, true) || !in.readRange(start, length, data))
            return false;
        bytes.assign(data.begin(), data.end());
        return true;
    }

    static std::string readFile(const std::string& path)
    {
        std::string data;
        if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
            char buffer[65536];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
                data.append(buffer, n);
            std::fclose(f);
        }
        return data;
    }

    bool checkRun(const RunResult& r, const Plan& plan)
    {
        const std::vector<std::string>& lines = r.lines;
        if (r.hung)
            return problem("the run did not end within a minute");
        for (const std::string& line : lines)
            if (!validLine(line) && !(r.killed && &line == &lines.back()))
                return problem("line outside the grammar: \"" + line + "\"");
        std::string file;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (const std::string name = afterPrefix(lines[i], "TRANSFER file=\""); !name.empty())
                file = name.substr(0, name.size() - 1);
            if (lines[i] != "TRANSFER OK")
                continue;
            ++m_counts["files stored (TRANSFER OK)"];
            std::string expected;
            if (!rangeBytes(file, expected) || readFile(m_vrn + "/" + file) != expected)
                return problem("TRANSFER OK for \"" + file + "\", which is not in the folder as the instrument holds it");
            if (i == 0 || lines[i - 1] != "PROGRESS 100.0 percent")
                return problem("TRANSFER OK without PROGRESS 100.0 percent before it");
        }
        m_counts["attempts failed (TRANSFER FAILED)"] += countOf(lines, "TRANSFER FAILED");
        m_counts["files skipped (SKIPPED)"] += countOf(lines, "SKIPPED ");
        m_counts["stalled downloads given up"] += countOf(lines, "ERROR download stalled");
        m_counts["refused file lists"] += countOf(lines, "ERROR Unable to read the file list");
        m_counts["incomplete downloads removed at a start"] += countOf(lines, "INFO removed incomplete download");
        m_counts["runs stopped by SIGTERM (ERROR interrupted)"] += countOf(lines, "ERROR interrupted");
        if (r.killed)
            return plan.signal == SIGKILL || problem("ended by a signal without its READY line");
        if (lines.empty() || afterPrefix(lines.back(), "READY ").empty())
            return problem("the run did not end with its READY line");
        ++m_counts["runs ended with their READY line"];
        const bool connected = std::count(lines.begin(), lines.end(), "STATUS connected") > 0;
        const bool listed = countOf(lines, "ERROR Unable to read the file list") == 0;
        if (r.status != (connected && listed ? 0 : 255))
            return problem("exit status " + std::to_string(r.status));
        const std::string counts = "READY transferred=" + std::to_string(countOf(lines, "TRANSFER OK")) + " skipped="
                                   + std::to_string(countOf(lines, "SKIPPED ")) + " ";
        if (lines.back().compare(0, counts.size(), counts) != 0)
            return problem("the READY counts differ from the TRANSFER OK and SKIPPED lines");
        return true;
    }

    // After the clean run: every data log in the folder, nothing else left behind. A data log
    // fetched while it was recording and closed later without growing keeps the name it had
    // then: the same range, which the selection counts as covered.
    bool checkClean(const RunResult& r)
    {
        if (r.status != 0 || r.lines.back().find(" skipped=0 ") == std::string::npos
            || r.lines.back().find("error=") != std::string::npos)
            return problem("the clean run did not fetch everything");
        varno::sim::Instrument in;
        if (!in.load(m_instrument, true))
            return problem("cannot read the instrument");
        std::map<std::string, std::string> byKey; // key of the range -> a stored name
        for (const std::string& name : varno::link::ListFolder(m_vrn, "*.vrn")) {
            uint32_t serial, start, length, magic;
            varno::link::ReadLeadingNumbers(name, serial, start, length, magic);
            byKey[varno::link::FileKey(serial, start, length)] = name;
        }
        for (size_t i = 0; i < in.logs.size(); ++i) {
            const varno::link::Record record = BenchRecord(in, i);
            std::string name = varno::link::TransferFileName(record);
            if (::access((m_vrn + "/" + name).c_str(), F_OK) != 0) {
                name = byKey[varno::link::FileKey(record.serial, record.start, record.length)];
                ++m_counts["data logs kept under their name while recording"];
            }
            std::string expected;
            if (name.empty() || !rangeBytes(name, expected) || readFile(m_vrn + "/" + name) != expected)
                return problem("data log \"" + varno::link::TransferFileName(record) + "\" is not in the folder");
        }
        m_counts["data logs of the instrument, all in the folder"] = int(in.logs.size());
        std::set<std::string> kept;
        for (const std::string& line : r.lines)
            if (const std::string name = afterPrefix(line, "WARNING kept download "); !name.empty())
                kept.insert(name);
        const std::vector<std::string> left = varno::link::ListFolder(m_vrn, "temporary-download-*");
        if (std::set<std::string>(left.begin(), left.end()) != kept)
            return problem("temporaries left that the clean run did not report as kept");
        m_counts["downloads kept (complete, not installed)"] = int(kept.size());
        return true;
    }

    std::string m_program, m_bench, m_station, m_vrn, m_instrument;
    std::map<std::string, int> m_counts;
    std::string m_problem;
};

std::string value(const std::string& argument, const std::string& name)
{
    return argument.compare(0, name.size(), name) == 0 ? argument.substr(name.size()) : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 60;
    uint32_t seed = 1;
    std::string work;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (!value(a, "--runs=").empty())
            runs = std::atoi(value(a, "--runs=").c_str());
        else if (!value(a, "--seed=").empty())
            seed = uint32_t(std::strtoul(value(a, "--seed=").c_str(), nullptr, 10));
        else if (!value(a, "--work=").empty())
            work = value(a, "--work=");
        else if (a == "--verbose")
            verbose = true;
        else {
            std::fprintf(stderr, "usage: %s [--runs=N] [--seed=S] [--work=DIR] [--verbose]\n", argv[0]);
            return 2;
        }
    }
    const bool temporary = work.empty();
    if (temporary) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/transfer-soak-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("transfer-soak: mkdtemp");
            return 1;
        }
        work = pattern;
    } else if (!varno::link::ListFolder(work, "*").empty()) {
        std::fprintf(stderr, "transfer-soak: %s is not empty\n", work.c_str());
        return 2;
    }

    const auto started = Clock::now();
    Soak soak(work, TRANSFER_PROGRAM);
    if (!soak.setUp() || !soak.run(runs, seed, verbose)) {
        std::fprintf(stderr, "transfer-soak: the bench and the station are kept in %s\n", work.c_str());
        return 1;
    }
    soak.summary(runs, seed, std::chrono::duration<double>(Clock::now() - started).count());
    if (temporary)
        varno::testing::removeFolder(work);
    return 0;
}
