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
            // Each band spans its column's finite values, and only those; a sample that goes
            // forward into a later column joins the one before, where both are finite, once.
            std::vector<PlotBands::Band> expected(panels * PlotBands::kColumns,
                                                  {INFINITY, -INFINITY, -1, 0, 0, 0});
            std::size_t before = stamps.size();
            for (std::size_t i = 0; i < stamps.size(); ++i) {
                if (stamps[i] - low > high - low) continue;
                const int column = whole.ColumnOf(stamps[i]);
                const int previous = before < i ? whole.ColumnOf(stamps[before]) : column;
                for (int panel = 0; panel < panels; ++panel) {
                    PlotBands::Band& band = expected[panel * PlotBands::kColumns + column];
                    const double value = rows[i].values[panel];
                    if (!std::isfinite(value)) continue;
                    band.min = std::min(band.min, value);
                    band.max = std::max(band.max, value);
                    const double from = before < i ? rows[before].values[panel] : NAN;
                    if (column > previous && stamps[i] > stamps[before] && std::isfinite(from) &&
                        band.joinedFrom < 0) {
                        band = {band.min, band.max, previous,
                                from,     value,    stamps[i] - stamps[before]};
                    }
                }
                before = i;
            }
            for (int panel = 0; panel < panels; ++panel) {
                for (int column = 0; column < PlotBands::kColumns; ++column) {
                    const PlotBands::Band& e = expected[panel * PlotBands::kColumns + column];
                    for (const PlotBands* bands : {&whole, &single}) {
                        const PlotBands::Band& a = bands->BandOf(panel, column);
                        ASSERT_TRUE(a.min == e.min && a.max == e.max &&
                                    a.joinedFrom == e.joinedFrom && a.fromValue == e.fromValue &&
                                    a.toValue == e.toValue && a.step == e.step)
                            << low << " " << panel << " " << column;
                    }
                }
            }
        }
    }
}

}  // namespace
