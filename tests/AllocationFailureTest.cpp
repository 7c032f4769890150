#include <gtest/gtest.h>

#include <new>

#include "FailingAllocator.h"
#include "LoadedRecording.h"
#include "Process.h"
#include "RecordingGenerator.h"
#include "TempDir.h"

namespace {

// Memory running out at any allocation of a load leaves an empty recording and no open file.
TEST(AllocationFailure, AtEveryPointOfALoadLeavesTheRecordingEmpty) {
    TempDir dir;
    RecordingSpec first, second;
    first.samples = 10;
    second.samples = 50'000;
    second.sensorType = "TLocation";
    WriteFile(dir / "first.bin", GenerateRecording(first));
    WriteFile(dir / "second.bin", GenerateRecording(second));
    const std::wstring secondPath = (dir / "second.bin").wstring();

    int failuresSeen = 0;
    for (long successes = 0;; ++successes) {
        LoadedRecording recording;
        std::wstring summary;
        ASSERT_TRUE(recording.LoadRecording((dir / "first.bin").wstring(), summary));
        const std::size_t handlesBefore = OpenHandleCount();

        bool threw = false;
        FailAllocationAfter(successes);
        try {
            EXPECT_TRUE(recording.LoadRecording(secondPath, summary));
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        StopFailingAllocations();

        EXPECT_EQ(OpenHandleCount(), handlesBefore) << "after " << successes;
        if (!threw) {
            EXPECT_EQ(recording.rows.size(), second.samples);
            break;
        }
        ++failuresSeen;
        EXPECT_TRUE(recording.rows.empty()) << "after " << successes;
        EXPECT_TRUE(recording.times.empty());
        EXPECT_EQ(recording.columnCount, 0);
        ASSERT_LT(successes, 1000) << "the load never finished";
    }
    EXPECT_GE(failuresSeen, 3);
}

}  // namespace
