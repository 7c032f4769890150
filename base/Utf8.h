#pragma once

#include <string>
#include <string_view>

// UTF-8 <-> wide text (UTF-16 or UTF-32, whichever wchar_t holds). Malformed input never fails:
// undecodable bytes and lone surrogates become U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
