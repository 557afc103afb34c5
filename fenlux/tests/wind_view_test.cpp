#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxView.h>
#include <fenlux/FenluxWindView.h>
#include "FenluxTesting.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QSlider>

#include <qwt_plot.h>
#include <qwt_text.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

using namespace varno::fenlux;

namespace {

// Rows at 10-s steps: speeds drawn from a Weibull law (k 2, A 6), every 50th missing and
// every 70th calm at 0, directions turning through the compass.
QByteArray windTable(int rows)
{
    std::mt19937_64 random(17);
    QByteArray out = "time,speed,dir\n";
    for (int i = 0; i < rows; ++i) {
        const double u = double(random() >> 11) * 0x1p-53;
        const double speed = 6.0 * std::sqrt(-std::log1p(-u));
        out += QByteArray::number(1700000000LL + 10LL * i) + ",";
        if (i % 50 != 7)
            out += i % 70 == 3 ? QByteArray("0") : QByteArray::number(speed, 'f', 2);
        out += "," + QByteArray::number((i * 37) % 360) + "\n";
    }
    return out;
}

void feed(FenluxDoc& doc, const QByteArray& text, const QString& name)
{
    for (const QByteArray& line : text.split('\n'))
        doc.appendLine(line.constData());
    doc.setPathName(name);
}

} // namespace

TEST(FenluxRoseView, FollowsTheTimeRangeOfItsPlotAndItsChoosers)
{
    FenluxDoc doc(nullptr);
    feed(doc, windTable(1000), QStringLiteral("wind.csv"));
    auto plot = std::make_unique<FenluxView>(&doc);
    FenluxRoseView rose(&doc, plot.get());
    EXPECT_EQ(rose.speedColumn(), 2);
    EXPECT_EQ(rose.directionColumn(), 3);
    EXPECT_EQ(rose.rose().sectors, 12);
    EXPECT_EQ(rose.rose().used + rose.rose().missing, 1000);
    EXPECT_EQ(rose.rose().missing, 20);
    EXPECT_TRUE(rose.plot()->title().text().startsWith("Wind rose: wind.csv\n2023-11-14 22:13:20 - "));

    // Ten rows of the plot: the rose counts those and nothing else.
    plot->magnifySlider()->setValue(1000);
    plot->originSlider()->setValue(500);
    const varno::fenlux::RowRange rows = rose.rows();
    EXPECT_EQ(rows.begin, plot->shownRows().begin);
    EXPECT_EQ(rows.size(), 10u);
    const varno::fenlux::FenluxData& data = doc.data();
    const varno::fenlux::WindRose direct =
        varno::fenlux::windRose(data.values(2) + rows.begin, data.values(3) + rows.begin, rows.size());
    EXPECT_EQ(rose.rose().counts, direct.counts);
    EXPECT_EQ(rose.rose().used + rose.rose().missing, 10);

    rose.sectorBox()->setCurrentIndex(rose.sectorBox()->findData(36));
    EXPECT_EQ(rose.rose().sectors, 36);
    EXPECT_EQ(rose.exportColumns(), (std::vector<int>{2, 3}));

    // Once the plot window is gone the rose keeps its last rows.
    plot.reset();
    rose.refresh();
    EXPECT_EQ(rose.rows().begin, rows.begin);
    EXPECT_EQ(rose.rows().size(), 10u);
}

TEST(FenluxRoseView, WithoutADirectionColumnItAsksForOne)
{
    FenluxDoc doc(nullptr);
    feed(doc, "time,speed,temp\n1,2,3\n2,3,4\n", QStringLiteral("t.csv"));
    FenluxRoseView rose(&doc, nullptr);
    EXPECT_EQ(rose.directionColumn(), -1);
    EXPECT_EQ(rose.speedColumn(), 2);
    EXPECT_EQ(rose.rose().used, 0);
    EXPECT_EQ(rose.exportColumns(), std::vector<int>{2});
    // The user takes the temperature for a direction: then it counts.
    rose.setDirectionColumn(3);
    EXPECT_EQ(rose.rose().used, 2);
}

TEST(FenluxDistributionView, HistogramFitAndTheFiguresOfASiteReport)
{
    FenluxDoc doc(nullptr);
    feed(doc, windTable(2000), QStringLiteral("wind.csv"));
    FenluxDistributionView view(&doc, nullptr);
    const varno::fenlux::SpeedDistribution& d = view.distribution();
    ASSERT_TRUE(d.fit.ok);
    EXPECT_NEAR(d.fit.k, 2.0, 0.15);
    EXPECT_NEAR(d.fit.A, 6.0, 0.3);
    EXPECT_EQ(d.sample.missing, 40);
    EXPECT_EQ(d.sample.notAbove0, 29);
    const QString figures = view.figuresText();
    EXPECT_TRUE(figures.startsWith("n = 1931 (left out: 40 missing, 29 not above 0)\nmean speed = "))
        << figures.toStdString();
    EXPECT_TRUE(figures.contains(QStringLiteral("Weibull fit: k = %1, A = %2")
                                     .arg(QString::number(d.fit.k, 'f', 3), QString::number(d.fit.A, 'f', 2))));
    EXPECT_TRUE(figures.contains(QStringLiteral("power density ½·ρ·mean(v³) = ")));
    EXPECT_TRUE(view.summaryLine().contains(
        QRegularExpression(QStringLiteral("^weibull k=\\d+\\.\\d{4} A=\\d+\\.\\d{4} n=1931 mean=\\d+\\.\\d{4}$"))))
        << view.summaryLine().toStdString();

    const size_t unitBins = d.counts.size();
    view.setBinWidth(0.5);
    EXPECT_EQ(view.distribution().binWidth, 0.5);
    EXPECT_NEAR(double(view.distribution().counts.size()), 2.0 * unitBins, 1.0);
    EXPECT_EQ(view.exportColumns(), std::vector<int>{2});
}

TEST(FenluxDistributionView, FewerThanTwoValuesGiveNoFitAndTheViewSaysWhy)
{
    FenluxDoc doc(nullptr);
    feed(doc, "time,speed\n1,0\n2,4.5\n3,\n", QStringLiteral("t.csv"));
    FenluxDistributionView view(&doc, nullptr);
    EXPECT_FALSE(view.distribution().fit.ok);
    EXPECT_EQ(view.figuresText(), "n = 1 (left out: 1 missing, 1 not above 0)\n"
                                  "mean speed = 4.50\n"
                                  "No Weibull fit: fewer than 2 values above 0\n"
                                  "power density ½·ρ·mean(v³) = 55.8 W/m²\n"
                                  "(ρ = 1.225 kg/m³, speeds in m/s)");
    EXPECT_EQ(view.summaryLine(), "weibull k=nan A=nan n=1 mean=4.5000");
}
