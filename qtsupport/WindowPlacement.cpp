#include <qtsupport/WindowPlacement.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace varno::qtsupport {

namespace {

// A window can be moved when enough of its top edge is on a screen: of its top 24 pixel
// rows, a piece at least 100 pixels wide (the whole width of a narrower window) and 8
// rows high.
const int kTopRows = 24;
const int kGripWidth = 100;
const int kGripHeight = 8;

// The screen holding most of the window's top edge, -1 when none holds enough of it.
int screenOfTopEdge(const QRect& window, const QVector<QRect>& screens)
{
    const QRect top(window.left(), window.top(), window.width(), std::min(window.height(), kTopRows));
    const int needWidth = std::min(window.width(), kGripWidth);
    const int needHeight = std::min(top.height(), kGripHeight);
    int best = -1;
    int bestWidth = 0;
    for (int i = 0; i < screens.size(); ++i) {
        const QRect onScreen = top & screens[i];
        if (onScreen.width() >= needWidth && onScreen.height() >= needHeight && onScreen.width() > bestWidth) {
            best = i;
            bestWidth = onScreen.width();
        }
    }
    return best;
}

// The available areas of the screens of this start, the primary screen first.
QVector<QRect> availableScreenAreas()
{
    QVector<QRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        areas.append(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            areas.append(screen->availableGeometry());
    return areas;
}

} // namespace

WindowPlacement placeWindow(const WindowPlacement* saved, const QSize& firstSize, const QVector<QRect>& screens)
{
    WindowPlacement place;
    int screen = -1;
    if (!saved || saved->geometry.isEmpty()) {
        place.geometry = QRect(QPoint(), firstSize);
    } else {
        place = *saved;
        if (saved->positioned)
            screen = screenOfTopEdge(saved->geometry, screens);
    }
    place.positioned = screen >= 0;
    if (!place.positioned)
        place.geometry.moveTopLeft(QPoint());
    // Without a position the window opens on the primary screen.
    if (!screens.isEmpty())
        place.geometry.setSize(place.geometry.size().boundedTo(screens[std::max(screen, 0)].size()));
    return place;
}

void restoreWindowPlacement(QWidget& window, QSettings& settings, const QSize& firstSize)
{
    settings.beginGroup(QStringLiteral("window"));
    WindowPlacement saved;
    saved.geometry = settings.value(QStringLiteral("geometry")).toRect();
    saved.positioned = true;
    saved.maximized = settings.value(QStringLiteral("maximized"), false).toBool();
    settings.endGroup();

    const WindowPlacement place = placeWindow(&saved, firstSize, availableScreenAreas());
    if (place.positioned)
        window.setGeometry(place.geometry);
    else
        window.resize(place.geometry.size());
    if (place.maximized)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void saveWindowPlacement(const QWidget& window, QSettings& settings)
{
    // While maximised, the geometry to come back to is the one before.
    const QRect normal = window.isMaximized() ? window.normalGeometry() : window.geometry();
    settings.beginGroup(QStringLiteral("window"));
    if (normal.isValid())
        settings.setValue(QStringLiteral("geometry"), normal);
    settings.setValue(QStringLiteral("maximized"), window.isMaximized());
    settings.endGroup();
}

} // namespace varno::qtsupport
