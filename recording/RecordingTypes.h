#pragma once

#include <cstdint>

// One decoded sample; only the first column-count values carry data, the rest stay 0.
struct SampleRow {
    double values[3] = {0.0, 0.0, 0.0};
};

// How the samples of one sensor type are laid out in the body.
struct SensorFormat {
    std::int32_t valueWidth;   // bytes per value: 4 (binary32) or 8 (binary64)
    std::int32_t columnCount;  // values per sample: 1 or 3
    double ticksPerSecond;     // divides time-stamp differences into seconds
};

// The unit a sensor type's stamps count in, as column heads and reports name it.
inline const char* StampUnit(const SensorFormat& format) {
    return format.ticksPerSecond == 1e3 ? "ms" : "ns";
}

// Ticks from stamp `from` to stamp `to`, exact to one rounding however far apart they are:
// stamps are unsigned, so the difference is negative only when `to` is the smaller, never wrapped.
inline double TicksBetween(std::uint64_t from, std::uint64_t to) {
    // The signed conversion is the quick one; it is exact while the difference fits it, as the
    // stamps of one recording's samples do unless one is damaged.
    const auto wrapped = static_cast<std::int64_t>(to - from);
    if ((wrapped < 0) == (to < from)) return static_cast<double>(wrapped);
    return to < from ? -static_cast<double>(from - to) : static_cast<double>(to - from);
}
