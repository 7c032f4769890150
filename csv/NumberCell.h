#pragma once

#include <cstddef>

// Longest cell any formatter here writes ("-1.2345678901234567e-308" is 24 bytes).
constexpr std::size_t kMaxNumberCellBytes = 32;

// Writes value as printf "%g" does (six significant digits), with the exponent's sign and at
// least three digits, '.' whatever the locale; "nan", "inf", "-inf" for non-finite values.
// Returns the number of bytes written to out, which holds kMaxNumberCellBytes.
std::size_t FormatNumberCell(double value, char* out);

// The same style with `digits` significant digits (1 to 17) instead of six.
std::size_t FormatNumberCellWithDigits(double value, int digits, char* out);

// The same style with the fewest significant digits that read back to exactly value.
std::size_t FormatNumberCellRoundTrip(double value, char* out);
