#include <gtest/gtest.h>

#include "Platform.h"
#include "Utf8.h"

namespace {

TEST(Utf8, DecodesAndReplacesMalformedInput) {
    struct Case {
        std::string bytes;
        std::wstring wide;
    };
    const Case cases[] = {
        {"plain", L"plain"},
        {"\xE6\xB5\x8B\xE8\xAF\x95", L"测试"},
        {"\xF0\x9F\x98\x80", L"\U0001F600"},
        {"a\xFF"
         "b",
         L"a\uFFFDb"},
        {"\xC0\xAF", L"\uFFFD\uFFFD"},            // overlong
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
        {"\xE6\xB5"
         "x",
         L"\uFFFDx"},                                       // truncated sequence, one replacement
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"end\xE6", L"end\uFFFD"},
    };
    for (const Case& c : cases) EXPECT_EQ(WideFromUtf8(c.bytes), c.wide) << c.bytes;
}

TEST(Utf8, EncodesWideTextAndRoundTrips) {
    const std::wstring text = L"数量：42 \U0001F600 ü";
    EXPECT_EQ(WideFromUtf8(Utf8FromWide(text)), text);
    EXPECT_EQ(Utf8FromWide(L"时间"), "\xE6\x97\xB6\xE9\x97\xB4");
    if constexpr (sizeof(wchar_t) == 2) {
        EXPECT_EQ(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
    }
}

TEST(PlatformText, HeaderBytesReadAsTheSystemCodePage) {
#ifdef _WIN32
    // The tests run with the ANSI code page 936.
    EXPECT_EQ(WideFromNarrow("\xB2\xE2\xCA\xD4 ok"), L"测试 ok");
#else
    EXPECT_EQ(WideFromNarrow("\xE6\xB5\x8B\xE8\xAF\x95 ok"), L"测试 ok");
    EXPECT_EQ(WideFromNarrow("\xB2\xE2"), L"\uFFFD\uFFFD");
#endif
    EXPECT_EQ(WideFromNarrow(""), L"");
}

}  // namespace
