#include <fenlux/FenluxView.h>

#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxGeometry.h>
#include <fenlux/FenluxParse.h>
#include <fenlux/FenluxPicture.h>
#include <fenlux/FenluxPlot.h>

#include <QBoxLayout>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QWheelEvent>

#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>

#include <algorithm>
#include <cmath>

namespace varno::fenlux {

namespace {

const char* const kColours[10] = {"cyan",     "blue",    "red",       "green",    "magenta",
                                  "darkBlue", "darkRed", "darkGreen", "darkCyan", "darkMagenta"};

QPixmap square(const QColor& colour)
{
    QPixmap pixmap(10, 10);
    pixmap.fill(colour);
    return pixmap;
}

} // namespace

FenluxView::FenluxView(FenluxDoc* doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_font(QStringLiteral("Helvetica"), 10, QFont::DemiBold)
{
    setFocusPolicy(Qt::StrongFocus);
    const long rows = long(m_doc->data().rowCount());
    m_visible = rows;

    // 1. The plot with its cursor and zero line.
    m_plot = new FenluxPlot(this);
    m_plot->setTitle(m_doc->title());
    m_plot->setCanvasBackground(QColor(QStringLiteral("white")));
    m_plot->grid()->setPen(QPen(QColor(QStringLiteral("gray")), 1, Qt::SolidLine));
    m_cursor = new QwtPlotMarker;
    m_cursor->setLineStyle(QwtPlotMarker::VLine);
    m_cursor->setXValue(0);
    m_cursor->attach(m_plot);
    m_zeroLine = new QwtPlotMarker;
    m_zeroLine->setLineStyle(QwtPlotMarker::HLine);
    m_zeroLine->setYValue(0);
    m_zeroLine->attach(m_plot);

    // Filters run last installed first: the view sees a press before the picker does.
    m_picker = new FenluxPicker(m_plot->canvas());
    m_plot->canvas()->installEventFilter(this);

    // 2. Data and a first drawing.
    attachData();
    m_plot->setMinimumWidth(400);

    // 3., 4. The table of functions.
    m_table = new QTableWidget(this);
    buildTable();

    m_showAll = new QPushButton(QStringLiteral("Show All"), this);
    m_hideAll = new QPushButton(QStringLiteral("Hide All"), this);
    m_resetZoom = new QPushButton(QStringLiteral("Reset zoom"), this);
    m_resetZoom->setToolTip(QStringLiteral("Back to the automatic scale of the values "
                                           "(Ctrl and the wheel, or a drag with Ctrl, zoom them)"));
    m_resetZoom->setEnabled(false);
    m_timeButton = new QCheckBox(QStringLiteral("Time/Samples"), this);
    m_timeButton->setChecked(true);

    m_magnify = new QSlider(Qt::Horizontal, this);
    m_magnify->setRange(0, 1000);
    m_magnify->setPageStep(100);
    m_magnify->setValue(0);
    m_originSlider = new QSlider(Qt::Horizontal, this);
    m_originSlider->setRange(0, int(std::max(0L, rows - 1)));
    m_originSlider->setPageStep(int(std::max(1L, rows / 10)));
    m_originSlider->setValue(0);

    // 5. Layout.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setSpacing(0);
    top->addSpacing(5);
    top->addWidget(m_plot, 1);
    top->addSpacing(5);
    auto* side = new QVBoxLayout;
    side->setSpacing(0);
    side->addSpacing(10);
    side->addWidget(m_showAll);
    side->addSpacing(10);
    side->addWidget(m_hideAll);
    side->addSpacing(10);
    side->addWidget(m_table);
    side->addSpacing(10);
    side->addStretch(1);
    side->addWidget(m_resetZoom);
    side->addSpacing(10);
    side->addWidget(m_timeButton);
    side->addSpacing(10);
    top->addLayout(side);
    top->addSpacing(10);
    outer->addLayout(top, 1);
    outer->addSpacing(10);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(0);
    bottom->addSpacing(10);
    bottom->addWidget(m_magnify, 1);
    bottom->addSpacing(10);
    bottom->addWidget(m_originSlider, 4);
    bottom->addSpacing(10);
    outer->addLayout(bottom);

    connect(m_timeButton, &QCheckBox::stateChanged, this, &FenluxView::enableTimeAxis);
    connect(m_showAll, &QPushButton::pressed, this, &FenluxView::showAllFunctions);
    connect(m_hideAll, &QPushButton::pressed, this, &FenluxView::hideAllFunctions);
    connect(m_resetZoom, &QPushButton::clicked, this, &FenluxView::resetValueZoom);
    connect(m_originSlider, &QSlider::valueChanged, this, &FenluxView::setXorigin);
    connect(m_magnify, &QSlider::valueChanged, this, &FenluxView::setXmagnify);
    connect(m_table, &QTableWidget::cellClicked, this, &FenluxView::tableClicked);
    connect(m_table->verticalHeader(), &QHeaderView::sectionClicked, this,
            &FenluxView::headerClicked);
    connect(m_doc, &FenluxDoc::changed, this, qOverload<FenluxView*>(&FenluxView::update));
    connect(m_doc, &FenluxDoc::captionsChanged, this, [this] {
        if (m_doc->views().contains(this))
            setCaption(m_doc->captionOf(this));
    });

    // 6.
    optionChanged();
}

FenluxView::~FenluxView() = default;

void FenluxView::buildTable()
{
    const FenluxData& data = m_doc->data();
    m_table->setFont(m_font);
    m_table->setRowCount(data.highestGroup());
    m_table->setColumnCount(data.highestKind() + 1);
    QPalette palette = m_table->palette();
    palette.setColor(QPalette::Base, QColor(QStringLiteral("lightgray")));
    m_table->setPalette(palette);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setSectionsClickable(true);

    for (int i = 0; i < data.columnCount(); ++i) {
        const FenluxColumn* c = data.column(i);
        QLabel* label = m_labels.value(i);
        if (c->group == 0) {
            label->hide();
            continue;
        }
        const int row = c->group - 1;
        if (row >= m_table->rowCount() || c->kind >= m_table->columnCount()
            || m_table->cellWidget(row, c->kind)) {
            label->hide();
            continue;
        }
        m_table->setCellWidget(row, c->kind, label);
        m_table->setVerticalHeaderItem(
            row, new QTableWidgetItem(QIcon(square(QColor(m_curves[i].colour))), c->name));
        m_table->setHorizontalHeaderItem(c->kind,
                                         new QTableWidgetItem(statisticName(c->kind)));
    }
    for (int i = 1; i < m_labels.size(); ++i)
        m_labels[i]->setText(QStringLiteral("9999.99"));
    m_table->resizeColumnsToContents();
    m_table->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    // Wide enough for every statistic column, so none hides behind a scroll bar.
    int width = 2 * m_table->frameWidth() + m_table->verticalHeader()->sizeHint().width()
                + m_table->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < m_table->columnCount(); ++c)
        width += m_table->columnWidth(c);
    m_table->setMinimumWidth(width);
    for (int i = 1; i < m_labels.size(); ++i)
        m_labels[i]->clear();
}

void FenluxView::attachData()
{
    for (QLabel* label : m_labels)
        delete label;
    m_labels.clear();
    m_curves.clear();
    const FenluxData& data = m_doc->data();
    for (int i = 0; i < data.columnCount(); ++i) {
        const FenluxColumn* c = data.column(i);
        QString text;
        if (c->index != 0)
            text = QStringLiteral("~ (") + c->suffix + QLatin1Char(')');
        else if (!c->suffix.isEmpty())
            text = c->name + QStringLiteral(" (") + c->suffix + QLatin1Char(')');
        else
            text = c->name;
        CurveRecord record;
        record.colour = text == QLatin1String("time") ? QStringLiteral("black")
                                                      : QString::fromLatin1(kColours[c->group % 10]);
        m_curves.append(record);
        auto* label = new QLabel(text, this);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setFont(m_font);
        label->setAutoFillBackground(true);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_labels.append(label);
    }
}

QLabel* FenluxView::cellLabel(int column) const
{
    return m_labels.value(column, nullptr);
}

bool FenluxView::isShown(int column) const
{
    return column >= 0 && column < m_curves.size() && m_curves[column].shown;
}

QString FenluxView::colourName(int column) const
{
    return column >= 0 && column < m_curves.size() ? m_curves[column].colour : QString();
}

void FenluxView::setRowHeaderColour(int row, const QColor& colour)
{
    QTableWidgetItem* item = m_table ? m_table->verticalHeaderItem(row) : nullptr;
    if (item)
        item->setIcon(QIcon(square(colour)));
}

void FenluxView::optionChanged()
{
    const FenluxData& data = m_doc->data();
    for (int i = 1; i < data.columnCount() && i < m_labels.size(); ++i) {
        const FenluxColumn* c = data.column(i);
        // Cell widgets take the item view's colours over their palette: a style sheet holds.
        const QString style = QStringLiteral("color: %1; background-color: white;")
                                  .arg(m_curves[i].shown ? m_curves[i].colour : QStringLiteral("darkgrey"));
        if (m_labels[i]->styleSheet() != style)
            m_labels[i]->setStyleSheet(style);
        if (c->group > 0 && m_table) {
            if (c->index == 0)
                setRowHeaderColour(c->group - 1, QColor(QStringLiteral("lightgrey")));
            if (m_curves[i].shown)
                setRowHeaderColour(c->group - 1, QColor(m_curves[i].colour));
        }
    }
    redraw();
}

const double* FenluxView::xData() const
{
    return m_doc->data().values(m_timeMode ? 1 : 0);
}

void FenluxView::redraw()
{
    const FenluxData& data = m_doc->data();
    const long n = long(data.rowCount());
    m_plot->detachItems(QwtPlotItem::Rtti_PlotCurve, true);
    const double* x = xData();
    const long drawnBefore[2] = {m_drawnStart, m_drawnCount};
    if (n <= 0 || !x) {
        m_drawnStart = m_drawnCount = 0;
        m_plot->replot();
        return;
    }
    const RowWindow window = rowWindow(n, m_visible, m_origin);
    m_drawnStart = window.start;
    m_drawnCount = window.count;
    const long cursorRow = std::clamp(m_origin, 0L, n - 1);
    const bool ascending = data.isAscending(m_timeMode ? 1 : 0);

    for (int i = 2; i < data.columnCount(); ++i) {
        const double* y = data.values(i);
        if (i < m_labels.size())
            m_labels[i]->setText(QString::asprintf("%.2f", y[cursorRow]));
        if (i < m_curves.size() && m_curves[i].shown) {
            auto* curve = new FenluxCurve;
            curve->setPen(QPen(QColor(m_curves[i].colour), m_curves[i].width, Qt::SolidLine));
            curve->setSeries(x + window.start, y + window.start, size_t(window.count), ascending,
                             data.summary(i), size_t(window.start));
            curve->setAxes(QwtPlot::xBottom, QwtPlot::yLeft);
            curve->attach(m_plot);
        }
    }

    double lo = x[window.start];
    double hi = x[window.start + window.count - 1];
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        lo = 0;
        hi = 1;
    }
    if (hi < lo)
        std::swap(lo, hi);
    if (hi == lo) {
        lo -= 0.5;
        hi += 0.5;
    }
    m_plot->setAxisScale(QwtPlot::xBottom, lo, hi);
    if (m_valueZoomed)
        m_plot->setAxisScale(QwtPlot::yLeft, m_valueLow, m_valueHigh);
    else
        m_plot->setAxisAutoScale(QwtPlot::yLeft);
    m_plot->setTimeMode(m_timeMode);

    const double* time = data.values(1);
    QwtText label(QString::fromStdString(timeText(time ? time[cursorRow] : 0, true, ' ')));
    label.setFont(m_font);
    m_cursor->setLabel(label);
    m_cursor->setXValue(x[cursorRow]);
    if (window.start + (2 * window.count) / 3 < m_origin)
        m_cursor->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
    else
        m_cursor->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);

    m_plot->redraw();
    if (drawnBefore[0] != m_drawnStart || drawnBefore[1] != m_drawnCount)
        emit rangeChanged();
}

RowRange FenluxView::shownRows() const
{
    return {size_t(m_drawnStart), size_t(m_drawnStart + m_drawnCount)};
}

std::vector<int> FenluxView::shownColumns() const
{
    std::vector<int> shown, all;
    for (int i = 2; i < m_doc->data().columnCount(); ++i) {
        all.push_back(i);
        if (isShown(i))
            shown.push_back(i);
    }
    return shown.empty() ? all : shown;
}

void FenluxView::zoomValueAxis(double low, double high)
{
    if (!std::isfinite(low) || !std::isfinite(high) || low == high)
        return;
    m_valueLow = std::min(low, high);
    m_valueHigh = std::max(low, high);
    m_valueZoomed = true;
    m_resetZoom->setEnabled(true);
    redraw();
}

void FenluxView::resetValueZoom()
{
    m_valueZoomed = false;
    m_resetZoom->setEnabled(false);
    redraw();
}

void FenluxView::scaleValueAxis(double factor, double value)
{
    const QwtInterval shown = m_plot->axisInterval(QwtPlot::yLeft);
    const double low = shown.minValue(), high = shown.maxValue();
    if (!(value >= low && value <= high))
        value = 0.5 * (low + high);
    zoomValueAxis(value - (value - low) * factor, value + (high - value) * factor);
}

void FenluxView::update(FenluxView* sender)
{
    if (sender == this)
        return;
    const long rows = long(m_doc->data().rowCount());
    {
        const QSignalBlocker blockOrigin(m_originSlider);
        const QSignalBlocker blockMagnify(m_magnify);
        m_originSlider->setMaximum(int(std::max(0L, rows - 1)));
        m_originSlider->setPageStep(int(std::max(1L, rows / 10)));
        m_magnify->setValue(0);
    }
    m_origin = m_originSlider->value();
    m_visible = visibleCountFor(rows, 0);
    optionChanged();
}

void FenluxView::setCaption(const QString& caption)
{
    setWindowTitle(caption);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->setWindowTitle(caption);
}

bool FenluxView::closeWindow()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return sub->close();
    return close();
}

bool FenluxView::print(QPrinter* printer)
{
    return printPlot(m_plot, printer);
}

void FenluxView::setXorigin(int value)
{
    m_origin = value;
    optionChanged();
}

void FenluxView::setXmagnify(int value)
{
    m_visible = visibleCountFor(long(m_doc->data().rowCount()), value);
    optionChanged();
}

void FenluxView::enableTimeAxis(int state)
{
    m_timeMode = state != 0;
    optionChanged();
}

void FenluxView::showAllFunctions()
{
    for (int i = 2; i < m_curves.size(); ++i)
        m_curves[i].shown = true;
    optionChanged();
}

void FenluxView::hideAllFunctions()
{
    for (int i = 2; i < m_curves.size(); ++i)
        m_curves[i].shown = false;
    optionChanged();
}

void FenluxView::tableClicked(int row, int column)
{
    const FenluxData& data = m_doc->data();
    for (int i = 0; i < data.columnCount() && i < m_curves.size(); ++i) {
        const FenluxColumn* c = data.column(i);
        if (c->group == row + 1 && c->kind == column)
            m_curves[i].shown = !m_curves[i].shown;
    }
    optionChanged();
}

void FenluxView::headerClicked(int section)
{
    const FenluxData& data = m_doc->data();
    bool anyHidden = false;
    int lastColumn = -1;
    for (int i = 0; i < data.columnCount() && i < m_curves.size(); ++i) {
        if (data.column(i)->group == section + 1) {
            anyHidden = anyHidden || !m_curves[i].shown;
            lastColumn = i;
        }
    }
    for (int i = 0; i < data.columnCount() && i < m_curves.size(); ++i)
        if (data.column(i)->group == section + 1)
            m_curves[i].shown = anyHidden;
    if (lastColumn >= 0)
        setRowHeaderColour(section, anyHidden ? QColor(m_curves[lastColumn].colour)
                                              : QColor(QStringLiteral("grey")));
    optionChanged();
}

void FenluxView::plotMousePressed(const QMouseEvent& event)
{
    if (event.button() == Qt::LeftButton) {
        m_pressPosition = m_plot->invTransform(QwtPlot::xBottom, event.pos().x());
    } else if (event.button() == Qt::RightButton) {
        m_magnify->triggerAction(QAbstractSlider::SliderPageStepSub);
    }
}

void FenluxView::plotMouseMoved(const QMouseEvent& event)
{
    Q_UNUSED(event);
}

void FenluxView::plotMouseReleased(const QMouseEvent& event)
{
    if (event.button() != Qt::LeftButton)
        return;
    zoomTo(m_pressPosition, m_plot->invTransform(QwtPlot::xBottom, event.pos().x()));
}

void FenluxView::zoomTo(double a, double b)
{
    const long n = long(m_doc->data().rowCount());
    const double* x = xData();
    if (n <= 0 || !x)
        return;
    const double lo = std::min(a, b);
    const double hi = std::max(a, b);
    const long c = nearestRow(x, n, lo);
    const long e = nearestRow(x, n, hi);
    m_originSlider->setValue(int((c + e) / 2));
    int magnify = 0;
    if (e != c && magnifyForRows(c, e, n, &magnify))
        m_magnify->setValue(magnify);
}

void FenluxView::snapOriginTo(long value)
{
    long long base = 0;
    long long step;
    if (m_timeMode) {
        const double* time = m_doc->data().values(1);
        if (time && m_doc->data().rowCount() > 0 && std::isfinite(time[0]))
            base = static_cast<long long>(std::floor(time[0]));
        step = snapStep(true, m_visible);
    } else {
        step = snapStep(false, m_visible);
    }
    m_originSlider->setValue(int(snapOrigin(value, base, step)));
}

void FenluxView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        snapOriginTo(m_origin - 1);
        break;
    case Qt::Key_Right: {
        const long long step = m_timeMode ? snapStep(true, m_visible)
                                          : snapStep(false, m_visible);
        snapOriginTo(long(m_origin + step));
        break;
    }
    case Qt::Key_Up:
        m_magnify->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    case Qt::Key_Down:
        m_magnify->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void FenluxView::wheelEvent(QWheelEvent* event)
{
    const int turn = event->angleDelta().y();
    if (turn != 0 && (event->modifiers() & Qt::ControlModifier)) {
        // Each notch away from the user shows a fifth less of the values around the mouse.
        QWidget* canvas = m_plot->canvas();
        const QPoint at = canvas->mapFrom(this, event->position().toPoint());
        const double value = canvas->rect().contains(at)
                                 ? m_plot->invTransform(QwtPlot::yLeft, at.y())
                                 : std::nan("");
        scaleValueAxis(std::pow(0.8, turn / 120.0), value);
        return;
    }
    if (turn > 0)
        m_magnify->triggerAction(QAbstractSlider::SliderPageStepAdd);
    else if (turn < 0)
        m_magnify->triggerAction(QAbstractSlider::SliderPageStepSub);
    else
        QWidget::wheelEvent(event);
}

bool FenluxView::eventFilter(QObject* watched, QEvent* event)
{
    if (m_plot && watched == m_plot->canvas()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            // A drag with Ctrl held zooms the values, any other the time span.
            m_picker->setValueMode(mouse->button() == Qt::LeftButton
                                   && (mouse->modifiers() & Qt::ControlModifier));
            if (m_picker->valueMode())
                m_valuePressY = mouse->pos().y();
            else
                plotMousePressed(*mouse);
            break;
        }
        case QEvent::MouseMove:
            plotMouseMoved(*static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (!m_picker->valueMode())
                plotMouseReleased(*mouse);
            else if (mouse->button() == Qt::LeftButton && std::abs(mouse->pos().y() - m_valuePressY) >= 3)
                // A click without a drag is no zoom.
                zoomValueAxis(m_plot->invTransform(QwtPlot::yLeft, m_valuePressY),
                              m_plot->invTransform(QwtPlot::yLeft, mouse->pos().y()));
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace varno::fenlux
