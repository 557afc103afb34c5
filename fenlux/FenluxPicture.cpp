#include <fenlux/FenluxPicture.h>

#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxPlot.h>
#include <fenlux/FenluxView.h>
#include <fenlux/FenluxWindView.h>

#include <qtsupport/UserInteraction.h>

#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <qwt_plot.h>
#include <qwt_plot_renderer.h>

namespace varno::fenlux {

namespace {

const int kDotsPerInch = 96;

// The axes of a plot fit their labels to its size: a picture of another size is drawn
// with the plot at that size for the time of the drawing.
class PlotSizedAs {
public:
    PlotSizedAs(QwtPlot* plot, const QSize& size) : m_plot(plot), m_size(plot->size()) { resize(size); }
    ~PlotSizedAs() { resize(m_size); }
    PlotSizedAs(const PlotSizedAs&) = delete;
    PlotSizedAs& operator=(const PlotSizedAs&) = delete;

private:
    void resize(const QSize& size)
    {
        if (m_plot->size() == size)
            return;
        m_plot->resize(size);
        // A hidden plot gets no resize event.
        if (auto* plot = dynamic_cast<FenluxPlot*>(m_plot))
            plot->fitAxes();
    }

    QwtPlot* m_plot;
    QSize m_size;
};

// Draws the plot onto a white page of size on device.
bool paint(QPaintDevice* device, QwtPlot* plot, const QSize& size)
{
    QPainter painter;
    if (!painter.begin(device))
        return false;
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const PlotSizedAs sized(plot, size);
    QwtPlotRenderer renderer;
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardBackground);
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasFrame);
    renderer.render(plot, &painter, QRectF(QPointF(0, 0), size));
    return painter.end();
}

bool writePicture(QwtPlot* plot, ExportFormat format, const QSize& size, QIODevice* out)
{
    switch (format) {
    case ExportFormat::Png: {
        QImage image(size, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(kDotsPerInch / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return paint(&image, plot, size) && image.save(out, "PNG");
    }
    case ExportFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(out);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(kDotsPerInch);
        svg.setTitle(plot->title().text());
        return paint(&svg, plot, size);
    }
    case ExportFormat::Pdf: {
        QPdfWriter pdf(out);
        pdf.setResolution(kDotsPerInch);
        pdf.setPageSize(QPageSize(QSizeF(size) * 25.4 / kDotsPerInch, QPageSize::Millimeter));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(plot->title().text());
        return paint(&pdf, plot, size);
    }
    default:
        return false;
    }
}

} // namespace

ExportSource exportSourceOf(const FenluxView& view)
{
    return {view.plot(), &view.document()->data(), view.shownRows(), view.shownColumns()};
}

ExportSource exportSourceOf(const FenluxWindView& view)
{
    return {view.plot(), &view.document()->data(), view.rows(), view.exportColumns()};
}

bool exportTo(const ExportSource& source, const QString& path, const QSize& size, QString* error)
{
    const ExportFormat format = exportFormatOf(path);
    if (format == ExportFormat::Unknown) {
        *error = QStringLiteral("unknown file type (use .png, .svg, .pdf or .csv)");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    const bool written = format == ExportFormat::Csv
                             ? source.data && writeCsv(file, *source.data, source.rows, source.columns)
                             : source.plot && writePicture(source.plot, format, size, &file);
    if (!written || !file.commit()) {
        *error = file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("nothing could be written");
        file.cancelWriting();
        return false;
    }
    return true;
}

bool printPlot(QwtPlot* plot, QPrinter* printer)
{
    if (!qtsupport::userInteraction().setUpPrinter(*printer))
        return false;
    QwtPlotRenderer renderer;
    renderer.renderTo(plot, *printer);
    return true;
}

} // namespace varno::fenlux
