#include <gtest/gtest.h>

#include "RecordingGenerator.h"
#include "RecordingWalk.h"
#include "TempDir.h"
#include "WalkAhead.h"

namespace {

// Streamed, the header and the format are known before the first block, and each block carries
// its own samples and none of the earlier blocks', as planned.
TEST(RecordingWalk, HandsOnEachBlockAlone) {
    TempDir dir;
    const RecordingSpec spec{.samples = 70'001, .tailBytes = 5};
    WriteFile(dir / "rec.bin", GenerateRecording(spec));
    for (const WalkPlan plan : {WalkPlan{.stamps = true, .lastStamp = true, .expected = true},
                                WalkPlan{.times = false, .stamps = true}}) {
        RecordingWalk walk(dir / "rec.bin", plan);
        ASSERT_TRUE(walk.Opened());
        EXPECT_EQ(
            std::tuple(walk.Header(), walk.Format().columnCount, walk.LastStamp(), walk.Expected()),
            std::tuple("Tavomir Morvanex A 2 acceleration gen", 3,
                       plan.lastStamp ? GeneratedStamp(spec, spec.samples - 1)
                                      : std::optional<std::uint64_t>(),
                       plan.expected ? spec.samples : 0));
        std::uint64_t seen = 0;
        for (WalkBlock block; walk.Next(block); seen = walk.Decoded()) {
            const std::uint64_t last = walk.Decoded() - 1, size = block.rows.size();
            EXPECT_EQ(std::tuple(walk.Decoded() - seen, block.stamps.size(), block.times.size()),
                      std::tuple(size, size, plan.times ? size : 0));
            EXPECT_EQ(block.stamps.back(), GeneratedStamp(spec, last));
            EXPECT_EQ(block.rows.back().values[2], GeneratedValue(spec, last, 2));
        }
        EXPECT_EQ(std::tuple(walk.Finished(), walk.Problem().failure, seen),
                  std::tuple(true, ReadFailure::None, spec.samples));
    }
}

// A block ahead, the same blocks in the same order, then the same end.
TEST(RecordingWalk, AheadHandsOnTheSameBlocks) {
    TempDir dir;
    WriteFile(dir / "rec.bin", GenerateRecording({.samples = 140'001, .tailBytes = 5}));
    RecordingWalk walk(dir / "rec.bin", {.stamps = true}),
        walked(dir / "rec.bin", {.stamps = true});
    WalkAhead ahead(walked);
    for (WalkBlock block; walk.Next(block);) {
        const WalkBlock* got = ahead.Next();
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(std::tuple(got->stamps, got->times, got->rows.size(), ahead.Decoded()),
                  std::tuple(block.stamps, block.times, block.rows.size(), walk.Decoded()));
    }
    EXPECT_EQ(ahead.Next(), nullptr);
    EXPECT_TRUE(walked.Finished());
}

// A walk from a sample on hands on the samples from there, and promises those; past the end,
// however far, no sample is complete.
TEST(RecordingWalk, StartsFromASample) {
    TempDir dir;
    const RecordingSpec spec{.samples = 40'000};
    WriteFile(dir / "rec.bin", GenerateRecording(spec));
    for (const std::uint64_t from :
         {std::uint64_t{1}, std::uint64_t{39'999}, spec.samples, std::uint64_t{UINT64_MAX}}) {
        RecordingWalk walk(dir / "rec.bin",
                           {.times = false, .stamps = true, .expected = true, .from = from});
        WalkBlock block;
        std::uint64_t first = 0;
        for (bool any = false; walk.Next(block); any = true) {
            if (!any) first = block.stamps[0];
        }
        const std::uint64_t left = from < spec.samples ? spec.samples - from : 0;
        EXPECT_EQ(std::tuple(walk.Finished(), walk.Problem().failure, walk.Decoded(),
                             walk.Expected(), first),
                  std::tuple(left > 0, left ? ReadFailure::None : ReadFailure::NoCompleteSample,
                             left, left, left ? GeneratedStamp(spec, from) : 0))
            << from;
    }
}

// Every sensor type, long enough to cross the reader's block boundaries, decodes exactly as
// generated, into sequences reserved once from the file's size.
TEST(RecordingWalk, HoldsEveryType) {
    for (const char* type : {"acceleration", "gravity", "gyroscope", "linear_acceleration",
                             "TLocation", "speed", "magnetic_field"}) {
        SCOPED_TRACE(type);
        const RecordingSpec spec{.version = type[0] == 'a' ? "1" : "2",
                                 .sensorType = type,
                                 .samples = 70'001,
                                 .tailBytes = 3};
        TempDir dir;
        WriteFile(dir / "rec.bin", GenerateRecording(spec));
        RecordingWalk walk(dir / "rec.bin", {.hold = true});
        WalkBlock held;
        while (walk.Next(held)) {
        }
        const GeneratedLayout layout = LayoutOf(type);
        const std::vector<double>& times = held.times;
        const std::vector<SampleRow>& rows = held.rows;
        ASSERT_EQ(
            std::tuple(walk.Finished(), walk.Format().columnCount, rows.size(), held.stamps.size()),
            std::tuple(true, layout.columns, spec.samples, 0));
        EXPECT_EQ(std::tuple(rows.capacity(), times.capacity()),
                  std::tuple(spec.samples, spec.samples));
        const double ticks = layout.milliseconds ? 1e3 : 1e9;
        for (std::size_t i = 0; i < spec.samples; i += i < 40'000 ? 997 : 9'999) {
            const auto sinceFirst = GeneratedStamp(spec, i) - GeneratedStamp(spec, 0);
            EXPECT_EQ(times[i], static_cast<double>(sinceFirst) / ticks) << i;
            for (int c = 0; c < 3; ++c) {
                const double value = c < layout.columns ? GeneratedValue(spec, i, c) : 0.0;
                EXPECT_EQ(rows[i].values[c], value) << i << ',' << c;
            }
        }
    }
}

TEST(RecordingWalk, TimesAreSecondsSinceTheFirstStampEvenBackwards) {
    TempDir dir;
    WriteFile(dir / "rec.bin", "Tavomir Morvanex A 2 speed s\n" + BigEndian64(5'000) +
                                   BigEndianFloat(1) + BigEndian64(4'000) + BigEndianFloat(2) +
                                   BigEndian64(0) + BigEndianFloat(3) + BigEndian64(6'020) +
                                   BigEndianFloat(4));
    RecordingWalk walk(dir / "rec.bin", {});
    WalkBlock block;
    EXPECT_TRUE(walk.Next(block));
    EXPECT_EQ(block.times, (std::vector<double>{0.0, -1.0, -5.0, 1.02}));
}

}  // namespace
