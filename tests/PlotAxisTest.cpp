#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <random>

#include "PlotAxis.h"
#include "ReportText.h"

namespace {

// Ticks at round numbers, labelled with the digits that tell them apart and whole numbers written
// out; the widest and the emptiest ranges too.
TEST(PlotAxis, RoundTicks) {
    const struct {
        double low, high;
        bool roundEnds;
        const char* shown;
    } cases[] = {
        {0, 10.26, false, "0 5 10 [0, 10.26]"},
        {-29.99, 29.98, true, "-40 -20 0 20 40 [-40, 40]"},
        {0.0012, 0.0047, true, "0.001 0.002 0.003 0.004 0.005 [0.001, 0.005]"},
        {1200, 9100, false, "2000 4000 6000 8000 [1200, 9100]"},
        {12345.6781, 12345.6789, false,
         "12345.6782 12345.6784 12345.6786 12345.6788 [12345.7, 12345.7]"},
        {-DBL_MAX, DBL_MAX, true, "-1e+308 0 1e+308 [-1.79769e+308, 1.79769e+308]"},
        {5, 5, true, "4.4 4.6 4.8 5 5.2 5.4 5.6 [4.4, 5.6]"},
        {0, 0, false, "-1 -0.5 0 0.5 1 [-1, 1]"},
        {0, 5e-324, false, "-5e-308 0 5e-308 [-5.56268e-308, 5.56268e-308]"},
        {1 - DBL_EPSILON / 2, 1.0000001, true,
         "1 1.00000005 1.0000001 1.00000015 [1, 1]"},  // low / step rounds up to 20,000,000
    };
    for (const auto& c : cases) {
        const PlotAxis axis(c.low, c.high, 5, c.roundEnds);
        std::string shown;
        for (const std::string& label : axis.labels) shown += label + " ";
        char range[64];
        std::snprintf(range, sizeof range, "[%g, %g]", axis.low, axis.high);
        EXPECT_EQ(shown + range, c.shown) << c.low << " " << c.high;
        EXPECT_EQ(axis.labels.size(), axis.ticks.size());
        EXPECT_TRUE(axis.low <= c.low && axis.high >= c.high);
    }
}

// Ranges of no width or a few ulps at every magnitude: the values and the ticks, from which every
// coordinate of the picture is drawn, lie inside the panel, and the ticks are in order. Each label
// is the shortest within a quarter step of its tick, or a whole number written out.
TEST(PlotAxis, TinyRangesLieBetweenTicks) {
    std::mt19937_64 random(28);
    const double corners[] = {48.8566, 0, -DBL_MAX, std::nextafter(DBL_MAX, 0), 35, 2.3522};
    for (int i = 0; i < 4000; ++i) {
        double low = i < 24 ? corners[i / 4] : std::bit_cast<double>(random()), high = low;
        for (int ulps = i % 4; ulps > 0; --ulps) high = std::nextafter(high, DBL_MAX);
        if (!std::isfinite(low)) continue;
        const PlotAxis axis(low, high, 5, true);  // as the picture's value axes
        SCOPED_TRACE(testing::Message() << std::hexfloat << low << " " << high);
        ASSERT_GE(axis.ticks.size(), 2u);
        for (const double value : {low, high, axis.ticks.front(), axis.ticks.back()})
            EXPECT_TRUE(axis.Fraction(value) >= 0 && axis.Fraction(value) <= 1);
        for (std::size_t t = 1; t < axis.ticks.size(); ++t)
            EXPECT_TRUE(axis.ticks[t - 1] < axis.ticks[t] && axis.labels[t - 1] != axis.labels[t]);
        for (std::size_t t = 0; t < axis.ticks.size(); ++t) {
            const auto off = [&](const std::string& label) {
                return std::fabs(std::strtod(label.c_str(), nullptr) - axis.ticks[t]) >
                       (axis.ticks[1] - axis.ticks[0]) / 4;
            };
            int digits = 1;
            while (off(NumberWithDigits(axis.ticks[t], digits))) ++digits;
            const std::string& label = axis.labels[t];
            EXPECT_TRUE(!off(label) &&
                        (label.size() <= NumberWithDigits(axis.ticks[t], digits).size() ||
                         label.find_first_of(".e") == std::string::npos))
                << label;
        }
    }
}

}  // namespace
