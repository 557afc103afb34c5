// Times what a user does on a long log: painting pages while scrolling, and searching for
// the next identification line from one end to the other.
#include "OstrelView.h"

#include <QElapsedTimer>
#include <QScrollBar>

#include <cstdio>

#include "FakeOstrel.h"
#include "QtTestApp.h"

int main()
{
    varno::qttest::qtTestApp();
    const int n = 1000000;
    FakeOstrel data;
    const CUtcTime start(2006, 8, 17, 12, 0, 0);
    for (int i = 0; i < n; ++i)
        data.add(LOGF_DATA | LOGF_TIMED, "   1.000    2.000    3.000", start + CUtcTimeSpan(i));
    data.entries[0].flags = LOGF_TEXT | LOGF_IDENT;
    COstrelView view(&data);
    view.resize(800, 600);
    view.show();
    view.InitDataView();

    QElapsedTimer timer;
    timer.start();
    const int pages = 200;
    for (int p = 0; p < pages; ++p) {
        view.SetFirstIndex(p * (n / pages));
        view.viewport()->grab();
    }
    std::printf("paint: %.2f ms per page (%d lines)\n", double(timer.elapsed()) / pages,
                view.GetScreenLines());

    view.SetFirstIndex(0);
    timer.restart();
    view.ScrollToHeader(1);
    std::printf("header search forward over %d entries: %lld ms (to %d)\n", n,
                (long long)timer.elapsed(), view.GetFirstIndex());
    timer.restart();
    view.ScrollToHeader(-1);
    std::printf("header search back over %d entries: %lld ms (to %d)\n", n,
                (long long)timer.elapsed(), view.GetFirstIndex());
    timer.restart();
    view.ScrollToTimestamp(1);
    std::printf("marker search forward: %lld ms\n", (long long)timer.elapsed());
    return 0;
}
