#include <gtest/gtest.h>

#include "Utf8.h"

namespace {

TEST(Utf8, BothWaysWithReplacements) {
    // Malformed input: one replacement for each longest valid prefix, or for each stray byte.
    const std::pair<std::string, std::wstring> decoded[] = {
        {"plain \xC2\xA9\xC4\x80\xE6\xB5\x8B", L"plain ©Ā测"},
        {"\xF0\x9F\x98\x80\xF1\x80\x80\x80", L"\U0001F600\U00040000"},
        {"a\xFF\xC3\xC0\xC0\xAF", L"a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xE0\x80\xF0\x80\xED\xA0", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xE6\xB5x\xF4\x90\xF5\x80", L"\uFFFDx\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xC2\xC0\xE0\xC0\xE1\xC0\xF0\xC0\xF1\xC0", std::wstring(10, L'\uFFFD')},
        {"\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80", L"\u07FF\u0800\uFFFF\U00010000"},
    };
    for (const auto& [utf8, wide] : decoded) EXPECT_EQ(WideFromUtf8(utf8), wide);
    const wchar_t pair[] = {static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0xDC00), 0};
    const std::pair<std::wstring, std::string> encoded[] = {
        {L"plain ©Ā测", "plain \xC2\xA9\xC4\x80\xE6\xB5\x8B"},
        {L"\U0001F600", "\xF0\x9F\x98\x80"},
        {L"\u07FF\u0800\uFFFF\U00010000", "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80"},
        {pair + 1, "\xEF\xBF\xBD"},
        // Where wchar_t holds UTF-32, surrogates are not characters.
        {pair, sizeof(wchar_t) == 2 ? "\xF0\x90\x80\x80" : "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& [wide, utf8] : encoded) EXPECT_EQ(Utf8FromWide(wide), utf8);
}

}  // namespace
