// The plot's axis labels offscreen: at every plot width from 300 pixels, no two labels of an
// axis overlap, yet the axes keep as many ticks as fit.
#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxGeometry.h>
#include <fenlux/FenluxPlot.h>
#include <fenlux/FenluxView.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QSlider>

#include <qwt_scale_div.h>
#include <qwt_scale_widget.h>

#include <gtest/gtest.h>

#include <memory>

using namespace varno::fenlux;

namespace {

struct Span {
    const char* what;
    int rows;
    long step; // seconds between rows
};

// Rows from 2026-10-25 00:00 UTC with a wind-like value.
std::unique_ptr<FenluxDoc> table(const Span& span)
{
    auto doc = std::make_unique<FenluxDoc>(nullptr);
    doc->appendLine("\"time\",\"speed_mean\",\"speed_max\"");
    const long t0 = 1792886400;
    for (int i = 0; i < span.rows; ++i) {
        const QByteArray line = QByteArray::number(qlonglong(t0 + span.step * i)) + ","
                                + QByteArray::number(5 + (i * 7919) % 1300 / 100.0) + ","
                                + QByteArray::number(12345.5 + (i * 31) % 9000);
        doc->appendLine(line.constData());
    }
    doc->setPathName(QStringLiteral("span.csv"));
    return doc;
}

QVector<QRectF> labels(FenluxPlot& plot, int axis)
{
    return majorLabelRects(*plot.axisScaleDraw(axis), plot.axisWidget(axis)->font());
}

// First overlap of two labels of an axis, as text for the failure message; empty when none.
std::string overlap(FenluxPlot& plot, int axis)
{
    const QVector<QRectF> rects = labels(plot, axis);
    const QList<double> ticks = plot.axisScaleDiv(axis).ticks(QwtScaleDiv::MajorTick);
    for (int i = 0; i < rects.size(); ++i)
        for (int j = i + 1; j < rects.size(); ++j)
            if (rects[i].intersects(rects[j]))
                return QStringLiteral("labels %1 and %2 of %3 overlap (ticks %4 and %5)")
                    .arg(i).arg(j).arg(rects.size()).arg(ticks.value(i), 0, 'f', 3).arg(ticks.value(j), 0, 'f', 3)
                    .toStdString();
    return {};
}

class FenluxAxisLabels : public ::testing::Test {
protected:
    // A view whose plot is width pixels wide and the view height high.
    void show(const Span& span, int width, int height = 400)
    {
        doc = table(span);
        view = std::make_unique<FenluxView>(doc.get());
        view->plot()->setMinimumWidth(100); // narrower than the view allows
        view->showAllFunctions();
        view->resize(900, height);
        view->show();
        QCoreApplication::processEvents();
        view->resize(900 + width - view->plot()->width(), height);
        QCoreApplication::processEvents();
        ASSERT_EQ(view->plot()->width(), width);
    }

    std::unique_ptr<FenluxDoc> doc;
    std::unique_ptr<FenluxView> view;
};

const Span kSpans[] = {
    {"a minute", 61, 1},           {"two hours", 721, 10},   {"a day and a half", 2161, 60},
    {"ten days", 1441, 600},       {"a month", 4465, 600},   {"two years", 731, 86400},
};
const int kWidths[] = {300, 450, 800, 1600};

} // namespace

TEST_F(FenluxAxisLabels, TimeAndValueLabelsNeverOverlapAtAnyWidth)
{
    for (const Span& span : kSpans) {
        for (int width : kWidths) {
            SCOPED_TRACE(std::string(span.what) + " at " + std::to_string(width) + " pixels");
            show(span, width);
            FenluxPlot& plot = *view->plot();
            EXPECT_EQ(overlap(plot, QwtPlot::xBottom), "");
            EXPECT_EQ(overlap(plot, QwtPlot::yLeft), "");
            EXPECT_GE(labels(plot, QwtPlot::yLeft).size(), 3);
            const QList<double> major = plot.axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick);
            if (width >= 450) {
                EXPECT_GE(major.size(), 2);
            }
            // Wide plots keep the calendar step of the range.
            const double range = plot.axisScaleDiv(QwtPlot::xBottom).range();
            if (width == 1600 && major.size() >= 2) {
                EXPECT_DOUBLE_EQ(major[1] - major[0], varno::fenlux::nice(range, 3));
            }
        }
    }
}

TEST_F(FenluxAxisLabels, MinorTicksDivideTheMajorStepAndStayApart)
{
    for (int width : {450, 1600}) {
        SCOPED_TRACE(width);
        show(kSpans[3], width);
        FenluxPlot& plot = *view->plot();
        const QwtScaleDiv& division = plot.axisScaleDiv(QwtPlot::xBottom);
        const QList<double> major = division.ticks(QwtScaleDiv::MajorTick);
        const QList<double> minor = division.ticks(QwtScaleDiv::MinorTick);
        ASSERT_GE(major.size(), 2);
        ASSERT_GE(minor.size(), 2);
        const double step = major[1] - major[0];
        const double minorStep = minor[1] - minor[0];
        const double parts = step / minorStep;
        EXPECT_NEAR(parts, std::round(parts), 1e-9);
        EXPECT_LE(parts, 15);
        const double pixelsPerSecond = plot.axisScaleDraw(QwtPlot::xBottom)->length() / division.range();
        EXPECT_GE(minorStep * pixelsPerSecond, 5);
    }
}

TEST_F(FenluxAxisLabels, SampleIndexAndAShortPlotKeepTheirLabelsApart)
{
    for (int width : kWidths) {
        SCOPED_TRACE(width);
        show({"many rows", 120000, 1}, width, 260);
        view->timeButton()->setChecked(false);
        FenluxPlot& plot = *view->plot();
        EXPECT_EQ(overlap(plot, QwtPlot::xBottom), "");
        EXPECT_EQ(overlap(plot, QwtPlot::yLeft), "");
        EXPECT_GE(labels(plot, QwtPlot::xBottom).size(), 2);
        EXPECT_GE(labels(plot, QwtPlot::yLeft).size(), 2);
    }
}

TEST_F(FenluxAxisLabels, ResizingRefitsTheLabels)
{
    show(kSpans[3], 1600);
    const int wide = labels(*view->plot(), QwtPlot::xBottom).size();
    view->resize(view->width() - 1300, view->height());
    QCoreApplication::processEvents();
    ASSERT_EQ(view->plot()->width(), 300);
    EXPECT_EQ(overlap(*view->plot(), QwtPlot::xBottom), "");
    EXPECT_LT(labels(*view->plot(), QwtPlot::xBottom).size(), wide);
    view->resize(view->width() + 1300, view->height());
    QCoreApplication::processEvents();
    EXPECT_EQ(labels(*view->plot(), QwtPlot::xBottom).size(), wide);
}
