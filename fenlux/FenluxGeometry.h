#pragma once

#include <cstddef>
#include <vector>

namespace varno::fenlux {

// Arithmetic of the plot view: visible window, magnification, zoom, cursor snapping and
// the per-pixel reduction of long curves. No widgets, so it can be checked directly.

// First of the "nice" steps (in seconds, largest first) v with x > a * v; 0 when none.
double nice(double x, double a);

// Steps of the time axis: the nice steps, and for spans of years the largest of them times
// 2, 5, 10, 20, 50 ... The step after step (the smallest nice step when step is 0).
double largerTimeStep(double step);

// Step of the minor ticks between major ticks step apart: the smallest time-axis step of
// at least smallest that divides step into at most 15 parts; 0 when none does.
double minorTimeStep(double step, double smallest);

// Ticks of the time axis over lo .. hi: majors at the multiples of step, minors at the
// multiples of minorStep that are no major (none when minorStep is 0).
struct TimeTicks {
    std::vector<double> major, minor;
};
TimeTicks timeTicks(double lo, double hi, double step, double minorStep);

// Rows shown for magnify slider value v (0 .. 1000) over n rows: n at 0, 10 at 1000.
long visibleCountFor(long rows, int magnify);

// First row drawn for the cursor row and visible count, with the count limited to 1 .. n.
struct RowWindow {
    long start = 0;
    long count = 0;
};
RowWindow rowWindow(long rows, long visible, long origin);

// Row nearest to value in x[0 .. n-1] (first row above, or the one before when closer,
// the later on a tie). A value beyond the last row gives the last row.
long nearestRow(const double* x, long n, double value);

// Magnify slider value that shows the rows c .. e; false when it cannot be computed
// (fewer than 2 rows apart, or exactly 10 rows in all).
bool magnifyForRows(long c, long e, long rows, int* magnify);

// Cursor snapped down to the grid of step rows starting at base.
long snapOrigin(long value, long long base, long long step);
// Snapping step: time mode nice(nice(w, 3), 5), sample mode 100/50/25/10 or 1; >= 1.
long long snapStep(bool timeMode, long visible);

// Minimum and maximum of each block of kBlock rows of a column (NaN-free; NaN when the
// block holds no number) and whether the block holds a NaN. Lets a redraw of many rows
// visit blocks instead of rows.
struct ColumnSummary {
    static constexpr size_t kBlock = 64;
    std::vector<double> lo, hi;
    std::vector<unsigned char> hasNaN;
    void build(const double* y, size_t n);
    // Lowest and highest number in rows [from, to); false when there is none.
    bool range(const double* y, size_t from, size_t to, double* low, double* high) const;
};

// Reduces points to at most four per pixel column (first, min, max, last in drawing
// order), breaking the line at NaN values. xToPixel maps an x value to its pixel column.
// Output: polylines as runs of (x, y) pairs in data units.
struct PolylinePoint {
    double x, y;
};
template <class Map>
void reducePoints(const double* x, const double* y, size_t n, Map xToPixel,
                  std::vector<std::vector<PolylinePoint>>* lines);
// The same for x values that never decrease: each pixel column's run is found by
// searching, so long runs cost one pass over y only.
// summary (optional) describes the whole column; x and y start at row offset of it.
template <class Map>
void reduceAscending(const double* x, const double* y, size_t n, Map xToPixel,
                     std::vector<std::vector<PolylinePoint>>* lines,
                     const ColumnSummary* summary = nullptr, size_t offset = 0);

} // namespace varno::fenlux

#include <fenlux/FenluxGeometry.inl>
