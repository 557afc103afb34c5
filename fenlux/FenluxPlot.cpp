#include <fenlux/FenluxPlot.h>

#include <fenlux/FenluxGeometry.h>
#include <fenlux/FenluxParse.h>
#include <ostrel/NumberText.h>

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QLineF>
#include <QVector>

#include <qwt_picker_machine.h>
#include <qwt_plot_grid.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>

#include <algorithm>
#include <cmath>

namespace varno::fenlux {

namespace {

// The densest divisions: the value axis as the plot library divides it, the sample index
// as the view asks for it.
const int kMostValueTicks = 8;
const int kMostSampleTicks = 10;
// Minor ticks of the time axis are at least this many pixels apart.
const double kMinorTickSpacing = 5;

QList<double> toList(const std::vector<double>& values)
{
    QList<double> list;
    list.reserve(int(values.size()));
    for (double v : values)
        list.append(v);
    return list;
}

// Whether neighbouring labels come closer than gap pixels, or overlap.
bool labelsCrowded(const QVector<QRectF>& rects, double gap)
{
    const double half = gap / 2;
    for (int i = 1; i < rects.size(); ++i)
        if (rects[i - 1].adjusted(-half, -half, half, half).intersects(rects[i].adjusted(-half, -half, half, half)))
            return true;
    return false;
}

} // namespace

QString FenluxScaleDraw::labelText(double value, bool timeMode)
{
    char buf[64];
    if (!timeMode) {
        if (value == std::floor(value) && std::fabs(value) < 9.2e18)
            return QString::number(static_cast<long long>(value));
        return QString::fromStdString(ostrel::numbertext::General(value, 6));
    }
    if (!(value >= 1) || value > 9.2e15)
        return QStringLiteral("(invalid time)");
    const long long totalMs = std::llround(value * 1000.0);
    const long long t = totalMs / 1000;
    const int ms = int(totalMs % 1000);
    const CalendarTime c = utcCalendar(t);
    QString text;
    if (t % 43200 == 0) {
        std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d", c.year, c.month, c.day);
        text = QString::fromLatin1(buf);
    }
    if (t % 86400 != 0) {
        if (t % 60 == 0)
            std::snprintf(buf, sizeof buf, "%02d:%02dh", c.hour, c.minute);
        else
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", c.hour, c.minute, c.second);
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QString::fromLatin1(buf);
    }
    if (ms != 0) {
        std::snprintf(buf, sizeof buf, ".%03i", ms);
        text += QString::fromLatin1(buf);
    }
    return text;
}

QwtText FenluxScaleDraw::label(double value) const
{
    return QwtText(labelText(value, m_timeMode));
}

FenluxSeries::FenluxSeries(const double* x, const double* y, size_t size, bool ascending,
                           const ColumnSummary* summary, size_t offset)
    : m_x(x), m_y(y), m_size(size), m_ascending(ascending), m_summary(summary), m_offset(offset)
{
}

QRectF FenluxSeries::boundingRect() const
{
    if (d_boundingRect.width() >= 0.0)
        return d_boundingRect;
    double xmin = 0, xmax = -1, ymin = 0, ymax = -1;
    bool anyX = false, anyY = false;
    if (m_ascending && m_size > 0) {
        xmin = m_x[0];
        xmax = m_x[m_size - 1];
        anyX = true;
    }
    if (m_summary) {
        anyY = m_summary->range(m_y - m_offset, m_offset, m_offset + m_size, &ymin, &ymax);
    } else {
        for (size_t i = 0; i < m_size; ++i) {
            const double y = m_y[i];
            if (y == y) {
                if (!anyY) {
                    ymin = ymax = y;
                    anyY = true;
                } else {
                    ymin = std::min(ymin, y);
                    ymax = std::max(ymax, y);
                }
            }
        }
    }
    if (!m_ascending) {
        for (size_t i = 0; i < m_size; ++i) {
            const double x = m_x[i];
            if (x == x) {
                if (!anyX) {
                    xmin = xmax = x;
                    anyX = true;
                } else {
                    xmin = std::min(xmin, x);
                    xmax = std::max(xmax, x);
                }
            }
        }
    }
    if (!anyX || !anyY)
        d_boundingRect = QRectF(0.0, 0.0, -1.0, -1.0);
    else
        d_boundingRect = QRectF(xmin, ymin, xmax - xmin, ymax - ymin);
    return d_boundingRect;
}

void FenluxCurve::setSeries(const double* x, const double* y, size_t size, bool ascending,
                            const ColumnSummary* summary, size_t offset)
{
    setData(new FenluxSeries(x, y, size, ascending, summary, offset));
}

void FenluxCurve::drawSeries(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                             const QRectF& canvasRect, int from, int to) const
{
    Q_UNUSED(canvasRect);
    const auto* series = dynamic_cast<const FenluxSeries*>(data());
    if (!series) {
        QwtPlotCurve::drawSeries(painter, xMap, yMap, canvasRect, from, to);
        return;
    }
    const size_t n = series->size();
    if (n == 0)
        return;
    if (to < 0 || size_t(to) >= n)
        to = int(n - 1);
    if (from < 0)
        from = 0;
    if (from > to)
        return;
    const double* x = series->x() + from;
    const double* y = series->y() + from;
    const size_t count = size_t(to - from + 1);
    std::vector<std::vector<PolylinePoint>> lines;
    // Pixel columns as the painter rounds them: a point at 10.7 lies in column 11.
    auto toPixel = [&xMap](double v) { return xMap.transform(v) + 0.5; };
    if (series->ascending())
        reduceAscending(x, y, count, toPixel, &lines, series->summary(),
                                series->offset() + size_t(from));
    else
        reducePoints(x, y, count, toPixel, &lines);
    // A one-pixel pen is drawn cosmetic: the same pixels without stroking every segment.
    QPen linePen = pen();
    if (linePen.widthF() <= 1.0)
        linePen.setCosmetic(true);
    painter->setPen(linePen);
    painter->setRenderHint(QPainter::Antialiasing, false);
    // Within one pixel column the points cover the span from their lowest to their highest
    // value: draw that span once, and join each column to the next from its last point.
    QVector<QLineF> segments;
    QVector<QRect> spans;
    // On screen a span is a one-pixel column filled at once, much cheaper than a stroked
    // line and the same pixels; scaled output (printing) keeps stroked lines.
    const bool pixelSpans = painter->transform().isIdentity() && painter->paintEngine()
                            && painter->paintEngine()->type() == QPaintEngine::Raster
                            && linePen.widthF() <= 1.0;
    for (const auto& line : lines) {
        if (line.empty())
            continue;
        const size_t before = size_t(segments.size());
        QPointF previousLast;
        bool havePrevious = false;
        size_t k = 0;
        while (k < line.size()) {
            const double px = xMap.transform(line[k].x);
            const double column = std::floor(px + 0.5);
            const QPointF first(px, yMap.transform(line[k].y));
            double low = first.y(), high = first.y();
            QPointF last = first;
            size_t j = k + 1;
            for (; j < line.size(); ++j) {
                const double qx = xMap.transform(line[j].x);
                if (std::floor(qx + 0.5) != column)
                    break;
                last = QPointF(qx, yMap.transform(line[j].y));
                low = std::min(low, last.y());
                high = std::max(high, last.y());
            }
            if (havePrevious)
                segments.append(QLineF(previousLast, first));
            if (high > low) {
                if (pixelSpans)
                    spans.append(QRect(int(column), int(std::lround(low)), 1,
                                       int(std::lround(high)) - int(std::lround(low)) + 1));
                else
                    segments.append(QLineF(px, low, px, high));
            }
            previousLast = last;
            havePrevious = true;
            k = j;
        }
        if (size_t(segments.size()) == before)
            painter->drawPoint(QPointF(xMap.transform(line[0].x), yMap.transform(line[0].y)));
    }
    if (!segments.isEmpty())
        painter->drawLines(segments);
    if (!spans.isEmpty()) {
        const QBrush brush(linePen.color());
        for (const QRect& r : spans)
            painter->fillRect(r, brush);
    }
}

FenluxPlot::FenluxPlot(QWidget* parent) : QwtPlot(parent)
{
    setAutoReplot(false);
    m_grid = new QwtPlotGrid;
    m_grid->attach(this);
}

void FenluxPlot::redraw()
{
    setAxisScaleDraw(QwtPlot::xBottom, new FenluxScaleDraw(m_timeMode));
    setAxisScaleDraw(QwtPlot::yLeft, new FenluxScaleDraw(false));
    setAxisTitle(QwtPlot::xBottom, m_timeMode ? QStringLiteral("Time") : QStringLiteral("Sampleindex"));
    if (m_timeMode) {
        // The range the view set; the division is the plot's own.
        updateAxes();
        const QwtScaleDiv& current = axisScaleDiv(QwtPlot::xBottom);
        m_timeRange = QwtInterval(current.lowerBound(), current.upperBound());
    }
    fitAxes();
    replot();
}

QVector<QRectF> majorLabelRects(const QwtScaleDraw& draw, const QFont& font)
{
    QVector<QRectF> rects;
    const QwtScaleDiv& division = draw.scaleDiv();
    // The scale draws the labels of the ticks inside its range only.
    for (double value : division.ticks(QwtScaleDiv::MajorTick)) {
        if (!division.contains(value))
            continue;
        const QRectF rect = draw.labelRect(font, value);
        if (!rect.isEmpty())
            rects.append(rect.translated(draw.labelPosition(value)));
    }
    return rects;
}

bool FenluxPlot::fitAxes()
{
    // The labels' room depends on the layout and the layout on the labels (the width of the
    // value labels is taken from the bottom axis): a few rounds settle both.
    bool changed = false;
    for (int round = 0; round < 3; ++round) {
        updateLayout();
        const bool valueChanged = fitNumericAxis(QwtPlot::yLeft, kMostValueTicks);
        const bool bottomChanged = m_timeMode ? fitTimeAxis() : fitNumericAxis(QwtPlot::xBottom, kMostSampleTicks);
        if (!valueChanged && !bottomChanged)
            return changed;
        changed = true;
    }
    updateLayout();
    return changed;
}

void FenluxPlot::resizeEvent(QResizeEvent* event)
{
    QwtPlot::resizeEvent(event);
    if (fitAxes())
        replot();
}

bool FenluxPlot::labelsFit(int axis) const
{
    const QwtScaleWidget* scale = axisWidget(axis);
    const QFont font = scale->font();
    // Two digits' width between neighbours keeps them apart to the eye.
    const double gap = QFontMetricsF(font).horizontalAdvance(QStringLiteral("00"));
    return !labelsCrowded(majorLabelRects(*scale->scaleDraw(), font), gap);
}

bool FenluxPlot::fitNumericAxis(int axis, int mostMajor)
{
    const QwtScaleDiv before = axisScaleDiv(axis);
    for (int major = mostMajor;; --major) {
        setAxisMaxMajor(axis, major);
        updateAxes();
        if (major <= 1 || labelsFit(axis))
            break;
    }
    return axisScaleDiv(axis) != before;
}

bool FenluxPlot::fitTimeAxis()
{
    const double lo = m_timeRange.minValue();
    const double hi = m_timeRange.maxValue();
    if (!(hi > lo) || !std::isfinite(hi - lo))
        return false;
    const QwtScaleDiv before = axisScaleDiv(QwtPlot::xBottom);
    const double length = std::max(1.0, axisScaleDraw(QwtPlot::xBottom)->length());
    const double smallestMinor = kMinorTickSpacing * (hi - lo) / length;
    // The calendar step of the range at most, fewer ticks when their labels need the room.
    double step = fenlux::nice(hi - lo, 3);
    if (step <= 0)
        step = fenlux::largerTimeStep(0);
    for (;; step = fenlux::largerTimeStep(step)) {
        const fenlux::TimeTicks ticks = fenlux::timeTicks(lo, hi, step, fenlux::minorTimeStep(step, smallestMinor));
        setAxisScaleDiv(QwtPlot::xBottom, QwtScaleDiv(lo, hi, toList(ticks.minor), {}, toList(ticks.major)));
        updateAxes(); // the grid follows the division
        if (ticks.major.size() <= 1 || labelsFit(QwtPlot::xBottom))
            break;
    }
    return axisScaleDiv(QwtPlot::xBottom) != before;
}

FenluxPicker::FenluxPicker(QWidget* canvas)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::VLineRubberBand, QwtPicker::AlwaysOff,
                    canvas)
{
    setStateMachine(new QwtPickerDragPointMachine);
    setRubberBandPen(QPen(Qt::black, 1, Qt::DotLine));
}

void FenluxPicker::setValueMode(bool on)
{
    if (on == m_valueMode)
        return;
    m_valueMode = on;
    setRubberBand(on ? UserRubberBand : VLineRubberBand);
    // The picker starts on the left button with exactly these modifiers.
    setMousePattern(QwtEventPattern::MouseSelect1, Qt::LeftButton, on ? Qt::ControlModifier : Qt::NoModifier);
    if (on)
        setStateMachine(new QwtPickerDragRectMachine);
    else
        setStateMachine(new QwtPickerDragPointMachine);
}

QRect FenluxPicker::valueBand() const
{
    const QPolygon points = pickedPoints();
    if (points.size() < 2)
        return QRect();
    const QRect area = pickArea().boundingRect().toRect();
    const int top = std::min(points.first().y(), points.last().y());
    const int bottom = std::max(points.first().y(), points.last().y());
    return QRect(area.left(), top, area.width() - 1, bottom - top);
}

void FenluxPicker::drawRubberBand(QPainter* painter) const
{
    if (!m_valueMode)
        QwtPlotPicker::drawRubberBand(painter);
    else if (!valueBand().isNull())
        painter->drawRect(valueBand());
}

QRegion FenluxPicker::rubberBandMask() const
{
    if (!m_valueMode)
        return QwtPlotPicker::rubberBandMask();
    // Only the parts inside the mask are shown: the band and its outline.
    const int width = std::max(1, rubberBandPen().width());
    return QRegion(valueBand().adjusted(-width, -width, width, width));
}

} // namespace varno::fenlux
