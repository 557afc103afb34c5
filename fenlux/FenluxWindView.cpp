#include <fenlux/FenluxWindView.h>

#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxParse.h>
#include <fenlux/FenluxRoseItem.h>
#include <fenlux/FenluxView.h>
#include <ostrel/NumberText.h>

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_histogram.h>
#include <qwt_plot_textlabel.h>

#include <algorithm>
#include <cmath>

namespace varno::fenlux {

namespace {

QString fixed(double v, int decimals)
{
    return QString::fromStdString(ostrel::numbertext::Fixed(v, decimals));
}

} // namespace

FenluxWindView::FenluxWindView(FenluxDoc* doc, FenluxView* source, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_source(source)
{
    m_rows = {0, doc->data().rowCount()};
    m_plot = new QwtPlot(this);
    m_plot->setAutoReplot(false);
    m_plot->setCanvasBackground(QColor(QStringLiteral("white")));
    m_plot->setMinimumSize(300, 250);

    m_controls = new QHBoxLayout;
    m_controls->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addLayout(m_controls);
    layout->addWidget(m_plot, 1);

    const FenluxData& data = doc->data();
    m_speedBox = addColumnChooser(QStringLiteral("&Speed:"),
                                  defaultSpeedColumn(data, defaultDirectionColumn(data)));
    connect(doc, &FenluxDoc::changed, this, &FenluxWindView::refresh);
    if (source)
        connect(source, &FenluxView::rangeChanged, this, &FenluxWindView::refresh);
}

FenluxWindView::~FenluxWindView() = default;

QComboBox* FenluxWindView::addChooser(const QString& label, const QList<QPair<QString, QVariant>>& items,
                                      const QVariant& selected)
{
    auto* box = new QComboBox(this);
    for (const auto& item : items)
        box->addItem(item.first, item.second);
    box->setCurrentIndex(box->findData(selected));
    auto* text = new QLabel(label, this);
    text->setBuddy(box);
    // Before the stretch that closes the row.
    const int at = m_controls->count() - 1;
    m_controls->insertWidget(at, text);
    m_controls->insertWidget(at + 1, box);
    m_controls->insertSpacing(at + 2, 15);
    connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this, &FenluxWindView::refresh);
    return box;
}

QComboBox* FenluxWindView::addColumnChooser(const QString& label, int selected)
{
    QList<QPair<QString, QVariant>> columns;
    const FenluxData& data = m_doc->data();
    for (int i = 2; i < data.columnCount(); ++i)
        columns.append({columnHeading(data, i), i});
    return addChooser(label, columns, selected);
}

int FenluxWindView::chosenColumn(const QComboBox* box)
{
    return box->currentIndex() >= 0 ? box->currentData().toInt() : -1;
}

void FenluxWindView::chooseColumn(QComboBox* box, int column)
{
    box->setCurrentIndex(box->findData(column));
}

int FenluxWindView::speedColumn() const
{
    return chosenColumn(m_speedBox);
}

void FenluxWindView::setSpeedColumn(int column)
{
    chooseColumn(m_speedBox, column);
}

std::vector<int> FenluxWindView::exportColumns() const
{
    const int speed = speedColumn();
    return speed >= 0 ? std::vector<int>{speed} : std::vector<int>{};
}

void FenluxWindView::refresh()
{
    const size_t rows = m_doc->data().rowCount();
    if (m_source)
        m_rows = m_source->shownRows();
    m_rows.end = std::min(m_rows.end, rows);
    m_rows.begin = std::min(m_rows.begin, m_rows.end);
    compute();
    m_plot->replot();
}

void FenluxWindView::setTitle(const QString& what)
{
    QString title = what + QStringLiteral(": ") + m_doc->title();
    const double* time = m_doc->data().values(1);
    if (time && m_rows.size() > 0)
        title += QLatin1Char('\n') + QString::fromStdString(timeText(time[m_rows.begin], true))
                 + QStringLiteral(" - ") + QString::fromStdString(timeText(time[m_rows.end - 1], true));
    m_plot->setTitle(title);
    setWindowTitle(what + QStringLiteral(" - ") + m_doc->title());
}

FenluxRoseView::FenluxRoseView(FenluxDoc* doc, FenluxView* source, QWidget* parent)
    : FenluxWindView(doc, source, parent)
{
    m_directionBox = addColumnChooser(QStringLiteral("&Direction:"), defaultDirectionColumn(doc->data()));
    QList<QPair<QString, QVariant>> sectors;
    for (int count : roseSectorChoices())
        sectors.append({QString::number(count), count});
    m_sectorBox = addChooser(QStringLiteral("S&ectors:"), sectors, RoseOptions().sectors);

    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis)
        plot()->enableAxis(axis, false);
    m_item = new FenluxRoseItem;
    m_item->attach(plot());
    refresh();
}

int FenluxRoseView::directionColumn() const
{
    return chosenColumn(m_directionBox);
}

void FenluxRoseView::setDirectionColumn(int column)
{
    chooseColumn(m_directionBox, column);
}

void FenluxRoseView::setSectors(int sectors)
{
    m_sectorBox->setCurrentIndex(m_sectorBox->findData(sectors));
}

const WindRose& FenluxRoseView::rose() const
{
    return m_item->rose();
}

std::vector<int> FenluxRoseView::exportColumns() const
{
    std::vector<int> columns = FenluxWindView::exportColumns();
    if (directionColumn() >= 0)
        columns.push_back(directionColumn());
    return columns;
}

void FenluxRoseView::compute()
{
    RoseOptions options;
    options.sectors = m_sectorBox->currentData().toInt();
    const FenluxData& data = document()->data();
    const double* speed = data.values(speedColumn());
    const double* direction = data.values(directionColumn());
    if (speed && direction) {
        m_item->setRose(windRose(speed + rows().begin, direction + rows().begin, rows().size(), options));
        m_item->setEmptyText(QStringLiteral("No row has both a speed and a direction"));
    } else {
        m_item->setRose(windRose(nullptr, nullptr, 0, options));
        m_item->setEmptyText(QStringLiteral("Choose the speed and the direction column"));
    }
    setTitle(QStringLiteral("Wind rose"));
}

FenluxDistributionView::FenluxDistributionView(FenluxDoc* doc, FenluxView* source, QWidget* parent)
    : FenluxWindView(doc, source, parent)
{
    m_binBox = addChooser(QStringLiteral("&Bin width:"), {{QStringLiteral("1"), 1.0}, {QStringLiteral("0.5"), 0.5}},
                          1.0);

    auto* grid = new QwtPlotGrid;
    grid->setPen(QPen(QColor(QStringLiteral("lightgray")), 1, Qt::DotLine));
    grid->attach(plot());
    plot()->setAxisTitle(QwtPlot::yLeft, QStringLiteral("frequency (% per unit of speed)"));
    m_histogram = new QwtPlotHistogram(QStringLiteral("speeds"));
    m_histogram->setBrush(QColor(QStringLiteral("lightsteelblue")));
    m_histogram->setPen(QPen(QColor(QStringLiteral("steelblue")), 1));
    m_histogram->attach(plot());
    m_density = new QwtPlotCurve(QStringLiteral("Weibull density"));
    m_density->setPen(QPen(QColor(QStringLiteral("red")), 2));
    m_density->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    m_density->attach(plot());
    m_figures = new QwtPlotTextLabel;
    m_figures->setMargin(10);
    m_figures->attach(plot());
    refresh();
}

void FenluxDistributionView::setBinWidth(double width)
{
    m_binBox->setCurrentIndex(m_binBox->findData(width));
}

void FenluxDistributionView::compute()
{
    const double width = m_binBox->currentData().toDouble();
    const double* speed = document()->data().values(speedColumn());
    m_distribution = speed ? speedDistribution(speed + rows().begin, rows().size(), width)
                           : SpeedDistribution();
    m_distribution.binWidth = width;

    const double n = double(m_distribution.sample.values.size());
    QVector<QwtIntervalSample> bins;
    for (size_t i = 0; i < m_distribution.counts.size(); ++i)
        bins.append(QwtIntervalSample(100.0 * double(m_distribution.counts[i]) / (n * width), double(i) * width,
                                      double(i + 1) * width));
    m_histogram->setSamples(bins);

    QVector<QPointF> curve;
    const WeibullFit& fit = m_distribution.fit;
    if (fit.ok) {
        const double end = double(m_distribution.counts.size()) * width;
        const int kPoints = 400;
        for (int i = 0; i <= kPoints; ++i) {
            const double v = end * i / kPoints;
            const double density = 100.0 * fit.density(v);
            // Below 1 the density rises without bound towards 0.
            if (std::isfinite(density))
                curve.append(QPointF(v, density));
        }
    }
    m_density->setSamples(curve);
    // Frequencies start at 0; the speeds at 0 and end with the last bin.
    double top = 1;
    for (const QwtIntervalSample& bin : bins)
        top = std::max(top, bin.value);
    for (const QPointF& p : curve)
        top = std::max(top, p.y());
    plot()->setAxisScale(QwtPlot::yLeft, 0, top * 1.05);
    plot()->setAxisScale(QwtPlot::xBottom, 0, std::max(1.0, double(m_distribution.counts.size()) * width));

    // The box of figures sits top right; its lines read from the left.
    QString rows;
    for (const QString& line : figuresText().split(QLatin1Char('\n')))
        rows += QStringLiteral("<tr><td align=\"left\">") + line.toHtmlEscaped() + QStringLiteral("</td></tr>");
    QwtText text(QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">") + rows + QStringLiteral("</table>"),
                 QwtText::RichText);
    text.setRenderFlags(Qt::AlignRight | Qt::AlignTop);
    text.setBackgroundBrush(QColor(255, 255, 255, 220));
    text.setBorderPen(QPen(QColor(QStringLiteral("gray"))));
    m_figures->setText(text);
    plot()->setAxisTitle(QwtPlot::xBottom, QStringLiteral("speed (%1)")
                                               .arg(columnHeading(document()->data(), speedColumn())));
    setTitle(QStringLiteral("Speed distribution"));
}

QString FenluxDistributionView::figuresText() const
{
    if (speedColumn() < 0)
        return QStringLiteral("Choose the speed column");
    const SpeedDistribution& d = m_distribution;
    QStringList lines;
    QString n = QStringLiteral("n = %1").arg(d.figures.n);
    if (d.sample.missing > 0 || d.sample.notAbove0 > 0)
        n += QStringLiteral(" (left out: %1 missing, %2 not above 0)").arg(d.sample.missing).arg(d.sample.notAbove0);
    lines << n;
    if (d.figures.n > 0)
        lines << QStringLiteral("mean speed = ") + fixed(d.figures.mean, 2);
    if (d.fit.ok) {
        lines << QStringLiteral("Weibull fit: k = %1, A = %2").arg(fixed(d.fit.k, 3), fixed(d.fit.A, 2))
              << QStringLiteral("fit's mean A·Γ(1+1/k) = ") + fixed(d.fit.mean(), 2);
    } else {
        lines << QStringLiteral("No Weibull fit: ") + QString::fromStdString(d.fit.reason);
    }
    if (d.figures.n > 0)
        lines << QStringLiteral("power density ½·ρ·mean(v³) = ") + fixed(d.figures.powerDensity, 1)
                     + QStringLiteral(" W/m²")
              << QStringLiteral("(ρ = 1.225 kg/m³, speeds in m/s)");
    return lines.join(QLatin1Char('\n'));
}

QString FenluxDistributionView::summaryLine() const
{
    const SpeedDistribution& d = m_distribution;
    const double nan = std::nan("");
    return QStringLiteral("weibull k=%1 A=%2 n=%3 mean=%4")
        .arg(fixed(d.fit.ok ? d.fit.k : nan, 4), fixed(d.fit.ok ? d.fit.A : nan, 4))
        .arg(d.figures.n)
        .arg(fixed(d.figures.n > 0 ? d.figures.mean : nan, 4));
}

} // namespace varno::fenlux
