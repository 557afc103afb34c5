// The demo script that shows the whole road: instrument, station, transfer, conversion.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <link/FileMoves.h>
#include <testing/TestSupport.h>

TEST(TransferDemo, RunsTheWholeRoad)
{
    const std::string bin = varno::testing::programPath("");
    if (::access((bin + "ostrel").c_str(), X_OK) != 0)
        GTEST_SKIP() << "the converter program is not built";
    varno::testing::TempDir tmp;
    const std::string work = tmp.file("work");
    const auto r = varno::testing::runProgram("/bin/sh", {TRANSFER_DEMO_SCRIPT, bin + "..", work});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("READY transferred=3 skipped=0 duration="), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("READY transferred=1 skipped=0 duration="), std::string::npos);
    EXPECT_NE(r.out.find("\"date\" \"time\" \"period\""), std::string::npos);
    const std::string station = work + "/stations/Demo Tower";
    EXPECT_EQ(varno::link::ListFolder(station + "/vrn", "*").size(), 4u);
    EXPECT_EQ(varno::link::ListFolder(station + "/export", "*.txt").size(), 1u);

    // A second run over the same folder starts afresh; a foreign folder is refused.
    EXPECT_EQ(varno::testing::runProgram("/bin/sh", {TRANSFER_DEMO_SCRIPT, bin + "..", work}).status, 0);
    const std::string foreign = tmp.file("foreign");
    ::mkdir(foreign.c_str(), 0755);
    varno::testing::writeFile(foreign + "/mine.txt", "keep");
    EXPECT_EQ(varno::testing::runProgram("/bin/sh", {TRANSFER_DEMO_SCRIPT, bin + "..", foreign}).status, 1);
    EXPECT_EQ(varno::testing::readFile(foreign + "/mine.txt"), "keep");
}
