#pragma once

#include <cstddef>
#include <cstdint>

#include "RecordingTypes.h"
#include "StepCounts.h"

// A value column's figures over its finite values, with how many were not.
struct ColumnFigures {
    std::uint64_t finite = 0, nan = 0, infinite = 0;
    double min = 0, max = 0, mean = 0;
    double meanError = 0;  // what rounding took off the mean
    // The sum of squared deviations from the mean, in the extended type: its range holds the
    // squares of deviations past 1e154 too.
    long double squares = 0;

    double Std() const;  // population standard deviation
};

// Where steps of one kind (backward, repeated) happen: how many, and the first.
struct StepEvents {
    std::uint64_t count = 0;
    std::uint64_t firstAt = 0;  // index of the sample that ends the first such step
    std::uint64_t firstStamp = 0;
};

// A recording's health, gathered block by block in one pass with memory independent of its size.
// The gap rule needs the median step, which is known only at the end: rather than reading the
// file twice, the counts of the distinct steps are kept (StepCounts), and the gaps are counted
// from them; the longest gap is the longest step, kept with where it ends.
struct RecordingStats {
    // withValues false leaves the value columns out, for callers that need the stamps only.
    explicit RecordingStats(const SensorFormat& recordingFormat, bool withValues = true)
        : format(recordingFormat), values(withValues) {}

    void Add(const std::uint64_t* stamps, const SampleRow* rows, std::size_t count);

    double Seconds(std::uint64_t ticks) const {
        return static_cast<double>(ticks) / format.ticksPerSecond;
    }
    // A stamp's time as the CSV's Time(s) shows it: seconds since the first sample.
    double TimeOf(std::uint64_t stamp) const;
    double DurationSeconds() const { return Seconds(maxStamp - minStamp); }
    std::uint64_t MedianStep() const;  // 0 when no step goes forward
    // Steps longer than this, one and a half times the median, are gaps.
    std::uint64_t GapLimit() const;
    std::uint64_t GapCount() const;

    SensorFormat format;
    bool values;
    std::uint64_t samples = 0;
    std::uint64_t firstStamp = 0, lastStamp = 0, minStamp = 0, maxStamp = 0;
    // Over the steps that go forward; 0 when none does.
    std::uint64_t minStep = 0, maxStep = 0;
    std::uint64_t maxStepAt = 0, maxStepStamp = 0;  // where the first longest step ends
    StepCounts steps;
    StepEvents backward, repeated;
    ColumnFigures columns[3];
};
