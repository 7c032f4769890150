#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "NumberCell.h"

namespace {

constexpr char kGuard = '\x5A';
constexpr std::size_t kGuardBytes = 8;

// Runs one formatter and checks the call stayed inside the kMaxNumberCellBytes it is given.
template <typename Formatter>
std::string FormatWith(Formatter formatter, double value) {
    char out[kMaxNumberCellBytes + kGuardBytes];
    std::memset(out, kGuard, sizeof out);
    const std::size_t length = formatter(value, out);
    for (std::size_t i = kMaxNumberCellBytes; i < sizeof out; ++i) {
        EXPECT_EQ(out[i], kGuard) << "wrote past the cell for " << value;
    }
    EXPECT_LE(length, kMaxNumberCellBytes);
    return std::string(out, std::min(length, kMaxNumberCellBytes));
}

std::string Format(double value) {
    return FormatWith(FormatNumberCell, value);
}

std::string FormatDigits(double value, int digits) {
    return FormatWith(
        [digits](double v, char* out) { return FormatNumberCellWithDigits(v, digits, out); },
        value);
}

std::string FormatRoundTrip(double value) {
    return FormatWith(FormatNumberCellRoundTrip, value);
}

// printf "%.{digits}g" with the exponent widened to three digits; the C library prints two or
// three.
std::string Reference(double value, int digits = 6) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    std::string text(buffer, static_cast<std::size_t>(length));
    const std::size_t e = text.find('e');
    if (e != std::string::npos && text.size() - e == 4) text.insert(e + 2, 1, '0');
    return text;
}

std::uint64_t Bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

// Correctly rounded on every platform; the strtod under Wine is not (it reads
// 3.839223843572815e-239 as the double after the nearest).
double Parse(const std::string& text) {
    double value = 0.0;
    const char* last = text.c_str() + text.size();
    const auto result = std::from_chars(text.c_str(), last, value);
    EXPECT_TRUE(result.ec == std::errc() && result.ptr == last) << "cannot read " << text;
    return value;
}

double Step(double value, int ulps) {
    for (; ulps > 0; --ulps) value = std::nextafter(value, std::numeric_limits<double>::infinity());
    for (; ulps < 0; ++ulps)
        value = std::nextafter(value, -std::numeric_limits<double>::infinity());
    return value;
}

// Compares FormatNumberCell with printf for each value and its negation; stops after a few
// mismatches so that one fault does not flood the log.
void ExpectMatchesPrintf(const std::vector<double>& values) {
    int mismatches = 0;
    for (const double magnitude : values) {
        for (const double value : {magnitude, -magnitude}) {
            const std::string expected = Reference(value);
            const std::string actual = Format(value);
            if (actual == expected) continue;
            ADD_FAILURE() << "bits 0x" << std::hex << Bits(value) << std::dec << " ("
                          << std::hexfloat << value << std::defaultfloat << "): got " << actual
                          << ", printf gives " << expected;
            if (++mismatches == 10) return;
        }
    }
}

// A random binary64 with floor(log2 |v|) = exponent, normal or not.
double WithBinaryExponent(int exponent, std::uint64_t randomBits) {
    return std::ldexp(1.0 + static_cast<double>(randomBits >> 12) * 0x1p-52, exponent);
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
        {1234575.0, "1.23458e+006"},
        {123456.5, "123456"},
        {123457.5, "123458"},
        {0x1p-10, "0.000976562"},  // 0.0009765625, an exact tie
        {120.1550712, "120.155"},
        {100000.0, "100000"},
        {0.0001, "0.0001"},
        {0.00009999996, "0.0001"},  // rounds up into fixed notation
        {0.00001, "1e-005"},
        {1e17, "1e+017"},
        {1.5e-22, "1.5e-022"},
        {18446744073709549568.0, "1.84467e+019"},  // the largest double below 2^64
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

// Where the decimal exponent changes: at, next to and a little way from each power of ten, and at
// the roundings that carry into the next decade (9.999995e-6 prints as 1e-005) or just fail to.
TEST(NumberCell, MatchesPrintfAroundPowersOfTen) {
    const char* const patterns[] = {"1e%d",         "1.0000006e%d", "1.000001e%d",
                                    "1.0000049e%d", "1.000005e%d",  "1.000015e%d",
                                    "9.999985e%d",  "9.9999949e%d", "9.999995e%d"};
    std::vector<double> values;
    for (int exponent = -26; exponent <= 24; ++exponent) {
        for (const char* pattern : patterns) {
            char text[32];
            std::snprintf(text, sizeof text, pattern, exponent);
            for (int ulps = -3; ulps <= 3; ++ulps) values.push_back(Step(Parse(text), ulps));
        }
    }
    ExpectMatchesPrintf(values);
}

// Every binary exponent from below to above the magnitudes formatted without the library: both
// ends of each binade and random mantissas inside it.
TEST(NumberCell, MatchesPrintfForEveryBinaryExponent) {
    std::mt19937_64 random(17);
    std::vector<double> values;
    for (int exponent = -80; exponent <= 70; ++exponent) {
        const double low = std::ldexp(1.0, exponent);
        values.push_back(low);
        values.push_back(Step(low, 1));
        values.push_back(Step(2 * low, -1));
        for (int i = 0; i < 300; ++i) values.push_back(WithBinaryExponent(exponent, random()));
    }
    ExpectMatchesPrintf(values);
}

// Ties exactly halfway between two six-digit decimals go to the even one; the doubles next to a
// tie go the nearer way.
TEST(NumberCell, MatchesPrintfOnExactTies) {
    std::mt19937_64 random(5);
    std::vector<double> ties;
    // Below 10^6 a tie (2q + 1) / 2 * 10^(k - 5) is a double only if 5^(5 - k) divides 2q + 1,
    // so the ties are c / 2^(s + 1) with c odd and c * 5^s in (2 * 10^5, 2 * 10^6), s = 5 - k.
    std::uint64_t powerOfFive = 1;
    for (int s = 0; s <= 9; ++s, powerOfFive *= 5) {
        const std::uint64_t first = 200000 / powerOfFive + 1, last = 2000000 / powerOfFive;
        for (int i = 0; i < 1500; ++i) {
            const std::uint64_t c = (first + random() % (last - first + 1)) | 1;
            if (c * powerOfFive <= 200000 || c * powerOfFive >= 2000000) continue;
            ties.push_back(std::ldexp(static_cast<double>(c), -(s + 1)));
        }
    }
    ties.push_back(999999.5);
    // From 10^6 up the ties are the integers (2q + 1) * 5^(k - 5) * 2^(k - 6), doubles while the
    // odd part stays below 2^53.
    for (int k = 6; k <= 19; ++k) {
        std::uint64_t scale = 1;
        for (int i = 5; i < k; ++i) scale *= 5;
        for (int i = 0; i < 300; ++i) {
            const std::uint64_t q = i == 0 ? 999999 : 100000 + random() % 900000;
            const std::uint64_t odd = (2 * q + 1) * scale;
            if (odd >= (std::uint64_t{1} << 53)) continue;
            ties.push_back(std::ldexp(static_cast<double>(odd), k - 6));
        }
    }
    std::vector<double> values;
    for (const double tie : ties) {
        for (int ulps = -1; ulps <= 1; ++ulps) values.push_back(Step(tie, ulps));
    }
    ExpectMatchesPrintf(values);
}

// Decimals with a seventh digit 5 in every decade: exact ties where the double can hold them,
// otherwise a double next to the tie on one side or the other.
TEST(NumberCell, MatchesPrintfNearDecimalTies) {
    std::mt19937_64 random(11);
    std::vector<double> values;
    for (int exponent = -26; exponent <= 22; ++exponent) {
        for (int i = 0; i < 80; ++i) {
            char text[32];
            std::snprintf(text, sizeof text, "%d5e%d", static_cast<int>(100000 + random() % 900000),
                          exponent - 6);
            for (int ulps = -2; ulps <= 2; ++ulps) values.push_back(Step(Parse(text), ulps));
        }
    }
    ExpectMatchesPrintf(values);
}

// Sensor data: binary32 readings widened to binary64, sample times, coordinates; and the values
// left to the library (subnormals, huge and tiny magnitudes).
TEST(NumberCell, MatchesPrintfOnSensorLikeAndFallbackValues) {
    std::mt19937_64 random(3);
    std::uniform_real_distribution<float> axis(-20.0f, 20.0f);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> values = {0.0, DBL_MIN, DBL_MAX, DBL_TRUE_MIN};
    for (int i = 0; i < 30000; ++i) {
        values.push_back(static_cast<double>(axis(random)));
        values.push_back(static_cast<double>(random() % 10000000) * 0.01);
        values.push_back(39.9 + 0.1 * unit(random));
        values.push_back(116.4 + 0.1 * unit(random));
    }
    for (int i = 0; i < 3000; ++i) {
        values.push_back(std::bit_cast<double>(random() >> 12));  // subnormal
        values.push_back(WithBinaryExponent(64 + static_cast<int>(random() % 960), random()));
        values.push_back(WithBinaryExponent(-1022 + static_cast<int>(random() % 948), random()));
    }
    ExpectMatchesPrintf(values);
}

TEST(NumberCellWithDigits, GoldenValues) {
    const struct {
        double value;
        int digits;
        const char* text;
    } cases[] = {
        {2.0 / 3.0, 1, "0.7"},
        {2.0 / 3.0, 0, "0.7"},  // below 1: one digit
        {0.00001, 1, "1e-005"},
        {95.0, 1, "1e+002"},
        {123456789.0, 10, "123456789"},
        {static_cast<double>(0.1f), 17, "0.10000000149011612"},
        {static_cast<double>(0.1f), 40, "0.10000000149011612"},  // above 17: seventeen
        {-1.2345678901234567e-308, 17, "-1.2345678901234567e-308"},
        {std::numeric_limits<double>::infinity(), 10, "inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDigits(c.value, c.digits), c.text)
            << "value " << c.value << ", " << c.digits << " digits";
    }
}

TEST(NumberCellWithDigits, MatchesPrintf) {
    std::mt19937_64 random(29);
    std::uniform_real_distribution<double> decade(-12.0, 20.0);
    for (const int digits : {1, 2, 6, 10, 15, 16, 17}) {
        int mismatches = 0;
        for (int i = 0; i < 8000 && mismatches < 10; ++i) {
            double value = 0.0;
            switch (i % 3) {
                case 0:
                    value = std::bit_cast<double>(random());
                    break;
                case 1:
                    value = std::pow(10.0, decade(random));
                    break;
                default:
                    value = static_cast<double>(
                        std::bit_cast<float>(static_cast<std::uint32_t>(random())));
                    break;
            }
            if (!std::isfinite(value)) continue;
            const std::string expected = Reference(value, digits);
            const std::string actual = FormatDigits(value, digits);
            if (actual == expected) continue;
            ++mismatches;
            ADD_FAILURE() << digits << " digits, bits 0x" << std::hex << Bits(value) << std::dec
                          << ": got " << actual << ", printf gives " << expected;
        }
    }
}

TEST(NumberCellRoundTrip, GoldenValues) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "-0"},
        {0.1, "0.1"},
        {static_cast<double>(0.1f), "0.10000000149011612"},
        {1e23, "1e+023"},
        {1e16, "1e+016"},
        {123456789012.0, "123456789012"},
        {0.0001, "0.0001"},
        {1.5e-5, "1.5e-005"},
        {-2.5, "-2.5"},
        // 2^-24: rounding the value to its 16 shortest digits gives ...062e-008, which reads
        // back as a smaller double.
        {0x1p-24, "5.960464477539063e-008"},
        {0x1p-1017, "7.120236347223045e-307"},
        {DBL_MAX, "1.7976931348623157e+308"},
        {DBL_TRUE_MIN, "5e-324"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatRoundTrip(c.value), c.text) << "value " << c.value;
    }
}

// The text reads back as exactly the value, one digit fewer would not, and where printf with
// that many digits also reads back the two agree.
TEST(NumberCellRoundTrip, ReadsBackExactlyWithFewestDigits) {
    std::mt19937_64 random(41);
    std::vector<double> values;
    for (int exponent = -1074; exponent <= 1023; ++exponent) {
        const double power = std::ldexp(1.0, exponent);
        values.push_back(power);
        values.push_back(Step(power, -1));
    }
    for (int i = 0; i < 60000; ++i) {
        values.push_back(std::bit_cast<double>(random()));
        values.push_back(
            static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(random()))));
    }
    int failures = 0;
    for (const double value : values) {
        if (!std::isfinite(value) || failures >= 10) continue;
        const std::string text = FormatRoundTrip(value);
        const double back = Parse(text);
        int digits = 0;
        bool leading = true;
        for (const char c : text) {
            if (c == 'e') break;
            if (c >= '1' && c <= '9') leading = false;
            if (c >= '0' && c <= '9' && !leading) ++digits;
        }
        std::string problem;
        if (Bits(back) != Bits(value)) {
            problem = "reads back as a different double";
        } else if (digits > 1 && Parse(FormatDigits(value, digits - 1)) == value) {
            problem = "has more digits than needed";
        } else if (const std::string printf = Reference(value, std::max(digits, 1));
                   Parse(printf) == value && printf != text) {
            problem = "differs from printf's " + printf;
        }
        if (problem.empty()) continue;
        ++failures;
        ADD_FAILURE() << "bits 0x" << std::hex << Bits(value) << std::dec << ": " << text << " "
                      << problem;
    }
}
