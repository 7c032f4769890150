#include "NumberCell.h"

#include <charconv>
#include <cmath>
#include <cstring>

std::size_t FormatNumberCell(double value, char* out) {
    if (std::isnan(value)) {
        std::memcpy(out, "nan", 3);
        return 3;
    }
    if (std::isinf(value)) {
        if (value < 0) {
            std::memcpy(out, "-inf", 4);
            return 4;
        }
        std::memcpy(out, "inf", 3);
        return 3;
    }
    // to_chars with a precision is printf in the "C" locale, correctly rounded.
    const auto result =
        std::to_chars(out, out + kMaxNumberCellBytes, value, std::chars_format::general, 6);
    auto length = static_cast<std::size_t>(result.ptr - out);
    // Widen a two-digit exponent ("e+06") to three ("e+006").
    if (length >= 4 && out[length - 4] == 'e') {
        out[length] = out[length - 1];
        out[length - 1] = out[length - 2];
        out[length - 2] = '0';
        ++length;
    }
    return length;
}
