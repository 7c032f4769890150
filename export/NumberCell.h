#pragma once

#include <cstddef>

// Longest cell FormatNumberCell writes ("-1.23457e-308" is 13 bytes).
constexpr std::size_t kMaxNumberCellBytes = 16;

// Writes value as printf "%g" does (six significant digits), with the exponent's sign and at
// least three digits, '.' whatever the locale; "nan", "inf", "-inf" for non-finite values.
// Returns the number of bytes written to out, which holds kMaxNumberCellBytes.
std::size_t FormatNumberCell(double value, char* out);
