#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Describes a recording to generate; every field can be set to a damaged value.
struct RecordingSpec {
    std::string signature = "Tavomir";
    std::string family = "Morvanex";
    std::string variant = "A";
    std::string version = "2";
    std::string sensorType = "acceleration";
    std::string label = "gen";
    std::string separators = "     \n";  // the byte after each of the six tokens
    std::uint64_t samples = 100;
    std::uint64_t firstStamp = 1'000'000'000;
    std::uint64_t stampStep = 0;  // 0: 10 ms in the type's tick unit
    std::uint64_t gapEvery = 0;   // every gapEvery-th step lasts ten steps (0: none)
    std::uint64_t backEvery = 0;  // every backEvery-th sample is stamped three steps early
    std::uint64_t tailBytes = 0;  // bytes of an incomplete sample after the last one
    std::uint64_t seed = 1;
};

// Width, columns and whether stamps count milliseconds, as the recorder writes each type.
struct GeneratedLayout {
    int valueWidth;
    int columns;
    bool milliseconds;
};
GeneratedLayout LayoutOf(std::string_view sensorType);

// The stamp and value the generator writes for sample i; binary32 types return the float.
std::uint64_t GeneratedStamp(const RecordingSpec& spec, std::uint64_t i);
double GeneratedValue(const RecordingSpec& spec, std::uint64_t i, int column);

// Streams the recording's bytes to sink in pieces; memory stays small for any sample count.
void GenerateRecording(const RecordingSpec& spec,
                       const std::function<void(const char*, std::size_t)>& sink);

std::string GenerateRecording(const RecordingSpec& spec);

// The i-th recording of a mix for runs over many files: every sensor type in turn, 1 to 50
// samples, at times an incomplete sample at the end, and one in three damaged in one of five ways.
struct MixedRecording {
    RecordingSpec spec;
    bool valid;  // loads with spec.samples samples; a damaged one fails to load
};
MixedRecording MixedRecordingAt(std::uint64_t i);

// Big-endian encodings, for tests that assemble bytes by hand.
std::string BigEndian64(std::uint64_t value);
std::string BigEndianFloat(float value);
std::string BigEndianDouble(double value);
