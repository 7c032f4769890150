#include "NumberCell.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

std::size_t Put(char* out, const char* text) {
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return length;
}

// "nan", "inf", "-inf"; 0 when value is finite.
std::size_t FormatNonFinite(double value, char* out) {
    if (std::isnan(value)) return Put(out, "nan");
    if (std::isinf(value)) return Put(out, value < 0 ? "-inf" : "inf");
    return 0;
}

// printf's "%.{digits}g" ("C" locale, correctly rounded) with the exponent widened to at least
// three digits ("e+06" becomes "e+006").
std::size_t FormatGeneral(double value, int digits, char* out) {
    const auto result =
        std::to_chars(out, out + kMaxNumberCellBytes, value, std::chars_format::general, digits);
    auto length = static_cast<std::size_t>(result.ptr - out);
    if (length >= 4 && out[length - 4] == 'e') {
        out[length] = out[length - 1];
        out[length - 1] = out[length - 2];
        out[length - 2] = '0';
        ++length;
    }
    return length;
}

// Six significant digits without to_chars, for the magnitudes sensor data has. The value is
// mantissa * 2^(b - 52) exactly; scaling it by 10^(5 - k) with integer arithmetic gives the six
// digits and the exact remainder, so rounding (half to even on exact ties) matches printf.

// Binary exponents b = floor(log2 |v|) taken here, |v| in [2^-73, 2^64), about [1.06e-22, 1.8e19]:
// from 2^-73 up, 10^k <= |v| gives k >= -22, so the scale 5^(5 - k) <= 5^27 fits 64 bits; below
// 2^64, an integer value (b >= 52) fits 64 bits.
constexpr int kFastLowestExponent = -73;
constexpr int kFastHighestExponent = 63;

// 10^j for j in [-21, 19], the nearest double where it is not one. Which side of such a threshold
// a value within an ulp of 10^j falls does not matter: at six digits it rounds to 1 * 10^j either
// way, directly or through the carry.
constexpr double kPowersOfTenAsDoubles[] = {
    1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8,
    1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,  1e6,
    1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,
};
constexpr int kLowestThresholdPower = -21;

// 5^s for s in [0, 27].
constexpr std::uint64_t kPowersOfFive[] = {
    1ull,
    5ull,
    25ull,
    125ull,
    625ull,
    3125ull,
    15625ull,
    78125ull,
    390625ull,
    1953125ull,
    9765625ull,
    48828125ull,
    244140625ull,
    1220703125ull,
    6103515625ull,
    30517578125ull,
    152587890625ull,
    762939453125ull,
    3814697265625ull,
    19073486328125ull,
    95367431640625ull,
    476837158203125ull,
    2384185791015625ull,
    11920928955078125ull,
    59604644775390625ull,
    298023223876953125ull,
    1490116119384765625ull,
    7450580596923828125ull,
};

// 10^i for i in [0, 14].
constexpr std::uint64_t kPowersOfTen[] = {
    1ull,           10ull,           100ull,           1000ull,           10000ull,
    100000ull,      1000000ull,      10000000ull,      100000000ull,      1000000000ull,
    10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull, 100000000000000ull,
};

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// A 128-bit product as two halves: the 32-bit Windows build has no 128-bit integer type, and
// one implementation everywhere keeps the tested code the shipped code.
struct Product {
    std::uint64_t high;
    std::uint64_t low;
};

Product Multiply(std::uint64_t a, std::uint64_t b) {
    constexpr std::uint64_t kLow32 = 0xFFFFFFFFu;
    const std::uint64_t a0 = a & kLow32, a1 = a >> 32, b0 = b & kLow32, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    // Below 3 * 2^32: no overflow.
    const std::uint64_t middle = (p00 >> 32) + (p01 & kLow32) + (p10 & kLow32);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & kLow32)};
}

// The low 64 bits of p >> shift, 0 < shift < 128.
std::uint64_t ShiftRight(Product p, int shift) {
    if (shift >= 64) return p.high >> (shift - 64);
    return (p.high << (64 - shift)) | (p.low >> shift);
}

// p / 2^shift rounded to the nearest integer, ties to even; 0 < shift < 128, the quotient below
// 2^63 and p below 2^127.
std::uint64_t ShiftRightRounded(Product p, int shift) {
    const std::uint64_t odd = ShiftRight(p, shift) & 1;
    // Adding half - 1 + odd carries into the quotient exactly when the remainder is above half, or
    // is half and the quotient odd.
    Product bias = shift > 64 ? Product{(std::uint64_t{1} << (shift - 65)) - 1, ~std::uint64_t{0}}
                              : Product{0, (std::uint64_t{1} << (shift - 1)) - 1};
    bias.low += odd;
    if (bias.low < odd) ++bias.high;
    Product sum{p.high + bias.high, p.low + bias.low};
    if (sum.low < p.low) ++sum.high;
    return ShiftRight(sum, shift);
}

// Writes q (10^5 <= q < 10^6) as the significant digits of a number with decimal exponent k,
// laid out as "%g" does. Writes scratch bytes past the returned length, within the cell.
std::size_t LayOutSixDigits(std::uint32_t q, int k, bool negative, char* out) {
    char* p = out;
    if (negative) *p++ = '-';
    // Zero padding past the six digits lets the copies below move fixed 8-byte blocks.
    char digits[16] = {'0', '0', '0', '0', '0', '0', '0', '0',
                       '0', '0', '0', '0', '0', '0', '0', '0'};
    const std::uint32_t low4 = q % 10000;
    std::memcpy(digits, kDigitPairs + 2 * (q / 10000), 2);
    std::memcpy(digits + 2, kDigitPairs + 2 * (low4 / 100), 2);
    std::memcpy(digits + 4, kDigitPairs + 2 * (low4 % 100), 2);
    int significant = 6;  // digits left once trailing zeros go; the first is never '0'
    while (digits[significant - 1] == '0') --significant;

    if (k >= 6 || k < -4) {
        p[0] = digits[0];
        p[1] = '.';
        std::memcpy(p + 2, digits + 1, 8);
        p += significant > 1 ? significant + 1 : 1;
        const int magnitude = k < 0 ? -k : k;  // below 100 here
        p[0] = 'e';
        p[1] = k < 0 ? '-' : '+';
        p[2] = '0';
        std::memcpy(p + 3, kDigitPairs + 2 * magnitude, 2);
        p += 5;
    } else if (k >= 0) {
        std::memcpy(p, digits, 8);
        if (significant > k + 1) {
            p[k + 1] = '.';
            std::memcpy(p + k + 2, digits + k + 1, 8);
            p += significant + 1;
        } else {
            p += k + 1;
        }
    } else {
        std::memcpy(p, "0.000000", 8);
        std::memcpy(p + 1 - k, digits, 8);
        p += 1 - k + significant;
    }
    return static_cast<std::size_t>(p - out);
}

// 0 when |value| is outside [2^kFastLowestExponent, 2^(kFastHighestExponent + 1)) or not finite.
std::size_t FormatSixDigitsFast(double value, char* out) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const int b = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
    if (b < kFastLowestExponent || b > kFastHighestExponent) return 0;
    const std::uint64_t mantissa =
        (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);

    // The decimal exponent k = floor(log10 |v|): floor(b * log10(2)) (exact for |b| < 680) is k
    // or k - 1. Within an ulp of a negative power of ten k may come out one off, which the
    // rounding absorbs (see the thresholds).
    int k = (b * 1233) >> 12;
    k += std::fabs(value) >= kPowersOfTenAsDoubles[k + 1 - kLowestThresholdPower] ? 1 : 0;

    // q = |v| * 10^(5 - k) rounded: 10^5 <= q <= 10^6.
    std::uint64_t q = 0;
    if (k <= 5) {
        // |v| < 10^6 < 2^20, so b <= 19: |v| * 10^(5 - k) = mantissa * 5^(5 - k) / 2^shift with
        // shift = (52 - b) - (5 - k) in [33, 99]; the product is below 2^53 * 5^27 < 2^116.
        const int shift = 47 - b + k;
        q = ShiftRightRounded(Multiply(mantissa, kPowersOfFive[5 - k]), shift);
    } else {
        // k in [6, 19]: |v| / 10^(k - 5) = numerator / divisor. For b >= 52 the value is an
        // integer below 2^64; otherwise divisor = 10^(k - 5) * 2^(52 - b) <= mantissa / 10^5.
        const int e = b - 52;
        const std::uint64_t numerator = e >= 0 ? mantissa << e : mantissa;
        const std::uint64_t divisor = e >= 0 ? kPowersOfTen[k - 5] : kPowersOfTen[k - 5] << -e;
        q = numerator / divisor;
        const std::uint64_t twiceRemainder = 2 * (numerator - q * divisor);
        if (twiceRemainder > divisor || (twiceRemainder == divisor && (q & 1) != 0)) ++q;
    }
    // 999999.5 rounds to 1e+006: the carry moves the decimal exponent.
    if (q == 1000000) {
        q = 100000;
        ++k;
    }
    return LayOutSixDigits(static_cast<std::uint32_t>(q), k, (bits >> 63) != 0, out);
}

// Writes digits[0, count) (no trailing zeros, or the single "0") of a number with decimal
// exponent k as "%g" with precision count lays it out.
std::size_t LayOutDigits(const char* digits, int count, int k, bool negative, char* out) {
    char* p = out;
    if (negative) *p++ = '-';
    const auto put = [&p](const char* from, int n) {
        std::memcpy(p, from, static_cast<std::size_t>(n));
        p += n;
    };
    if (k >= count || k < -4) {
        put(digits, 1);
        if (count > 1) {
            *p++ = '.';
            put(digits + 1, count - 1);
        }
        *p++ = 'e';
        *p++ = k < 0 ? '-' : '+';
        const int magnitude = k < 0 ? -k : k;
        *p++ = static_cast<char>('0' + magnitude / 100);
        put(kDigitPairs + 2 * (magnitude % 100), 2);
    } else if (k >= 0) {
        put(digits, k + 1);
        if (count > k + 1) {
            *p++ = '.';
            put(digits + k + 1, count - k - 1);
        }
    } else {
        put("0.0000", 1 - k);
        put(digits, count);
    }
    return static_cast<std::size_t>(p - out);
}

}  // namespace

std::size_t FormatNumberCell(double value, char* out) {
    if (const std::size_t length = FormatSixDigitsFast(value, out)) return length;
    if (const std::size_t length = FormatNonFinite(value, out)) return length;
    return FormatGeneral(value, 6, out);
}

std::size_t FormatNumberCellWithDigits(double value, int digits, char* out) {
    if (const std::size_t length = FormatNonFinite(value, out)) return length;
    return FormatGeneral(value, digits < 1 ? 1 : (digits > 17 ? 17 : digits), out);
}

std::size_t FormatNumberCellRoundTrip(double value, char* out) {
    if (const std::size_t length = FormatNonFinite(value, out)) return length;
    // The shortest digits that read back to value, laid out as "%g" with that many digits would.
    // Rounding value itself to that many digits is not the same: next to a power of two the
    // interval that reads back is narrower below the value than above it, and the nearest
    // decimal can fall outside it (2^-24 is 5.960464477539063e-08; 5.960464477539062e-08, the
    // value rounded to 16 digits, reads back as the double below).
    char shortest[kMaxNumberCellBytes];
    const auto result = std::to_chars(shortest, shortest + kMaxNumberCellBytes, value,
                                      std::chars_format::scientific);
    const char* p = shortest;
    const bool negative = *p == '-';
    if (negative) ++p;
    char digits[20];
    int count = 0;
    for (; p < result.ptr && *p != 'e'; ++p) {
        if (*p != '.') digits[count++] = *p;
    }
    int exponent = 0;
    if (p + 1 < result.ptr) std::from_chars(p + (p[1] == '+' ? 2 : 1), result.ptr, exponent);
    // Round numbers as they are written, 1500 rather than 1.5e+003, wherever that is no longer
    // than the exponent form ("d.ddde+XXX"); the same digits, so they read back the same.
    if (exponent >= count && exponent + 1 <= count + (count > 1) + 5) {
        char* q = out;
        if (negative) *q++ = '-';
        std::memcpy(q, digits, static_cast<std::size_t>(count));
        std::memset(q + count, '0', static_cast<std::size_t>(exponent + 1 - count));
        return static_cast<std::size_t>(q - out) + static_cast<std::size_t>(exponent + 1);
    }
    return LayOutDigits(digits, count, exponent, negative, out);
}
