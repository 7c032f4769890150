#pragma once

#include <string>
#include <string_view>

// UTF-8 <-> wide text (UTF-16 or UTF-32, whichever wchar_t holds). Malformed input never fails:
// undecodable bytes and lone surrogates become U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

// One character of UTF-8 text and the bytes it was read from. A stray byte, and the longest
// start of a sequence that breaks off, are each one malformed character that reads as U+FFFD.
struct Utf8Character {
    char32_t code;
    std::string_view bytes;
    bool malformed;
};

// The character at the start of utf8, which is not empty.
Utf8Character FirstUtf8Character(std::string_view utf8);

// Calls visit(character) for each character of utf8 in order; their bytes make up utf8.
template <typename Visit>
void ForEachUtf8Character(std::string_view utf8, Visit visit) {
    while (!utf8.empty()) {
        const Utf8Character character = FirstUtf8Character(utf8);
        visit(character);
        utf8.remove_prefix(character.bytes.size());
    }
}

// C0, DEL and C1: the characters that steer a terminal.
inline bool IsControl(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}
