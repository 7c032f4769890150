#include "RecordingStats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// One block's figures for a column, before they are merged into the recording's. The sum is of
// the values less the first finite one, so that values far from zero keep their digits in it; the
// mean is the pair that MoveMean keeps.
struct BlockFigures {
    std::uint64_t finite = 0, nan = 0, infinite = 0;
    double first = 0, sum = 0, min = std::numeric_limits<double>::infinity(), max = -min;
    double mean = 0, meanError = 0;
    long double squares = 0;
};

// Moves a mean, kept as a double and what its rounding took off, by shift; the pair keeps the
// exact mean where a double alone would be off by half its last digit, enough to spoil the
// squares of values that differ only in their last digits.
void MoveMean(double& mean, double& meanError, long double shift) {
    const double moved = static_cast<double>(mean + shift);
    meanError = static_cast<double>((mean - static_cast<long double>(moved)) + shift);
    mean = moved;
}

// The sums, minima and maxima of every value, the columns side by side so that their sums do not
// wait for one another. Where every value is finite, as nearly always, the sums say so: one NaN
// or infinity makes a sum so too, and so does a sum that overflows. False then. Not inlined: on
// its own the compiler keeps the running figures in registers without moving them every row.
template <int Columns>
[[gnu::noinline]] bool SumAll(const SampleRow* rows, std::size_t count, BlockFigures (&block)[3]) {
    double first[Columns], sum[Columns] = {}, min[Columns], max[Columns];
    // A first value that is not finite spoils min and max, but the sums too.
    for (int c = 0; c < Columns; ++c) first[c] = min[c] = max[c] = rows[0].values[c];
    for (std::size_t i = 0; i < count; ++i) {
        for (int c = 0; c < Columns; ++c) {
            const double value = rows[i].values[c];
            sum[c] += value - first[c];
            min[c] = std::min(min[c], value);
            max[c] = std::max(max[c], value);
        }
    }
    bool allFinite = true;
    for (int c = 0; c < Columns; ++c) {
        block[c].finite = count;
        block[c].first = first[c];
        block[c].sum = sum[c];
        block[c].min = min[c];
        block[c].max = max[c];
        allFinite = allFinite && std::isfinite(sum[c]);
    }
    return allFinite;
}

// One value into SumFinite's figures.
void AddFinite(BlockFigures& figures, double value) {
    if (!std::isfinite(value)) {
        ++(std::isnan(value) ? figures.nan : figures.infinite);
        return;
    }
    if (figures.finite++ == 0) figures.first = value;
    figures.sum += value - figures.first;
    figures.min = std::min(figures.min, value);
    figures.max = std::max(figures.max, value);
}

// SumAll over the finite values only, each value checked, the others counted apart.
template <int Columns>
void SumFinite(const SampleRow* rows, std::size_t count, BlockFigures (&block)[3]) {
    for (int c = 0; c < Columns; ++c) block[c] = BlockFigures{};
    for (std::size_t i = 0; i < count; ++i) {
        for (int c = 0; c < Columns; ++c) AddFinite(block[c], rows[i].values[c]);
    }
}

// The mean of a column's finite values where their sum overflowed: a running mean does not.
double RunningMean(const SampleRow* rows, std::size_t count, int column) {
    double mean = 0, seen = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double value = rows[i].values[column];
        if (!std::isfinite(value)) continue;
        seen += 1;
        mean += value / seen - mean / seen;
    }
    return mean;
}

// The mean of a column's finite values: the first one moved by the sum's share of each.
void SetMean(BlockFigures& figures, const SampleRow* rows, std::size_t count, int column) {
    double origin = figures.first;
    double offset = figures.sum / static_cast<double>(figures.finite ? figures.finite : 1);
    if (!std::isfinite(offset) && figures.finite) {
        origin = RunningMean(rows, count, column);
        offset = 0;
    }
    figures.mean = origin;
    MoveMean(figures.mean, figures.meanError, offset);
}

// Deviations past 1e154 square beyond a double; the extended type's range holds them.
long double WideSquares(const SampleRow* rows, std::size_t count, int column, double mean) {
    long double wide = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double value = rows[i].values[column];
        const long double deviation = static_cast<long double>(value) - mean;
        if (std::isfinite(value)) wide += deviation * deviation;
    }
    return wide;
}

// The squared deviations from the means, once the means are known.
template <int Columns>
void SumSquares(const SampleRow* rows, std::size_t count, bool allFinite,
                BlockFigures (&block)[3]) {
    double means[3] = {}, squares[3] = {};
    for (int c = 0; c < Columns; ++c) means[c] = block[c].mean;
    for (std::size_t i = 0; i < count; ++i) {
        for (int c = 0; c < Columns; ++c) {
            const double deviation = rows[i].values[c] - means[c];
            // A non-finite value's deviation is not finite: left out.
            if (allFinite || std::isfinite(deviation)) squares[c] += deviation * deviation;
        }
    }
    for (int c = 0; c < Columns; ++c) {
        // About the rounded mean, the squares exceed those about the exact one by this.
        const long double error = block[c].meanError, excess = error * error * block[c].finite;
        const long double sum =
            std::isfinite(squares[c]) ? squares[c] : WideSquares(rows, count, c, means[c]);
        block[c].squares = sum - excess;
    }
}

// The block's figures for each of Columns columns, in passes over its rows.
template <int Columns>
void MeasureBlock(const SampleRow* rows, std::size_t count, BlockFigures (&block)[3]) {
    const bool allFinite = SumAll<Columns>(rows, count, block);
    if (!allFinite) SumFinite<Columns>(rows, count, block);
    for (int c = 0; c < Columns; ++c) SetMean(block[c], rows, count, c);
    SumSquares<Columns>(rows, count, allFinite, block);
}

// Merges a block's figures into the recording's (Chan et al.): exact to rounding however long
// the recording is.
void Merge(ColumnFigures& figures, const BlockFigures& block) {
    figures.nan += block.nan;
    figures.infinite += block.infinite;
    if (block.finite == 0) return;
    if (figures.finite == 0) {
        figures.min = block.min;
        figures.max = block.max;
        figures.mean = block.mean;
        figures.meanError = block.meanError;
        figures.squares = block.squares;
    } else {
        const auto before = static_cast<double>(figures.finite);
        const auto added = static_cast<double>(block.finite), total = before + added;
        const long double delta = static_cast<long double>(block.mean) - figures.mean +
                                  (block.meanError - figures.meanError);
        figures.min = block.min < figures.min ? block.min : figures.min;
        figures.max = block.max > figures.max ? block.max : figures.max;
        MoveMean(figures.mean, figures.meanError, delta * (added / total) + figures.meanError);
        figures.squares += block.squares + delta * delta * (before / total) * added;
    }
    figures.finite += block.finite;
}

void Note(StepEvents& events, std::uint64_t at, std::uint64_t stamp) {
    if (events.count++ == 0) {
        events.firstAt = at;
        events.firstStamp = stamp;
    }
}

// A forward step unlike the one before it: only such a step can be a new shortest or longest,
// so the stamp loop asks only then.
void NoteNewStep(RecordingStats& stats, std::uint64_t step, std::uint64_t at, std::uint64_t stamp) {
    if (step < stats.minStep || stats.minStep == 0) stats.minStep = step;
    if (step > stats.maxStep) {
        stats.maxStep = step;
        stats.maxStepAt = at;
        stats.maxStepStamp = stamp;
    }
}

// The block's stamps from index `from` on, each against the one before it: the steps forward,
// those back or to the same stamp, and the extremes. The running figures are in locals, which the
// compiler keeps in registers; a run of equal steps is counted at once.
void AddStamps(RecordingStats& stats, const std::uint64_t* stamps, std::size_t from,
               std::size_t count) {
    std::uint64_t previous = stats.lastStamp, low = stats.minStamp, high = stats.maxStamp;
    std::uint64_t runStep = 0, run = 0;
    for (std::size_t i = from; i < count; ++i) {
        const std::uint64_t stamp = stamps[i];
        if (stamp > previous) {
            const std::uint64_t step = stamp - previous;
            if (step == runStep) {
                ++run;
            } else {
                if (run) stats.steps.Add(runStep, run);
                runStep = step;
                run = 1;
                NoteNewStep(stats, step, stats.samples + i, stamp);
            }
        } else {
            Note(stamp == previous ? stats.repeated : stats.backward, stats.samples + i, stamp);
        }
        low = std::min(low, stamp);
        high = std::max(high, stamp);
        previous = stamp;
    }
    if (run) stats.steps.Add(runStep, run);
    stats.lastStamp = previous;
    stats.minStamp = low;
    stats.maxStamp = high;
}

}  // namespace

double ColumnFigures::Std() const {
    return finite == 0 ? std::numeric_limits<double>::quiet_NaN()
                       : static_cast<double>(std::sqrt(squares / finite));
}

void RecordingStats::Add(const std::uint64_t* stamps, const SampleRow* rows, std::size_t count) {
    if (count == 0) return;
    std::size_t from = 0;
    if (samples == 0) {
        firstStamp = lastStamp = minStamp = maxStamp = stamps[0];
        from = 1;  // the first stamp ends no step
    }
    AddStamps(*this, stamps, from, count);
    samples += count;
    if (!values) return;
    BlockFigures block[3];
    if (format.columnCount == 3) {
        MeasureBlock<3>(rows, count, block);
    } else {
        MeasureBlock<1>(rows, count, block);
    }
    for (int c = 0; c < format.columnCount && c < 3; ++c) Merge(columns[c], block[c]);
}

double RecordingStats::TimeOf(std::uint64_t stamp) const {
    return TicksBetween(firstStamp, stamp) / format.ticksPerSecond;
}

std::uint64_t RecordingStats::MedianStep() const {
    const std::uint64_t median = steps.Median();
    // A histogram bin's middle may lie outside the steps there were.
    return median < minStep ? minStep : median > maxStep ? maxStep : median;
}

std::uint64_t RecordingStats::GapLimit() const {
    const std::uint64_t median = MedianStep();
    // m + floor(m / 2): a whole step is longer than 1.5 m exactly when it is longer than this.
    const std::uint64_t half = median / 2;
    const std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    return median > most - half ? most : median + half;
}

std::uint64_t RecordingStats::GapCount() const {
    return MedianStep() == 0 ? 0 : steps.CountLongerThan(GapLimit());
}
