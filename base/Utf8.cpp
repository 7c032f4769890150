#include "Utf8.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(std::wstring& out, char32_t code) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(code));
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool IsSurrogate(char32_t code) {
    return code >= 0xD800 && code <= 0xDFFF;
}

// The sequence a lead byte begins: its length, 0 for a byte that begins none, and the range of
// its second byte, which leaves out overlong forms, surrogates and code points past U+10FFFF.
struct Sequence {
    std::size_t length;
    std::uint8_t low, high;
};

Sequence SequenceOf(std::uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
    if (lead == 0xE0) return {3, 0xA0, 0xBF};
    if (lead == 0xED) return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
    if (lead == 0xF0) return {4, 0x90, 0xBF};
    if (lead == 0xF4) return {4, 0x80, 0x8F};
    if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
    return {};
}

}  // namespace

Utf8Character FirstUtf8Character(std::string_view utf8) {
    const auto lead = static_cast<std::uint8_t>(utf8[0]);
    if (lead < 0x80) return {lead, utf8.substr(0, 1), false};
    const Sequence sequence = SequenceOf(lead);
    char32_t code = lead & (0x7Fu >> sequence.length);
    std::size_t taken = 1;
    for (; taken < sequence.length && taken < utf8.size(); ++taken) {
        const auto next = static_cast<std::uint8_t>(utf8[taken]);
        if (next < (taken == 1 ? sequence.low : 0x80) ||
            next > (taken == 1 ? sequence.high : 0xBF)) {
            break;
        }
        code = (code << 6) | (next & 0x3F);
    }
    const bool complete = sequence.length != 0 && taken == sequence.length;
    return {complete ? code : kReplacement, utf8.substr(0, taken), !complete};
}

std::wstring WideFromUtf8(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    ForEachUtf8Character(utf8, [&out](const Utf8Character& c) { AppendCodePoint(out, c.code); });
    return out;
}

std::string Utf8FromWide(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        auto code = static_cast<char32_t>(wide[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (code >= 0xD800 && code <= 0xDBFF && i + 1 < wide.size()) {
                const auto next = static_cast<char32_t>(wide[i + 1]);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
                    ++i;
                }
            }
        }
        if (IsSurrogate(code) || code > 0x10FFFF) code = kReplacement;
        AppendUtf8(out, code);
    }
    return out;
}
