#include <gtest/gtest.h>

#include "PendingName.h"

namespace {

std::string Repeat(int times, const std::string& text) {
    std::string repeated;
    while (times-- > 0) repeated += text;
    return repeated;
}

// The temporary is never longer than a legal target name, counted in bytes or UTF-16 units.
TEST(PendingName, NeverLongerThanALegalTarget) {
    const std::string emoji = "\xF0\x9F\x98\x80", han = "\xE4\xB8\xAD";  // 2 and 1 UTF-16 units
    const struct {
        std::string name;
        unsigned attempt;
        std::string temporary;
    } cases[] = {
        {"out.csv", 0, "out.csv.partial"},
        {"out.csv", 1, "out.csv.partial-1"},
        {Repeat(247, "n"), 0, Repeat(247, "n") + ".partial"},
        {Repeat(248, "n"), 0, Repeat(240, "n") + ".partial"},
        {Repeat(255, "n"), 12, Repeat(244, "n") + ".partial-12"},
        {Repeat(85, han), 0, Repeat(77, han) + ".partial"},  // 255 bytes, 85 units
        {Repeat(243, "n") + emoji, 0, Repeat(243, "n") + emoji + ".partial"},
        {Repeat(244, "n") + emoji, 0, Repeat(237, "n") + ".partial"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.temporary);
        const auto u8 = [](const std::string& s) { return std::u8string(s.begin(), s.end()); };
        const std::filesystem::path folder(u8("f\xC3\xB6lder"));
        EXPECT_EQ(PendingNameFor(folder / u8(c.name), c.attempt), folder / u8(c.temporary));
    }
}

}  // namespace
