#include "NumberCell.h"

#include <array>
#include <bit>
#include <cfloat>
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
    const auto length = static_cast<std::size_t>(result.ptr - out);
    if (length < 4 || out[length - 4] != 'e') return length;
    std::memmove(out + length - 1, out + length - 2, 2);
    out[length - 2] = '0';
    return length + 1;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Six significant digits in double arithmetic, for normal values of magnitude about 1e-30 to
// 1e30 (binary exponents b = floor(log2 |v|) in [-100, 100]): k is the decimal exponent of the
// value rounded to six digits and y = |v| * 10^(5 - k), in [99999.95, 999999.5), is within 2^-32
// of its exact value. Rounding y to an integer gives printf's digits unless y is about that close
// to a half; only then is more work needed. Cells are stored as whole 8-byte words, little-endian.
static_assert(std::endian::native == std::endian::little);
// Each product must round to double once: x87 registers would round twice.
static_assert(FLT_EVAL_METHOD == 0);

constexpr int kLowestK = -31;  // b = -100: floor(-100 * log10(2))
constexpr int kHighestK = 31;
constexpr std::int8_t kOutside = -128;

// Everything the fast path reads, together: one base address for all of it.
struct FastTables {
    // By sign and biased binary exponent (bits >> 52): floor(b * log10(2)), the decimal exponent
    // k or k - 1; kOutside beyond the range.
    std::int8_t firstK[4096];
    // By firstK - kLowestK: the double above 9.999995 * 10^firstK, where values start to round
    // up to 10^(firstK + 1). No value below that boundary reaches it; one between the two (within
    // half an ulp of the boundary) keeps the lower k, and y comes out next to 999999.5.
    double roundUp[kHighestK - kLowestK];
    // By k - kLowestK: 10^(5 - k), exact to 10^22, the nearest double beyond. A relative error of
    // 2^-53 here and 2^-53 in the product keep y (< 2^20) within 2^-32 of exact.
    double scale[kHighestK - kLowestK + 1];
    // The three digits of i < 1000 as the bytes 0 to 9, most significant first: the first three
    // of six, and the last three.
    std::uint32_t highTriple[1000];
    std::uint64_t lowTriple[1000];
    // By the position of the point, after digit k (0 to 5):
    std::uint64_t moved[6];  // the digits after the point, which move up a byte
    std::uint64_t text[6];   // '0' added to every digit, and the point
    std::uint64_t kept[6];   // the digits before the point, kept even when zero
};

constexpr FastTables kTables = [] {
    constexpr double kNearestRoundUp[] = {
        9.999995e-31, 9.999995e-30, 9.999995e-29, 9.999995e-28, 9.999995e-27, 9.999995e-26,
        9.999995e-25, 9.999995e-24, 9.999995e-23, 9.999995e-22, 9.999995e-21, 9.999995e-20,
        9.999995e-19, 9.999995e-18, 9.999995e-17, 9.999995e-16, 9.999995e-15, 9.999995e-14,
        9.999995e-13, 9.999995e-12, 9.999995e-11, 9.999995e-10, 9.999995e-9,  9.999995e-8,
        9.999995e-7,  9.999995e-6,  9.999995e-5,  9.999995e-4,  9.999995e-3,  9.999995e-2,
        9.999995e-1,  9.999995e0,   9.999995e1,   9.999995e2,   9.999995e3,   9.999995e4,
        9.999995e5,   9.999995e6,   9.999995e7,   9.999995e8,   9.999995e9,   9.999995e10,
        9.999995e11,  9.999995e12,  9.999995e13,  9.999995e14,  9.999995e15,  9.999995e16,
        9.999995e17,  9.999995e18,  9.999995e19,  9.999995e20,  9.999995e21,  9.999995e22,
        9.999995e23,  9.999995e24,  9.999995e25,  9.999995e26,  9.999995e27,  9.999995e28,
        9.999995e29,  9.999995e30,
    };
    constexpr double kScales[] = {
        1e36,  1e35,  1e34,  1e33,  1e32,  1e31,  1e30,  1e29,  1e28,  1e27,  1e26,  1e25,  1e24,
        1e23,  1e22,  1e21,  1e20,  1e19,  1e18,  1e17,  1e16,  1e15,  1e14,  1e13,  1e12,  1e11,
        1e10,  1e9,   1e8,   1e7,   1e6,   1e5,   1e4,   1e3,   1e2,   1e1,   1e0,   1e-1,  1e-2,
        1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15,
        1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22, 1e-23, 1e-24, 1e-25, 1e-26,
    };
    FastTables tables{};
    for (int e = 0; e < 4096; ++e) {
        const int b = (e & 0x7FF) - 1023;
        tables.firstK[e] =
            b < -100 || b > 100 ? kOutside : static_cast<std::int8_t>((b * 1233) >> 12);
    }
    for (std::size_t j = 0; j < std::size(kNearestRoundUp); ++j) {
        tables.roundUp[j] =
            std::bit_cast<double>(std::bit_cast<std::uint64_t>(kNearestRoundUp[j]) + 1);
    }
    for (std::size_t j = 0; j < std::size(kScales); ++j) tables.scale[j] = kScales[j];
    for (std::uint32_t i = 0; i < 1000; ++i) {
        tables.highTriple[i] = i / 100 | (i / 10 % 10) << 8 | (i % 10) << 16;
        tables.lowTriple[i] = std::uint64_t{tables.highTriple[i]} << 24;
    }
    for (int k = 0; k < 6; ++k) {
        const int shift = 8 * (k + 1);
        const std::uint64_t below = (std::uint64_t{1} << shift) - 1;
        tables.moved[k] = ~below;
        const std::uint64_t zeros = 0x30303030303030u & ~(std::uint64_t{0xFF} << shift);
        tables.text[k] = zeros | std::uint64_t{'.'} << shift;
        tables.kept[k] = 0x0101010101010101u & below;
    }
    return tables;
}();

// The number of bytes up to the last one not zero in x, which is not 0.
std::size_t BytesUsed(std::uint64_t x) {
    return ((static_cast<unsigned>(__builtin_clzll(x)) ^ 63u) + 8u) / 8u;
}

// Writes the digits of raw (bytes 0 to 9, six of them) with the point after digit k (0 to 5),
// without trailing zeros after the point, or without the point when only zeros follow. Returns
// the length; writes 8 bytes.
std::size_t DigitsWithPoint(std::uint64_t raw, std::size_t k, char* out) {
    // Adding moved * 255 adds moved * 256 and takes moved away: the point's byte is left 0.
    const std::uint64_t moved = raw & kTables.moved[k];
    const std::uint64_t spread = raw + moved * 255;
    const std::uint64_t text = spread + kTables.text[k];
    std::memcpy(out, &text, 8);
    return BytesUsed(spread | kTables.kept[k]);
}

// Writes q (10^5 <= q < 10^6) as the significant digits of a number with decimal exponent k
// (|k| < 100), laid out as "%g" does. Writes scratch bytes past the returned length, within the
// cell.
[[gnu::always_inline]] inline std::size_t LayOutSixDigits(std::size_t q, std::ptrdiff_t k,
                                                          std::size_t negative, char* out) {
    const auto high = static_cast<std::size_t>(std::uint64_t{q} * 4294968 >> 32);  // q / 1000
    const std::uint64_t raw = kTables.highTriple[high] | kTables.lowTriple[q - 1000 * high];
    *out = '-';  // kept only for a negative value
    char* p = out + negative;
    if (static_cast<std::size_t>(k) <= 5) {
        return negative + DigitsWithPoint(raw, static_cast<std::size_t>(k), p);
    }
    if (k < 0 && k >= -4) {
        std::memcpy(p, "0.000000", 8);
        const std::uint64_t digits = raw + 0x303030303030u;
        std::memcpy(p + 1 - k, &digits, 8);
        return negative + static_cast<std::size_t>(1 - k) + BytesUsed(raw);
    }
    p += DigitsWithPoint(raw, 0, p);
    const std::ptrdiff_t magnitude = k < 0 ? -k : k;
    std::uint16_t pair;
    std::memcpy(&pair, kDigitPairs + 2 * magnitude, 2);
    const std::uint64_t sign = k < 0 ? '-' : '+';
    const std::uint64_t exponent =
        'e' | sign << 8 | std::uint64_t{'0'} << 16 | std::uint64_t{pair} << 24;
    std::memcpy(p, &exponent, 8);
    return static_cast<std::size_t>(p + 5 - out);
}

// y within 2^-30 of a half: exact when |v| * 10^(5 - k) is, which it is when the value's odd
// significand times 5^(5 - k) (< 2^(7(5 - k)/3)) fits 53 bits; then adding 2^52 rounds it half to
// even, as printf does. Other values go to to_chars. Sensor values that were binary32 and times
// in eighths of a second fall here when they sit on a tie.
[[gnu::noinline]] std::size_t FormatNearHalf(double value, int k, char* out) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const int s = 5 - k;
    const std::uint64_t significand =
        (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    if (s < 0 || 3 * std::countr_zero(significand) < 7 * s) return FormatGeneral(value, 6, out);
    std::size_t q = static_cast<std::uint32_t>(
        std::bit_cast<std::uint64_t>(std::fabs(value) * kTables.scale[k - kLowestK] + 0x1p52));
    // 999999.5 rounds to 1e+006: the carry moves the decimal exponent.
    if (q == 1000000) {
        q = 100000;
        ++k;
    }
    return LayOutSixDigits(q, k, static_cast<std::size_t>(bits >> 63), out);
}

// Zero, subnormal, non-finite and values outside the range above.
[[gnu::noinline]] std::size_t FormatOutsideFastRange(double value, char* out) {
    if (value == 0) return Put(out, std::signbit(value) ? "-0" : "0");
    if (const std::size_t length = FormatNonFinite(value, out)) return length;
    return FormatGeneral(value, 6, out);
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
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const std::ptrdiff_t firstK = kTables.firstK[bits >> 52];
    if (firstK == kOutside) return FormatOutsideFastRange(value, out);
    const double magnitude = std::fabs(value);
    const std::ptrdiff_t k = firstK + (magnitude >= kTables.roundUp[firstK - kLowestK] ? 1 : 0);
    const double y = magnitude * kTables.scale[k - kLowestK];
    // Adding 2^20 leaves y in 20.32 fixed point in the significand, rounded by 2^-33 more; adding
    // a half and 4 units of 2^-32 as well makes the integer part y rounded, and the low 32 bits
    // at most 8 where the fraction is within 4 units of a half.
    const auto fixed = std::bit_cast<std::uint64_t>(y + (0x1p20 + 0.5 + 0x1p-30));
    if (static_cast<std::uint32_t>(fixed) <= 8) {
        return FormatNearHalf(value, static_cast<int>(k), out);
    }
    return LayOutSixDigits(static_cast<std::size_t>(fixed >> 32 & 0xFFFFF), k,
                           static_cast<std::size_t>(bits >> 63), out);
}

std::size_t FormatNumberCellWithDigits(double value, int digits, char* out) {
    if (digits == 6) return FormatNumberCell(value, out);
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
