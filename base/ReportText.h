#pragma once

#include <string>
#include <string_view>

// Numbers and labels as the health report and the picture write them: the same characters on
// every system and in every locale.

// With the given significant digits in printf's "%g" style ("0.01", "1e-07", "inf").
std::string NumberWithDigits(double value, int digits);

// The fewest digits that read back to exactly value ("100", "1e-07").
std::string ShortestNumber(double value);

// A JSON string, quotes included. Control characters (C0, DEL, C1) are escaped, and malformed
// UTF-8 becomes U+FFFD, so that the line is valid JSON and shows nothing on a terminal.
std::string JsonString(std::string_view utf8);

// Text for XML content and attribute values. Control characters, which XML cannot carry, show
// as \xNN as a terminal shows them; malformed UTF-8 becomes U+FFFD.
std::string XmlText(std::string_view utf8);
