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

template <class Map>
void reduceAscending(const double* x, const double* y, size_t n, Map xToPixel,
                     std::vector<std::vector<PolylinePoint>>* lines)
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
