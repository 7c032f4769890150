#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "PlotBands.h"

namespace {

// The walk hands the samples over in blocks of any size: the bands, and the lines joining them
// across a block's end, come out as from one block. Stamps go back now and then and jump once;
// values are sometimes not finite.
TEST(PlotBands, BlocksOfAnySizeDrawTheSame) {
    std::vector<std::uint64_t> stamps;
    std::vector<SampleRow> rows;
    for (std::uint64_t i = 0; i < 5000; ++i) {
        stamps.push_back(i * 10 + (i > 2500 ? 9000 : 0) - (i % 7 == 3 ? 25 : 0));
        const double v = std::sin(static_cast<double>(i));
        rows.push_back({{v, i % 11 == 0 ? NAN : -v, i % 13 == 0 ? INFINITY : v * v}});
    }
    PlotBands whole(3, 0, stamps.back()), single(3, 0, stamps.back());
    whole.Add(stamps.data(), rows.data(), stamps.size());
    for (std::size_t i = 0; i < stamps.size(); ++i) single.Add(&stamps[i], &rows[i], 1);
    for (int panel = 0; panel < 3; ++panel) {
        for (int column = 0; column < PlotBands::kColumns; ++column) {
            const PlotBands::Band &a = whole.BandOf(panel, column),
                                  &b = single.BandOf(panel, column);
            ASSERT_TRUE(a.min == b.min && a.max == b.max && a.joinedFrom == b.joinedFrom &&
                        a.fromValue == b.fromValue && a.toValue == b.toValue && a.step == b.step)
                << panel << " " << column;
        }
    }
}

}  // namespace
