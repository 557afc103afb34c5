#pragma once

#include <fenlux/FenluxGeometry.h>

#include <qwt_interval.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_draw.h>
#include <qwt_series_data.h>

class QwtPlotGrid;

namespace varno::fenlux {

// Where the labels of the major ticks of draw are drawn in its widget, in tick order.
QVector<QRectF> majorLabelRects(const QwtScaleDraw& draw, const QFont& font);

// Axis labels: calendar times in time mode, plain numbers otherwise.
class FenluxScaleDraw : public QwtScaleDraw {
public:
    explicit FenluxScaleDraw(bool timeMode) : m_timeMode(timeMode) {}
    QwtText label(double value) const override;
    static QString labelText(double value, bool timeMode);

private:
    bool m_timeMode;
};

// Points of one curve over the rows shown: two arrays owned by the document, starting at
// row offset of the column that summary describes (optional).
class FenluxSeries : public QwtSeriesData<QPointF> {
public:
    FenluxSeries(const double* x, const double* y, size_t size, bool ascending,
                 const ColumnSummary* summary = nullptr, size_t offset = 0);
    size_t size() const override { return m_size; }
    QPointF sample(size_t i) const override { return QPointF(m_x[i], m_y[i]); }
    QRectF boundingRect() const override;

    const double* x() const { return m_x; }
    const double* y() const { return m_y; }
    bool ascending() const { return m_ascending; }
    const ColumnSummary* summary() const { return m_summary; }
    size_t offset() const { return m_offset; }

private:
    const double* m_x;
    const double* m_y;
    size_t m_size;
    bool m_ascending;
    const ColumnSummary* m_summary;
    size_t m_offset;
};

// A curve that draws only what can be seen: the points that fall into one pixel column
// become its first, lowest, highest and last point. Missing values (NaN) leave a gap.
class FenluxCurve : public QwtPlotCurve {
public:
    FenluxCurve() = default;
    void setSeries(const double* x, const double* y, size_t size, bool ascending,
                   const ColumnSummary* summary = nullptr, size_t offset = 0);

protected:
    void drawSeries(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                    const QRectF& canvasRect, int from, int to) const override;
};

// The plot widget of a view, redrawn only on request.
class FenluxPlot : public QwtPlot {
    Q_OBJECT
public:
    explicit FenluxPlot(QWidget* parent = nullptr);

    void setTimeMode(bool on) { m_timeMode = on; }
    bool timeMode() const { return m_timeMode; }
    QwtPlotGrid* grid() const { return m_grid; }

    // New scale draws and axis title, divisions fitted to the labels (calendar steps in
    // time mode), then a replot.
    void redraw();

    // Gives the bottom and the left axis only as many major ticks as their labels fit side
    // by side with a gap, at the plot's present size; true when a division changed. Runs
    // on every redraw and resize.
    bool fitAxes();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // From mostMajor ticks down, until the labels fit.
    bool fitNumericAxis(int axis, int mostMajor);
    // From the calendar step of the range up, until the labels fit.
    bool fitTimeAxis();
    bool labelsFit(int axis) const;

    bool m_timeMode = true;
    QwtPlotGrid* m_grid;
    QwtInterval m_timeRange; // of the bottom axis in time mode, as the view set it
};

// The outline of a drag on the plot canvas: a vertical line that follows the mouse (a
// span of time), or in value mode the band of values between the press and the mouse.
class FenluxPicker : public QwtPlotPicker {
public:
    explicit FenluxPicker(QWidget* canvas);
    void setValueMode(bool on);
    bool valueMode() const { return m_valueMode; }

protected:
    void drawRubberBand(QPainter* painter) const override;
    QRegion rubberBandMask() const override;

private:
    // The band between the press and the mouse across the canvas; empty before a drag.
    QRect valueBand() const;

    bool m_valueMode = false;
};

} // namespace varno::fenlux
