#include "ReportText.h"

#include <charconv>
#include <cstdio>

#include "Utf8.h"

namespace {

std::string Escaped(unsigned code, const char* format) {
    char text[8];
    std::snprintf(text, sizeof text, format, code);
    return text;
}

// A character's bytes with a malformed one replaced, so that the text written is well-formed.
std::string_view WellFormed(const Utf8Character& character) {
    return character.malformed ? kReplacementUtf8 : character.bytes;
}

}  // namespace

std::string NumberWithDigits(double value, int digits) {
    char text[64];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
    return std::string(text, end.ptr);
}

std::string ShortestNumber(double value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string JsonString(std::string_view utf8) {
    std::string json = "\"";
    ForEachUtf8Character(utf8, [&json](const Utf8Character& character) {
        const char32_t code = character.code;
        if (code == '"' || code == '\\') {
            json += '\\';
            json += static_cast<char>(code);
        } else if (IsControl(code)) {
            json += Escaped(code, "\\u%04x");
        } else {
            json += WellFormed(character);
        }
    });
    return json + "\"";
}

std::string XmlText(std::string_view utf8) {
    std::string xml;
    ForEachUtf8Character(utf8, [&xml](const Utf8Character& character) {
        const char32_t code = character.code;
        if (code == '&') {
            xml += "&amp;";
        } else if (code == '<') {
            xml += "&lt;";
        } else if (code == '>') {
            xml += "&gt;";
        } else if (code == '"') {
            xml += "&quot;";
        } else if (code == 0xFFFE || code == 0xFFFF) {
            xml += kReplacementUtf8;  // no XML character
        } else if (IsControl(code)) {
            // As a terminal shows them: C1 characters by their two UTF-8 bytes.
            xml += code < 0x80 ? Escaped(code, "\\x%02x")
                               : Escaped(0xC2, "\\x%02x") + Escaped(code, "\\x%02x");
        } else {
            xml += WellFormed(character);
        }
    });
    return xml;
}
