// Large-file figures of the plotter: writes a table of N rows (default 1,000,000) in the
// converter's layout (date, time, period and 11 value columns), opens it as a text file
// and through a reader process, times redraws of a view with every curve shown, the wind
// rose and speed distribution of N rows and the export of the plot as a picture.
//
//   fenlux_bench [rows] [file]     (QT_QPA_PLATFORM=offscreen for a headless run)
//   fenlux_bench --reader program file.vrn   (one data log through a reader program)
// The file defaults to /tmp/fenlux-bench-<rows>.csv and is reused when it exists.
#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxParse.h>
#include <fenlux/FenluxPicture.h>
#include <fenlux/FenluxPlot.h>
#include <fenlux/FenluxReader.h>
#include <fenlux/FenluxView.h>
#include <fenlux/FenluxWind.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <clocale>
#include <ctime>
#include <random>
#include <string>
#include <vector>

using namespace varno::fenlux;

namespace {

long peakKiB()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kib = std::atol(line + 6);
    std::fclose(f);
    return kib;
}

// Starts a new peak: the kernel resets VmHWM to the current size.
void resetPeak()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

bool writeTable(const char* path, long rows)
{
    FILE* f = std::fopen(path, "w");
    if (!f)
        return false;
    std::fputs("# instrument bench- 1\n# header \"bench\"\n\n", f);
    std::fputs("\"date\" \"time\" \"period\"", f);
    const char* names[11] = {"v1_mean", "v1_sigma", "v1_max", "v1_min", "v2_mean", "v2_sigma",
                             "v2_max", "v2_min", "direction_mean360", "temp_mean", "press_mean"};
    for (const char* n : names)
        std::fprintf(f, " \"%s\"", n);
    std::fputc('\n', f);
    const long long t0 = 1155816000;
    for (long r = 0; r < rows; ++r) {
        const std::string t = varno::fenlux::timeText(double(t0 + 10 * r), true, ' ');
        std::fprintf(f, "%s 0", t.c_str());
        for (int c = 0; c < 11; ++c) {
            const double v = 10 * std::sin(r * 0.001 * (c + 1)) + c + (r % 97) * 0.01;
            std::fprintf(f, " %7.2f", v);
        }
        std::fputc('\n', f);
    }
    return std::fclose(f) == 0;
}

struct Stats {
    double median, worst, cpu;
};

double cpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Wall-clock median and worst, and the median of the process's CPU time (the machine is
// shared, so the wall clock includes waiting for a core).
template <class F>
Stats timeIt(int runs, F&& f)
{
    std::vector<double> ms, cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const double c0 = cpuMs();
        f();
        cpu.push_back(cpuMs() - c0);
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    return {ms[ms.size() / 2], ms.back(), cpu[cpu.size() / 2]};
}

// Rose and distribution of rows speeds drawn from a Weibull law (k 2, A 7, to 0.01) and
// directions all round, as a 10-minute log of 19 years would give them.
void windFigures(long rows)
{
    std::mt19937_64 random(1);
    std::vector<double> speed(static_cast<size_t>(rows)), direction(static_cast<size_t>(rows));
    for (long r = 0; r < rows; ++r) {
        const double u = double(random() >> 11) * 0x1p-53;
        speed[size_t(r)] = std::round(700.0 * std::sqrt(-std::log1p(-u))) / 100.0;
        direction[size_t(r)] = double(random() % 3600) / 10.0;
    }
    varno::fenlux::WindRose rose;
    const Stats roseTime = timeIt(7, [&] { rose = varno::fenlux::windRose(speed.data(), direction.data(), speed.size()); });
    std::printf("wind rose       %.1f ms median, %.1f ms worst, %.1f ms CPU (%ld rows, %d sectors)\n",
                roseTime.median, roseTime.worst, roseTime.cpu, rose.used, rose.sectors);
    varno::fenlux::SpeedDistribution d;
    const Stats distribution = timeIt(7, [&] { d = varno::fenlux::speedDistribution(speed.data(), speed.size()); });
    std::printf("distribution    %.1f ms median, %.1f ms worst, %.1f ms CPU (%ld values, k %.4f, A %.4f, "
                "%d passes over all values)\n",
                distribution.median, distribution.worst, distribution.cpu, d.figures.n, d.fit.k, d.fit.A,
                d.fit.passes);
    const Stats fit = timeIt(7, [&] { d.fit = varno::fenlux::fitWeibull(d.sample.values); });
    std::printf("  of which the Weibull fit %.1f ms median, %.1f ms CPU\n", fit.median, fit.cpu);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Qt took the locale from the environment; the figures are read by people and scripts
    // alike, with a decimal point whatever the user's language.
    std::setlocale(LC_NUMERIC, "C");
    if (argc == 4 && std::strcmp(argv[1], "--reader") == 0) {
        // A data log through a reader program, such as the converter.
        FenluxDoc doc(nullptr);
        FenluxReader reader(QString::fromLocal8Bit(argv[2]), QString());
        resetPeak();
        QElapsedTimer t;
        t.start();
        const bool ok = doc.openDocument(QString::fromLocal8Bit(argv[3]), &reader);
        std::printf("open via %s %.2f s  (%s, %zu rows, %d columns), peak memory %ld KiB\n", argv[2],
                    t.nsecsElapsed() / 1e9, ok ? "ok" : "FAILED", doc.data().rowCount(),
                    doc.data().columnCount(), peakKiB());
        return ok ? 0 : 1;
    }
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path =
        argc > 2 ? argv[2] : "/tmp/fenlux-bench-" + std::to_string(rows) + ".csv";
    const bool reuse = QFile::exists(QString::fromStdString(path));

    QElapsedTimer timer;
    timer.start();
    if (!reuse && !writeTable(path.c_str(), rows)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("file            %s (%ld rows, %lld bytes, %s in %.2f s)\n", path.c_str(), rows,
                static_cast<long long>(QFile(QString::fromStdString(path)).size()),
                reuse ? "found" : "written", timer.nsecsElapsed() / 1e9);
    std::printf("peak memory     %ld KiB before reading\n", peakKiB());

    FenluxDoc doc(nullptr);
    resetPeak();
    timer.restart();
    const bool ok = doc.openDocument(QString::fromStdString(path));
    const double textSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("open text file  %.2f s  (%s, %zu rows, %d columns)\n", textSeconds,
                ok ? "ok" : "FAILED", doc.data().rowCount(), doc.data().columnCount());
    std::printf("peak memory     %ld KiB while reading the text file\n", peakKiB());

    if (!qEnvironmentVariableIsSet("FENLUX_BENCH_NO_READER")) {
        // The converter's output path: the same table through a child process.
        FenluxDoc piped(nullptr);
        FenluxReader reader(QStringLiteral("cat"), QString());
        resetPeak();
        const long before = peakKiB();
        timer.restart();
        const bool pipedOk = piped.openDocument(QString::fromStdString(path), &reader);
        std::printf("open via reader %.2f s  (%s, %zu rows; reader program: cat)\n",
                    timer.nsecsElapsed() / 1e9, pipedOk ? "ok" : "FAILED", piped.data().rowCount());
        std::printf("peak memory     %ld KiB while reading through the reader (+%ld KiB for it)\n",
                    peakKiB(), peakKiB() - before);
    }
    if (!ok)
        return 1;

    {
        // The pieces of one curve's drawing on their own.
        const varno::fenlux::FenluxData& d = doc.data();
        const double* x = d.values(1);
        const double* y = d.values(3);
        const size_t n = d.rowCount();
        const double x0 = x[0], scale = 1285.0 / (x[n - 1] - x[0]);
        auto px = [&](double v) { return (v - x0) * scale; };
        std::vector<std::vector<varno::fenlux::PolylinePoint>> lines;
        const varno::fenlux::ColumnSummary* summary = d.summary(3);
        Stats reduce = timeIt(5, [&] { varno::fenlux::reduceAscending(x, y, n, px, &lines, summary, 0); });
        size_t points = 0;
        for (auto& l : lines)
            points += l.size();
        Stats scan = timeIt(5, [&] { varno::fenlux::reduceAscending(x, y, n, px, &lines); });
        std::printf("one curve       reduce %.2f ms with block summary, %.2f ms row by row (%zu points)\n",
                    reduce.median, scan.median, points);
    }

    {
        // Reference: the same 12 columns as plain curves that draw every point.
        FenluxPlot plain;
        plain.resize(1141, 797);
        for (int i = 2; i < doc.data().columnCount(); ++i) {
            auto* curve = new QwtPlotCurve;
            curve->setRawSamples(doc.data().values(1), doc.data().values(i), int(doc.data().rowCount()));
            curve->attach(&plain);
        }
        plain.show();
        QCoreApplication::processEvents();
        Stats every = timeIt(3, [&] {
            plain.replot();
            plain.canvas()->repaint();
        });
        std::printf("every point     %.1f ms median, %.1f ms CPU (12 plain curves, all rows)\n",
                    every.median, every.cpu);
    }

    resetPeak();
    FenluxView view(&doc);
    view.resize(1600, 900);
    view.show();
    QCoreApplication::processEvents();
    QWidget* canvas = view.plot()->canvas();
    Stats empty = timeIt(7, [&] {
        view.plot()->replot();
        canvas->repaint();
    });
    std::printf("empty plot      %.1f ms median (replot and paint without curves)\n", empty.median);
    timer.restart();
    view.showAllFunctions();
    std::printf("show all        %.1f ms (%d curves)\n", timer.nsecsElapsed() / 1e6,
                doc.data().columnCount() - 2);
    auto redrawAndPaint = [&] {
        view.redraw();
        canvas->repaint();
    };
    Stats all = timeIt(7, redrawAndPaint);
    Stats only = timeIt(7, [&] { view.redraw(); });
    Stats paint = timeIt(7, [&] {
        view.plot()->replot();
        canvas->repaint();
    });
    std::printf("  of which: view redraw %.1f ms, replot and paint %.1f ms (medians)\n", only.median,
                paint.median);
    std::printf("redraw all rows %.1f ms median, %.1f ms worst, %.1f ms CPU (every curve, %ld rows, "
                "canvas %dx%d)\n",
                all.median, all.worst, all.cpu, view.drawnCount(), canvas->width(), canvas->height());
    view.magnifySlider()->setValue(500);
    view.originSlider()->setValue(int(rows / 2));
    Stats part = timeIt(7, redrawAndPaint);
    std::printf("redraw zoomed   %.1f ms median, %.1f ms worst, %.1f ms CPU (%ld rows)\n", part.median,
                part.worst, part.cpu, view.drawnCount());
    timer.restart();
    for (int i = 0; i < 10; ++i)
        view.originSlider()->setValue(int(rows / 2 + i * rows / 100));
    std::printf("cursor steps    %.1f ms each (slider moves, redraw included)\n",
                timer.nsecsElapsed() / 1e6 / 10);

    // The plot of every row and every curve as a file of the size fenlux --export draws.
    view.magnifySlider()->setValue(0);
    QTemporaryDir exportDir;
    for (const char* name : {"plot.png", "plot.svg", "plot.pdf"}) {
        const QString path = exportDir.filePath(QString::fromLatin1(name));
        QString error;
        bool written = true;
        const Stats exported = timeIt(5, [&] {
            written = varno::fenlux::exportTo(varno::fenlux::exportSourceOf(view), path, QSize(1200, 800), &error) && written;
        });
        std::printf("export %s %.0f ms median, %.0f ms worst, %.0f ms CPU (%s, %lld bytes, %ld rows)\n", name,
                    exported.median, exported.worst, exported.cpu, written ? "ok" : "FAILED",
                    static_cast<long long>(QFile(path).size()), view.drawnCount());
    }
    windFigures(rows);
    // Extra paints for a profiler: FENLUX_BENCH_PAINTS=n.
    view.magnifySlider()->setValue(0);
    for (int i = qEnvironmentVariableIntValue("FENLUX_BENCH_PAINTS"); i > 0; --i)
        redrawAndPaint();
    std::printf("peak memory     %ld KiB with the view (text document only)\n", peakKiB());
    return 0;
}
