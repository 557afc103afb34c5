#include <fenlux/FenluxData.h>
#include <fenlux/FenluxWind.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using namespace varno::fenlux;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// n speeds drawn from the Weibull law (k, A) by inverting its distribution function.
std::vector<double> weibullSample(double k, double A, size_t n, uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::vector<double> v(n);
    for (double& x : v) {
        const double u = double(random() >> 11) * 0x1p-53; // [0, 1)
        x = A * std::pow(-std::log1p(-u), 1.0 / k);
    }
    return v;
}

// The root of the likelihood equation by plain bisection in long double: slow and sure.
double referenceK(const std::vector<double>& v)
{
    long double meanLog = 0;
    for (double x : v)
        meanLog += std::log((long double)x);
    meanLog /= v.size();
    auto g = [&](long double k) {
        long double s0 = 0, s1 = 0;
        for (double x : v) {
            const long double w = std::pow((long double)x, k);
            s0 += w;
            s1 += w * std::log((long double)x);
        }
        return s1 / s0 - 1 / k - meanLog;
    };
    long double low = 0.05, high = 50;
    for (int i = 0; i < 80; ++i) {
        const long double mid = (low + high) / 2;
        (g(mid) < 0 ? low : high) = mid;
    }
    return double((low + high) / 2);
}

double referenceA(const std::vector<double>& v, double k)
{
    long double s = 0;
    for (double x : v)
        s += std::pow((long double)x, (long double)k);
    return double(std::pow(s / v.size(), 1 / (long double)k));
}

void feed(FenluxData& d, std::initializer_list<const char*> lines)
{
    for (const char* l : lines)
        d.appendLine(l);
}

} // namespace

TEST(FenluxWeibullFit, MatchesTheLikelihoodSolutionForKnownLaws)
{
    struct Law {
        double k, A;
        size_t n;
        uint64_t seed;
    };
    for (const Law law : {Law{2.0, 7.0, 20000, 1}, Law{1.3, 4.5, 5000, 2}, Law{3.5, 11.0, 20000, 3},
                          Law{0.8, 2.0, 3000, 4}, Law{9.0, 15.0, 2000, 5}}) {
        const std::vector<double> v = weibullSample(law.k, law.A, law.n, law.seed);
        const WeibullFit fit = fitWeibull(v);
        ASSERT_TRUE(fit.ok) << law.k;
        const double k = referenceK(v);
        EXPECT_NEAR(fit.k / k, 1.0, 1e-6) << law.k;
        EXPECT_NEAR(fit.A / referenceA(v, k), 1.0, 1e-6) << law.k;
        EXPECT_LT(std::fabs(weibullEquation(v, fit.k)), 1e-10) << law.k;
        // And near the law the values came from.
        EXPECT_NEAR(fit.k / law.k, 1.0, 0.06) << law.k;
        EXPECT_NEAR(fit.A / law.A, 1.0, 0.06) << law.k;
        EXPECT_NEAR(fit.mean(), law.A * std::tgamma(1 + 1 / law.k), 0.05 * law.A) << law.k;
        EXPECT_LE(fit.passes, 4);
    }
}

TEST(FenluxWeibullFit, ScaleOfTheSpeedsOnlyScalesA)
{
    std::vector<double> v = weibullSample(2.2, 6.0, 10000, 11);
    const WeibullFit base = fitWeibull(v);
    for (double factor : {1e-4, 3.6, 1e5}) {
        std::vector<double> scaled = v;
        for (double& x : scaled)
            x *= factor;
        const WeibullFit fit = fitWeibull(scaled);
        ASSERT_TRUE(fit.ok);
        EXPECT_NEAR(fit.k / base.k, 1.0, 1e-9) << factor;
        EXPECT_NEAR(fit.A / (base.A * factor), 1.0, 1e-9) << factor;
    }
}

TEST(FenluxWeibullFit, TooFewOrEqualValuesGiveNoFitAndSayWhy)
{
    EXPECT_FALSE(fitWeibull({}).ok);
    const WeibullFit one = fitWeibull({3.0});
    EXPECT_FALSE(one.ok);
    EXPECT_EQ(one.reason, "fewer than 2 values above 0");
    EXPECT_TRUE(std::isnan(one.mean()));
    const WeibullFit equal = fitWeibull({4.0, 4.0, 4.0});
    EXPECT_FALSE(equal.ok);
    EXPECT_EQ(equal.reason, "all values are equal");
    // Two different values have a solution.
    const WeibullFit two = fitWeibull({1.0, 2.0});
    ASSERT_TRUE(two.ok);
    EXPECT_LT(std::fabs(weibullEquation({1.0, 2.0}, two.k)), 1e-12);
    // Many values of a few kinds (rounded speeds), with a far outlier.
    std::vector<double> rounded = weibullSample(2, 8, 5000, 9);
    for (double& x : rounded)
        x = std::max(0.1, std::round(x));
    rounded.push_back(1e6);
    const WeibullFit odd = fitWeibull(rounded);
    ASSERT_TRUE(odd.ok);
    EXPECT_LT(std::fabs(weibullEquation(rounded, odd.k)), 1e-9);
}

TEST(FenluxSpeedDistribution, LeavesOutMissingAndNonPositiveValuesAndCountsThem)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> speed{1.2, kNaN, 0.0, -1.0, 2.5, 2.5, 0.4, 9.99, inf};
    const SpeedDistribution d = speedDistribution(speed.data(), speed.size(), 1);
    EXPECT_EQ(d.sample.values.size(), 5u);
    EXPECT_EQ(d.sample.missing, 2);
    EXPECT_EQ(d.sample.notAbove0, 2);
    EXPECT_EQ(d.counts, (std::vector<long>{1, 1, 2, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(d.figures.n, 5);
    EXPECT_NEAR(d.figures.mean, (1.2 + 2.5 + 2.5 + 0.4 + 9.99) / 5, 1e-12);
    const double cubes = std::pow(1.2, 3) + 2 * std::pow(2.5, 3) + std::pow(0.4, 3) + std::pow(9.99, 3);
    EXPECT_NEAR(d.figures.powerDensity, 0.5 * 1.225 * cubes / 5, 1e-9);
    EXPECT_TRUE(d.fit.ok);
    // Half-unit bins; a value on an edge opens the next bin.
    EXPECT_EQ(histogram({0.5, 0.49, 1.0}, 0.5), (std::vector<long>{1, 1, 1}));
    // The density integrates to 1, and its mean is A·Γ(1 + 1/k).
    WeibullFit law;
    law.ok = true;
    law.k = 2.0;
    law.A = 7.0;
    double integral = 0, mean = 0;
    for (double v = 0.0005; v < 60; v += 0.001) {
        integral += law.density(v) * 0.001;
        mean += v * law.density(v) * 0.001;
    }
    EXPECT_NEAR(integral, 1.0, 1e-6);
    EXPECT_NEAR(mean, law.mean(), 1e-5);
    EXPECT_NEAR(law.mean(), 7.0 * std::sqrt(3.14159265358979) / 2, 1e-9);
    EXPECT_EQ(law.density(0), 0.0);
}

TEST(FenluxWindRose, SectorsAreCentredOnNorthAndCountedClockwise)
{
    EXPECT_EQ(sectorOf(0, 12), 0);
    EXPECT_EQ(sectorOf(14.999, 12), 0);
    EXPECT_EQ(sectorOf(15, 12), 1);
    EXPECT_EQ(sectorOf(345, 12), 0);
    EXPECT_EQ(sectorOf(344.999, 12), 11);
    EXPECT_EQ(sectorOf(359.9999999, 12), 0);
    EXPECT_EQ(sectorOf(360, 12), 0);
    EXPECT_EQ(sectorOf(-10, 12), 0);
    EXPECT_EQ(sectorOf(-20, 12), 11);
    EXPECT_EQ(sectorOf(450, 8), 2); // east
    EXPECT_EQ(sectorOf(180, 36), 18);
    EXPECT_EQ(sectorOf(kNaN, 12), -1);
}

TEST(FenluxWindRose, SpeedClassesCalmsAndPercentOfRowsWithBothValues)
{
    const std::vector<double> speed{0.2, 1.0, 2.0, 5.0, 12.0, 30.0, 3.0, kNaN, 4.0, 0.49};
    const std::vector<double> dir{10, 350, 5, 95, 181, 270, kNaN, 90, 91, 200};
    const WindRose rose = windRose(speed.data(), dir.data(), speed.size());
    EXPECT_EQ(rose.classCount(), 7);
    EXPECT_EQ(rose.className(0), "0-2");
    EXPECT_EQ(rose.className(1), "2-4");
    EXPECT_EQ(rose.className(6), "12 and more");
    EXPECT_EQ(rose.used, 8);
    EXPECT_EQ(rose.missing, 2);
    EXPECT_EQ(rose.calms, 2);
    EXPECT_EQ(rose.count(0, 0), 1); // 1.0 from 350
    EXPECT_EQ(rose.count(0, 1), 1); // 2.0 from 5
    EXPECT_EQ(rose.count(3, 2), 2); // 5.0 from 95 and 4.0 from 91 (east: 75 .. 105)
    EXPECT_EQ(rose.count(3, 2) + rose.count(3, 1), rose.sectorCount(3));
    EXPECT_EQ(rose.count(6, 6), 1); // 12.0 from 181
    EXPECT_EQ(rose.count(9, 6), 1); // 30.0 from 270
    long total = rose.calms;
    for (int s = 0; s < rose.sectors; ++s)
        total += rose.sectorCount(s);
    EXPECT_EQ(total, rose.used);
    EXPECT_DOUBLE_EQ(rose.percent(rose.calms), 25.0);

    RoseOptions sixteen;
    sixteen.sectors = 16;
    sixteen.classEdges = {0.5, 1.5};
    const WindRose other = windRose(speed.data(), dir.data(), speed.size(), sixteen);
    EXPECT_EQ(other.className(0), "0-0.5");
    EXPECT_EQ(other.className(2), "1.5 and more");
    EXPECT_EQ(other.count(4, 2), 2); // 5.0 from 95 and 4.0 from 91
    const WindRose empty = windRose(nullptr, nullptr, 0);
    EXPECT_EQ(empty.percent(0), 0.0);
}

TEST(FenluxWindColumns, DirectionAndSpeedAreFoundByNameAndStatistic)
{
    // The converter's table: a period column before the wind channels.
    FenluxData converter;
    feed(converter,
         {"\"date\" \"time\" \"period\" \"v1_mean\" \"v1_max\" \"direction_mean\" \"direction_mean360\""});
    const int direction = defaultDirectionColumn(converter);
    EXPECT_EQ(columnHeading(converter, direction), "direction_mean360");
    EXPECT_EQ(columnHeading(converter, defaultSpeedColumn(converter, direction)), "v1_mean");
    EXPECT_EQ(findColumn(converter, "v1_max"), 4);
    EXPECT_EQ(findColumn(converter, "v1"), 3);
    EXPECT_EQ(findColumn(converter, "direction", true), 6);
    EXPECT_EQ(findColumn(converter, "direction", false), 5);
    EXPECT_EQ(findColumn(converter, "gust"), -1);

    // An ordinary CSV file names no statistics; the direction may come first.
    FenluxData plain;
    feed(plain, {"time,WindDir,speed,temp", "1,2,3,4"});
    EXPECT_EQ(defaultDirectionColumn(plain), 2);
    EXPECT_EQ(defaultSpeedColumn(plain, 2), 3);
    EXPECT_EQ(findColumn(plain, "column 9"), -1);

    FenluxData none;
    feed(none, {"time,speed", "1,2"});
    EXPECT_EQ(defaultDirectionColumn(none), -1);
    EXPECT_EQ(defaultSpeedColumn(none, -1), 2);
}
