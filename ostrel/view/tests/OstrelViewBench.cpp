// Times what a user does on a long log: painting pages while scrolling, and searching for
// the next identification line from one end to the other.
#include <ostrel/view/OstrelView.h>

#include <QElapsedTimer>
#include <QScrollBar>

#include <cstdio>
#include <fstream>
#include <memory>

#include <ostrel/RecordWriter.h>

#include "FakeOstrel.h"
#include <testing/QtTestApp.h>

namespace {

// Paints pages across the log and searches from end to end; prints the times.
void measure(const char* what, COstrel& data)
{
    const int n = data.GetEntryCount();
    COstrelView view(&data);
    view.resize(800, 600);
    view.show();
    view.InitDataView();

    QElapsedTimer timer;
    timer.start();
    const int pages = 200;
    for (int p = 0; p < pages; ++p) {
        view.SetFirstIndex(int(long(p) * n / pages));
        view.viewport()->grab();
    }
    std::printf("%s: %d entries\n  paint: %.2f ms per page (%d lines)\n", what, n,
                double(timer.elapsed()) / pages, view.GetScreenLines());
    view.SetFirstIndex(0);
    timer.restart();
    view.ScrollToHeader(1);
    std::printf("  header search forward: %lld ms (to %d)\n", (long long)timer.elapsed(),
                view.GetFirstIndex());
    timer.restart();
    view.ScrollToHeader(-1);
    std::printf("  header search back: %lld ms (to %d)\n", (long long)timer.elapsed(),
                view.GetFirstIndex());
    view.SetFirstIndex(0);
    timer.restart();
    view.ScrollToTimestamp(1);
    std::printf("  marker search forward: %lld ms (to %d)\n", (long long)timer.elapsed(),
                view.GetFirstIndex());
}

// A data log of n value records after an identification line; with a clock line when
// timed, so that every entry has a valid time.
std::unique_ptr<COstrel> loadGenerated(int n, bool timed)
{
    varno::ostrel::records::Writer w;
    w.text("# Varno 306 Version 2.5 Tarnvik Orbelmetrik nr 1");
    if (timed) {
        w.text("# 17.08.2006 00:00:00");
        w.text("# meas stat 600");
    }
    for (int i = 1; i < n - 2; ++i)
        w.floats({float(i % 100) / 10.0f, 1.0f});
    const char* path = "/tmp/ostrelview_bench.vrn";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(w.bytes().data()), std::streamsize(w.bytes().size()));
    std::unique_ptr<COstrel> data(COstrel::newObject());
    QElapsedTimer timer;
    timer.start();
    data->Load(path);
    std::printf("load of %zu bytes: %lld ms\n", w.bytes().size(), (long long)timer.elapsed());
    std::remove(path);
    return data;
}

} // namespace

int main()
{
    varno::testing::qtTestApp();
    {
        auto timed = loadGenerated(1000000, true);
        measure("library, timed log", *timed);
        auto untimed = loadGenerated(1000000, false);
        measure("library, log without clock", *untimed);
    }
    const int n = 1000000;
    FakeOstrel data;
    const CUtcTime start(2006, 8, 17, 12, 0, 0);
    for (int i = 0; i < n; ++i)
        data.add(LOGF_DATA | LOGF_TIMED, "   1.000    2.000    3.000", start + CUtcTimeSpan(i));
    data.entries[0].flags = LOGF_TEXT | LOGF_IDENT;
    measure("plain entries", data);
    return 0;
}
