#include <ostrel/view/OstrelView.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <memory>

#include "FakeOstrel.h"
#include <testing/QtTestApp.h>

namespace {

const CUtcTime kStart(2006, 8, 17, 12, 0, 0);

class OstrelViewTest : public ::testing::Test {
protected:
    void SetUp() override { varno::testing::qtTestApp(); }

    // A shown view of w x h pixels over data.
    std::unique_ptr<COstrelView> makeView(COstrel* data, int w = 600, int h = 400)
    {
        auto view = std::make_unique<COstrelView>(data);
        view->resize(w, h);
        view->show();
        view->InitDataView();
        return view;
    }

    static QImage paint(COstrelView& view)
    {
        return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Values entries only, n of them, each at its own second.
    static void fillValues(FakeOstrel& data, int n)
    {
        for (int i = 0; i < n; ++i)
            data.add(LOGF_DATA | LOGF_TIMED, "   1.000", kStart + CUtcTimeSpan(i));
    }
};

TEST_F(OstrelViewTest, WithoutDataTheWindowStaysBlankAndKeysDoNothing)
{
    auto view = makeView(nullptr);
    view->UpdateDataView();
    EXPECT_TRUE(view->GetShownEntries().empty());
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
    for (int key : {Qt::Key_Space, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home, Qt::Key_T})
        QTest::keyClick(view.get(), Qt::Key(key));
    EXPECT_EQ(view->GetFirstIndex(), 0);
    const QImage image = paint(*view);
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(image, [&] { QImage white(image.size(), image.format()); white.fill(Qt::white); return white; }());

    // An object without entries behaves the same.
    FakeOstrel empty;
    view->AttachData(&empty);
    QTest::keyClick(view.get(), Qt::Key_End);
    QTest::keyClick(view.get(), Qt::Key_Home);
    EXPECT_EQ(view->GetFirstIndex(), 0);
    EXPECT_EQ(view->GetShownEntries().front(), -1);
}

TEST_F(OstrelViewTest, LayoutAndScrollRangesFollowTheWindowAndFont)
{
    FakeOstrel data;
    fillValues(data, 100);
    auto view = makeView(&data);
    const int lines = view->viewport()->height() / view->GetLineHeight() + 1;
    const int cw = view->GetCharWidth();
    EXPECT_EQ(view->GetScreenLines(), lines);
    EXPECT_EQ(view->GetPageSize(), lines * 2 / 3);
    EXPECT_EQ(view->verticalScrollBar()->minimum(), 0);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 100);
    EXPECT_EQ(view->verticalScrollBar()->pageStep(), lines * 2 / 3);
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 200 * cw);
    EXPECT_EQ(view->horizontalScrollBar()->pageStep(), 20 * cw);
    EXPECT_EQ(view->horizontalScrollBar()->singleStep(), cw);
    const std::vector<int> shown = view->GetShownEntries();
    ASSERT_EQ(int(shown.size()), lines);
    for (int i = 0; i < lines; ++i)
        EXPECT_EQ(shown[size_t(i)], i);

    // Taller window, bigger page; a window of two lines or less keeps the last page size.
    view->resize(600, 800);
    const int tallLines = view->viewport()->height() / view->GetLineHeight() + 1;
    EXPECT_GT(tallLines, lines);
    EXPECT_EQ(view->GetPageSize(), tallLines * 2 / 3);
    view->resize(600, view->height() - view->viewport()->height() + view->GetLineHeight());
    EXPECT_LE(view->GetScreenLines(), 2);
    EXPECT_EQ(view->GetPageSize(), tallLines * 2 / 3);

    // Near the end the remaining entries fill the top and the rest stays empty.
    view->SetFirstIndex(98);
    view->resize(600, 400);
    const std::vector<int> tail = view->GetShownEntries();
    EXPECT_EQ(tail[0], 98);
    EXPECT_EQ(tail[1], 99);
    EXPECT_EQ(tail[2], -1);
    view->SetFirstIndex(1000);
    EXPECT_EQ(view->GetFirstIndex(), 100);
}

TEST_F(OstrelViewTest, StarLinesAreNeverShown)
{
    FakeOstrel data;
    data.add(LOGF_TEXT | LOGF_STAR, "* filling block 12");
    data.add(LOGF_TEXT | LOGF_STAR, "* filling block 12");
    data.add(LOGF_TEXT | LOGF_IDENT, "varno tarnvik orbelmetrik varno301 version 3.0 nr 17");
    data.add(LOGF_DATA | LOGF_TIMED, "", kStart);
    data.add(LOGF_TEXT | LOGF_SIGNATURE | LOGF_STAR, "* 2006-08-17 12:00:00 signature 1 at 100");
    data.add(LOGF_DATA | LOGF_TIMED, "", kStart + CUtcTimeSpan(60));
    data.add(LOGF_TEXT | LOGF_STAR, "* a comment");
    auto view = makeView(&data);
    std::vector<int> shown = view->GetShownEntries();
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown[0], 2);
    EXPECT_EQ(shown[1], 3);
    EXPECT_EQ(shown[2], 5);
    EXPECT_EQ(shown[3], -1);

    // Starting on a star line shows from the next line that is not one.
    view->SetFirstIndex(4);
    shown = view->GetShownEntries();
    EXPECT_EQ(shown[0], 5);
    EXPECT_EQ(shown[1], -1);
}

TEST_F(OstrelViewTest, KeysScrollByLinePageHeaderAndMarker)
{
    FakeOstrel data;
    fillValues(data, 300);
    for (int i : {50, 120, 250})
        data.entries[size_t(i)].flags = LOGF_TEXT | LOGF_IDENT;
    for (int i : {70, 200})
        data.entries[size_t(i)].flags = LOGF_TEXT | LOGF_MARK;
    auto view = makeView(&data);
    const int page = view->GetPageSize();
    ASSERT_GT(page, 2);

    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(view->GetFirstIndex(), 1);
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    EXPECT_EQ(view->GetFirstIndex(), 1 + page);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    EXPECT_EQ(view->GetFirstIndex(), 0); // clamped at the top

    QTest::keyClick(view.get(), Qt::Key_End);
    EXPECT_EQ(view->GetFirstIndex(), 50);
    QTest::keyClick(view.get(), Qt::Key_End);
    EXPECT_EQ(view->GetFirstIndex(), 120);
    QTest::keyClick(view.get(), Qt::Key_T);
    EXPECT_EQ(view->GetFirstIndex(), 200);
    QTest::keyClick(view.get(), Qt::Key_Home);
    EXPECT_EQ(view->GetFirstIndex(), 120);
    QTest::keyClick(view.get(), Qt::Key_Home);
    EXPECT_EQ(view->GetFirstIndex(), 50);
    // No identification line before: the first entry.
    QTest::keyClick(view.get(), Qt::Key_Home);
    EXPECT_EQ(view->GetFirstIndex(), 0);

    // End on the last identification line leaves the view at the last entry; so does T
    // after the last marker.
    view->SetFirstIndex(250);
    QTest::keyClick(view.get(), Qt::Key_End);
    EXPECT_EQ(view->GetFirstIndex(), 299);
    view->SetFirstIndex(200);
    QTest::keyClick(view.get(), Qt::Key_T);
    EXPECT_EQ(view->GetFirstIndex(), 299);

    // From the bottom position (the entry count) Home still finds the last header.
    view->SetFirstIndex(300);
    EXPECT_EQ(view->GetFirstIndex(), 300);
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    EXPECT_EQ(view->GetFirstIndex(), 300);
    QTest::keyClick(view.get(), Qt::Key_Home);
    EXPECT_EQ(view->GetFirstIndex(), 250);

    // The direct calls: direction >= 1 goes forward, anything below 1 back.
    view->SetFirstIndex(100);
    view->ScrollToTimestamp(0);
    EXPECT_EQ(view->GetFirstIndex(), 70);
    view->ScrollToHeader(5);
    EXPECT_EQ(view->GetFirstIndex(), 120);
}

namespace {
// Pixels of one screen line whose colour is close to c.
int pixelsNear(const QImage& image, int top, int height, QColor c)
{
    int n = 0;
    for (int y = top; y < top + height && y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) < 24 && std::abs(p.green() - c.green()) < 24
                && std::abs(p.blue() - c.blue()) < 24)
                ++n;
        }
    }
    return n;
}
} // namespace

TEST_F(OstrelViewTest, LinesAreColouredByKindWithTheTimeInGray)
{
    FakeOstrel data;
    data.add(LOGF_TEXT | LOGF_HEADER, "# header \"Station\"");
    data.add(LOGF_TEXT | LOGF_WARNING, "# warning: 3 corrupt bytes encountered during conversion");
    data.add(LOGF_DATA | LOGF_TIMED, "   1.500    2.000    3.000    4.000", kStart);
    auto view = makeView(&data);
    const QImage image = paint(*view);
    const int lh = view->GetLineHeight();
    const QColor navy(0, 0, 128), darkRed(128, 0, 0), black(0, 0, 0);
    const QColor gray = view->palette().color(QPalette::Disabled, QPalette::Text);

    EXPECT_GT(pixelsNear(image, 0, lh, navy), 10);
    EXPECT_EQ(pixelsNear(image, 0, lh, darkRed), 0);
    EXPECT_GT(pixelsNear(image, lh, lh, darkRed), 10);
    EXPECT_EQ(pixelsNear(image, lh, lh, navy), 0);
    EXPECT_GT(pixelsNear(image, 2 * lh, lh, black), 10);
    EXPECT_EQ(pixelsNear(image, 2 * lh, lh, navy), 0);
    for (int line = 0; line < 3; ++line)
        EXPECT_GT(pixelsNear(image, line * lh, lh, gray), 10) << line;
    // Below the data: white only.
    EXPECT_EQ(pixelsNear(image, 3 * lh, image.height() - 3 * lh, QColor(Qt::white)),
              image.width() * (image.height() - 3 * lh));
}

TEST_F(OstrelViewTest, HorizontalScrollingShiftsTheTextByWholeCharacters)
{
    FakeOstrel data;
    data.add(LOGF_TEXT, "# a line that is long enough to reach beyond the shift of the test");
    fillValues(data, 5);
    auto view = makeView(&data);
    const int shift = 7 * view->GetCharWidth();
    const QImage before = paint(*view);
    QTest::keyClick(view.get(), Qt::Key_Right); // default handling: one character
    EXPECT_EQ(view->GetHorizontalPosition(), view->GetCharWidth());
    view->SetHorizontalPosition(shift);
    const QImage after = paint(*view);
    const int w = before.width() - shift;
    EXPECT_EQ(before.copy(shift, 0, w, before.height()), after.copy(0, 0, w, after.height()));
    EXPECT_NE(before, after);
}

TEST_F(OstrelViewTest, PaintingReadsOnlyTheVisibleLinesOfAMillionEntries)
{
    FakeOstrel data;
    fillValues(data, 1000000);
    auto view = makeView(&data);
    view->SetFirstIndex(500000);
    data.textCalls = 0;
    data.flagCalls = 0;
    paint(*view);
    const int lines = view->GetScreenLines();
    EXPECT_GT(data.textCalls, 0);
    EXPECT_LE(data.textCalls, lines);
    EXPECT_LE(data.flagCalls, 2 * lines);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 1000000);

    // A search from one end to the other looks at each entry once.
    view->SetFirstIndex(0);
    data.flagCalls = 0;
    view->ScrollToHeader(1);
    EXPECT_EQ(view->GetFirstIndex(), 999999);
    EXPECT_LE(data.flagCalls, 1000000);
}

TEST_F(OstrelViewTest, DetachingBlanksTheView)
{
    FakeOstrel data;
    fillValues(data, 10);
    auto view = makeView(&data);
    EXPECT_GT(pixelsNear(paint(*view), 0, view->GetLineHeight(), QColor(0, 0, 0)), 0);
    view->DetachData();
    EXPECT_EQ(view->GetData(), nullptr);
    EXPECT_TRUE(view->GetShownEntries().empty());
    const QImage image = paint(*view);
    EXPECT_EQ(pixelsNear(image, 0, image.height(), QColor(Qt::white)),
              image.width() * image.height());
}

TEST_F(OstrelViewTest, CreateViewMakesAChildViewOnceRegistered)
{
    std::unique_ptr<COstrel> data(COstrel::newObject());
    data->FillTestData();
    QWidget parent;
    parent.resize(500, 300);
    const QRect rect(0, 0, 500, 300);
    ostrel_setviewfactory(nullptr);
    EXPECT_EQ(data->CreateView(&rect, &parent), nullptr);

    ostrelview_register();
    COstrelView* view = data->CreateView(&rect, &parent);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->parentWidget(), &parent);
    EXPECT_EQ(view->geometry(), rect);
    EXPECT_EQ(view->windowTitle(), "COstrelView");
    EXPECT_EQ(view->GetId(), 1u);
    EXPECT_EQ(view->GetData(), data.get());
    EXPECT_EQ(view->verticalScrollBar()->maximum(), data->GetEntryCount());
    EXPECT_EQ(view->GetShownEntries().front(), 0);
    delete view; // before the data it shows
}

} // namespace
