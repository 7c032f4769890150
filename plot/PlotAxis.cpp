#include "PlotAxis.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "ReportText.h"

namespace {

// 10^exponent correctly rounded on every system, which pow is not: the ticks, and so the
// picture, are the same everywhere.
double PowerOfTen(int exponent) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "1e%d", exponent);
    double power = 1;
    std::from_chars(text, text + length, power);
    return power;
}

// 1, 2 or 5 times a power of ten, at least raw.
double RoundStep(double raw) {
    raw = std::max(raw, DBL_MIN);  // a range of subnormal width has no finer ticks
    const double power = PowerOfTen(static_cast<int>(std::floor(std::log10(raw))));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (raw <= factor * power) return factor * power;
    }
    return 10 * power;
}

}  // namespace

PlotAxis::PlotAxis(double lowValue, double highValue, int count, bool roundEnds)
    : low(lowValue), high(highValue) {
    if (!(low < high)) {
        const double widen = low == 0 ? 1 : std::fabs(low) / 10;
        low = std::max(low - widen, -DBL_MAX);
        high = std::min(high + widen, DBL_MAX);
    }
    // A range of a few ulps holds no round numbers that doubles tell apart: ticks at least 32
    // ulps apart come out distinct and in order, and a width of normal numbers halves exactly.
    const double least =
        count * std::max(32 * DBL_EPSILON * std::max(std::fabs(low), std::fabs(high)), DBL_MIN);
    if (high / 2 - low / 2 < least / 2) {
        const double middle = low / 2 + high / 2;
        low = std::max(middle - least / 2, -DBL_MAX);
        high = std::min(middle + least / 2, DBL_MAX);
    }
    // Halves keep the width finite for the widest ranges.
    const double step = RoundStep((high / 2 - low / 2) / count * 2);
    if (roundEnds) {
        // Rounded products may miss the range by an ulp: the ends never move inwards.
        const double below = std::floor(low / step) * step, above = std::ceil(high / step) * step;
        if (std::isfinite(below)) low = std::min(low, below);
        if (std::isfinite(above)) high = std::max(high, above);
    }
    // Enough digits to tell neighbouring ticks apart, and to write whole numbers out up to nine
    // digits; never so many that a tick's rounding shows.
    const double magnitude = std::floor(std::log10(std::max(std::fabs(low), std::fabs(high))));
    const double digits =
        std::clamp(std::max(magnitude - std::floor(std::log10(step)), std::min(magnitude, 8.0)) + 1,
                   1.0, 17.0);
    const double first = std::ceil(low / step);
    // Counted, not stepped: where first is beyond 2^53, adding 1 would change nothing.
    for (int i = 0; i <= 3 * count && (first + i) * step <= high; ++i) {
        const double tick = first + i == 0 ? 0 : (first + i) * step;  // never "-0"
        ticks.push_back(tick);
        labels.push_back(NumberWithDigits(tick, static_cast<int>(digits)));
    }
}
