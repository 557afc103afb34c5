// End-to-end runs of the built transfer program against simulated instruments.
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <link/FileMoves.h>
#include "TransferBench.h"

using varno::testing::readFile;
using varno::testing::writeFile;
using Lines = std::vector<std::string>;

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Files of a folder that do not end in ".vrn" (left-over temporaries and the like).
std::vector<std::string> others(const std::string& folder)
{
    std::vector<std::string> result;
    for (const std::string& name : varno::link::ListFolder(folder, "*"))
        if (!varno::link::WildcardMatch("*.vrn", name))
            result.push_back(name);
    return result;
}

Lines head(const std::string& connection, const std::string& instrument = "varno310 version 3.2 nr 123")
{
    return {"INFO connection=\"" + connection + "\"", "STATUS connecting", "STATUS connected",
            "INFO instrument=\"" + instrument + "\""};
}

Lines tail(const std::string& ready)
{
    return {"STATUS disconnecting", "STATUS disconnected", "READY " + ready};
}

Lines join(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Lines newFiles(int n)
{
    return {"", n == 1 ? "INFO there is 1 new file in the instrument"
                       : "INFO there are " + std::to_string(n) + " new files in the instrument",
            ""};
}

Lines ok(int i, int n, const std::string& name)
{
    return {"STATUS transferring file " + std::to_string(i) + "/" + std::to_string(n),
            "TRANSFER file=\"" + name + "\"", "TRANSFER OK"};
}

} // namespace

TEST_F(TransferBench, StationModeFetchesEveryNewDataLogThenNothingThenTheGrownOne)
{
    addInstrument("tower", "COM3");
    const std::string station = addStation("Tower", "COM3", "read");
    const std::string vrn = station + "/vrn";
    const std::vector<std::string> n = names("tower");
    ASSERT_EQ(n.size(), 3u);
    ASSERT_EQ(::rmdir(vrn.c_str()), 0); // a new station gets its data folder

    auto r = run({"--station=" + station});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(3), ok(1, 3, n[0]), ok(2, 3, n[1]), ok(2 + 1, 3, n[2]),
                                  tail("transferred=3 skipped=0 duration=Ns")}));
    EXPECT_GE(count(r.out, "PROGRESS "), 3);
    const Lines all = lines(r.out, true);
    for (size_t i = 1; i < all.size(); ++i) {
        if (all[i] == "TRANSFER OK") {
            EXPECT_EQ(all[i - 1], "PROGRESS 100.0 percent");
        }
    }
    EXPECT_EQ(r.err, "");
    for (size_t i = 0; i < n.size(); ++i)
        EXPECT_EQ(readFile(vrn + "/" + n[i]), logBytes("tower", i)) << n[i];
    EXPECT_TRUE(others(vrn).empty());

    // Everything is covered now.
    r = run({"--station=" + station});
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(0), tail("transferred=0 skipped=0 duration=Ns")}));

    // The running data log grows: it is fetched again under its new name, beside the shorter copy.
    advance(3600);
    r = run({"--station=" + station});
    const std::vector<std::string> grown = names("tower");
    ASSERT_NE(grown[2], n[2]);
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(1), ok(1, 1, grown[2]),
                                  tail("transferred=1 skipped=0 duration=Ns")}));
    EXPECT_EQ(readFile(vrn + "/" + grown[2]), logBytes("tower", 2));
    EXPECT_TRUE(exists(vrn + "/" + n[2]));
}

TEST_F(TransferBench, ManualModeWithModemPortInitReadaheadAndCurrentFolder)
{
    addInstrument("hill", "", "0123456");
    const std::string dest = tmp.file("dest");
    ::mkdir(dest.c_str(), 0755);
    const std::vector<std::string> n = names("hill");

    // The modem port goes in front of a number; --readahead=abc reads as 0.
    auto r = run({"--modemport=COM1", "--modeminit=E0V1", "--readahead=abc", "--connection=0123456",
                  "--password=read", "--destination=" + dest});
    EXPECT_EQ(r.status, 0);
    const Lines out = lines(r.out);
    ASSERT_GE(out.size(), 5u);
    EXPECT_EQ(Lines(out.begin(), out.begin() + 4),
              (Lines{"INFO connection=\"COM1 0123456\"", "INFO modeminit=\"E0V1\"", "INFO readahead=0",
                     "STATUS connecting"}));
    EXPECT_EQ(out.back(), "READY transferred=3 skipped=0 duration=Ns");
    for (size_t i = 0; i < n.size(); ++i)
        EXPECT_EQ(readFile(dest + "/" + n[i]), logBytes("hill", i));

    // A direct line keeps its port whatever the modem port; no destination means ".".
    addInstrument("mast", "COM2");
    const std::string cwd = tmp.file("cwd");
    ::mkdir(cwd.c_str(), 0755);
    r = run({"--modemport=COM1", "--connection=COM2", "--password=read", "--destination="},
            "cd " + varno::testing::shellQuote(cwd) + " &&");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out).front(), "INFO connection=\"COM2\"");
    EXPECT_EQ(varno::link::ListFolder(cwd, "*.vrn").size(), 3u);
}

TEST_F(TransferBench, UsageListModeAndMissingConfiguration)
{
    const std::string program = varno::testing::programPath("transfer");
    for (const Lines& args : {Lines{}, Lines{"--stationx=/tmp"}, Lines{"-station=/tmp"}, Lines{"/tmp"},
                              Lines{"--password=x"}}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.out.rfind("Usage: " + program + " [options]\n\nVersion 0.1, Aug 17 2006\n\nGeneral Options:\n", 0),
                  0u);
        EXPECT_NE(r.out.find("   --station=<directory>       station directory. File station.cfg must be in this "
                             "directory\n"),
                  std::string::npos);
        EXPECT_NE(r.out.find("\nExample: " + program + " --modemport=COM3 --station="), std::string::npos);
        EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n");
    }

    // --test= wins over a station and a connection, and makes no call.
    const std::string folder = tmp.file("list");
    ::mkdir(folder.c_str(), 0755);
    writeFile(folder + "/[0005-00000100-00010-0000] b.vrn", "");
    writeFile(folder + "/[0005-00000000-00010-0000] a.VRN", "");
    writeFile(folder + "/notes.txt", "");
    auto r = run({"--station=" + tmp.file("none"), "--connection=COM3", "--test=" + folder});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "file: [0005-00000000-00010-0000] a.VRN [0005-00000000-00010-0000] a.VRN\n"
                     "file: [0005-00000100-00010-0000] b.vrn [0005-00000100-00010-0000] b.vrn\n");

    // A station folder without station.cfg; the line names the folder, not the file.
    const std::string empty = tmp.file("nostation");
    ::mkdir(empty.c_str(), 0755);
    r = run({"--station=" + empty, "--connection=COM3"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "ERROR File not found:" + empty + "\n");
    r = run({"--verbose=0", "--station=" + empty});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
}

TEST_F(TransferBench, NoConnection)
{
    addInstrument("tower", "COM3", "", 3, [](varno::sim::Instrument& in) { in.faults.connect = "refuse"; });
    auto r = run({"--connection=COM3", "--password=read", "--destination=" + tmp.path()});
    EXPECT_EQ(r.status, 255) << r.err;
    EXPECT_EQ(lines(r.out), (Lines{"INFO connection=\"COM3\"", "STATUS connecting", "STATUS disconnecting",
                                   "STATUS disconnected",
                                   "READY transferred=0 skipped=0 duration=Ns error=\"No answer from instrument\""}));
    EXPECT_NE(r.out.find(" duration=0s "), std::string::npos);

    // Quotes and backslashes of the text are escaped, so the value ends at its own quote.
    modify("tower", [](varno::sim::Instrument& in) { in.faults.connect = "error:Battery \"low\" at C:\\bat"; });
    r = run({"--connection=COM3", "--password=read", "--destination=" + tmp.path()});
    EXPECT_EQ(lines(r.out).back(), "READY transferred=0 skipped=0 duration=Ns error=\"Battery \\\"low\\\" at C:\\\\bat\"");

    // A station whose configuration names no connection makes no call at all.
    const std::string station = addStation("Blank", "", "read");
    r = run({"--station=" + station});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(lines(r.out), (Lines{"INFO connection=\"\"", "STATUS disconnecting", "STATUS disconnected",
                                   "READY transferred=0 skipped=0 duration=Ns"}));
    EXPECT_NE(r.out.find(" duration=0s\n"), std::string::npos);
}

TEST_F(TransferBench, VerboseLevels)
{
    addInstrument("tower", "COM3", "", 2);
    const std::vector<std::string> n = names("tower");
    ASSERT_EQ(n.size(), 2u);
    const std::string station = addStation("Tower", "COM3", "read");
    const std::string vrn = station + "/vrn";

    // Level 0: no PROGRESS and no ERROR lines, but INFO, STATUS, TRANSFER, SKIPPED and READY.
    modify("tower", [](varno::sim::Instrument& in) { in.faults.dropAfterBytes = 0; });
    auto r = run({"--verbose", "--verbose=0", "--station=" + station});
    EXPECT_EQ(lines(r.out, true),
              join({head("COM3"), newFiles(2),
                    {"STATUS transferring file 1/2", "TRANSFER file=\"" + n[0] + "\"", "TRANSFER FAILED",
                     "SKIPPED download failed permanently. file=\"" + n[0] + "\"", "STATUS transferring file 2/2"},
                    tail("transferred=0 skipped=1 duration=Ns error=\"The line has dropped\"")}));
    modify("tower", [](varno::sim::Instrument& in) { in.faults.dropAfterBytes = -1; });

    // Level 2 adds "Ready".
    r = run({"--verbose=2", "--station=" + station});
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(2), ok(1, 2, n[0]), ok(2, 2, n[1]), {"Ready"},
                                  tail("transferred=2 skipped=0 duration=Ns")}));

    // Two --verbose give level 3 with the listings.
    writeFile(vrn + "/unrelated.vrn", "x");
    ASSERT_EQ(::unlink((vrn + "/" + n[0]).c_str()), 0);
    r = run({"--verbose", "--verbose", "--station=" + station});
    const varno::sim::Instrument in = load("tower");
    std::vector<std::string> keys, files;
    for (size_t i = 0; i < 2; ++i) {
        keys.push_back(varno::link::FileKey(123, in.logs[i].start, in.logLength(i)));
        files.push_back("File " + std::to_string(in.logs[i].start) + " " + std::to_string(in.logLength(i)) + " "
                        + std::to_string(in.logs[i].startTime) + " " + std::to_string(in.logs[i].stopTime) + " "
                        + in.logs[i].text);
    }
    const std::string temporary = vrn + "/temporary-download-" + keys[0];
    EXPECT_EQ(lines(r.out),
              join({head("COM3"),
                    {"local files:", "local unrelated.vrn unrelated.vrn", "local " + n[1] + " " + n[1], "Files:",
                     files[0], files[1], "OK", "remote files:", "remote " + keys[0] + " " + n[0],
                     "remote " + keys[1] + " " + n[1], "nonlocal remote files:", "nonlocal " + keys[0] + " " + n[0]},
                    newFiles(1),
                    {"STATUS transferring file 1/1", "TRANSFER file=\"" + n[0] + "\"",
                     "downloadDataRange: " + temporary + " " + std::to_string(in.logs[0].start) + " "
                         + std::to_string(in.logLength(0)),
                     "Finished, 100.0 percent written to file: " + temporary,
                     "Rename transferred file to: " + vrn + "/" + n[0], "TRANSFER OK", "Ready"},
                    tail("transferred=1 skipped=0 duration=Ns")}));
    EXPECT_GE(count(r.out, "PROGRESS "), 1);
    EXPECT_EQ(readFile(vrn + "/" + n[0]), logBytes("tower", 0));
}

TEST_F(TransferBench, RetryAfterAFirstFailureAndSkipAfterTwo)
{
    addInstrument("tower", "COM3");
    const std::vector<std::string> n = names("tower");
    const std::string station = addStation("Tower", "COM3", "read");
    const std::string vrn = station + "/vrn";

    // The first download breaks off half-way: the second attempt stores the file.
    modify("tower", [](varno::sim::Instrument& in) {
        in.faults.failAt = 0.5;
        in.faults.failAttempts = 1;
    });
    auto r = run({"--station=" + station});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out),
              join({head("COM3"), newFiles(3),
                    {"STATUS transferring file 1/3", "TRANSFER file=\"" + n[0] + "\"", "TRANSFER FAILED",
                     "TRANSFER file=\"" + n[0] + "\"", "TRANSFER OK",
                     "WARNING download failed at first attempt. file=\"" + n[0] + "\""},
                    ok(2, 3, n[1]), ok(3, 3, n[2]), tail("transferred=3 skipped=0 duration=Ns")}));
    EXPECT_EQ(readFile(vrn + "/" + n[0]), logBytes("tower", 0));
    EXPECT_TRUE(others(vrn).empty());

    // Both attempts of the first file fail: it is skipped, the others are stored.
    for (const std::string& name : n)
        ASSERT_EQ(::unlink((vrn + "/" + name).c_str()), 0);
    modify("tower", [](varno::sim::Instrument& in) {
        in.downloadAttempts = 0;
        in.faults.failAttempts = 2;
    });
    r = run({"--station=" + station});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out),
              join({head("COM3"), newFiles(3),
                    {"STATUS transferring file 1/3", "TRANSFER file=\"" + n[0] + "\"", "TRANSFER FAILED",
                     "TRANSFER file=\"" + n[0] + "\"", "TRANSFER FAILED",
                     "SKIPPED download failed permanently. file=\"" + n[0] + "\""},
                    ok(2, 3, n[1]), ok(3, 3, n[2]),
                    tail("transferred=2 skipped=1 duration=Ns error=\"download failed: transmission error\"")}));
    EXPECT_FALSE(exists(vrn + "/" + n[0]));
    EXPECT_TRUE(others(vrn).empty()); // no partial download anywhere
}

TEST_F(TransferBench, LineDroppedBetweenFilesAndDuringADownload)
{
    addInstrument("tower", "COM3");
    const std::vector<std::string> n = names("tower");
    const std::string station = addStation("Tower", "COM3", "read");
    const std::string vrn = station + "/vrn";

    modify("tower", [](varno::sim::Instrument& in) { in.faults.dropAfterDownloads = 1; });
    auto r = run({"--station=" + station});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(3), ok(1, 3, n[0]),
                                  {"STATUS transferring file 2/3", "ERROR disconnected"},
                                  tail("transferred=1 skipped=0 duration=Ns error=\"The line has dropped\"")}));
    EXPECT_EQ(readFile(vrn + "/" + n[0]), logBytes("tower", 0));

    // The line drops in the middle of the next file: the second attempt finds no line and
    // counts as failed, so the file is reported as skipped, not as stored.
    modify("tower", [](varno::sim::Instrument& in) {
        in.faults.dropAfterDownloads = -1;
        in.faults.dropAfterBytes = 1000;
    });
    r = run({"--station=" + station});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out),
              join({head("COM3"), newFiles(2),
                    {"STATUS transferring file 1/2", "TRANSFER file=\"" + n[1] + "\"", "TRANSFER FAILED",
                     "SKIPPED download failed permanently. file=\"" + n[1] + "\"", "STATUS transferring file 2/2",
                     "ERROR disconnected"},
                    tail("transferred=0 skipped=1 duration=Ns error=\"The line has dropped\"")}));
    EXPECT_EQ(count(r.out, "WARNING"), 0);
    EXPECT_EQ(varno::link::ListFolder(vrn, "*").size(), 1u); // only the first file; nothing partial
}

// An instrument that lists its data logs out of address order makes the selection walk
// pick a data log again whose file is already there: the install step then meets an
// existing final name.
class TransferExistingNames : public TransferBench {
protected:
    void SetUp() override
    {
        TransferBench::SetUp();
        addInstrument("tower", "COM3", "", 3, [](varno::sim::Instrument& in) { std::swap(in.logs[0], in.logs[1]); });
        n = names("tower"); // instrument order: B, A, C
        station = addStation("Tower", "COM3", "read");
        vrn = station + "/vrn";
        const auto r = run({"--station=" + station});
        ASSERT_EQ(lines(r.out).back(), "READY transferred=3 skipped=0 duration=Ns");
        a = vrn + "/" + n[1];
        key = varno::link::FileKey(123, load("tower").logs[1].start, load("tower").logs[1].length);
    }

    std::vector<std::string> n;
    std::string station, vrn, a, key;
};

TEST_F(TransferExistingNames, TheExistingFileTakesTheNextFreeBackupName)
{
    writeFile(a, "old");
    writeFile(a + ".bak00", "older");
    const auto r = run({"--station=" + station});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(1), ok(1, 1, n[1]), tail("transferred=1 skipped=0 duration=Ns")}));
    EXPECT_EQ(readFile(a), logBytes("tower", 1));
    EXPECT_EQ(readFile(a + ".bak00"), "older");
    EXPECT_EQ(readFile(a + ".bak01"), "old");
    EXPECT_TRUE(others(vrn) == (std::vector<std::string>{n[1] + ".bak00", n[1] + ".bak01"}));
}

TEST_F(TransferExistingNames, BackupLimitKeepsTheDataUnderNamesNoLaterDownloadReuses)
{
    writeFile(a, "old");
    for (int i = 0; i < 100; ++i) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, ".bak%02d", i);
        writeFile(a + suffix, "backup " + std::to_string(i));
    }
    const std::string failed = "TRANSFER file=\"" + n[1] + "\"";
    const std::string limit = "ERROR Too many Backup files exist for this file: " + a;
    auto r = run({"--station=" + station});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out),
              join({head("COM3"), newFiles(1),
                    {"STATUS transferring file 1/1", failed, limit, "TRANSFER FAILED", failed, limit, "TRANSFER FAILED",
                     "SKIPPED download failed permanently. file=\"" + n[1] + "\""},
                    tail("transferred=0 skipped=1 duration=Ns error=\"Too many Backup files exist for this file: " + a
                         + "\"")}));
    EXPECT_EQ(readFile(a), "old");
    EXPECT_EQ(readFile(a + ".bak99"), "backup 99");
    const std::string temporary = vrn + "/temporary-download-" + key;
    EXPECT_EQ(readFile(temporary), logBytes("tower", 1));
    EXPECT_EQ(readFile(temporary + "-1"), logBytes("tower", 1));

    // The next run neither overwrites nor lists the kept data, and reports it at its start.
    const std::string kept(logBytes("tower", 1).size(), 'k');
    writeFile(temporary, kept);
    r = run({"--station=" + station, "--verbose=3"});
    EXPECT_EQ(lines(r.out)[1], "WARNING kept download temporary-download-" + key);
    EXPECT_EQ(lines(r.out)[2], "WARNING kept download temporary-download-" + key + "-1");
    EXPECT_EQ(count(r.out, "TRANSFER FAILED"), 2);
    EXPECT_NE(r.out.find("downloadDataRange: " + temporary + "-2 "), std::string::npos);
    EXPECT_NE(r.out.find("downloadDataRange: " + temporary + "-3 "), std::string::npos);
    EXPECT_EQ(r.out.find("local temporary"), std::string::npos);
    EXPECT_EQ(readFile(temporary), kept);
    EXPECT_EQ(readFile(temporary + "-3"), logBytes("tower", 1));
}

TEST_F(TransferBench, ControlCharactersOfLinkTextsStayOutOfTheProtocol)
{
    addInstrument("tower", "COM3", "", 1, [](varno::sim::Instrument& in) {
        in.type = "varno\x01" "310\t\"x\\";
        in.logs[0].text = "Tower\tA";
    });
    const auto r = run({"--connection=COM3", "--password=read", "--destination=" + tmp.path(), "--verbose=3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("INFO instrument=\"varno 310 \\\"x\\\\ version 3.2 nr 123\"\n"), std::string::npos);
    EXPECT_NE(r.out.find(" 0 Tower A\n"), std::string::npos);
    EXPECT_NE(r.out.find("TRANSFER file=\"[0123-"), std::string::npos);
    EXPECT_EQ(varno::link::ListFolder(tmp.path(), "*Tower_A.vrn").size(), 1u);
    for (const std::string& line : lines(r.out))
        EXPECT_TRUE(line.empty() || line.find('\t') == std::string::npos) << line;
}

namespace {

// Starts the program with its output in a file; returns the process id.
pid_t start(const std::vector<std::string>& args, const std::string& bench, const std::string& outPath)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QUORVALIN_BENCH", bench.c_str(), 1);
        std::FILE* out = std::freopen(outPath.c_str(), "w", stdout);
        (void)out;
        std::vector<char*> argv;
        const std::string program = varno::testing::programPath("transfer");
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits (at most about 20 s) until the condition holds.
bool waitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 2000; ++i) {
        if (condition())
            return true;
        ::usleep(10000);
    }
    return false;
}

} // namespace

TEST_F(TransferBench, StoppedOrKilledRunsLeaveNothingPartialUnderAFinalName)
{
    addInstrument("tower", "COM3", "", 3, [](varno::sim::Instrument& in) { in.faults.lineSpeed = 4000; });
    const std::vector<std::string> n = names("tower");
    const std::string station = addStation("Tower", "COM3", "read");
    const std::string vrn = station + "/vrn";
    const std::string outPath = tmp.file("out");

    // A stop request cancels the download, disconnects and still ends with READY.
    pid_t pid = start({"--station=" + station}, bench, outPath);
    ASSERT_TRUE(waitFor([&] { return readFile(outPath).find("TRANSFER file=") != std::string::npos; }));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const Lines out = lines(readFile(outPath));
    ASSERT_GE(out.size(), 5u);
    EXPECT_EQ(Lines(out.end() - 5, out.end()),
              (Lines{"TRANSFER FAILED", "ERROR interrupted", "STATUS disconnecting", "STATUS disconnected",
                     "READY transferred=0 skipped=0 duration=Ns error=\"interrupted\""}));
    EXPECT_TRUE(varno::link::ListFolder(vrn, "*").empty());

    // Killed outright in the middle of a download: the partial data stay under the
    // temporary name, which no listing reads, until the next run removes them.
    pid = start({"--station=" + station}, bench, outPath);
    ASSERT_TRUE(waitFor([&] {
        const auto names = varno::link::ListFolder(vrn, "temporary-download-*");
        return !names.empty() && !readFile(vrn + "/" + names[0]).empty();
    }));
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(varno::link::ListFolder(vrn, "*.vrn").empty());
    const std::vector<std::string> partial = varno::link::ListFolder(vrn, "*");
    ASSERT_EQ(partial.size(), 1u);

    modify("tower", [](varno::sim::Instrument& in) { in.faults.lineSpeed = 0; });
    const auto r = run({"--station=" + station});
    EXPECT_EQ(lines(r.out)[1], "INFO removed incomplete download " + partial[0]);
    EXPECT_EQ(lines(r.out).back(), "READY transferred=3 skipped=0 duration=Ns");
    for (size_t i = 0; i < n.size(); ++i)
        EXPECT_EQ(readFile(vrn + "/" + n[i]), logBytes("tower", i));
    EXPECT_TRUE(others(vrn).empty());
}

TEST_F(TransferBench, AStopRequestWhileDiallingEndsTheCallWithoutWaitingForTheLine)
{
    addInstrument("hill", "", "0123456", 2, [](varno::sim::Instrument& in) { in.faults.dialDelayMs = 30000; });
    const std::string outPath = tmp.file("out");
    const pid_t pid =
        start({"--modemport=COM1", "--connection=0123456", "--password=read", "--destination=" + tmp.path()}, bench,
              outPath);
    ASSERT_TRUE(waitFor([&] { return readFile(outPath).find("STATUS connecting\n") != std::string::npos; }));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 255);
    EXPECT_EQ(lines(readFile(outPath)),
              (Lines{"INFO connection=\"COM1 0123456\"", "STATUS connecting", "ERROR interrupted",
                     "STATUS disconnecting", "STATUS disconnected",
                     "READY transferred=0 skipped=0 duration=Ns error=\"interrupted\""}));
    EXPECT_TRUE(varno::link::ListFolder(tmp.path(), "*.vrn").empty());
}

TEST_F(TransferBench, AFileListTheInstrumentRefusesIsAFailureNotAnEmptyInstrument)
{
    addInstrument("tower", "COM3");
    const std::string refused = "access denied: the user level is too low";
    for (const std::string password : {"wrong", ""}) {
        SCOPED_TRACE("password \"" + password + "\"");
        const std::string station = addStation("Tower" + password, "COM3", password);
        const auto r = run({"--station=" + station});
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(lines(r.out),
                  join({head("COM3"), {"ERROR Unable to read the file list: " + refused},
                        tail("transferred=0 skipped=0 duration=Ns error=\"" + refused + "\"")}));
        EXPECT_TRUE(varno::link::ListFolder(station + "/vrn", "*").empty());
    }
}

TEST_F(TransferBench, ADestinationThatTakesNoFilesIsReportedOnceAndEndsTheLoop)
{
    addInstrument("tower", "COM3");
    const std::vector<std::string> n = names("tower");

    // The data folder is a plain file.
    const std::string station = addStation("Tower", "COM3", "read");
    const std::string vrn = station + "/vrn";
    ASSERT_EQ(::rmdir(vrn.c_str()), 0);
    writeFile(vrn, "not a folder");
    auto r = run({"--station=" + station});
    EXPECT_EQ(r.status, 0);
    std::string error = "Unable to write into " + vrn + ": Not a directory";
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(3), {"STATUS transferring file 1/3", "ERROR " + error},
                                  tail("transferred=0 skipped=0 duration=Ns error=\"" + error + "\"")}));
    EXPECT_EQ(readFile(vrn), "not a folder");

    // A full disk: a file system of two pages of its own, in a mount namespace of the run.
    if (varno::testing::runProgram("unshare", {"-rm", "true"}).status != 0)
        GTEST_SKIP() << "no user and mount namespaces for the full-disk case";
    const std::string small = tmp.file("small");
    ::mkdir(small.c_str(), 0755);
    r = varno::testing::runProgram(
        "unshare",
        {"-rm", "sh", "-c", "mount -t tmpfs -o size=8k tmpfs \"$1\" && shift && exec \"$@\"", "sh", small,
         varno::testing::programPath("transfer"), "--connection=COM3", "--password=read", "--destination=" + small},
        "QUORVALIN_BENCH=" + varno::testing::shellQuote(bench));
    EXPECT_EQ(r.status, 0) << r.err;
    error = "Unable to write into " + small + ": No space left on device";
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(3), ok(1, 3, n[0]), ok(2, 3, n[1]),
                                  {"STATUS transferring file 3/3", "ERROR " + error},
                                  tail("transferred=2 skipped=0 duration=Ns error=\"" + error + "\"")}));
}

TEST_F(TransferBench, LeftoversOfKilledRunsAreRemovedAndKeptDownloadsReportedOnEveryRun)
{
    addInstrument("tower", "COM3", "", 1);
    const std::string station = addStation("Tower", "COM3", "read");
    const std::string vrn = station + "/vrn";
    const std::string bytes = logBytes("tower", 0);
    const std::string partial = "temporary-download-" + varno::link::FileKey(123, 0, uint32_t(bytes.size()));
    const std::string complete = partial + "-1";
    writeFile(vrn + "/" + partial, bytes.substr(0, 100));
    writeFile(vrn + "/" + complete, bytes);
    writeFile(vrn + "/temporary-download-notes", "not ours");

    auto r = run({"--station=" + station});
    Lines out = lines(r.out);
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(Lines(out.begin(), out.begin() + 4),
              (Lines{"INFO connection=\"COM3\"", "INFO removed incomplete download " + partial,
                     "WARNING kept download " + complete, "STATUS connecting"}));
    EXPECT_EQ(out.back(), "READY transferred=1 skipped=0 duration=Ns");
    EXPECT_EQ(others(vrn), (std::vector<std::string>{complete, "temporary-download-notes"}));

    r = run({"--station=" + station});
    out = lines(r.out);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(Lines(out.begin(), out.begin() + 3),
              (Lines{"INFO connection=\"COM3\"", "WARNING kept download " + complete, "STATUS connecting"}));
    EXPECT_EQ(readFile(vrn + "/" + complete), bytes);
}

TEST_F(TransferBench, AStalledDownloadIsCancelledAfterTheStallTimeAndTriedAgain)
{
    addInstrument("tower", "COM3", "", 2);
    const std::vector<std::string> n = names("tower");
    const std::string station = addStation("Tower", "COM3", "read");
    const std::string vrn = station + "/vrn";
    const std::string tool = varno::testing::programPath("quorvalin-bench");
    ASSERT_EQ(varno::testing::runProgram(tool, {"--bench", bench, "fault", "tower", "stall-at=0.5"}).status, 0);
    EXPECT_NE(varno::testing::runProgram(tool, {"--bench", bench, "show", "tower"}).out.find("stall-at=0.5 stall-attempts=1"),
              std::string::npos);

    const Lines stalled{"TRANSFER file=\"" + n[0] + "\"", "ERROR download stalled", "TRANSFER FAILED"};
    auto r = run({"--station=" + station, "--stall=1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(2), {"STATUS transferring file 1/2"}, stalled,
                                  {"TRANSFER file=\"" + n[0] + "\"", "TRANSFER OK",
                                   "WARNING download failed at first attempt. file=\"" + n[0] + "\""},
                                  ok(2, 2, n[1]), tail("transferred=2 skipped=0 duration=Ns")}));
    EXPECT_EQ(readFile(vrn + "/" + n[0]), logBytes("tower", 0));

    // Stalled at both attempts: skipped, and the READY line says why.
    ASSERT_EQ(::unlink((vrn + "/" + n[0]).c_str()), 0);
    ASSERT_EQ(varno::testing::runProgram(tool, {"--bench", bench, "fault", "tower", "stall-attempts=2"}).status, 0);
    r = run({"--station=" + station, "--stall=1"});
    EXPECT_EQ(lines(r.out), join({head("COM3"), newFiles(1), {"STATUS transferring file 1/1"}, stalled, stalled,
                                  {"SKIPPED download failed permanently. file=\"" + n[0] + "\""},
                                  tail("transferred=0 skipped=1 duration=Ns error=\"download stalled\"")}));
    EXPECT_TRUE(others(vrn).empty());
}
