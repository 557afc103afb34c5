#pragma once

#include <fenlux/FenluxWind.h>

#include <QColor>
#include <QFont>

#include <qwt_plot_item.h>

namespace varno::fenlux {

// Draws a wind rose into the canvas of a plot without axes: stacked speed classes per
// sector from the calm circle outwards, rings of percent, the compass points and a legend.
// Drawn in the canvas's own pixels, so that the picture fits any size it is rendered to.
class FenluxRoseItem : public QwtPlotItem {
public:
    FenluxRoseItem();
    int rtti() const override { return QwtPlotItem::Rtti_PlotUserItem + 1; }

    void setRose(const WindRose& rose) { m_rose = rose; }
    const WindRose& rose() const { return m_rose; }
    // Shown instead of the rose when it holds no row.
    void setEmptyText(const QString& text) { m_emptyText = text; }

    // Colour of a speed class: light for weak winds, dark for strong ones.
    static QColor classColour(int speedClass, int classCount);
    // Percent of the outermost ring and the step between rings for a largest sector.
    static void rings(double largest, double* outer, double* step);

    void draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
              const QRectF& canvasRect) const override;

private:
    void drawLegend(QPainter* painter, const QRectF& area) const;

    WindRose m_rose;
    QString m_emptyText;
    QFont m_font;
};

} // namespace varno::fenlux
