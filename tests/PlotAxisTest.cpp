#include <gtest/gtest.h>

#include <cfloat>

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
    };
    for (const auto& c : cases) {
        const PlotAxis axis(c.low, c.high, 5, c.roundEnds);
        std::string shown;
        for (const std::string& label : axis.labels) shown += label + " ";
        char range[64];
        std::snprintf(range, sizeof range, "[%g, %g]", axis.low, axis.high);
        EXPECT_EQ(shown + range, c.shown) << c.low << " " << c.high;
        EXPECT_EQ(axis.labels.size(), axis.ticks.size());
    }
}

// What a header may hold, as the picture's XML and the report's JSON write it: markup escaped,
// controls shown as a terminal shows them, and in XML the two non-characters replaced.
TEST(ReportText, EscapesMarkupAndControls) {
    const std::string text = "a&b<c>\"d\\\x01\xC2\x85\xEF\xBF\xBE\xEF\xBF\xBF\xE6\xB3\xA2";
    EXPECT_EQ(XmlText(text),
              "a&amp;b&lt;c&gt;&quot;d\\\\x01\\xc2\\x85\xEF\xBF\xBD\xEF\xBF\xBD\xE6\xB3\xA2");
    EXPECT_EQ(JsonString(text),
              "\"a&b<c>\\\"d\\\\\\u0001\\u0085\xEF\xBF\xBE\xEF\xBF\xBF\xE6\xB3\xA2\"");
}

}  // namespace
