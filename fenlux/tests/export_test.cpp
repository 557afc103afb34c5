#include <fenlux/FenluxData.h>
#include <fenlux/FenluxExport.h>

#include <QBuffer>

#include <gtest/gtest.h>

#include <cmath>

using namespace varno::fenlux;

namespace {

void feed(FenluxData& d, const QByteArray& text)
{
    for (const QByteArray& line : text.split('\n'))
        d.appendLine(line.constData());
}

QByteArray csv(const FenluxData& d, RowRange rows, const std::vector<int>& columns)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(writeCsv(buffer, d, rows, columns));
    return buffer.data();
}

ExportRequest parsed(const QStringList& arguments, QString* error = nullptr)
{
    ExportRequest r;
    QString message;
    EXPECT_EQ(parseExportArguments(arguments, &r, &message), error == nullptr) << message.toStdString();
    if (error)
        *error = message;
    return r;
}

} // namespace

TEST(FenluxCsvExport, WrittenRowsReadBackTheSame)
{
    FenluxData d;
    feed(d, "\"date\" \"time\" \"period\" \"v1_mean\" \"v1_max\" \"dir_mean360\"\n"
            "2024-05-01 00:10:00 0 5.5 9.25 270\n"
            "2024-05-01 00:20:00.250 0 NaN 0.1 271.5\n"
            "2024-05-01 00:30:00 0 1e-7 1e300 -3\n"
            "2024-05-01 00:40:00 0 1 2 3\n");
    const QByteArray text = csv(d, {1, 3}, {3, 4, 5});
    EXPECT_EQ(text, "\"time\",\"v1_mean\",\"v1_max\",\"dir_mean360\"\n"
                    "2024-05-01 00:20:00.250,,0.1,271.5\n"
                    "2024-05-01 00:30:00,1e-07,1e+300,-3\n");
    FenluxData back;
    feed(back, text);
    ASSERT_EQ(back.rowCount(), 2u);
    ASSERT_EQ(back.columnCount(), 5);
    for (int c = 1; c < 5; ++c) {
        EXPECT_EQ(columnHeading(back, c), c == 1 ? QStringLiteral("time") : columnHeading(d, c + 1));
        EXPECT_EQ(back.column(c)->group, d.column(c + 1)->group - 1) << c;
        for (size_t r = 0; r < 2; ++r) {
            const double a = back.values(c)[r], b = d.values(c == 1 ? 1 : c + 1)[r + 1];
            EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << c << " " << r;
        }
    }
}

TEST(FenluxCsvExport, TimesThatAreNoCalendarTimeStayNumbers)
{
    FenluxData d;
    feed(d, "time,a\n0,1\n300000000000,2\n,3\n0.5,4\n");
    EXPECT_EQ(csv(d, {0, 10}, {2}),
              "\"time\",\"a\"\n0,1\n300000000000,2\n,3\n1970-01-01 00:00:00.500,4\n");
}

TEST(FenluxExportCommandLine, OptionsFilesAndErrors)
{
    EXPECT_TRUE(isExportCommand({"fenlux", "a.csv", "--export=x.png"}));
    EXPECT_FALSE(isExportCommand({"--export=x.png"})); // only the program name
    EXPECT_FALSE(isExportCommand({"fenlux", "a.csv"}));

    ExportRequest r = parsed({"--export=Rose.SVG", "--view=rose", "--speed=v1", "--direction=dir",
                              "--sectors=16", "a.vrn", "b.vrn"});
    EXPECT_EQ(r.format, ExportFormat::Svg);
    EXPECT_EQ(r.view, ExportRequest::View::Rose);
    EXPECT_EQ(r.speed, "v1");
    EXPECT_EQ(r.direction, "dir");
    EXPECT_EQ(r.sectors, 16);
    EXPECT_EQ(r.files, (QStringList{"a.vrn", "b.vrn"}));
    r = parsed({"x.csv", "--export=d.pdf", "--view=distribution", "--bin=0.5"});
    EXPECT_EQ(r.view, ExportRequest::View::Distribution);
    EXPECT_EQ(r.binWidth, 0.5);
    EXPECT_EQ(r.sectors, 12);
    EXPECT_EQ(parsed({"--export=p.png", "-"}).files, QStringList{"-"});

    QString error;
    parsed({"--export=x.bmp", "a.csv"}, &error);
    EXPECT_EQ(error, "unknown file type: x.bmp (use .png, .svg, .pdf or .csv)");
    parsed({"--export=x.png"}, &error);
    EXPECT_EQ(error, "no file to read");
    parsed({"--export=x.png", "--sectors=10", "a"}, &error);
    EXPECT_EQ(error, "sectors must be 8, 12, 16 or 36: --sectors=10");
    parsed({"--export=x.png", "--view=table", "a"}, &error);
    EXPECT_EQ(error, "unknown view: table (plot, rose or distribution)");
    parsed({"--export=x.png", "--colour=red", "a"}, &error);
    EXPECT_EQ(error, "unknown option: --colour=red");
}
