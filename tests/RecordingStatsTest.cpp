#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <tuple>

#include "RecordingHeader.h"
#include "RecordingStats.h"

namespace {

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

// Block by block as the converter reads, the figures are those of all values at once, within 1e-9
// of two passes over them: each column's values offset ± width, huge (close together or spread),
// with NaN and -infinity among them, and far from zero, differing only in their last digits.
TEST(RecordingStats, BlocksMergeIntoTheWholeRecordingsFigures) {
    // Offset, width, and 1 where NaN and -infinity are among the values.
    const double table[][3] = {{-1e300, 1e285, 0},     {0, 1.7e308, 0},           {0, 1, 1},
                               {1e12 + 5e-3, 5e-3, 0}, {6378137 + 5e-6, 5e-6, 0}, {1e12, 5e-3, 1}};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<> u(-1, 1);
    std::vector<SampleRow> rows(100'000);
    const std::vector<std::uint64_t> stamps(rows.size());  // not measured here
    for (const auto* columns = table; columns != std::end(table); columns += 3) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            for (int c = 0; c < 3; ++c) {
                const auto& [offset, width, nonFinite] = columns[c];
                const bool hole = nonFinite && (i % 1000 == 3 || i % 999 == 1);
                rows[i].values[c] = !hole          ? offset + width * u(random)
                                    : i % 999 == 1 ? -INFINITY
                                                   : NAN;
            }
        }
        RecordingStats stats(LookUpSensorFormat("TLocation"));
        for (std::size_t begin = 0, size = 3; begin < rows.size();
             begin += size, size = size * 3 + 1) {
            size = std::min(size, rows.size() - begin);
            stats.Add(stamps.data() + begin, rows.data() + begin, size);
        }
        for (int c = 0; c < 3; ++c) {
            SCOPED_TRACE(columns - table + c);
            long double sum = 0, n = 0, deviations = 0, squares = 0;
            double min = INFINITY, max = -INFINITY;
            for (const SampleRow& row : rows) {
                if (!std::isfinite(row.values[c])) continue;
                sum += row.values[c], n += 1;
                min = std::min(min, row.values[c]), max = std::max(max, row.values[c]);
            }
            // The deviations' sum corrects the squares for the rounding of the mean.
            for (const SampleRow& row : rows) {
                if (!std::isfinite(row.values[c])) continue;
                deviations += row.values[c] - sum / n;
                squares += std::pow(row.values[c] - sum / n, 2.0L);
            }
            const double mean = static_cast<double>(sum / n + deviations / n);
            const auto std = double(std::sqrt((squares - deviations * deviations / n) / n));
            const ColumnFigures& figures = stats.columns[c];
            EXPECT_EQ(figures.finite + figures.nan + figures.infinite, rows.size());
            EXPECT_EQ(figures.nan + figures.infinite, columns[c][2] ? 201u : 0u);
            EXPECT_EQ(figures.min, min);
            EXPECT_EQ(figures.max, max);
            EXPECT_NEAR(figures.mean, mean, std * 1e-9 + std::fabs(mean) * DBL_EPSILON);
            EXPECT_NEAR(figures.Std(), std, std * 1e-9);
        }
    }
}

}  // namespace
