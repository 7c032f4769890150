#include "RecordingGenerator.h"

#include <bit>
#include <cmath>
#include <vector>

namespace {

// splitmix64: the same numbers on every platform and compiler.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A uniform value in [-1, 1) drawn from 53 random bits.
double Unit(std::uint64_t bits) {
    return static_cast<double>(bits >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

void AppendBigEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i)));
}

}  // namespace

GeneratedLayout LayoutOf(std::string_view sensorType) {
    if (sensorType == "acceleration" || sensorType == "gravity" || sensorType == "gyroscope" ||
        sensorType == "linear_acceleration") {
        return {4, 3, false};
    }
    if (sensorType == "TLocation") return {8, 3, true};
    if (sensorType == "speed") return {4, 1, true};
    return {4, 1, false};
}

std::uint64_t GeneratedStamp(const RecordingSpec& spec, std::uint64_t i) {
    const std::uint64_t step = spec.stampStep != 0
                                   ? spec.stampStep
                                   : (LayoutOf(spec.sensorType).milliseconds ? 10 : 10'000'000);
    const std::uint64_t steps = i + (spec.gapEvery ? 9 * (i / spec.gapEvery) : 0);
    const bool early = spec.backEvery && i % spec.backEvery == spec.backEvery - 1;
    return spec.firstStamp + steps * step - (early ? 3 * step : 0);
}

double GeneratedValue(const RecordingSpec& spec, std::uint64_t i, int column) {
    const double noise =
        Unit(Mix(spec.seed * 0x100000001B3ull + i * 3 + static_cast<unsigned>(column)));
    const GeneratedLayout layout = LayoutOf(spec.sensorType);
    if (layout.valueWidth == 8) {
        // Latitude, longitude, altitude wandering around a place.
        static const double kCentre[] = {39.9042, 116.4074, 43.5};
        static const double kSpread[] = {0.01, 0.01, 5.0};
        return kCentre[column] + kSpread[column] * noise;
    }
    const double scale = spec.sensorType == "speed" ? 30.0 : 19.6;
    return static_cast<double>(static_cast<float>(scale * noise));
}

void GenerateRecording(const RecordingSpec& spec,
                       const std::function<void(const char*, std::size_t)>& sink) {
    std::string chunk;
    const std::string* const tokens[] = {&spec.signature, &spec.family,     &spec.variant,
                                         &spec.version,   &spec.sensorType, &spec.label};
    for (std::size_t t = 0; t < 6; ++t) {
        chunk += *tokens[t];
        if (t < spec.separators.size()) chunk.push_back(spec.separators[t]);
    }
    const GeneratedLayout layout = LayoutOf(spec.sensorType);
    const std::size_t sampleBytes =
        8 + static_cast<std::size_t>(layout.valueWidth * layout.columns);
    std::string sample;
    for (std::uint64_t i = 0; i < spec.samples; ++i) {
        sample.clear();
        AppendBigEndian(sample, GeneratedStamp(spec, i), 8);
        for (int c = 0; c < layout.columns; ++c) {
            const double value = GeneratedValue(spec, i, c);
            if (layout.valueWidth == 8) {
                AppendBigEndian(sample, std::bit_cast<std::uint64_t>(value), 8);
            } else {
                AppendBigEndian(sample, std::bit_cast<std::uint32_t>(static_cast<float>(value)), 4);
            }
        }
        chunk += sample;
        if (chunk.size() >= (1 << 20)) {
            sink(chunk.data(), chunk.size());
            chunk.clear();
        }
    }
    // The tail: the start of one more sample, cut short.
    for (std::uint64_t i = 0; i < spec.tailBytes && i < sampleBytes - 1; ++i) {
        chunk.push_back(static_cast<char>(0x40 + i));
    }
    sink(chunk.data(), chunk.size());
}

std::string GenerateRecording(const RecordingSpec& spec) {
    std::string bytes;
    GenerateRecording(spec, [&](const char* data, std::size_t size) { bytes.append(data, size); });
    return bytes;
}

MixedRecording MixedRecordingAt(std::uint64_t i) {
    static const char* const kTypes[] = {
        "acceleration", "gravity", "gyroscope", "linear_acceleration",
        "TLocation",    "speed",   "light"};
    RecordingSpec spec{
        .sensorType = kTypes[i % 7], .samples = 1 + i % 50, .tailBytes = i % 5, .seed = i};
    const std::uint64_t damage = i % 3 == 2 ? 1 + (i / 3) % 5 : 0;
    if (damage == 1) spec.family = "morvanex";
    if (damage == 2) spec.version = "3";
    if (damage == 3) spec.samples = 0;
    if (damage == 4) spec.variant = "";  // two separators in a row
    if (damage == 5) spec.label = std::string(1024, 'L');
    return {spec, damage == 0};
}

std::string BigEndian64(std::uint64_t value) {
    std::string out;
    AppendBigEndian(out, value, 8);
    return out;
}

std::string BigEndianFloat(float value) {
    std::string out;
    AppendBigEndian(out, std::bit_cast<std::uint32_t>(value), 4);
    return out;
}

std::string BigEndianDouble(double value) {
    std::string out;
    AppendBigEndian(out, std::bit_cast<std::uint64_t>(value), 8);
    return out;
}
