#include <qtsupport/WindowPlacement.h>

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

#include <testing/QtTestApp.h>

using namespace varno::qtsupport;

namespace {

// A 1920 x 1080 primary screen (its panel takes the bottom 40 rows) and a 1280 x 1024
// screen on its left.
const QVector<QRect> kTwoScreens{QRect(0, 0, 1920, 1040), QRect(-1280, 0, 1280, 1024)};

WindowPlacement saved(const QRect& geometry, bool maximized = false)
{
    WindowPlacement p;
    p.geometry = geometry;
    p.positioned = true;
    p.maximized = maximized;
    return p;
}

// Where a window opens that was left at geometry.
WindowPlacement placeSaved(const QRect& geometry, const QVector<QRect>& screens = kTwoScreens)
{
    const WindowPlacement left = saved(geometry);
    return placeWindow(&left, QSize(1000, 640), screens);
}

} // namespace

TEST(PlaceWindow, FirstStartTakesTheFirstSizeButNeverMoreThanThePrimaryScreen)
{
    WindowPlacement p = placeWindow(nullptr, QSize(1000, 640), kTwoScreens);
    EXPECT_EQ(p.geometry, QRect(0, 0, 1000, 640));
    EXPECT_FALSE(p.positioned);
    EXPECT_FALSE(p.maximized);

    p = placeWindow(nullptr, QSize(1000, 640), {QRect(0, 0, 800, 570), QRect(800, 0, 1920, 1080)});
    EXPECT_EQ(p.geometry.size(), QSize(800, 570));
    // An empty saved rectangle counts as nothing saved.
    EXPECT_EQ(placeSaved(QRect(30, 40, 0, 0)).geometry, QRect(0, 0, 1000, 640));
}

TEST(PlaceWindow, SavedGeometryOnAnyScreenComesBackAsItWas)
{
    const WindowPlacement onPrimary = saved(QRect(200, 150, 1100, 700), true);
    WindowPlacement p = placeWindow(&onPrimary, QSize(1000, 640), kTwoScreens);
    EXPECT_TRUE(p.positioned);
    EXPECT_TRUE(p.maximized);
    EXPECT_EQ(p.geometry, onPrimary.geometry);

    // The left screen lies at negative coordinates; a window hanging over the right edge of
    // a screen is still reachable.
    EXPECT_EQ(placeSaved(QRect(-1200, 100, 900, 600)).geometry, QRect(-1200, 100, 900, 600));
    EXPECT_TRUE(placeSaved(QRect(1800, 500, 900, 600)).positioned);
}

TEST(PlaceWindow, PositionOffEveryScreenIsNotUsedButTheSizeIs)
{
    // The right screen of last time is gone.
    const WindowPlacement p = placeSaved(QRect(2200, 100, 900, 600), {kTwoScreens[0]});
    EXPECT_FALSE(p.positioned);
    EXPECT_EQ(p.geometry, QRect(0, 0, 900, 600));

    // Only the body is on a screen, its top edge is above it.
    EXPECT_FALSE(placeSaved(QRect(100, -300, 900, 600)).positioned);
    // 20 pixels of the top edge are too little to grab; 120 are enough.
    EXPECT_FALSE(placeSaved(QRect(1900, 100, 800, 600), {kTwoScreens[0]}).positioned);
    EXPECT_TRUE(placeSaved(QRect(1800, 100, 800, 600), {kTwoScreens[0]}).positioned);
    // Between two screens is on one of them; a window narrower than the grip needs all of it.
    EXPECT_TRUE(placeSaved(QRect(-450, 10, 900, 600)).positioned);
    EXPECT_TRUE(placeSaved(QRect(10, 10, 60, 60)).positioned);
    EXPECT_FALSE(placeSaved(QRect(1870, 10, 60, 60)).positioned);
    // No screens known: nothing to check the position against.
    EXPECT_FALSE(placeSaved(QRect(200, 100, 900, 600), {}).positioned);
}

TEST(PlaceWindow, SizeIsBoundedByTheScreenTheWindowOpensOn)
{
    const WindowPlacement p = placeSaved(QRect(-1200, 0, 1800, 1070));
    EXPECT_TRUE(p.positioned);
    EXPECT_EQ(p.geometry, QRect(-1200, 0, 1280, 1024));
}

TEST(WindowPlacementSettings, NormalGeometryAndMaximisedStateComeBack)
{
    varno::testing::qtTestApp();
    QTemporaryDir dir;
    QSettings settings(dir.filePath("window.conf"), QSettings::IniFormat);
    const QSize first(300, 200);

    QWidget firstStart;
    restoreWindowPlacement(firstStart, settings, first);
    EXPECT_EQ(firstStart.size(), first);
    EXPECT_FALSE(firstStart.testAttribute(Qt::WA_Moved)); // the window system places it

    QWidget left;
    left.setGeometry(40, 50, 320, 240);
    saveWindowPlacement(left, settings);
    QWidget again;
    restoreWindowPlacement(again, settings, first);
    EXPECT_EQ(again.geometry(), QRect(40, 50, 320, 240));
    EXPECT_FALSE(again.isMaximized());

    // Maximised: the normal geometry is kept, and the state.
    left.showMaximized();
    ASSERT_TRUE(left.isMaximized());
    saveWindowPlacement(left, settings);
    EXPECT_EQ(settings.value("window/geometry").toRect(), QRect(40, 50, 320, 240));
    QWidget maximised;
    restoreWindowPlacement(maximised, settings, first);
    EXPECT_TRUE(maximised.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(maximised.normalGeometry(), QRect(40, 50, 320, 240));

    // A position off every screen of this start is dropped, the size is kept.
    settings.setValue("window/geometry", QRect(-9000, -9000, 310, 220));
    settings.setValue("window/maximized", false);
    QWidget lost;
    restoreWindowPlacement(lost, settings, first);
    EXPECT_EQ(lost.size(), QSize(310, 220));
    EXPECT_FALSE(lost.testAttribute(Qt::WA_Moved));
}
