#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "NumberCell.h"

namespace {

// Digits 0 is the default six-digit cell, -1 the round-trip cell. Also checks that the call
// stayed inside the kMaxNumberCellBytes it is given.
std::string Cell(double value, int digits = 0) {
    char out[kMaxNumberCellBytes + 8];
    std::memset(out, 'Z', sizeof out);
    const std::size_t length = digits == 0  ? FormatNumberCell(value, out)
                               : digits < 0 ? FormatNumberCellRoundTrip(value, out)
                                            : FormatNumberCellWithDigits(value, digits, out);
    EXPECT_EQ(std::string(out + kMaxNumberCellBytes, 8), "ZZZZZZZZ") << value;
    return std::string(out, std::min(length, kMaxNumberCellBytes));
}

// printf "%.{digits}g" with the exponent widened to three digits.
std::string Printf(double value, int digits) {
    char buffer[64];
    std::string text(buffer, static_cast<std::size_t>(
                                 std::snprintf(buffer, sizeof buffer, "%.*g", digits, value)));
    const std::size_t e = text.find('e');
    if (e != std::string::npos && text.size() - e == 4) text.insert(e + 2, 1, '0');
    return text;
}

// glibc's and mingw-w64's own strtod round correctly; the i686 libstdc++'s from_chars does not.
double Parse(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

// Digits of a cell's mantissa after any leading zeros.
int SignificantDigits(const std::string& cell) {
    const std::string mantissa = cell.substr(0, cell.find('e'));
    const std::size_t first = std::min(mantissa.find_first_of("123456789"), mantissa.size() - 1);
    return static_cast<int>(std::count_if(mantissa.begin() + static_cast<std::ptrdiff_t>(first),
                                          mantissa.end(),
                                          [](char c) { return c >= '0' && c <= '9'; }));
}

double Step(double value, int ulps) {
    for (; ulps != 0; ulps -= ulps > 0 ? 1 : -1) value = std::nextafter(value, ulps * HUGE_VAL);
    return value;
}

// What printf does not pin down: the three-digit exponent, non-finite values, signed zeros.
TEST(NumberCell, GoldenValues) {
    const auto cells = [](std::initializer_list<double> values, int digits) {
        std::string text;
        for (const double value : values) text += Cell(value, digits) + " ";
        return text;
    };
    EXPECT_EQ(cells({0.0, -0.0, 0.0000123, 1e-6, 999999.5, 123456789, 1234565, 120.1550712,
                     -DBL_MAX, NAN, -HUGE_VAL, 2.0 / 3},
                    0),
              "0 -0 1.23e-005 1e-006 1e+006 1.23457e+008 1.23456e+006 120.155 -1.79769e+308 nan "
              "-inf 0.666667 ");
    EXPECT_EQ(cells({2.0 / 3, 95, -0.0, HUGE_VAL}, 1), "0.7 1e+002 -0 inf ");
    EXPECT_EQ(cells({0.1f, -1.2345678901234567e-308}, 17),
              "0.10000000149011612 -1.2345678901234567e-308 ");
    EXPECT_EQ(cells({-0.0, 0.1f, 1e23, 0x1p-24, DBL_TRUE_MIN, -NAN, -HUGE_VAL, 10, -1500, 1e5, 1e6,
                     1.25e8, 0x1p60, 0.0001, 1e-5},
                    -1),
              "-0 0.10000000149011612 1e+023 5.960464477539063e-008 5e-324 nan -inf 10 -1500 "
              "100000 1e+006 125000000 1152921504606847000 0.0001 1e-005 ");
}

// Every style against printf over a seeded sample: random bits, widened binary32 readings, every
// decade and binary exponent, and the corners where rounding carries into the next decade or
// sits on a tie. The round-trip cell reads back exactly, and one digit fewer would not.
TEST(NumberCell, MatchesPrintfInEveryStyle) {
    std::mt19937_64 random(20240611);
    std::vector<double> values = {DBL_MIN, DBL_MAX, DBL_TRUE_MIN, 0x1p-10, 1234575, 123456.5};
    for (int e = -30; e <= 25; ++e) {
        for (const char* m : {"1", "1.000005", "1.0000049", "9.999995", "9.9999949", "1.000015"}) {
            for (int ulps = -3; ulps <= 3; ++ulps) {
                values.push_back(Step(Parse(m + ("e" + std::to_string(e))), ulps));
            }
        }
        for (int i = 0; i < 40; ++i) {  // a seventh digit 5: ties, or next to them
            const std::string tie = std::to_string(100000 + random() % 900000) + "5e";
            for (int ulps = -1; ulps <= 1; ++ulps) {
                values.push_back(Step(Parse(tie + std::to_string(e - 6)), ulps));
            }
        }
    }
    for (int i = 0; i < 150'000; ++i) {
        values.push_back(std::bit_cast<double>(random()));
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
        values.push_back(std::ldexp(1.0 + static_cast<double>(random() >> 12) * 0x1p-52,
                                    static_cast<int>(random() % 160) - 85));
    }
    int failures = 0;
    for (std::size_t i = 0; i < values.size() && failures < 10; ++i) {
        const double value = i % 2 ? -values[i] : values[i];
        if (!std::isfinite(value)) continue;
        const int digits = 1 + static_cast<int>(i % 17);
        // A whole number may be written out in full where that is no longer: 1500, not 1.5e+003.
        const std::string exact = Cell(value, -1);
        const bool whole = exact.find_first_of(".e") == std::string::npos;
        const int fewest = std::max(
            1, SignificantDigits(whole ? exact.substr(0, std::max<std::size_t>(
                                                             1, exact.find_last_not_of('0') + 1))
                                       : exact));
        const bool fails =
            Cell(value) != Printf(value, 6) || Cell(value, digits) != Printf(value, digits) ||
            std::bit_cast<std::uint64_t>(Parse(exact)) != std::bit_cast<std::uint64_t>(value) ||
            (fewest > 1 && Parse(Cell(value, fewest - 1)) == value) ||
            (Parse(Printf(value, fewest)) == value && Printf(value, fewest) != exact &&
             !(whole && Printf(value, fewest).find("e+") != std::string::npos &&
               exact.size() <= Printf(value, fewest).size()));
        failures += fails;
        EXPECT_FALSE(fails) << std::hexfloat << value << std::defaultfloat << ": " << Cell(value)
                            << ", " << Cell(value, digits) << " (" << digits << "), " << exact;
    }
}

}  // namespace
