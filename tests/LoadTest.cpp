// Loads under pressure: memory running out at every allocation of a load; ten thousand
// recordings, valid and damaged, through the dialog's load path and through one converter
// process; a gigabyte recording. Every result is right, and no file stays open.
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

struct Generated {
    fs::path path;
    bool valid;
    std::uint64_t samples;
};

// Every sensor type; one in three damaged, in one of five ways.
std::vector<Generated> GenerateMany(const TempDir& dir) {
    static const char* const kTypes[] = {
        "acceleration", "gravity", "gyroscope", "linear_acceleration",
        "TLocation",    "speed",   "light"};
    std::vector<Generated> all;
    for (unsigned i = 0; i < 10'000; ++i) {
        RecordingSpec spec{
            .sensorType = kTypes[i % 7], .samples = 1 + i % 50, .tailBytes = i % 5, .seed = i};
        const unsigned damage = i % 3 == 2 ? 1 + (i / 3) % 5 : 0;
        if (damage == 1) spec.family = "morvanex";
        if (damage == 2) spec.version = "3";
        if (damage == 3) spec.samples = 0;
        if (damage == 4) spec.variant = "";  // two separators in a row
        if (damage == 5) spec.label = std::string(1024, 'L');
        all.push_back({dir / ("r" + std::to_string(i) + ".bin"), damage == 0, spec.samples});
        WriteFile(all.back().path, GenerateRecording(spec));
    }
    return all;
}

TEST(Load, TenThousandRecordingsThroughTheDialogsLoadPath) {
    TempDir dir;
    const std::vector<Generated> all = GenerateMany(dir);
    LoadedRecording recording;
    std::wstring summary;
    const std::size_t handles = OpenHandleCount();
    int wrong = 0;
    for (const Generated& item : all) {
        const bool loaded = recording.LoadRecording(item.path.wstring(), summary);
        wrong += loaded != item.valid || (loaded && recording.rows.size() != item.samples);
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(OpenHandleCount(), handles);
}

#ifndef _WIN32
// Windows command lines hold 32,767 characters: ten thousand paths only fit here.
TEST(Load, TenThousandRecordingsThroughOneConverter) {
    TempDir dir;
    const std::vector<Generated> all = GenerateMany(dir);
    // Few descriptors: a converter that kept one file open per recording would run out early.
    const ProgramRun run =
        RunProgram("/bin/sh", {"-c", "ulimit -n 64 && exec \"$0\" -q \"$1\"/*.bin",
                               ProgramBesideThisOne("oscimo2csv"), dir.path()});
    EXPECT_EQ(run.exitCode, 1);  // some were damaged
    int wrong = 0, failed = 0;
    for (const Generated& item : all) {
        const fs::path csv = item.path.string() + ".csv";
        wrong += fs::exists(csv) != item.valid || (item.valid && fs::file_size(csv) == 0);
        failed += !item.valid;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), failed) << run.err.substr(0, 2000);
#ifndef OSCIMO_SANITIZED  // the sanitizers' own memory is not the converter's
    EXPECT_LT(run.peakMemoryKiB, 32 * 1024);
#endif
}

// A gigabyte recording: the converter streams it under a memory limit far below its size, and
// the dialog's load holds every sample.
TEST(FailureInjection, ConvertsRecordingsLargerThanItsMemory) {
#ifdef OSCIMO_SANITIZED
    GTEST_SKIP() << "a sanitizer's shadow memory does not fit under a small ulimit -v";
#endif
    TempDir dir;
    const std::string header = "Tavomir Morvanex A 2 acceleration zeros\n";
    WriteFile(dir / "big.bin", header);
    fs::resize_file(dir / "big.bin", header.size() + (std::uint64_t{1} << 30) + 7);
    const std::string samples = std::to_string((std::uint64_t{1} << 30) / 20);
    const auto limited = [&](const std::string& options) {
        return RunProgram("/bin/sh", {"-c", "ulimit -v 65536 && exec \"$0\" " + options + " \"$1\"",
                                      ProgramBesideThisOne("oscimo2csv"), dir / "big.bin"});
    };
    EXPECT_NE(limited("--summary").out.find("数量：" + samples + "\r\n"), std::string::npos);
    EXPECT_EQ(limited("-q -o - >/dev/null").exitCode, 0);
    LoadedRecording loaded;
    std::wstring summary;
    ASSERT_TRUE(loaded.LoadRecording((dir / "big.bin").wstring(), summary));
    EXPECT_EQ(std::to_string(loaded.rows.size()), samples);
}
#endif

}  // namespace
