#include <fenlux/FenluxRoseItem.h>

#include <ostrel/NumberText.h>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace varno::fenlux {

namespace {

// From light yellow through green and blue to dark violet.
const char* const kClassColours[] = {"#fde725", "#b5de2b", "#6ece58", "#35b779", "#1f9e89",
                                     "#26828e", "#31688e", "#3e4989", "#482878", "#440154"};

QString percentText(double percent, int decimals)
{
    return QString::fromStdString(ostrel::numbertext::Fixed(percent, decimals)) + QStringLiteral(" %");
}

// Qt measures angles counter-clockwise from three o'clock, the compass clockwise from north.
double qtAngle(double bearing)
{
    return 90.0 - bearing;
}

} // namespace

FenluxRoseItem::FenluxRoseItem() : m_font(QStringLiteral("Helvetica"), 9)
{
    setItemAttribute(QwtPlotItem::AutoScale, false);
    setZ(10);
}

QColor FenluxRoseItem::classColour(int speedClass, int classCount)
{
    const int colours = int(sizeof kClassColours / sizeof kClassColours[0]);
    const int index = classCount <= 1 ? 0 : speedClass * (colours - 1) / (classCount - 1);
    return QColor(QString::fromLatin1(kClassColours[std::clamp(index, 0, colours - 1)]));
}

void FenluxRoseItem::rings(double largest, double* outer, double* step)
{
    *step = 50;
    for (double s : {1.0, 2.0, 2.5, 5.0, 10.0, 20.0, 25.0}) {
        if (largest <= 5 * s) {
            *step = s;
            break;
        }
    }
    *outer = std::max(1.0, std::ceil(largest / *step)) * *step;
}

void FenluxRoseItem::draw(QPainter* painter, const QwtScaleMap&, const QwtScaleMap&,
                          const QRectF& canvasRect) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setFont(m_font);
    const QFontMetricsF metrics(m_font, painter->device());
    const double line = metrics.height();

    // The legend takes a column on the right; the rose the square left of it.
    const double legendWidth = metrics.horizontalAdvance(QStringLiteral("12 and more ")) + 2.5 * line;
    const QRectF legendArea(canvasRect.right() - legendWidth, canvasRect.top() + line,
                            legendWidth - line * 0.5, canvasRect.height() - 2 * line);
    const QRectF roseArea(canvasRect.left(), canvasRect.top(), canvasRect.width() - legendWidth,
                          canvasRect.height());
    const QPointF centre = roseArea.center();
    const double radius = std::max(10.0, std::min(roseArea.width(), roseArea.height()) / 2 - 1.8 * line);
    const double calmRadius = radius * 0.1;

    double largest = 0;
    for (int s = 0; s < m_rose.sectors; ++s)
        largest = std::max(largest, m_rose.percent(m_rose.sectorCount(s)));
    double outer, step;
    rings(largest, &outer, &step);
    auto radiusOf = [&](double percent) { return calmRadius + (radius - calmRadius) * percent / outer; };
    auto circle = [&](double r) { return QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r); };

    // Rings with their percent, and the compass lines.
    painter->setPen(QPen(QColor(QStringLiteral("lightgray")), 1, Qt::DashLine));
    painter->setBrush(Qt::NoBrush);
    for (double p = step; p <= outer + 1e-9; p += step)
        painter->drawEllipse(circle(radiusOf(p)));
    for (double bearing : {0.0, 45.0, 90.0, 135.0}) {
        const QLineF spoke = QLineF::fromPolar(radius, qtAngle(bearing)).translated(centre);
        painter->drawLine(QLineF(2 * centre - spoke.p2(), spoke.p2()));
    }
    painter->setPen(Qt::black);
    const char* const points[] = {"N", "E", "S", "W"};
    for (int i = 0; i < 4; ++i) {
        const QPointF at = QLineF::fromPolar(radius + 0.9 * line, qtAngle(90.0 * i)).translated(centre).p2();
        painter->drawText(QRectF(at.x() - line, at.y() - line, 2 * line, 2 * line), Qt::AlignCenter,
                          QString::fromLatin1(points[i]));
    }

    // The sectors: the speed classes stacked from the calm circle outwards.
    const double half = 180.0 / std::max(1, m_rose.sectors) * 0.88;
    painter->setPen(QPen(QColor(QStringLiteral("white")), 0.5));
    for (int s = 0; s < m_rose.sectors; ++s) {
        const double start = qtAngle(m_rose.sectorCentre(s) - half);
        double percent = 0;
        for (int c = 0; c < m_rose.classCount(); ++c) {
            const double share = m_rose.percent(m_rose.count(s, c));
            if (share <= 0)
                continue;
            QPainterPath wedge;
            wedge.arcMoveTo(circle(radiusOf(percent + share)), start);
            wedge.arcTo(circle(radiusOf(percent + share)), start, -2 * half);
            wedge.arcTo(circle(radiusOf(percent)), start - 2 * half, 2 * half);
            wedge.closeSubpath();
            painter->setBrush(classColour(c, m_rose.classCount()));
            painter->drawPath(wedge);
            percent += share;
        }
    }

    // The percent of each ring, on top of the sectors, between two compass points.
    for (double p = step; p <= outer + 1e-9; p += step) {
        const QPointF at = QLineF::fromPolar(radiusOf(p), qtAngle(112.5)).translated(centre).p2();
        const QString label = percentText(p, step < 1 ? 1 : 0);
        const QRectF box(at + QPointF(2, -metrics.height()), QSizeF(metrics.horizontalAdvance(label), metrics.height()));
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(255, 255, 255, 200));
        painter->drawRect(box);
        painter->setPen(QColor(QStringLiteral("dimgray")));
        painter->drawText(box, Qt::AlignCenter, label);
    }

    // Calms in the middle.
    painter->setPen(QColor(QStringLiteral("gray")));
    painter->setBrush(Qt::white);
    painter->drawEllipse(circle(calmRadius));
    if (m_rose.used == 0 && !m_emptyText.isEmpty()) {
        painter->setPen(Qt::black);
        painter->drawText(roseArea, Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
    }
    drawLegend(painter, legendArea);
    painter->restore();
}

void FenluxRoseItem::drawLegend(QPainter* painter, const QRectF& area) const
{
    const QFontMetricsF metrics(m_font, painter->device());
    const double line = metrics.height() * 1.25;
    double y = area.top();
    auto text = [&](const QString& t) {
        painter->setPen(Qt::black);
        painter->drawText(QPointF(area.left(), y + metrics.ascent()), t);
        y += line;
    };
    text(QStringLiteral("speed"));
    for (int c = m_rose.classCount() - 1; c >= 0; --c) {
        const double box = metrics.height() * 0.8;
        painter->setPen(Qt::NoPen);
        painter->setBrush(classColour(c, m_rose.classCount()));
        painter->drawRect(QRectF(area.left(), y + (metrics.height() - box) / 2, box, box));
        painter->setPen(Qt::black);
        painter->drawText(QPointF(area.left() + box * 1.6, y + metrics.ascent()),
                          QString::fromStdString(m_rose.className(c)));
        y += line;
    }
    y += line * 0.5;
    text(QStringLiteral("calm (below %1)").arg(QString::fromStdString(ostrel::numbertext::General(m_rose.calmBelow, 6))));
    text(QStringLiteral("  ") + percentText(m_rose.percent(m_rose.calms), 1));
    y += line * 0.5;
    text(QStringLiteral("%1 sectors").arg(m_rose.sectors));
    text(QStringLiteral("n = %1").arg(m_rose.used));
    if (m_rose.missing > 0)
        text(QStringLiteral("missing: %1").arg(m_rose.missing));
}

} // namespace varno::fenlux
