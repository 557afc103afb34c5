#include <fenlux/FenluxWind.h>

#include <fenlux/FenluxData.h>
#include <ostrel/NumberText.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace varno::fenlux {

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

bool isMean(const FenluxColumn& c)
{
    return c.suffix == QLatin1String("mean") || c.suffix == QLatin1String("value/mean");
}

// The column that stands for a quantity: its "mean360" (directions only), else its mean
// or plain value (kind 0), else its first column. A quantity may span several groups
// ("dir_mean" and "dir_mean360" are two).
int quantityColumn(const FenluxData& data, const QString& name, bool direction)
{
    int first = -1, kindZero = -1;
    for (int i = 2; i < data.columnCount(); ++i) {
        const FenluxColumn* c = data.column(i);
        if (c->group == 0 || c->name != name)
            continue;
        if (direction && c->suffix == QLatin1String("mean360"))
            return i;
        if (first < 0)
            first = i;
        if (kindZero < 0 && c->kind == 0)
            kindZero = i;
    }
    return kindZero >= 0 ? kindZero : first;
}

// Logarithms of speeds, shifted so that the largest is 0: the terms exp(k·z) below then
// lie within 0 .. 1 for any k. The likelihood equation does not change under the shift.
struct LogSpeeds {
    std::vector<double> z;
    double highest = 0; // the shift: ln of the largest speed
    double lowest = 0;  // the smallest z
    double mean = 0;    // mean of z
};

LogSpeeds logSpeeds(const std::vector<double>& values)
{
    LogSpeeds logs;
    logs.z.resize(values.size());
    logs.highest = -std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < values.size(); ++i) {
        logs.z[i] = std::log(values[i]);
        logs.highest = std::max(logs.highest, logs.z[i]);
    }
    for (double& zi : logs.z) {
        zi -= logs.highest;
        logs.mean += zi;
        logs.lowest = std::min(logs.lowest, zi);
    }
    logs.mean /= double(values.size());
    return logs;
}

// Points z with weights (each 1 when there are none).
struct WeightedPoints {
    const std::vector<double>& z;
    const std::vector<double>* weights;
};

struct PowerSums {
    double s0 = 0, s1 = 0, s2 = 0; // sums of w, w·z, w·z² with w = weight · exp(k·z)
};

PowerSums powerSums(const WeightedPoints& points, double k)
{
    PowerSums s;
    const size_t n = points.z.size();
    for (size_t i = 0; i < n; ++i) {
        const double zi = points.z[i];
        const double w = points.weights ? (*points.weights)[i] * std::exp(k * zi) : std::exp(k * zi);
        const double wz = w * zi;
        s.s0 += w;
        s.s1 += wz;
        s.s2 += wz * zi;
    }
    return s;
}

struct Root {
    bool ok = false;
    double k = 0;
    PowerSums sums; // at k
    int passes = 0;
};

// The likelihood equation g(k) = s1/s0 − mean(z) − 1/k rises from −∞ (k → 0) to
// −mean(z) > 0, so it has one root. Every evaluation narrows the bracket [low, high]
// around it; a Newton step from k that leaves the bracket is replaced by bisection. Ends
// when a step is below tolerance relative to k.
Root solveLikelihood(const WeightedPoints& points, double meanZ, double k, double tolerance)
{
    Root root;
    double low = 0, high = std::numeric_limits<double>::infinity();
    for (root.passes = 1; root.passes <= 200; ++root.passes) {
        const PowerSums s = powerSums(points, k);
        const double mean = s.s1 / s.s0;
        const double g = mean - meanZ - 1.0 / k;
        const double slope = s.s2 / s.s0 - mean * mean + 1.0 / (k * k);
        if (g < 0)
            low = k;
        else
            high = k;
        double next = k - g / slope;
        if (!(next > low && next < high))
            next = std::isinf(high) ? 2 * k : 0.5 * (low + high);
        if (g == 0 || std::fabs(next - k) <= tolerance * k || high - low <= tolerance * k) {
            root.ok = true;
            root.k = k;
            root.sums = s;
            return root;
        }
        k = next;
    }
    return root;
}

// A close first solution, cheaply: the log speeds grouped into narrow bins, each bin's
// values standing at their mean. It lies within about 1e-6 of the exact root, so that
// two passes over all values finish the solution.
double binnedRoot(const LogSpeeds& logs, double k)
{
    const int kBins = 4096;
    if (!(logs.lowest < 0))
        return k;
    std::vector<double> count(kBins, 0.0), sum(kBins, 0.0);
    const double scale = (kBins - 1) / -logs.lowest;
    for (double zi : logs.z) {
        const size_t bin = size_t((zi - logs.lowest) * scale);
        count[bin] += 1;
        sum[bin] += zi;
    }
    std::vector<double> z, weights;
    for (int b = 0; b < kBins; ++b) {
        if (count[size_t(b)] > 0) {
            z.push_back(sum[size_t(b)] / count[size_t(b)]);
            weights.push_back(count[size_t(b)]);
        }
    }
    const Root root = solveLikelihood({z, &weights}, logs.mean, k, 1e-12);
    return root.ok ? root.k : k;
}

} // namespace

int defaultDirectionColumn(const FenluxData& data)
{
    for (int i = 2; i < data.columnCount(); ++i) {
        const FenluxColumn* c = data.column(i);
        if (c->group > 0 && c->name.contains(QLatin1String("dir"), Qt::CaseInsensitive))
            return quantityColumn(data, c->name, true);
    }
    return -1;
}

int defaultSpeedColumn(const FenluxData& data, int direction)
{
    const int directionGroup = direction >= 0 && data.column(direction) ? data.column(direction)->group : -1;
    auto candidate = [&](int i) {
        const FenluxColumn* c = data.column(i);
        return c->group > 0 && c->group != directionGroup;
    };
    for (int i = 2; i < data.columnCount(); ++i)
        if (candidate(i) && isMean(*data.column(i)))
            return i;
    for (int i = 2; i < data.columnCount(); ++i)
        if (candidate(i) && data.column(i)->kind == 0)
            return i;
    return -1;
}

QString columnHeading(const FenluxData& data, int column)
{
    const FenluxColumn* c = data.column(column);
    if (!c)
        return QString();
    return c->suffix.isEmpty() ? c->name : c->name + QLatin1Char('_') + c->suffix;
}

int findColumn(const FenluxData& data, const QString& name, bool direction)
{
    for (int i = 2; i < data.columnCount(); ++i)
        if (columnHeading(data, i) == name)
            return i;
    return quantityColumn(data, name, direction);
}

const std::vector<int>& roseSectorChoices()
{
    static const std::vector<int> choices{8, 12, 16, 36};
    return choices;
}

int sectorOf(double direction, int sectors)
{
    if (!std::isfinite(direction) || sectors <= 0)
        return -1;
    // Turned by half a sector, sector 0 starts at 0 degrees.
    double turned = direction + 180.0 / sectors;
    turned -= 360.0 * std::floor(turned / 360.0);
    const int sector = int(turned * sectors / 360.0);
    return sector < sectors ? sector : 0;
}

long WindRose::sectorCount(int sector) const
{
    long n = 0;
    for (int c = 0; c < classCount(); ++c)
        n += count(sector, c);
    return n;
}

std::string WindRose::className(int speedClass) const
{
    auto text = [](double v) { return ostrel::numbertext::General(v, 6); };
    if (speedClass >= int(classEdges.size()))
        return classEdges.empty() ? "all" : text(classEdges.back()) + " and more";
    const double low = speedClass == 0 ? 0.0 : classEdges[size_t(speedClass) - 1];
    return text(low) + "-" + text(classEdges[size_t(speedClass)]);
}

WindRose windRose(const double* speed, const double* direction, size_t rows, const RoseOptions& options)
{
    WindRose rose;
    rose.sectors = std::max(1, options.sectors);
    rose.classEdges = options.classEdges;
    rose.calmBelow = options.calmBelow;
    rose.counts.assign(size_t(rose.sectors) * size_t(rose.classCount()), 0);
    const double* edgesBegin = rose.classEdges.data();
    const double* edgesEnd = edgesBegin + rose.classEdges.size();
    for (size_t r = 0; r < rows; ++r) {
        const double v = speed[r];
        const int sector = sectorOf(direction[r], rose.sectors);
        if (!std::isfinite(v) || sector < 0) {
            ++rose.missing;
            continue;
        }
        ++rose.used;
        if (v < rose.calmBelow) {
            ++rose.calms;
            continue;
        }
        const int speedClass = int(std::upper_bound(edgesBegin, edgesEnd, v) - edgesBegin);
        ++rose.counts[size_t(sector) * size_t(rose.classCount()) + size_t(speedClass)];
    }
    return rose;
}

SpeedSample speedSample(const double* speed, size_t rows)
{
    SpeedSample sample;
    sample.values.reserve(rows);
    for (size_t r = 0; r < rows; ++r) {
        const double v = speed[r];
        if (std::isnan(v))
            ++sample.missing;
        else if (!(v > 0))
            ++sample.notAbove0;
        else if (std::isinf(v))
            ++sample.missing;
        else
            sample.values.push_back(v);
    }
    return sample;
}

std::vector<long> histogram(const std::vector<double>& values, double binWidth)
{
    // A stray huge value must not ask for millions of bins: beyond this it joins the last.
    const double kMostBins = 100000;
    std::vector<long> counts;
    if (values.empty() || !(binWidth > 0))
        return counts;
    const double highest = *std::max_element(values.begin(), values.end());
    counts.assign(size_t(std::min(std::floor(highest / binWidth), kMostBins - 1)) + 1, 0);
    const double last = double(counts.size() - 1);
    for (double v : values)
        ++counts[size_t(std::min(std::floor(v / binWidth), last))];
    return counts;
}

double WeibullFit::mean() const
{
    return ok ? A * std::tgamma(1.0 + 1.0 / k) : kNaN;
}

double WeibullFit::density(double v) const
{
    if (!ok || !(v > 0))
        return 0;
    const double x = v / A;
    return k / A * std::pow(x, k - 1) * std::exp(-std::pow(x, k));
}

double weibullEquation(const std::vector<double>& values, double k)
{
    if (values.empty() || !(k > 0))
        return kNaN;
    const LogSpeeds logs = logSpeeds(values);
    const PowerSums s = powerSums({logs.z, nullptr}, k);
    return s.s1 / s.s0 - logs.mean - 1.0 / k;
}

WeibullFit fitWeibull(const std::vector<double>& values)
{
    WeibullFit fit;
    const size_t n = values.size();
    if (n < 2) {
        fit.reason = "fewer than 2 values above 0";
        return fit;
    }
    const LogSpeeds logs = logSpeeds(values);
    double variance = 0;
    for (double zi : logs.z)
        variance += (zi - logs.mean) * (zi - logs.mean);
    variance /= double(n);
    if (!(variance > 0)) {
        fit.reason = "all values are equal";
        return fit;
    }
    // Start from the moment estimate: the variance of ln v is π²/6k².
    const double kPi = 3.14159265358979323846;
    const double start = binnedRoot(logs, kPi / std::sqrt(6.0 * variance));
    const Root root = solveLikelihood({logs.z, nullptr}, logs.mean, start, 1e-10);
    if (!root.ok) {
        fit.reason = "the likelihood equation did not converge";
        return fit;
    }
    fit.ok = true;
    fit.k = root.k;
    fit.A = std::exp(logs.highest) * std::pow(root.sums.s0 / double(n), 1.0 / root.k);
    fit.passes = root.passes;
    return fit;
}

SpeedFigures speedFigures(const std::vector<double>& values)
{
    SpeedFigures f;
    f.n = long(values.size());
    if (values.empty())
        return f;
    double sum = 0, cubes = 0;
    for (double v : values) {
        sum += v;
        cubes += v * v * v;
    }
    f.mean = sum / double(values.size());
    f.powerDensity = 0.5 * kAirDensity * cubes / double(values.size());
    return f;
}

SpeedDistribution speedDistribution(const double* speed, size_t rows, double binWidth)
{
    SpeedDistribution d;
    d.binWidth = binWidth;
    d.sample = speedSample(speed, rows);
    d.counts = histogram(d.sample.values, binWidth);
    d.figures = speedFigures(d.sample.values);
    d.fit = fitWeibull(d.sample.values);
    return d;
}

} // namespace varno::fenlux
