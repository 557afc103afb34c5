#pragma once

#include <cmath>

namespace fenlux {

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

// Lowest and highest value of rows [from, to) through the block summary, with the rows
// where they were found (to the block). False when a NaN lies in the range.
inline bool summaryMinMax(const ColumnSummary& s, const double* column, size_t from, size_t to,
                          double* low, size_t* lowAt, double* high, size_t* highAt)
{
    const size_t B = ColumnSummary::kBlock;
    bool any = false;
    auto take = [&](double lo, size_t loAt, double hi, size_t hiAt) {
        if (!any || lo < *low) {
            *low = lo;
            *lowAt = loAt;
        }
        if (!any || hi > *high) {
            *high = hi;
            *highAt = hiAt;
        }
        any = true;
    };
    size_t r = from;
    const size_t firstFull = (from + B - 1) / B * B;
    for (; r < to && r < firstFull; ++r) {
        const double v = column[r];
        if (v != v)
            return false;
        take(v, r, v, r);
    }
    for (; r + B <= to; r += B) {
        const size_t b = r / B;
        if (s.hasNaN[b])
            return false;
        take(s.lo[b], r, s.hi[b], r);
    }
    for (; r < to; ++r) {
        const double v = column[r];
        if (v != v)
            return false;
        take(v, r, v, r);
    }
    return any;
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
        // End of the run: first row whose column lies to the right (galloping search).
        size_t good = i, step = 1, bad = n;
        while (good + step < n) {
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
        if (summary && end - i >= 4 * ColumnSummary::kBlock) {
            double low, high;
            size_t lowAt, highAt;
            if (detail::summaryMinMax(*summary, y - offset, i + offset, end + offset, &low, &lowAt,
                                      &high, &highAt)) {
                lowAt -= offset;
                highAt -= offset;
                const size_t last = end - 1;
                const PolylinePoint points[4] = {
                    {x[first], y[first]},
                    lowAt <= highAt ? PolylinePoint{x[lowAt], low} : PolylinePoint{x[highAt], high},
                    lowAt <= highAt ? PolylinePoint{x[highAt], high} : PolylinePoint{x[lowAt], low},
                    {x[last], y[last]}};
                for (const PolylinePoint& p : points)
                    line->push_back(p);
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

} // namespace fenlux
