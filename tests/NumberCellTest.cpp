#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "NumberCell.h"

namespace {

constexpr char kGuard = '\x5A';
constexpr std::size_t kGuardBytes = 8;

// Formats value and checks the call stayed inside the kMaxNumberCellBytes it is given.
std::string Format(double value) {
    char out[kMaxNumberCellBytes + kGuardBytes];
    std::memset(out, kGuard, sizeof out);
    const std::size_t length = FormatNumberCell(value, out);
    for (std::size_t i = kMaxNumberCellBytes; i < sizeof out; ++i) {
        EXPECT_EQ(out[i], kGuard) << "wrote past the cell for " << value;
    }
    EXPECT_LE(length, kMaxNumberCellBytes);
    return std::string(out, std::min(length, kMaxNumberCellBytes));
}

// printf "%.6g" with the exponent widened to three digits; the C library prints two or three.
std::string Reference(double value) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, "%.6g", value);
    std::string text(buffer, static_cast<std::size_t>(length));
    const std::size_t e = text.find('e');
    if (e != std::string::npos && text.size() - e == 4) text.insert(e + 2, 1, '0');
    return text;
}

}  // namespace

TEST(NumberCell, GoldenValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "-0"},
        {1.5, "1.5"},
        {-0.25, "-0.25"},
        {0.02, "0.02"},
        {0.0000123, "1.23e-005"},
        {123456789.0, "1.23457e+008"},
        {999999.5, "1e+006"},
        {999999.4, "999999"},
        {1e6, "1e+006"},
        {1e7, "1e+007"},
        {1e-6, "1e-006"},
        {1234567.5, "1.23457e+006"},
        {1234565.0, "1.23456e+006"},  // exact tie: half to even
        {120.1550712, "120.155"},
        {100000.0, "100000"},
        {0.0001, "0.0001"},
        {0.00009999996, "0.0001"},  // rounds up into fixed notation
        {0.00001, "1e-005"},
        {1e100, "1e+100"},
        {-1.5e-100, "-1.5e-100"},
        {DBL_MAX, "1.79769e+308"},
        {-DBL_MAX, "-1.79769e+308"},
        {DBL_MIN, "2.22507e-308"},
        {-1.23456789e-308, "-1.23457e-308"},
        {4.9406564584124654e-324, "4.94066e-324"},
        {static_cast<double>(0.1f), "0.1"},
        {static_cast<double>(-3.3f), "-3.3"},
        {nan, "nan"},
        {std::copysign(nan, -1.0), "nan"},
        {inf, "inf"},
        {-inf, "-inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(c.value), c.text) << "value " << c.value;
    }
}

TEST(NumberCell, MatchesPrintfOnRandomValues) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> decade(-8.0, 9.0);
    int compared = 0;
    for (int i = 0; i < 300000; ++i) {
        double value = 0.0;
        switch (i % 3) {
            case 0:
                value = std::bit_cast<double>(random());
                break;
            case 1:
                value = std::pow(10.0, decade(random)) * ((random() & 1) ? -1.0 : 1.0);
                break;
            default:
                value =
                    static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
                break;
        }
        if (!std::isfinite(value)) continue;
        const std::string expected = Reference(value);
        ASSERT_EQ(Format(value), expected) << "bits " << std::bit_cast<std::uint64_t>(value);
        ++compared;
    }
    EXPECT_GT(compared, 299000);
}
