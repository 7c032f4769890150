#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Progress.h"

namespace {

TEST(Progress, AppearsAfterASecondFollowsThePercentageAndIsErased) {
    using namespace std::chrono_literals;
    std::string shown;
    const auto show = [&](std::string_view text) { shown.append(text); };
    const Progress::Clock::time_point start{};
    {
        Progress progress("oscimo2csv: walk.bin", show, 0, start);
        progress.Update(10, 100, start + 999ms);  // too early
        progress.Update(20, 0, start + 2s);       // size unknown
        progress.Update(42, 100, start + 1001ms);
        progress.Update(425, 1000, start + 1100ms);  // still 42%
        progress.Update(2, 3, start + 3s);           // 66%, not rounded up
        progress.Update(130, 100, start + 4s);       // more than the size promised
        progress.Finish();
        progress.Update(50, 100, start + 5s);
        progress.Finish();
    }
    EXPECT_EQ(
        shown,
        "\roscimo2csv: walk.bin: 42%\roscimo2csv: walk.bin: 66%\roscimo2csv: walk.bin: 100%\r" +
            std::string(26, ' ') + "\r");
    shown.clear();
    { Progress("never shown", show, 0, start).Update(99, 100, start + 500ms); }
    // A failure that skips Finish still erases the line; a character beyond ASCII may take two
    // columns.
    { Progress("\xE4\xB8\xBF\xC3\xBF", show, 0, start).Update(1, 2, start + 2s); }
    EXPECT_EQ(shown, "\r\xE4\xB8\xBF\xC3\xBF: 50%\r" + std::string(9, ' ') + "\r");
    // On a terminal of a known width the line stays narrower, at 100% too: the label loses whole
    // characters from its middle (a stray byte is one, two columns wide); too narrow a terminal
    // shows none.
    const struct {
        std::size_t width;
        std::string label, line;
    } fits[] = {
        {27, "oscimo2csv: walk.bin", "oscimo2csv: walk.bin: 50%"},
        {26, "oscimo2csv: walk.bin", "oscimo2c...walk.bin: 50%"},
        {15, "\xE4\xB8\xBF\xE4\xB8\xBF\xE4\xB8\xBF\xE4\xB8\xBF\xE4\xB8\xBF",
         "\xE4\xB8\xBF...\xE4\xB8\xBF: 50%"},
        {15, "\xB0\xB0\xB0\xB0\xB0", "\xB0...\xB0: 50%"},
        {15, "\xE0\x80\x80\xE0\x80\x80", "\xE0...\x80: 50%"},  // six stray characters
        {9, "x", ""},
    };
    for (const auto& fit : fits) {
        shown.clear();
        { Progress(fit.label, show, fit.width, start).Update(1, 2, start + 2s); }
        EXPECT_EQ(shown.substr(0, shown.find('\r', 1)), fit.line.empty() ? "" : "\r" + fit.line);
    }
}

}  // namespace
