#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "RecordingReader.h"
#include "RecordingStats.h"

namespace {

// Exact while the distinct steps are few (the lower middle one for an even count), within 1% and
// saying so beyond, gaps counted by the same counts.
TEST(StepCounts, MedianExactThenWithinOnePercent) {
    StepCounts few;
    for (const auto& [step, count] : {std::pair{30ull, 2ull}, {10ull, 3ull}, {20ull, 1ull}})
        few.Add(step, count);
    EXPECT_TRUE(few.Exact());
    EXPECT_EQ(few.Median(), 10u);
    EXPECT_EQ(few.CountLongerThan(15), 3u);
    StepCounts many;
    for (std::uint64_t step = 1; step <= 2 * StepCounts::kExactSteps; ++step) {
        many.Add(step * 1'000'003, step % 2 ? 1 : 3);
        if (step == StepCounts::kExactSteps) {  // the most it counts exactly
            EXPECT_TRUE(many.Exact() && many.Total() == 2 * StepCounts::kExactSteps);
            EXPECT_EQ(many.Median(), 2'048 * 1'000'003u);
        }
    }
    EXPECT_FALSE(many.Exact());
    EXPECT_EQ(many.Total(), 4 * StepCounts::kExactSteps);
    const double exact = 4096.5 * 1'000'003;  // half the steps below, half above
    EXPECT_NEAR(static_cast<double>(many.Median()), exact, exact / 100);
    EXPECT_NEAR(static_cast<double>(many.CountLongerThan(6'144ull * 1'000'003)), 2 * 2'048, 41);
}

// A time, as the report places gaps and steps backward, is the exact difference of unsigned
// stamps: negative only for a stamp before the first, however far apart.
TEST(RecordingStats, TimesAreExactDifferencesOfStamps) {
    constexpr std::uint64_t kEpoch = 1'700'000'000'000, kOnes = ~0ull;
    for (const auto& [first, stamp, seconds] : {std::tuple(kEpoch, kOnes, 1.844674237370955e+16),
                                                std::tuple(kOnes, kEpoch, -1.844674237370955e+16),
                                                std::tuple(kEpoch, kEpoch - 5, -0.005)}) {
        RecordingStats stats(LookUpSensorFormat("TLocation"), false);
        stats.Add(&first, nullptr, 1);
        EXPECT_EQ(stats.TimeOf(stamp), seconds) << first << " " << stamp;
    }
}

// Block by block as the converter reads, the figures are those of all values at once: huge,
// non-finite and ordinary values, blocks of every size.
TEST(RecordingStats, BlocksMergeIntoTheWholeRecordingsFigures) {
    std::mt19937_64 random(7);
    std::vector<SampleRow> rows(100'000);
    std::vector<std::uint64_t> stamps(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double u = std::uniform_real_distribution<>(-1, 1)(random);
        rows[i] = {{1e5 + u, u * 1.7e308, i % 1000 == 3 ? NAN : i % 999 == 1 ? -INFINITY : u}};
        stamps[i] = i * 10;
    }
    RecordingStats stats(LookUpSensorFormat("TLocation"));
    for (std::size_t begin = 0, size = 1; begin < rows.size(); begin += size, size = size * 3 + 1) {
        size = std::min(size, rows.size() - begin);
        stats.Add(stamps.data() + begin, rows.data() + begin, size);
    }
    for (int c = 0; c < 3; ++c) {
        long double sum = 0, squares = 0, n = 0;
        double min = INFINITY, max = -INFINITY;
        for (const SampleRow& row : rows) {
            if (!std::isfinite(row.values[c])) continue;
            sum += row.values[c], n += 1;
            min = std::min(min, row.values[c]), max = std::max(max, row.values[c]);
        }
        for (const SampleRow& row : rows) {
            if (std::isfinite(row.values[c])) squares += std::pow(row.values[c] - sum / n, 2.0L);
        }
        const ColumnFigures& figures = stats.columns[c];
        EXPECT_EQ(figures.finite + figures.nan + figures.infinite, rows.size());
        EXPECT_EQ(figures.nan + figures.infinite, c == 2 ? 201u : 0u);
        EXPECT_EQ(figures.min, min);
        EXPECT_EQ(figures.max, max);
        const double mean = static_cast<double>(sum / n), std = std::sqrt(double(squares / n));
        EXPECT_NEAR(figures.mean, mean, std::max(std::fabs(mean), std) * 1e-12) << c;
        EXPECT_NEAR(figures.Std(), std, std * 1e-10) << c;
    }
}

}  // namespace
