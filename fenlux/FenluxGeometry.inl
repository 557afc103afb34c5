#pragma once

#include <cmath>

namespace varno::fenlux {

template <class Map>
void reducePoints(const double* x, const double* y, size_t n, Map xToPixel,
                  std::vector<std::vector<PolylinePoint>>* lines)
{
    lines->clear();
    std::vector<PolylinePoint>* line = nullptr;
    size_t i = 0;
    while (i < n) {
        if (std::isnan(y[i]) || std::isnan(x[i])) {
            line = nullptr;
            ++i;
            continue;
        }
        if (!line) {
            lines->emplace_back();
            line = &lines->back();
        }
        // One pixel column: the run of points that map onto the same column.
        const long column = static_cast<long>(std::floor(xToPixel(x[i])));
        const size_t first = i;
        size_t lo = i, hi = i;
        size_t last = i;
        ++i;
        for (; i < n; ++i) {
            const double yi = y[i];
            if (std::isnan(yi) || std::isnan(x[i])
                || static_cast<long>(std::floor(xToPixel(x[i]))) != column)
                break;
            if (yi < y[lo])
                lo = i;
            if (yi > y[hi])
                hi = i;
            last = i;
        }
        size_t order[4] = {first, lo < hi ? lo : hi, lo < hi ? hi : lo, last};
        size_t previous = static_cast<size_t>(-1);
        for (size_t k : order) {
            if (k != previous)
                line->push_back({x[k], y[k]});
            previous = k;
        }
    }
}

namespace detail {

// Lowest and highest value of rows [from, to) through the block summary. False when a NaN
// lies in the range (the caller then walks the rows and breaks the line there).
inline bool summaryMinMax(const ColumnSummary& s, const double* column, size_t from, size_t to,
                          double* low, double* high)
{
    const size_t B = ColumnSummary::kBlock;
    double lo = column[from], hi = lo;
    bool nan = lo != lo;
    size_t r = from;
    const size_t firstFull = std::min(to, (from + B - 1) / B * B);
    for (; r < firstFull; ++r) {
        const double v = column[r];
        nan |= v != v;
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    for (; r + B <= to; r += B) {
        const size_t b = r / B;
        nan |= s.hasNaN[b] != 0;
        lo = s.lo[b] < lo ? s.lo[b] : lo;
        hi = s.hi[b] > hi ? s.hi[b] : hi;
    }
    for (; r < to; ++r) {
        const double v = column[r];
        nan |= v != v;
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    *low = lo;
    *high = hi;
    return !nan;
}

} // namespace detail

template <class Map>
void reduceAscending(const double* x, const double* y, size_t n, Map xToPixel,
                     std::vector<std::vector<PolylinePoint>>* lines, const ColumnSummary* summary,
                     size_t offset)
{
    lines->clear();
    std::vector<PolylinePoint>* line = nullptr;
    auto columnOf = [&](size_t i) { return static_cast<long>(std::floor(xToPixel(x[i]))); };
    size_t i = 0;
    size_t previousRun = 1;
    while (i < n) {
        if (std::isnan(y[i])) {
            line = nullptr;
            ++i;
            continue;
        }
        if (!line) {
            lines->emplace_back();
            line = &lines->back();
        }
        const long column = columnOf(i);
        // End of the run: first row whose column lies to the right. Runs are mostly as long
        // as the one before; otherwise a galloping search finds the end.
        size_t good = i, step = 1, bad = n;
        const size_t guess = i + previousRun;
        if (guess < n && columnOf(guess - 1) == column && columnOf(guess) > column) {
            good = guess - 1;
            bad = guess;
        }
        while (bad - good > 1 && good + step < n && bad == n) {
            if (columnOf(good + step) > column) {
                bad = good + step;
                break;
            }
            good += step;
            step *= 2;
        }
        while (bad - good > 1) {
            const size_t mid = good + (bad - good) / 2;
            if (columnOf(mid) > column)
                bad = mid;
            else
                good = mid;
        }
        const size_t end = bad;
        const size_t first = i;
        previousRun = end - i;
        if (summary && end - i >= 4 * ColumnSummary::kBlock) {
            double low, high;
            if (detail::summaryMinMax(*summary, y - offset, i + offset, end + offset, &low, &high)) {
                // All points of the run share one pixel column: where inside it the lowest
                // and highest lie does not change the picture.
                const size_t last = end - 1;
                line->push_back({x[first], y[first]});
                line->push_back({x[first], low});
                line->push_back({x[first], high});
                line->push_back({x[last], y[last]});
                i = end;
                continue;
            }
        }
        size_t lo = i, hi = i, last = i;
        double ylo = y[i], yhi = y[i];
        for (++i; i < end; ++i) {
            const double yi = y[i];
            if (yi != yi)
                break;
            if (yi < ylo) {
                ylo = yi;
                lo = i;
            }
            if (yi > yhi) {
                yhi = yi;
                hi = i;
            }
        }
        last = i - 1;
        const size_t order[4] = {first, lo < hi ? lo : hi, lo < hi ? hi : lo, last};
        size_t previous = static_cast<size_t>(-1);
        for (size_t k : order) {
            if (k != previous)
                line->push_back({x[k], y[k]});
            previous = k;
        }
    }
}

} // namespace varno::fenlux
