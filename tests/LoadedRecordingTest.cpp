#include <gtest/gtest.h>

#include "LoadedRecording.h"
#include "Platform.h"
#include "RecordingGenerator.h"
#include "TempDir.h"

namespace {

std::wstring Wide(const std::filesystem::path& path) {
    return path.wstring();
}

class LoadedRecordingTest : public testing::Test {
protected:
    std::filesystem::path Write(const std::filesystem::path& name, const RecordingSpec& spec) {
        const auto path = dir / name;
        WriteFile(path, GenerateRecording(spec));
        return path;
    }

    void ExpectEmpty() const {
        EXPECT_TRUE(recording.times.empty());
        EXPECT_TRUE(recording.rows.empty());
        EXPECT_EQ(recording.columnCount, 0);
    }

    TempDir dir;
    LoadedRecording recording;
    std::wstring summary = L"before";
};

TEST_F(LoadedRecordingTest, LoadsAndSummarises) {
    RecordingSpec spec;
    spec.samples = 250;
    ASSERT_TRUE(recording.LoadRecording(Wide(Write("walk.bin", spec)), summary));
    EXPECT_EQ(summary,
              L"Tavomir Morvanex A 2 acceleration gen\r\n数量：250\r\n时间：是\r\n数据列：3\r\n");
    EXPECT_EQ(recording.columnCount, 3);
    EXPECT_EQ(recording.times.size(), 250u);
}

TEST_F(LoadedRecordingTest, SummarySaysNoTimesWhenCountsDiffer) {
    recording.headerText = "h";
    recording.rows.resize(2);
    recording.columnCount = 1;
    EXPECT_EQ(recording.BuildSummaryText(), L"h\r\n数量：2\r\n时间：否\r\n数据列：1\r\n");
}

TEST_F(LoadedRecordingTest, FailedLoadLeavesNothingOfTheEarlierRecording) {
    ASSERT_TRUE(recording.LoadRecording(Wide(Write("good.bin", {})), summary));
    const std::wstring goodSummary = summary;

    RecordingSpec bad;
    bad.family = "morvanex";
    EXPECT_FALSE(recording.LoadRecording(Wide(Write("bad.bin", bad)), summary));
    ExpectEmpty();
    EXPECT_EQ(recording.headerText, "");
    EXPECT_EQ(summary, goodSummary);            // untouched on failure
    EXPECT_EQ(recording.times.capacity(), 0u);  // the earlier samples' memory is returned
}

TEST_F(LoadedRecordingTest, HeaderWithoutSamplesKeepsItsText) {
    RecordingSpec headerOnly;
    headerOnly.samples = 0;
    headerOnly.tailBytes = 7;
    EXPECT_FALSE(recording.LoadRecording(Wide(Write("short.bin", headerOnly)), summary));
    ExpectEmpty();
    EXPECT_EQ(recording.headerText, "Tavomir Morvanex A 2 acceleration gen");
}

TEST_F(LoadedRecordingTest, OpensNamesNoAnsiCodePageCanExpress) {
    // Hangul and a character outside the Basic Multilingual Plane: no best-fit stand-in exists.
    const std::wstring path = Wide(dir.path()) + L"/记录-\uD55C\uAE00-\U0001F600.bin";
    WriteFile(PathFromWide(path), GenerateRecording({}));
    EXPECT_TRUE(recording.LoadRecording(path, summary));
    EXPECT_EQ(recording.rows.size(), 100u);
}

TEST_F(LoadedRecordingTest, PathsThatNameNoFileFail) {
    const std::wstring existing = Wide(Write("a.bin", {}));
    const std::wstring withNul = existing + std::wstring(1, L'\0') + L"more";
    for (const std::wstring& path :
         {std::wstring(), withNul, Wide(dir / "absent.bin"), Wide(dir.path())}) {
        EXPECT_FALSE(recording.LoadRecording(path, summary));
        ExpectEmpty();
    }
}

}  // namespace
