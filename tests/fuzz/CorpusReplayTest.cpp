#include <gtest/gtest.h>

#include <filesystem>

#include "Platform.h"
#include "RecordingFuzzTarget.h"

namespace fs = std::filesystem;

// Every input that ever made the fuzzer report a fault, and the seeds it starts from, replayed.
TEST(CorpusReplay, EveryKeptInputReadsCleanly) {
    int replayed = 0;
    for (const auto& entry : fs::directory_iterator(OSCIMO_CORPUS_DIR)) {
        if (!entry.is_regular_file()) continue;
        const FilePtr recording = OpenForReading(entry.path());
        ASSERT_TRUE(recording) << entry.path();
        ExerciseRecording(recording.get());
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}
