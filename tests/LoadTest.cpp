// Ten thousand recordings, valid and damaged, through the dialog's load path in this process and
// through one converter process: every result as generated, and nothing kept afterwards.
#include <gtest/gtest.h>

#include "FailingAllocator.h"
#include "LoadedRecording.h"
#include "Process.h"
#include "RecordingGenerator.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecordings = 10'000;

struct Generated {
    fs::path path;
    bool valid;
    std::uint64_t samples;
};

// Every sensor type, and one in three damaged in one of several ways.
std::vector<Generated> GenerateMany(const TempDir& dir) {
    static const char* const kTypes[] = {
        "acceleration", "gravity", "gyroscope", "linear_acceleration",
        "TLocation",    "speed",   "light"};
    std::vector<Generated> all;
    for (int i = 0; i < kRecordings; ++i) {
        RecordingSpec spec;
        spec.sensorType = kTypes[i % 7];
        spec.samples = static_cast<std::uint64_t>(1 + i % 50);
        spec.tailBytes = static_cast<std::uint64_t>(i % 5);
        spec.seed = static_cast<std::uint64_t>(i);
        bool valid = true;
        switch (i % 3 == 2 ? (i / 3) % 5 : -1) {
            case 0:
                spec.family = "morvanex";
                valid = false;
                break;
            case 1:
                spec.version = "3";
                valid = false;
                break;
            case 2:
                spec.samples = 0;
                valid = false;
                break;
            case 3:
                spec.variant = "";
                valid = false;
                break;  // two separators in a row
            case 4:
                spec.label = std::string(1024, 'L');
                valid = false;
                break;
            default:
                break;
        }
        Generated item{dir / ("r" + std::to_string(i) + ".bin"), valid, spec.samples};
        WriteFile(item.path, GenerateRecording(spec));
        all.push_back(item);
    }
    return all;
}

TEST(Load, TenThousandRecordingsThroughTheDialogsLoadPath) {
    TempDir dir;
    const std::vector<Generated> all = GenerateMany(dir);
    LoadedRecording recording;
    std::vector<std::wstring> paths;
    for (const Generated& item : all) paths.push_back(item.path.wstring());
    std::wstring summary;
    recording.LoadRecording(paths.front(), summary);  // one-time set-up of the runtime's own
    recording.ResetRecording();
    std::wstring().swap(summary);
    const std::size_t handles = OpenHandleCount();
    const std::size_t bytes = BytesInUse();
    int mismatches = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Generated& item = all[i];
        const bool loaded = recording.LoadRecording(paths[i], summary);
        if (loaded != item.valid || (loaded && recording.rows.size() != item.samples)) {
            ++mismatches;
        }
    }
    recording.ResetRecording();
    std::wstring().swap(summary);
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(OpenHandleCount(), handles);
    EXPECT_EQ(BytesInUse(), bytes);
}

#ifndef _WIN32
// Windows command lines hold 32,767 characters: ten thousand paths only fit here.
TEST(Load, TenThousandRecordingsThroughOneConverter) {
    TempDir dir;
    const std::vector<Generated> all = GenerateMany(dir);
    // Few descriptors: a converter that kept one file open per recording would run out early.
    std::vector<fs::path> arguments{"-c", "ulimit -n 64 && exec \"$0\" \"$@\"",
                                    ProgramBesideThisOne("oscimo2csv"), "-q"};
    for (const Generated& item : all) arguments.push_back(item.path);
    const ProgramRun run = RunProgram("/bin/sh", arguments);
    EXPECT_EQ(run.exitCode, 1);  // some were damaged
    int valid = 0, reported = 0, mismatches = 0;
    for (std::size_t at = run.err.find("oscimo2csv: "); at != std::string::npos;
         at = run.err.find("oscimo2csv: ", at + 1)) {
        ++reported;
    }
    for (const Generated& item : all) {
        fs::path csv = item.path;
        csv += ".csv";
        if (item.valid) ++valid;
        if (fs::exists(csv) != item.valid) ++mismatches;
        if (item.valid && fs::file_size(csv) == 0) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(reported, kRecordings - valid) << run.err.substr(0, 2000);
#ifndef OSCIMO_SANITIZED  // the sanitizers' own memory is not the converter's
    EXPECT_LT(run.peakMemoryKiB, 32 * 1024);
#endif
}
#endif

}  // namespace
