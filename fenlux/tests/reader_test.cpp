#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxReader.h>
#include <ostrel/RecordWriter.h>
#include "FenluxTesting.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <unistd.h>

using namespace varno::fenlux;

using varno::ostrel::records::Writer;

TEST(FenluxReader, FixedConverterTableThroughAChildProcess)
{
    varno::testing::InstalledInteraction ui;
    FenluxDoc doc(nullptr);
    FenluxReader reader(helperPath(), QStringLiteral("--fixed"));
    ASSERT_TRUE(doc.openDocument(QStringLiteral("/nowhere/log.vrn"), &reader));
    const varno::fenlux::FenluxData& d = doc.data();
    ASSERT_EQ(d.columnCount(), 5);
    // The last line has no line end and still counts.
    ASSERT_EQ(d.rowCount(), 3u);
    EXPECT_EQ(d.column(2)->name, "period");
    EXPECT_EQ(d.column(3)->group, 2);
    EXPECT_DOUBLE_EQ(d.values(4)[2], 22.0);
    EXPECT_EQ(doc.title(), "\"Fixed table\"");
    EXPECT_EQ(doc.pathName(), "/nowhere/log.vrn");
    EXPECT_FALSE(doc.isModified());
    EXPECT_TRUE(shown(ui).isEmpty());
}

TEST(FenluxReader, OptionsTravelAsOneArgumentBeforeThePath)
{
    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("t.vrn"));
    writeFile(table, csvTable(3));
    FenluxDoc doc(nullptr);
    FenluxReader echo(helperPath(), QStringLiteral("--echo-args two words"));
    ASSERT_TRUE(doc.openDocument(table, &echo));
    EXPECT_EQ(doc.data().rowCount(), 3u);
    EXPECT_EQ(doc.title(), "argc=3");
    FenluxDoc plain(nullptr);
    FenluxReader noOptions(helperPath(), QString());
    ASSERT_TRUE(plain.openDocument(table, &noOptions));
    EXPECT_EQ(plain.title(), "t.vrn");
}

TEST(FenluxReader, MissingProgramIsReported)
{
    varno::testing::InstalledInteraction ui;
    FenluxDoc doc(nullptr);
    FenluxReader reader(QStringLiteral("/nonexistent/reader-program"), QString());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(doc.openDocument(QStringLiteral("a.vrn"), &reader));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to start reader process.\n");
    EXPECT_EQ(shown(ui), QStringList{"critical|Read Error|Unable to start reader process: "
                                     "/nonexistent/reader-program"});
    EXPECT_EQ(doc.data().columnCount(), 0);
}

TEST(FenluxReader, CancelStopsTheChildAndDropsTheData)
{
    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("t.vrn"));
    writeFile(table, csvTable(50));
    FenluxDoc doc(nullptr);
    FenluxReader reader(helperPath(), QStringLiteral("--hang"));
    QObject::connect(&doc, &FenluxDoc::signalAbortOpen, &reader, &FenluxReader::abort);
    // Cancel once the table has arrived; the child keeps running until it is stopped.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (doc.data().rowCount() >= 50)
            doc.slotAbortOpen();
    });
    poll.start(0);
    EXPECT_FALSE(doc.openDocument(table, &reader));
    EXPECT_EQ(doc.data().columnCount(), 0);
    EXPECT_FALSE(reader.isRunning());
    poll.stop(); // or it would cancel the next open too once its rows are in
    // Another open on the same document starts clean.
    FenluxReader again(helperPath(), QString());
    EXPECT_TRUE(doc.openDocument(table, &again));
    EXPECT_EQ(doc.data().rowCount(), 50u);
}

TEST(FenluxReader, ChosenByFileEndingIgnoringCaseWithDefaultsFilledIn)
{
    setVrnReader(QStringLiteral("converter"), QStringLiteral("-d"));
    QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
    settings.setValue(QStringLiteral("fenlux/reader/.txt/options"), QStringLiteral("-t"));
    const std::unique_ptr<FenluxReader> log = FenluxReader::forPath(QStringLiteral("/data/LOG.VRN"));
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->command(), "converter");
    EXPECT_EQ(log->options(), "-d");
    const std::unique_ptr<FenluxReader> text = FenluxReader::forPath(QStringLiteral("notes.txt"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->command(), "ostrel");
    EXPECT_EQ(FenluxReader::forPath(QStringLiteral("table.csv")), nullptr);
    EXPECT_EQ(FenluxReader::forPath(QStringLiteral("log.vrn.csv")), nullptr);
    EXPECT_EQ(FenluxReader::forPath(QStringLiteral("vrn")), nullptr);

    // The defaults fill in what is missing and keep what the user set.
    FenluxReader::writeDefaults();
    EXPECT_EQ(settings.value(QStringLiteral("fenlux/reader/.vrn/command")).toString(), "converter");
    EXPECT_EQ(settings.value(QStringLiteral("fenlux/reader/.vrn/options")).toString(), "-d");
    EXPECT_EQ(settings.value(QStringLiteral("fenlux/reader/.vrn/description")).toString(),
              "varno data files");
    settings.remove(QStringLiteral("fenlux/reader"));
}

TEST(FenluxReader, BareCommandIsFoundBesideTheProgramThenOnThePath)
{
    EXPECT_EQ(FenluxReader::resolveCommand(QStringLiteral("fenlux_test_reader")), helperPath());
    const QString sh = FenluxReader::resolveCommand(QStringLiteral("sh"));
    EXPECT_TRUE(QFileInfo(sh).isAbsolute()) << sh.toStdString();
    EXPECT_EQ(FenluxReader::resolveCommand(QStringLiteral("no-such-program-xyz")),
              "no-such-program-xyz");
}

TEST(FenluxTextFile, WholeLongLinesAndCrLf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.csv"));
    QByteArray text = "\"time\",\"a\",\"b\"\r\n1,2,3\r\n";
    // A line far over 4096 bytes is one row (its oversized field and the rest are dropped).
    text += "2,5," + QByteArray(5000, '7') + ",9\r\n3,4,5\r\n";
    writeFile(path, text);
    FenluxDoc doc(nullptr);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(doc.openDocument(path));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "line buffer overflow\n");
    ASSERT_EQ(doc.data().rowCount(), 3u);
    EXPECT_DOUBLE_EQ(doc.data().values(2)[1], 5);
    EXPECT_TRUE(std::isnan(doc.data().values(3)[1]));
    EXPECT_DOUBLE_EQ(doc.data().values(1)[2], 3);
    EXPECT_EQ(doc.title(), "long.csv");
}

TEST(FenluxTextFile, DashReadsStandardInput)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.csv"));
    writeFile(path, csvTable(4));
    const int saved = dup(0);
    ASSERT_NE(std::freopen(path.toLocal8Bit().constData(), "r", stdin), nullptr);
    FenluxDoc doc(nullptr);
    const bool ok = doc.openDocument(QStringLiteral("-"));
    dup2(saved, 0);
    close(saved);
    clearerr(stdin);
    ASSERT_TRUE(ok);
    EXPECT_EQ(doc.data().rowCount(), 4u);
    EXPECT_EQ(doc.title(), "-");
}

TEST(FenluxTextFile, FailuresAndTheSuccessRule)
{
    QTemporaryDir dir;
    FenluxDoc doc(nullptr);
    EXPECT_FALSE(doc.openDocument(dir.filePath(QStringLiteral("missing.csv"))));
    const QString narrow = dir.filePath(QStringLiteral("narrow.csv"));
    writeFile(narrow, "\"time\"\n1\n2\n");
    EXPECT_FALSE(doc.openDocument(narrow));
    const QString empty = dir.filePath(QStringLiteral("norows.csv"));
    writeFile(empty, "\"time\",\"a\",\"b\"\n");
    EXPECT_FALSE(doc.openDocument(empty));
}

TEST(FenluxTextFile, AbortWhileReadingDropsTheColumns)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.csv"));
    writeFile(path, csvTable(FenluxDoc::kLinesPerEventTurn * 4));
    FenluxDoc doc(nullptr);
    QTimer::singleShot(0, &doc, &FenluxDoc::slotAbortOpen);
    EXPECT_FALSE(doc.openDocument(path));
    EXPECT_EQ(doc.data().columnCount(), 0);
}

namespace {

QString converterPath()
{
    const QByteArray dir = qgetenv("VARNO_BIN_DIR");
    const QString path = QString::fromLocal8Bit(dir) + QStringLiteral("/ostrel");
    return !dir.isEmpty() && QFileInfo(path).isExecutable() ? path : QString();
}

} // namespace

TEST(FenluxConverter, DataLogReadThroughTheBuiltConverter)
{
    const QString converter = converterPath();
    if (converter.isEmpty())
        GTEST_SKIP() << "converter program not built";
    Writer w;
    w.text("# varno 305 version 3.1 tarnvik orbelmetrik nr 42");
    w.text("# \"Tower A\"");
    w.text("# 04.03.2004 05:00:00");
    w.text("# set stat period 600");
    w.text("# stat format = mean");
    w.floats({1.5f, 20, 0, 0});
    w.floats({2.25f, -1, 0, 0});
    w.halfFloats({0x7C00, 0xFC00, 0xFFFF, 0});
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("log.vrn"));
    writeFile(log, QByteArray(reinterpret_cast<const char*>(w.bytes().data()), int(w.bytes().size())));

    FenluxDoc doc(nullptr);
    FenluxReader reader(converter, QString());
    ASSERT_TRUE(doc.openDocument(log, &reader));
    const varno::fenlux::FenluxData& d = doc.data();
    ASSERT_EQ(d.columnCount(), 7);
    ASSERT_EQ(d.rowCount(), 3u);
    EXPECT_EQ(doc.title(), "\"Tower A\"");
    EXPECT_EQ(d.instrument(), "varno305-,42");
    EXPECT_EQ(d.column(2)->name, "period");
    EXPECT_EQ(d.column(3)->name, "v1");
    EXPECT_EQ(d.column(3)->group, 2);
    EXPECT_EQ(d.column(6)->name, "direction");
    EXPECT_EQ(d.column(6)->suffix, "mean360");
    EXPECT_DOUBLE_EQ(d.values(1)[0], 1078376401.0); // 2004-03-04 05:00:01
    EXPECT_DOUBLE_EQ(d.values(1)[1], 1078377000.0);
    EXPECT_DOUBLE_EQ(d.values(3)[0], 1.5);
    EXPECT_DOUBLE_EQ(d.values(4)[1], -1.0);
    // The instrument's infinities are gaps, like its not-a-number.
    EXPECT_TRUE(std::isnan(d.values(3)[2]));
    EXPECT_TRUE(std::isnan(d.values(4)[2]));
    EXPECT_TRUE(std::isnan(d.values(5)[2]));

    // A file the converter cannot load gives an empty table: the open fails.
    const QString broken = dir.filePath(QStringLiteral("empty.vrn"));
    writeFile(broken, "");
    FenluxDoc none(nullptr);
    FenluxReader again(converter, QString());
    EXPECT_FALSE(none.openDocument(broken, &again));
}
