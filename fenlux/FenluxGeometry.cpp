#include <fenlux/FenluxGeometry.h>

#include <algorithm>
#include <cmath>

namespace varno::fenlux {

namespace {
const double kNiceSteps[] = {6048000, 3024000, 2419200, 1814400, 1209600, 604800, 259200,
                             172800,  86400,   43200,   21600,   10800,   7200,   3600,
                             1800,    900,     600,     300,     120,     60,     30,
                             15,      10,      5,       2,       1,       0.5,    0.2,
                             0.1,     0.05,    0.02,    0.01};
}

double nice(double x, double a)
{
    for (double v : kNiceSteps)
        if (x > a * v)
            return v;
    return 0;
}

double largerTimeStep(double step)
{
    const size_t count = sizeof kNiceSteps / sizeof kNiceSteps[0];
    for (size_t i = count; i-- > 0;)
        if (kNiceSteps[i] > step * (1 + 1e-9))
            return kNiceSteps[i];
    // Multiples 1, 2, 5, 10, 20 ... of the largest nice step.
    const double largest = kNiceSteps[0];
    for (double decade = 1;; decade *= 10)
        for (double m : {1.0, 2.0, 5.0})
            if (largest * m * decade > step * (1 + 1e-9))
                return largest * m * decade;
}

double minorTimeStep(double step, double smallest)
{
    const int kMostParts = 15;
    for (double v = largerTimeStep(0); v < step; v = largerTimeStep(v)) {
        const double parts = step / v;
        if (v >= smallest && parts <= kMostParts && std::fabs(parts - std::round(parts)) < 1e-6)
            return v;
    }
    return 0;
}

TimeTicks timeTicks(double lo, double hi, double step, double minorStep)
{
    TimeTicks ticks;
    if (!(step > 0) || !(hi >= lo))
        return ticks;
    // A tick that lies on a bound by its value lies there exactly, whatever the rounding.
    auto multiples = [lo, hi](double s, std::vector<double>* out, double skipEvery) {
        const double tolerance = 1e-6;
        const double kMostTicks = 100000;
        const double first = std::ceil(lo / s - tolerance);
        const double last = std::floor(hi / s + tolerance);
        if (!(last - first < kMostTicks))
            return;
        for (double k = first; k <= last; ++k) {
            if (skipEvery > 0 && std::fmod(k, skipEvery) == 0)
                continue;
            out->push_back(std::clamp(k * s, lo, hi));
        }
    };
    multiples(step, &ticks.major, 0);
    if (minorStep > 0 && minorStep < step)
        multiples(minorStep, &ticks.minor, std::round(step / minorStep));
    return ticks;
}

long visibleCountFor(long rows, int magnify)
{
    if (rows <= 0)
        return 0;
    const double n = double(rows);
    const double w = n * std::exp(std::log(10.0 / n) * 0.001 * magnify);
    if (!(w >= 0) || w > 9.0e18)
        return rows;
    return static_cast<long>(w);
}

RowWindow rowWindow(long rows, long visible, long origin)
{
    RowWindow r;
    if (rows <= 0)
        return r;
    r.count = std::clamp(visible, 1L, rows);
    r.start = std::clamp(origin - r.count / 2, 0L, rows - r.count);
    return r;
}

long nearestRow(const double* x, long n, double value)
{
    if (n <= 0)
        return 0;
    for (long r = 0; r < n; ++r) {
        if (x[r] > value) {
            if (r == 0)
                return 0;
            return (value - x[r - 1] < x[r] - value) ? r - 1 : r;
        }
    }
    return n - 1;
}

bool magnifyForRows(long c, long e, long rows, int* magnify)
{
    if (rows <= 0 || e == c)
        return false;
    const double denominator = std::log(10.0 / double(rows)) * 0.001;
    if (denominator == 0)
        return false;
    const double v = std::log(double(std::labs(e - c)) / double(rows)) / denominator;
    if (!std::isfinite(v))
        return false;
    *magnify = static_cast<int>(std::clamp(v, -1.0e6, 1.0e6));
    return true;
}

long long snapStep(bool timeMode, long visible)
{
    const long w = std::max(visible, 1L);
    if (timeMode) {
        const double step = nice(nice(double(w), 3), 5);
        return std::max(1LL, static_cast<long long>(step));
    }
    for (long s : {100L, 50L, 25L, 10L})
        if (w / 20 >= s)
            return s;
    return 1;
}

long snapOrigin(long value, long long base, long long step)
{
    if (step < 1)
        step = 1;
    long long m = (base + value) % step;
    if (m < 0)
        m += step;
    return static_cast<long>(value - m);
}

void ColumnSummary::build(const double* y, size_t n)
{
    const size_t blocks = (n + kBlock - 1) / kBlock;
    lo.assign(blocks, std::nan(""));
    hi.assign(blocks, std::nan(""));
    hasNaN.assign(blocks, 0);
    for (size_t b = 0; b < blocks; ++b) {
        const size_t end = std::min(n, (b + 1) * kBlock);
        bool any = false, nan = false;
        double l = 0, h = 0;
        for (size_t r = b * kBlock; r < end; ++r) {
            const double v = y[r];
            if (v != v) {
                nan = true;
                continue;
            }
            if (!any) {
                l = h = v;
                any = true;
            } else {
                l = v < l ? v : l;
                h = v > h ? v : h;
            }
        }
        if (any) {
            lo[b] = l;
            hi[b] = h;
        }
        hasNaN[b] = nan;
    }
}

bool ColumnSummary::range(const double* y, size_t from, size_t to, double* low, double* high) const
{
    bool any = false;
    auto take = [&](double l, double h) {
        if (l != l)
            return;
        if (!any) {
            *low = l;
            *high = h;
            any = true;
        } else {
            *low = std::min(*low, l);
            *high = std::max(*high, h);
        }
    };
    size_t r = from;
    for (; r < to && r % kBlock != 0; ++r)
        take(y[r], y[r]);
    for (; r + kBlock <= to; r += kBlock)
        take(lo[r / kBlock], hi[r / kBlock]);
    for (; r < to; ++r)
        take(y[r], y[r]);
    return any;
}

} // namespace varno::fenlux
