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

// Calls put(code, bytes) for each character of well-formed UTF-8 made from utf8.
template <typename Put>
void ForEachCharacter(std::string_view utf8, Put put) {
    const std::string clean = Utf8FromWide(WideFromUtf8(utf8));
    for (std::size_t i = 0; i < clean.size();) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(clean[at]); };
        const unsigned lead = byte(i);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        unsigned code = lead;  // the code points that need escaping all fit three bytes
        if (length == 2) code = ((lead & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu);
        if (length == 3) {
            code = ((lead & 0x0Fu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
        }
        put(code, std::string_view(clean).substr(i, length));
        i += length;
    }
}

bool IsControl(unsigned code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
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
    ForEachCharacter(utf8, [&json](unsigned code, std::string_view bytes) {
        if (code == '"' || code == '\\') {
            json += '\\';
            json += static_cast<char>(code);
        } else if (IsControl(code)) {
            json += Escaped(code, "\\u%04x");
        } else {
            json += bytes;
        }
    });
    return json + "\"";
}

std::string XmlText(std::string_view utf8) {
    std::string xml;
    ForEachCharacter(utf8, [&xml](unsigned code, std::string_view bytes) {
        if (code == '&') {
            xml += "&amp;";
        } else if (code == '<') {
            xml += "&lt;";
        } else if (code == '>') {
            xml += "&gt;";
        } else if (code == '"') {
            xml += "&quot;";
        } else if (code == 0xFFFE || code == 0xFFFF) {
            xml += "\xEF\xBF\xBD";  // no XML character
        } else if (IsControl(code)) {
            // As a terminal shows them: C1 characters by their two UTF-8 bytes.
            xml += code < 0x80 ? Escaped(code, "\\x%02x")
                               : Escaped(0xC2, "\\x%02x") + Escaped(code, "\\x%02x");
        } else {
            xml += bytes;
        }
    });
    return xml;
}
