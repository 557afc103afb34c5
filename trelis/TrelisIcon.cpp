#include <trelis/TrelisIcon.h>

#include <QPainter>
#include <QPixmap>

namespace varno::trelis {

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.setPen(QPen(QColor(60, 60, 60), s));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5 * s, 2 * s, 22 * s, 28 * s));
    const QColor lines[] = {QColor(128, 128, 128), QColor(0, 0, 128), QColor(0, 0, 0),
                            QColor(0, 0, 0), QColor(128, 0, 0), QColor(0, 0, 0)};
    for (int i = 0; i < 6; ++i) {
        p.setPen(QPen(lines[i], 2 * s));
        const qreal y = (7 + 4 * i) * s;
        p.drawLine(QPointF(8 * s, y), QPointF((i % 2 ? 20 : 24) * s, y));
    }
    return pixmap;
}

} // namespace

QIcon TrelisIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(drawIcon(size));
    return icon;
}

} // namespace varno::trelis
