#include <gtest/gtest.h>

#include "ReportText.h"

namespace {

// What a header may hold, as the picture's XML and the report's JSON write it: markup escaped,
// controls shown as a terminal shows them, in XML the two non-characters replaced, and malformed
// bytes replaced in both.
TEST(ReportText, EscapesMarkupAndControls) {
    const std::string text = "a&b<c>\"d\\\x01\xC2\x85\xEF\xBF\xBE\xEF\xBF\xBF\xE6\xB3\xA2\xE0\x80";
    const std::string twoReplaced = "\xEF\xBF\xBD\xEF\xBF\xBD";  // what \xE0\x80 becomes
    EXPECT_EQ(XmlText(text),
              "a&amp;b&lt;c&gt;&quot;d\\\\x01\\xc2\\x85\xEF\xBF\xBD\xEF\xBF\xBD\xE6\xB3\xA2" +
                  twoReplaced);
    EXPECT_EQ(
        JsonString(text),
        "\"a&b<c>\\\"d\\\\\\u0001\\u0085\xEF\xBF\xBE\xEF\xBF\xBF\xE6\xB3\xA2" + twoReplaced + "\"");
}

}  // namespace
