#pragma once

#include <qtsupport/QtSupportExport.h>

#include <QRect>
#include <QSize>
#include <QVector>

class QSettings;
class QWidget;

namespace varno::qtsupport {

// Where a main window opens: the geometry of its normal (not maximised) window, client
// area without the window manager's frame, and whether it opens maximised.
struct WindowPlacement {
    QRect geometry;
    // False: only the size counts, the window system chooses the position.
    bool positioned = false;
    bool maximized = false;
};

// Decides where a window opens from what was saved when it closed last (nullptr: nothing
// saved) and the available areas of this start's screens, the primary screen first.
// - Nothing saved: firstSize, no position.
// - A saved position is used only when the window's top edge, where it is grabbed to be
//   moved, lies on one of the screens; otherwise the saved size opens without it.
// - The size is never larger than the screen the window opens on.
QTSUPPORT_API WindowPlacement placeWindow(const WindowPlacement* saved, const QSize& firstSize,
                                          const QVector<QRect>& screens);

// Gives window, before it is shown, its placement from the group "window" of settings and
// the screens of this start (see placeWindow); show() then opens it there, maximised when
// it was left so.
QTSUPPORT_API void restoreWindowPlacement(QWidget& window, QSettings& settings, const QSize& firstSize);

// Keeps the normal geometry and the maximised state of window in the group "window".
QTSUPPORT_API void saveWindowPlacement(const QWidget& window, QSettings& settings);

} // namespace varno::qtsupport
