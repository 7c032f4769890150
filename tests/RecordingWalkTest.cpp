#include <gtest/gtest.h>

#include "RecordingGenerator.h"
#include "RecordingWalk.h"
#include "SampleReader.h"
#include "TempDir.h"

namespace {

// Streamed, each block carries its own samples and none of the earlier blocks', as planned.
TEST(RecordingWalk, HandsOnEachBlockAlone) {
    TempDir dir;
    const RecordingSpec spec{.samples = 70'001};
    WriteFile(dir / "rec.bin", GenerateRecording(spec));
    for (const WalkPlan plan :
         {WalkPlan{.stamps = true}, WalkPlan{.times = false, .stamps = true}}) {
        std::string header;
        std::vector<std::uint64_t> stamps;
        std::vector<double> times;
        std::vector<SampleRow> rows;
        std::uint64_t seen = 0;
        const auto onBlock = [&](const WalkBlock& block) {
            const std::uint64_t last = block.decoded - 1, size = block.rows.size();
            EXPECT_EQ(std::tuple(block.decoded - seen, block.stamps.size(), block.times.size()),
                      std::tuple(size, size, plan.times ? size : 0));
            EXPECT_EQ(block.stamps.back(), GeneratedStamp(spec, last));
            EXPECT_EQ(block.rows.back().values[2], GeneratedValue(spec, last, 2));
            seen = block.decoded;
            return true;
        };
        const Walk walk =
            WalkRecording(dir / "rec.bin", plan, {header, stamps, times, rows}, nullptr, onBlock);
        EXPECT_EQ(std::tuple(walk, seen), std::tuple(Walk::Finished, spec.samples));
    }
}

// A walk from a sample on hands on the samples from there, and promises those; past the end,
// however far, no sample is complete.
TEST(RecordingWalk, StartsFromASample) {
    TempDir dir;
    const RecordingSpec spec{.samples = 40'000};
    WriteFile(dir / "rec.bin", GenerateRecording(spec));
    for (const std::uint64_t from :
         {std::uint64_t{1}, std::uint64_t{39'999}, spec.samples, std::uint64_t{UINT64_MAX}}) {
        std::string header;
        std::vector<std::uint64_t> stamps;
        std::vector<double> times;
        std::vector<SampleRow> rows;
        std::uint64_t first = 0, seen = 0, promised = 0;
        ReadProblem problem;
        const Walk walk = WalkRecording(
            dir / "rec.bin", {.times = false, .stamps = true, .expected = true, .from = from},
            {header, stamps, times, rows}, &problem, [&](const WalkBlock& block) {
                if (seen == 0)
                    std::tie(first, promised) = std::tuple(block.stamps[0], block.expected);
                seen = block.decoded;
                return true;
            });
        const std::uint64_t left = from < spec.samples ? spec.samples - from : 0;
        EXPECT_EQ(std::tuple(walk, problem.failure, seen, promised, first),
                  std::tuple(left ? Walk::Finished : Walk::Unreadable,
                             left ? ReadFailure::None : ReadFailure::NoCompleteSample, left, left,
                             left ? GeneratedStamp(spec, from) : 0))
            << from;
    }
}

}  // namespace
