#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

namespace varno::fenlux {

// What wind analysts ask of a measurement: where the wind comes from (the rose) and how
// strong it blows (the speed distribution with its Weibull law). Plain arithmetic over
// the columns of a document, shown by the wind views and written by the export.

class FenluxData;

// Rows [begin, end) of a measurement.
struct RowRange {
    size_t begin = 0;
    size_t end = 0;
    size_t size() const { return end > begin ? end - begin : 0; }
};

// The column that holds the wind direction: the first quantity whose name contains "dir"
// (any case); of its columns the "mean360" statistic, else its mean. -1 when there is none.
int defaultDirectionColumn(const FenluxData& data);
// The column that holds the wind speed: the mean of the first group, other than that of
// direction, that has a "mean" statistic; without such a group the first value column
// (kind 0) of another group (an ordinary CSV file names no statistics). -1 when none.
int defaultSpeedColumn(const FenluxData& data, int direction);
// A column by its name as a header writes it: "speed_max" is that statistic, the bare
// "speed" is the group's mean (its "mean360" for a direction). -1 when none is called so.
int findColumn(const FenluxData& data, const QString& name, bool direction = false);
// Header text of a column: its name, and "_" and its statistic when it has one.
QString columnHeading(const FenluxData& data, int column);

// Sector of a direction in degrees (any turn, negative too) among sectors centred on
// north and counted clockwise; -1 for a value that is not finite.
int sectorOf(double direction, int sectors);

// The sector counts a rose is offered with: 8, 12, 16 and 36.
const std::vector<int>& roseSectorChoices();

struct RoseOptions {
    int sectors = 12;
    // Upper edges of the speed classes but the last, which is open: 0-2, 2-4 ... 12 and more.
    std::vector<double> classEdges{2, 4, 6, 8, 10, 12};
    double calmBelow = 0.5;
};

struct WindRose {
    int sectors = 0;
    std::vector<double> classEdges;
    double calmBelow = 0;
    std::vector<long> counts; // per sector, per speed class
    long calms = 0;
    long used = 0;    // rows with both values: the base of every percentage
    long missing = 0; // rows without speed or without direction

    int classCount() const { return int(classEdges.size()) + 1; }
    long count(int sector, int speedClass) const
    {
        return counts[size_t(sector) * size_t(classCount()) + size_t(speedClass)];
    }
    long sectorCount(int sector) const;
    // n as percent of the rows used (0 when none was).
    double percent(long n) const { return used > 0 ? 100.0 * double(n) / double(used) : 0.0; }
    // "0-2", "2-4" ... "12 and more".
    std::string className(int speedClass) const;
    // Centre of a sector in degrees.
    double sectorCentre(int sector) const { return 360.0 * sector / sectors; }
};

// The rose of rows of two columns; calms are the speeds below options.calmBelow.
WindRose windRose(const double* speed, const double* direction, size_t rows,
                  const RoseOptions& options = RoseOptions());

// The speeds a distribution is made of: the values above 0; the others are counted.
struct SpeedSample {
    std::vector<double> values;
    long missing = 0;   // NaN
    long notAbove0 = 0; // 0 or negative
};
SpeedSample speedSample(const double* speed, size_t rows);

// Counts of the values in bins [i·width, (i+1)·width).
std::vector<long> histogram(const std::vector<double>& values, double binWidth);

// The Weibull law fitted to speeds by maximum likelihood: density
// (k/A)·(v/A)^(k-1)·exp(-(v/A)^k).
struct WeibullFit {
    bool ok = false;
    double k = 0;
    double A = 0;
    int passes = 0;     // passes over the values the solution took
    std::string reason; // why there is no fit

    double mean() const;             // A·Γ(1 + 1/k)
    double density(double v) const; // 0 for v <= 0
};
// Solves the likelihood equation for k (safeguarded Newton steps inside a bracket that
// bisection keeps), then A = (mean of v^k)^(1/k). Values must be above 0.
WeibullFit fitWeibull(const std::vector<double>& values);
// The likelihood equation at k, zero at the solution:
// sum(v^k·ln v) / sum(v^k) − 1/k − mean(ln v).
double weibullEquation(const std::vector<double>& values, double k);

// The figures a site report quotes about the speeds of a sample.
struct SpeedFigures {
    long n = 0;
    double mean = 0;
    double powerDensity = 0; // ½·ρ·mean(v³), ρ = kAirDensity
};
constexpr double kAirDensity = 1.225; // kg/m³
SpeedFigures speedFigures(const std::vector<double>& values);

// Everything the distribution view shows, for rows of a speed column.
struct SpeedDistribution {
    double binWidth = 1;
    SpeedSample sample;
    std::vector<long> counts;
    SpeedFigures figures;
    WeibullFit fit;
};
SpeedDistribution speedDistribution(const double* speed, size_t rows, double binWidth = 1);

} // namespace varno::fenlux
