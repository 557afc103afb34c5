#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxPlot.h>
#include <fenlux/FenluxView.h>
#include "FenluxTesting.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>

#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>
#include <qwt_text.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <fenlux/FenluxGeometry.h>

using namespace varno::fenlux;

namespace {

int curveCount(FenluxView& view)
{
    return view.plot()->itemList(QwtPlotItem::Rtti_PlotCurve).size();
}

class FenluxViewTest : public testing::Test {
protected:
    void load(int rows)
    {
        const QByteArray text = csvTable(rows);
        for (const QByteArray& line : text.split('\n'))
            doc.appendLine(line.constData());
        doc.setPathName(QStringLiteral("table.csv"));
        view = std::make_unique<FenluxView>(&doc);
        view->resize(900, 600);
        view->show();
        QCoreApplication::processEvents();
    }
    QPoint canvasPoint(double x) const
    {
        const int px = int(view->plot()->transform(QwtPlot::xBottom, x));
        return QPoint(px, view->plot()->canvas()->height() / 2);
    }

    FenluxDoc doc{nullptr};
    std::unique_ptr<FenluxView> view;
};

} // namespace

TEST_F(FenluxViewTest, NewViewShowsTheTableButNoCurve)
{
    load(100);
    EXPECT_EQ(curveCount(*view), 0);
    QTableWidget* table = view->table();
    EXPECT_EQ(table->rowCount(), 2);    // speed, dir
    EXPECT_EQ(table->columnCount(), 3); // value/mean, sigma, max
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), "value/mean");
    EXPECT_EQ(table->horizontalHeaderItem(2)->text(), "max");
    EXPECT_EQ(table->verticalHeaderItem(0)->text(), "speed");
    EXPECT_EQ(table->verticalHeaderItem(1)->text(), "dir");
    EXPECT_EQ(table->cellWidget(0, 0), view->cellLabel(2));
    EXPECT_EQ(table->cellWidget(0, 2), view->cellLabel(3));
    EXPECT_FALSE(view->cellLabel(1)->isVisible()); // time, group 0
    EXPECT_EQ(view->colourName(2), "blue");
    EXPECT_EQ(view->colourName(4), "red");
    // Values at the cursor row 0, in grey while the curve is hidden, in its colour when shown.
    EXPECT_EQ(view->cellLabel(3)->text(), "1.00");
    auto textColour = [&](int column) {
        const QImage image = view->cellLabel(column)->grab().toImage();
        QColor darkest(Qt::white);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.lightness() < darkest.lightness())
                    darkest = c;
            }
        return darkest;
    };
    EXPECT_EQ(view->cellLabel(3)->grab().toImage().pixelColor(1, 1), QColor(Qt::white));
    EXPECT_EQ(textColour(3), QColor(QStringLiteral("darkgrey")));
    view->tableClicked(0, 2);
    const QColor shown = textColour(3);
    EXPECT_TRUE(shown.blue() > 240 && shown.red() < 20 && shown.green() < 20) << shown.name().toStdString();
    view->tableClicked(0, 2);
    EXPECT_EQ(view->plot()->title().text(), "table.csv");
    EXPECT_EQ(view->cursorMarker()->label().text(), "2006-08-17 12:00:00");
}

TEST_F(FenluxViewTest, ShowAllHideAllTableCellsAndRowHeaders)
{
    load(100);
    view->showAllFunctions();
    EXPECT_EQ(curveCount(*view), 3);
    view->hideAllFunctions();
    EXPECT_EQ(curveCount(*view), 0);

    // A click on the cell of speed/max switches that one curve.
    QTableWidget* table = view->table();
    const QRect cell = table->visualRect(table->model()->index(0, 2));
    ASSERT_TRUE(table->viewport()->rect().contains(cell.center()))
        << cell.x() << "," << cell.y() << " in " << table->viewport()->width() << "x"
        << table->viewport()->height();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(view->isShown(3));
    EXPECT_EQ(curveCount(*view), 1);
    view->tableClicked(0, 2);
    EXPECT_FALSE(view->isShown(3));

    // The row header switches the whole function: on, then off.
    view->headerClicked(0);
    EXPECT_TRUE(view->isShown(2));
    EXPECT_TRUE(view->isShown(3));
    EXPECT_FALSE(view->isShown(4));
    view->headerClicked(0);
    EXPECT_FALSE(view->isShown(2));
    EXPECT_FALSE(view->isShown(3));
    // The row header's click signal reaches the view.
    emit table->verticalHeader()->sectionClicked(1);
    EXPECT_TRUE(view->isShown(4));
}

TEST_F(FenluxViewTest, OriginAndMagnifyKeepTheWindowInsideTheData)
{
    load(1000);
    view->magnifySlider()->setValue(1000);
    EXPECT_EQ(view->visibleCount(), 10);
    EXPECT_EQ(view->drawnStart(), 0);
    EXPECT_EQ(view->drawnCount(), 10);
    view->originSlider()->setValue(999);
    EXPECT_EQ(view->drawnStart(), 990);
    const QwtScaleDiv& div = view->plot()->axisScaleDiv(QwtPlot::xBottom);
    EXPECT_DOUBLE_EQ(div.lowerBound(), 1155816000.0 + 9900);
    EXPECT_DOUBLE_EQ(div.upperBound(), 1155816000.0 + 9990);
    // The cursor label sits left of the line near the right edge.
    EXPECT_EQ(view->cursorMarker()->labelAlignment(), Qt::AlignLeft | Qt::AlignTop);
    view->originSlider()->setValue(990);
    EXPECT_EQ(view->cursorMarker()->labelAlignment(), Qt::AlignRight | Qt::AlignTop);
}

TEST_F(FenluxViewTest, MagnifyAtTheEndWithFewRowsShowsAll)
{
    load(5);
    view->magnifySlider()->setValue(1000);
    EXPECT_EQ(view->drawnCount(), 5);
    view->showAllFunctions();
    EXPECT_EQ(curveCount(*view), 3);
}

TEST_F(FenluxViewTest, TimeAndSampleAxes)
{
    load(100);
    EXPECT_EQ(view->plot()->axisTitle(QwtPlot::xBottom).text(), "Time");
    view->timeButton()->setChecked(false);
    EXPECT_FALSE(view->timeMode());
    EXPECT_EQ(view->plot()->axisTitle(QwtPlot::xBottom).text(), "Sampleindex");
    EXPECT_DOUBLE_EQ(view->plot()->axisScaleDiv(QwtPlot::xBottom).upperBound(), 99);
    view->timeButton()->setChecked(true);
    EXPECT_EQ(view->plot()->axisTitle(QwtPlot::xBottom).text(), "Time");

    EXPECT_EQ(FenluxScaleDraw::labelText(0.5, true), "(invalid time)");
    EXPECT_EQ(FenluxScaleDraw::labelText(1155772800, true), "2006-08-17");
    EXPECT_EQ(FenluxScaleDraw::labelText(1155816000, true), "2006-08-17 12:00h");
    EXPECT_EQ(FenluxScaleDraw::labelText(1155816300, true), "12:05h");
    EXPECT_EQ(FenluxScaleDraw::labelText(1155816307, true), "12:05:07");
    EXPECT_EQ(FenluxScaleDraw::labelText(1155816307.25, true), "12:05:07.250");
    EXPECT_EQ(FenluxScaleDraw::labelText(42, false), "42");
    EXPECT_EQ(FenluxScaleDraw::labelText(2.5, false), "2.5");
}

TEST_F(FenluxViewTest, MouseZoomAndRightButton)
{
    load(1000);
    const double t0 = 1155816000.0;
    QWidget* canvas = view->plot()->canvas();
    QTest::mousePress(canvas, Qt::LeftButton, {}, canvasPoint(t0 + 1000));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, canvasPoint(t0 + 2000));
    // Rows about 100 and 200: the cursor in the middle, about 100 rows shown.
    EXPECT_NEAR(view->origin(), 150, 2);
    EXPECT_NEAR(view->visibleCount(), 100, 3);
    const int magnified = view->magnifySlider()->value();
    QTest::mousePress(canvas, Qt::RightButton, {}, canvasPoint(t0 + 1500));
    EXPECT_EQ(view->magnifySlider()->value(), magnified - 100);
}

TEST_F(FenluxViewTest, ZoomBeyondTheLastRowTakesTheLastRow)
{
    load(1000);
    const double t0 = 1155816000.0;
    view->magnifySlider()->setValue(900);
    view->originSlider()->setValue(990);
    QWidget* canvas = view->plot()->canvas();
    QTest::mousePress(canvas, Qt::LeftButton, {}, canvasPoint(t0 + 9900));
    // Released past the right edge of the plot.
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(canvas->width() + 300, 10));
    EXPECT_EQ(view->origin(), (990 + 999) / 2);
}

TEST_F(FenluxViewTest, KeysSnapTheCursorAndStepTheMagnify)
{
    load(2000);
    view->timeButton()->setChecked(false);
    view->setFocus();
    // 2000 rows visible: the sample step is 100.
    view->originSlider()->setValue(437);
    QTest::keyClick(view.get(), Qt::Key_Right);
    EXPECT_EQ(view->origin(), 500);
    QTest::keyClick(view.get(), Qt::Key_Left);
    EXPECT_EQ(view->origin(), 400);
    QTest::keyClick(view.get(), Qt::Key_Up);
    EXPECT_EQ(view->magnifySlider()->value(), 100);
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->magnifySlider()->value(), 0);

    // Time mode: steps of whole seconds from the first time, at least one row.
    view->timeButton()->setChecked(true);
    view->magnifySlider()->setValue(1000);
    view->originSlider()->setValue(50);
    QTest::keyClick(view.get(), Qt::Key_Right);
    EXPECT_EQ(view->origin(), 51);
}

TEST_F(FenluxViewTest, WheelStepsTheMagnify)
{
    load(200);
    QWheelEvent up(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.get(), &up);
    EXPECT_EQ(view->magnifySlider()->value(), 100);
    QWheelEvent down(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.get(), &down);
    QCoreApplication::sendEvent(view.get(), &down);
    EXPECT_EQ(view->magnifySlider()->value(), 0);
}

TEST_F(FenluxViewTest, CtrlWheelAndCtrlDragZoomTheValuesAndResetReturnsToAutoscale)
{
    load(200);
    view->showAllFunctions();
    FenluxPlot* plot = view->plot();
    QWidget* canvas = plot->canvas();
    const QwtInterval automatic = plot->axisInterval(QwtPlot::yLeft);
    EXPECT_FALSE(view->resetZoomButton()->isEnabled());

    // A notch of the wheel with Ctrl over the canvas: a fifth less of the values, around the
    // value under the mouse; the time span stays.
    const QPoint at(canvas->width() / 2, canvas->height() / 4);
    const double under = plot->invTransform(QwtPlot::yLeft, at.y());
    const QPointF inView = canvas->mapTo(view.get(), at);
    QWheelEvent notch(inView, inView, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.get(), &notch);
    EXPECT_EQ(view->magnifySlider()->value(), 0);
    ASSERT_TRUE(view->isValueAxisZoomed());
    const QwtInterval zoomed = plot->axisInterval(QwtPlot::yLeft);
    EXPECT_NEAR(zoomed.width(), 0.8 * automatic.width(), 1e-9);
    EXPECT_NEAR((under - zoomed.minValue()) / (under - automatic.minValue()), 0.8, 1e-9);
    EXPECT_TRUE(view->resetZoomButton()->isEnabled());

    // A drag with Ctrl held: the values between press and release fill the plot.
    const QPoint from(canvas->width() / 3, canvas->height() / 5);
    const QPoint to(canvas->width() / 2, canvas->height() / 2);
    const double top = plot->invTransform(QwtPlot::yLeft, from.y());
    const double bottom = plot->invTransform(QwtPlot::yLeft, to.y());
    const long origin = view->origin();
    QTest::mousePress(canvas, Qt::LeftButton, Qt::ControlModifier, from);
    // The band follows the mouse while the button is down.
    EXPECT_TRUE(view->picker()->valueMode());
    EXPECT_TRUE(view->picker()->isActive());
    QTest::mouseMove(canvas, to);
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::ControlModifier, to);
    EXPECT_DOUBLE_EQ(plot->axisInterval(QwtPlot::yLeft).minValue(), bottom);
    EXPECT_DOUBLE_EQ(plot->axisInterval(QwtPlot::yLeft).maxValue(), top);
    EXPECT_EQ(view->origin(), origin);
    EXPECT_EQ(view->magnifySlider()->value(), 0);

    // The zoom holds while the cursor moves; a plain drag still zooms the time.
    view->originSlider()->setValue(150);
    EXPECT_DOUBLE_EQ(plot->axisInterval(QwtPlot::yLeft).maxValue(), top);
    QTest::mousePress(canvas, Qt::LeftButton, {}, canvasPoint(1155816000.0 + 200));
    EXPECT_FALSE(view->picker()->valueMode());
    EXPECT_TRUE(view->picker()->isActive());
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, canvasPoint(1155816000.0 + 600));
    EXPECT_GT(view->magnifySlider()->value(), 0);
    EXPECT_DOUBLE_EQ(plot->axisInterval(QwtPlot::yLeft).maxValue(), top);

    QTest::mouseClick(view->resetZoomButton(), Qt::LeftButton);
    EXPECT_FALSE(view->isValueAxisZoomed());
    EXPECT_FALSE(view->resetZoomButton()->isEnabled());
    EXPECT_TRUE(plot->axisAutoScale(QwtPlot::yLeft));
}

TEST_F(FenluxViewTest, UpdateFromAnotherSenderResetsTheSpan)
{
    load(100);
    view->magnifySlider()->setValue(800);
    doc.updateAllViews(view.get());
    EXPECT_EQ(view->magnifySlider()->value(), 800);
    doc.appendLine("1155900000,1,2,3");
    doc.updateAllViews(nullptr);
    EXPECT_EQ(view->magnifySlider()->value(), 0);
    EXPECT_EQ(view->originSlider()->maximum(), 100);
    EXPECT_EQ(view->visibleCount(), 101);
}

TEST_F(FenluxViewTest, DocumentRenumbersTheCaptionsOfItsViews)
{
    load(10);
    FenluxView second(&doc);
    doc.addView(view.get());
    EXPECT_EQ(view->windowTitle(), "table.csv");
    doc.addView(&second);
    EXPECT_EQ(view->windowTitle(), "table.csv:1");
    EXPECT_EQ(second.windowTitle(), "table.csv:2");
    doc.removeView(view.get());
    EXPECT_EQ(second.windowTitle(), "table.csv");
    EXPECT_EQ(view->windowTitle(), "table.csv:1"); // a removed view is left alone
}

TEST_F(FenluxViewTest, PrintRendersThePlotIntoThePrinter)
{
    load(100);
    view->showAllFunctions();
    varno::testing::InstalledInteraction ui;
    QTemporaryDir dir;
    QPrinter printer;
    EXPECT_FALSE(view->print(&printer)); // cancelled set-up
    const QString pdfPath = dir.filePath(QStringLiteral("plot.pdf"));
    acceptPrinterAsPdf(ui, printer, pdfPath);
    ASSERT_TRUE(view->print(&printer));
    QFile pdf(pdfPath);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    EXPECT_GT(pdf.size(), 2000);
}

TEST(FenluxCurveDrawing, ReducedCurveLooksLikeEveryPointDrawn)
{
    // A noisy series of 200,000 points on a 600-pixel canvas, drawn once reduced and once
    // point by point by the plain curve.
    const size_t n = 200000;
    std::vector<double> x(n), y(n);
    unsigned seed = 7;
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        x[i] = double(i);
        y[i] = std::sin(double(i) * 0.0002) * 50 + double(seed % 1000) / 100.0;
    }
    y[n / 3] = std::numeric_limits<double>::quiet_NaN();
    varno::fenlux::ColumnSummary summary;
    summary.build(y.data(), n);
    auto render = [&](bool reduced) {
        FenluxPlot plot;
        plot.setCanvasBackground(Qt::white);
        plot.enableAxis(QwtPlot::yLeft, false);
        plot.enableAxis(QwtPlot::xBottom, false);
        plot.setAxisScale(QwtPlot::xBottom, 0, double(n - 1));
        plot.setAxisScale(QwtPlot::yLeft, -60, 70);
        QwtPlotCurve* curve;
        if (reduced) {
            auto* c = new FenluxCurve;
            c->setSeries(x.data(), y.data(), n, true, &summary, 0);
            curve = c;
        } else {
            curve = new QwtPlotCurve;
            // The plain curve draws NaN badly: give it the two halves separately.
            curve->setRawSamples(x.data(), y.data(), int(n / 3));
            auto* rest = new QwtPlotCurve;
            rest->setRawSamples(x.data() + n / 3 + 1, y.data() + n / 3 + 1, int(n - n / 3 - 1));
            rest->setPen(QPen(Qt::blue, 1));
            rest->attach(&plot);
        }
        curve->setPen(QPen(Qt::blue, 1));
        curve->attach(&plot);
        plot.resize(600, 300);
        plot.show();
        plot.replot();
        return plot.canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage reduced = render(true);
    const QImage full = render(false);
    ASSERT_EQ(reduced.size(), full.size());
    long blue = 0, differ = 0;
    for (int r = 0; r < full.height(); ++r)
        for (int c = 0; c < full.width(); ++c) {
            const bool a = qBlue(full.pixel(c, r)) > 200 && qRed(full.pixel(c, r)) < 100;
            const bool b = qBlue(reduced.pixel(c, r)) > 200 && qRed(reduced.pixel(c, r)) < 100;
            blue += a;
            differ += a != b;
        }
    EXPECT_GT(blue, 10000);
    // Rounding at span ends may move single pixels, nothing more.
    EXPECT_LT(double(differ) / double(blue), 0.005) << differ << " of " << blue;
}
