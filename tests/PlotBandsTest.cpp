#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "PlotBands.h"

namespace {

// The walk hands the samples over in blocks of any size: the bands, and the lines joining them
// across a block's end, come out as from one sample at a time. Stamps go back now and then and
// jump once, over ranges where a column holds a few stamps, a great many, or none; values are
// sometimes not finite.
TEST(PlotBands, BlocksOfAnySizeDrawTheSame) {
    constexpr std::uint64_t kTop = ~std::uint64_t{0}, kWide = kTop / 1000;
    const auto steps = [](std::uint64_t low, std::uint64_t step) {
        return [=](std::uint64_t i) {
            return low + i * step + (i > 2500 ? 900 : 0) - (i % 7 == 3 ? 2 : 0);
        };
    };
    // Where a column's stamps differ by more than a double tells apart, its first one is found
    // by search: samples a few thousand stamps either side of each column's start.
    const auto edges = [](std::uint64_t i) {
        constexpr std::int64_t kNear[] = {-3000, -700, 0, 700, 3000};
        return 5 + (i / 5 + 1) * kWide + static_cast<std::uint64_t>(kNear[i % 5]);
    };
    struct Range {
        std::uint64_t low, high;
        std::function<std::uint64_t(std::uint64_t)> stamp;
    };
    std::vector<Range> ranges = {{5, 5 + 1000 * kWide, edges}};
    for (const auto& [low, step] : {std::pair<std::uint64_t, std::uint64_t>{0, 10},
                                    {7, 1},
                                    {1000, 0},
                                    {kTop - 5000 * (kTop / 7000), kTop / 7000}}) {
        ranges.push_back({low, steps(low, step)(4999), steps(low, step)});
    }
    for (const auto& [low, high, stamp] : ranges) {
        std::vector<std::uint64_t> stamps;
        std::vector<SampleRow> rows;
        for (std::uint64_t i = 0; i < 5000; ++i) {
            stamps.push_back(stamp(i));
            const double v = std::sin(static_cast<double>(i));
            rows.push_back({{i % 17 == 0 ? -INFINITY : v, i % 11 == 0 ? NAN : -v,
                             i % 13 == 0 ? INFINITY : v * v}});
        }
        for (const int panels : {2, 3}) {
            PlotBands whole(panels, low, high), single(panels, low, high);
            whole.Add(stamps.data(), rows.data(), stamps.size());
            for (std::size_t i = 0; i < stamps.size(); ++i) single.Add(&stamps[i], &rows[i], 1);
            EXPECT_EQ(whole.HeldAll(), single.HeldAll());
            // Each band spans its column's finite values, and only those.
            std::vector<std::pair<double, double>> spans(panels * PlotBands::kColumns,
                                                         {INFINITY, -INFINITY});
            for (std::size_t i = 0; i < stamps.size(); ++i) {
                if (stamps[i] - low > high - low) continue;
                for (int panel = 0; panel < panels; ++panel) {
                    auto& [min, max] =
                        spans[panel * PlotBands::kColumns + whole.ColumnOf(stamps[i])];
                    const double value = rows[i].values[panel];
                    if (!std::isfinite(value)) continue;
                    min = std::min(min, value);
                    max = std::max(max, value);
                }
            }
            for (int panel = 0; panel < panels; ++panel) {
                for (int column = 0; column < PlotBands::kColumns; ++column) {
                    const PlotBands::Band &a = whole.BandOf(panel, column),
                                          &b = single.BandOf(panel, column);
                    const auto [min, max] = spans[panel * PlotBands::kColumns + column];
                    ASSERT_TRUE(a.min == min && a.max == max && b.min == min && b.max == max &&
                                a.joinedFrom == b.joinedFrom && a.fromValue == b.fromValue &&
                                a.toValue == b.toValue && a.step == b.step)
                        << low << " " << panel << " " << column;
                }
            }
        }
    }
}

}  // namespace
