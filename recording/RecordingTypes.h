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
