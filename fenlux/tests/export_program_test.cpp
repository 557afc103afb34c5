// The plotter run from a script: no window and no display.
#include "FenluxTesting.h"
#include <testing/CommaLocale.h>

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct Result {
    int status = -1;
    QString out, err;
};

class FenluxExportProgram : public testing::Test {
protected:
    void SetUp() override
    {
        program = QString::fromLocal8Bit(qgetenv("VARNO_BIN_DIR")) + QStringLiteral("/fenlux");
        if (!QFileInfo(program).isExecutable())
            GTEST_SKIP() << "fenlux not built";
    }
    // fenlux (or another program) with arguments, without a display and with settings of
    // its own.
    Result run(const QStringList& arguments, const QByteArray& locale = "C", const QString& other = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(locale));
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(other.isEmpty() ? program : other, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
    QString table(const QString& name, int rows, long t0)
    {
        const QString path = dir.filePath(name);
        writeFile(path, csvTable(rows, t0));
        return path;
    }
    QByteArray head(const QString& name)
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.read(200) : QByteArray();
    }

    QString program;
    QTemporaryDir dir;
};

} // namespace

TEST_F(FenluxExportProgram, DrawsEachViewOfFilesJoinedIntoOneMeasurement)
{
    const QString a = table(QStringLiteral("a.csv"), 200, 1155816000);
    const QString b = table(QStringLiteral("b.csv"), 200, 1155818000);

    Result r = run({QStringLiteral("--export=dist.png"), QStringLiteral("--view=distribution"), a, b});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    // Speeds i % 7: 0 is left out, 400 rows in all.
    EXPECT_TRUE(r.out.contains(QRegularExpression(QStringLiteral("^weibull k=\\d+\\.\\d{4} A=\\d+\\.\\d{4} n=342 "
                                                                 "mean=3\\.\\d{4}\\n$"))))
        << r.out.toStdString();
    EXPECT_TRUE(head(QStringLiteral("dist.png")).startsWith("\x89PNG"));

    r = run({QStringLiteral("--export=rose.svg"), QStringLiteral("--view=rose"), QStringLiteral("--sectors=8"), a});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(head(QStringLiteral("rose.svg")).contains("<svg"));

    r = run({QStringLiteral("--export=plot.pdf"), QStringLiteral("--speed=speed_max"), a, b});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(head(QStringLiteral("plot.pdf")).startsWith("%PDF-"));

    r = run({QStringLiteral("--export=rows.csv"), QStringLiteral("--view=rose"), a, b});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    QFile rows(dir.filePath(QStringLiteral("rows.csv")));
    ASSERT_TRUE(rows.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = rows.readAll().split('\n');
    EXPECT_EQ(lines.value(0), "\"time\",\"speed_mean\",\"dir_mean\"");
    EXPECT_EQ(lines.size(), 402);
}

TEST_F(FenluxExportProgram, NumbersAreTheSameInACommaLocale)
{
    const varno::testing::CommaLocale comma;
    if (!comma.available())
        GTEST_SKIP() << comma.missingReason();
    // The locale reaches a child: its printf writes a comma.
    ASSERT_EQ(run({QStringLiteral("%.1f"), QStringLiteral("1")}, comma.name(), QStringLiteral("/usr/bin/printf")).out,
              "1,0");
    const QString a = table(QStringLiteral("a.csv"), 100, 1155816000);
    const Result c = run({QStringLiteral("--export=d.png"), QStringLiteral("--view=distribution"), a});
    const Result de = run({QStringLiteral("--export=d.png"), QStringLiteral("--view=distribution"), a}, comma.name());
    EXPECT_EQ(c.status, 0);
    EXPECT_TRUE(c.out.startsWith("weibull k="));
    EXPECT_EQ(de.out, c.out);
}

TEST_F(FenluxExportProgram, BadArgumentsFilesAndColumnsFailWithAMessage)
{
    const QString a = table(QStringLiteral("a.csv"), 50, 1155816000);
    struct Case {
        QStringList arguments;
        QString message;
    };
    const Case cases[] = {
        {{QStringLiteral("--export=x.bmp"), a}, "fenlux: unknown file type: x.bmp (use .png, .svg, .pdf or .csv)"},
        {{QStringLiteral("--export=x.png"), dir.filePath(QStringLiteral("none.csv"))},
         "fenlux: cannot read " + dir.filePath(QStringLiteral("none.csv"))},
        {{QStringLiteral("--export=x.png"), QStringLiteral("--view=rose"), QStringLiteral("--speed=gust"), a},
         "fenlux: no column named gust"},
        {{QStringLiteral("--export=x.png"), QStringLiteral("--direction=wind_dir"), a},
         "fenlux: no column named wind_dir"},
        {{QStringLiteral("--export=x.png"), QStringLiteral("--sectors=10"), a},
         "fenlux: sectors must be 8, 12, 16 or 36: --sectors=10"},
        {{QStringLiteral("--export=no/folder/x.png"), a}, "fenlux: cannot write no/folder/x.png: "},
    };
    for (const Case& c : cases) {
        const Result r = run(c.arguments);
        EXPECT_EQ(r.status, 1) << c.message.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.png"))));

    // A table without a direction has no rose.
    const QString speeds = dir.filePath(QStringLiteral("speeds.csv"));
    writeFile(speeds, "time,speed\n1,2\n2,3\n");
    const Result r = run({QStringLiteral("--export=x.png"), QStringLiteral("--view=rose"), speeds});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("fenlux: no direction column found: name one with --direction=<column>"))
        << r.err.toStdString();
}

TEST_F(FenluxExportProgram, DataLogsGoThroughTheConverter)
{
    const QString bin = QString::fromLocal8Bit(qgetenv("VARNO_BIN_DIR"));
    if (!QFileInfo(bin + QStringLiteral("/ostrel")).isExecutable()
        || !QFileInfo(bin + QStringLiteral("/ostrel-make-log")).isExecutable())
        GTEST_SKIP() << "converter or log writer not built";
    const QString log = dir.filePath(QStringLiteral("station.vrn"));
    ASSERT_EQ(QProcess::execute(bin + QStringLiteral("/ostrel-make-log"),
                                {QStringLiteral("--days"), QStringLiteral("3"), log}),
              0);
    Result r = run({QStringLiteral("--export=d.svg"), QStringLiteral("--view=distribution"), log});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("weibull k=")) << r.out.toStdString();
    r = run({QStringLiteral("--export=rose.png"), QStringLiteral("--view=rose"), log});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(head(QStringLiteral("rose.png")).startsWith("\x89PNG"));
}
