// Loads under pressure: memory running out at every allocation of a load; a few dozen recordings,
// valid and damaged, through the dialog's load path and through one converter process; a
// recording larger than the converter's memory. Every result is right, and no file stays open.
// The same at scale, with bounds on time and memory, is measured by make bench.
#include <gtest/gtest.h>

#include <new>

#include "FailingAllocator.h"
#include "LoadedRecording.h"
#include "Process.h"
#include "RecordingGenerator.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

TEST(AllocationFailure, AtEveryPointOfALoadLeavesTheRecordingEmpty) {
    TempDir dir;
    WriteFile(dir / "first.bin", GenerateRecording({.samples = 10}));
    WriteFile(dir / "second.bin",
              GenerateRecording({.sensorType = "TLocation", .samples = 50'000}));
    const std::wstring first = (dir / "first.bin").wstring(),
                       second = (dir / "second.bin").wstring();
    std::wstring summary;
    for (long successes = 0;; ++successes) {
        LoadedRecording recording;
        ASSERT_TRUE(recording.LoadRecording(first, summary));
        const std::size_t handles = OpenHandleCount();
        FailAllocationAfter(successes);
        try {
            EXPECT_TRUE(recording.LoadRecording(second, summary));
            StopFailingAllocations();
            EXPECT_EQ(recording.rows.size(), 50'000u);
            EXPECT_GE(successes, 3) << "a load takes more than three allocations";
            return;
        } catch (const std::bad_alloc&) {
            StopFailingAllocations();
        }
        EXPECT_EQ(OpenHandleCount(), handles) << "after " << successes;
        EXPECT_TRUE(recording.rows.empty() && recording.times.empty()) << "after " << successes;
        EXPECT_EQ(recording.columnCount, 0);
        ASSERT_LT(successes, 1000) << "the load never finished";
    }
}

// The first few dozen of the mix, beside their paths: every sensor type six times, every kind of
// damage at least twice.
std::vector<std::pair<fs::path, MixedRecording>> WriteMix(const TempDir& dir) {
    std::vector<std::pair<fs::path, MixedRecording>> mix;
    for (unsigned i = 0; i < 42; ++i) {
        mix.emplace_back(dir / ("r" + std::to_string(i) + ".bin"), MixedRecordingAt(i));
        WriteFile(mix.back().first, GenerateRecording(mix.back().second.spec));
    }
    return mix;
}

TEST(Load, ManyRecordingsThroughTheDialogsLoadPath) {
    TempDir dir;
    LoadedRecording recording;
    std::wstring summary;
    const std::size_t handles = OpenHandleCount();
    for (const auto& [path, mixed] : WriteMix(dir)) {
        EXPECT_EQ(recording.LoadRecording(path.wstring(), summary), mixed.valid) << path;
        EXPECT_EQ(recording.rows.size(), mixed.valid ? mixed.spec.samples : 0) << path;
    }
    EXPECT_EQ(OpenHandleCount(), handles);
}

#ifndef _WIN32
// Sixteen descriptors, of which the converter needs six: one kept open per recording would run
// out long before the last.
TEST(Load, ManyRecordingsThroughOneConverter) {
    TempDir dir;
    const auto mix = WriteMix(dir);
    const ProgramRun run =
        RunProgram("/bin/sh", {"-c", "ulimit -n 16 && exec \"$0\" -q \"$1\"/*.bin",
                               ProgramBesideThisOne("oscimo2csv"), dir.path()});
    EXPECT_EQ(run.exitCode, 1);  // some were damaged
    long damaged = 0;
    for (const auto& [path, mixed] : mix) {
        const fs::path csv = path.string() + ".csv";
        EXPECT_EQ(fs::exists(csv), mixed.valid) << path;
        const std::string text = ReadFile(csv);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
                  mixed.valid ? mixed.spec.samples + 1 : 0)
            << path;
        damaged += !mixed.valid;
    }
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), damaged) << run.err;
}

// A recording larger than the converter's whole address space (it starts from 8 MiB): it
// streams it, and the dialog's load holds every sample.
TEST(FailureInjection, ConvertsRecordingsLargerThanItsMemory) {
#ifdef OSCIMO_SANITIZED
    GTEST_SKIP() << "a sanitizer's shadow memory does not fit under a small ulimit -v";
#endif
    TempDir dir;
    constexpr std::uint64_t kSamples = (40 << 20) / 20;  // 40 MiB of zeros, 20 bytes a sample
    WriteZeros(dir / "big.bin", kSamples, 7);
    const ProgramRun run =
        RunProgram("/bin/sh", {"-c", "ulimit -v 32768 && exec \"$0\" -q \"$1\"",
                               ProgramBesideThisOne("oscimo2csv"), dir / "big.bin"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "big.bin.csv").size(), 15 + 9 * kSamples);  // 0,0,0,0 CR LF each
    LoadedRecording loaded;
    std::wstring summary;
    ASSERT_TRUE(loaded.LoadRecording((dir / "big.bin").wstring(), summary));
    EXPECT_EQ(loaded.rows.size(), kSamples);
}
#endif

}  // namespace
