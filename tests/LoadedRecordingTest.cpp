#include <gtest/gtest.h>

#include "CsvExport.h"
#include "LoadedRecording.h"
#include "MemoryFile.h"
#include "Platform.h"
#include "RecordingGenerator.h"
#include "SampleReader.h"
#include "TempDir.h"
#include "Utf8.h"

namespace {

class LoadedRecordingTest : public testing::Test {
protected:
    std::wstring Write(const std::string& name, const std::string& bytes) {
        WriteFile(dir / name, bytes);
        return (dir / name).wstring();
    }
    void ExpectEmpty() const {
        EXPECT_TRUE(recording.times.empty() && recording.rows.empty());
        EXPECT_EQ(recording.columnCount, 0);
    }

    TempDir dir;
    LoadedRecording recording;
    std::wstring summary = L"before";
};

// Two small recordings, byte by byte, and exactly what a user sees of them.
TEST_F(LoadedRecordingTest, WorkedRecordingsGiveTheirSummaryAndCsv) {
    const struct {
        std::string bytes;
        std::wstring summary;
        std::string csv;
    } cases[] = {
        {"Tavomir Morvanex A 2 speed s1\n" +
             std::string("\0\0\0\0\0\0\x03\xE8\x3F\xC0\0\0\0\0\0\0\0\0\x03\xFC\xBE\x80\0\0", 24),
         L"Tavomir Morvanex A 2 speed s1\r\n数量：2\r\n时间：是\r\n数据列：1\r\n",
         "Time(s),X\r\n0,1.5\r\n0.02,-0.25\r\n"},
        {"Tavomir Morvanex A 2 acceleration dev1\n" + BigEndian64(1'000'000'000) +
             BigEndianFloat(1) + BigEndianFloat(-2.5e-7f) + BigEndianFloat(3e6f) +
             BigEndian64(1'500'000'000) + BigEndianFloat(0.1f) + BigEndianFloat(-0.0f) +
             BigEndianFloat(123456789.0f),
         L"Tavomir Morvanex A 2 acceleration dev1\r\n数量：2\r\n时间：是\r\n数据列：3\r\n",
         "Time(s),X,Y,Z\r\n0,1,-2.5e-007,3e+006\r\n0.5,0.1,-0,1.23457e+008\r\n"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(recording.LoadRecording(Write("worked.bin", c.bytes), summary));
        EXPECT_EQ(summary, c.summary);
        MemoryFile csv;
        EXPECT_TRUE(WriteCsv(csv, recording));
        EXPECT_EQ(csv.bytes, c.csv);
    }
    recording.times.pop_back();  // rows without one time each: no time column, "否"
    EXPECT_EQ(recording.BuildSummaryText(),
              L"Tavomir Morvanex A 2 acceleration dev1\r\n数量：2\r\n时间：否\r\n数据列：3\r\n");
    EXPECT_EQ(LoadedRecording{}.BuildSummaryText(), L"\r\n数量：0\r\n时间：是\r\n数据列：0\r\n");
}

TEST_F(LoadedRecordingTest, AFailedLoadLeavesNothingOfTheEarlierRecording) {
    ASSERT_TRUE(recording.LoadRecording(Write("good.bin", GenerateRecording({})), summary));
    const std::wstring goodSummary = summary;
    EXPECT_FALSE(recording.LoadRecording(
        Write("bad.bin", GenerateRecording({.family = "morvanex"})), summary));
    ExpectEmpty();
    EXPECT_EQ(recording.headerText, "");
    EXPECT_EQ(summary, goodSummary);
    EXPECT_EQ(recording.times.capacity(), 0u);  // the memory is returned

    EXPECT_FALSE(recording.LoadRecording(
        Write("short.bin", GenerateRecording({.samples = 0, .tailBytes = 7})), summary));
    ExpectEmpty();
    FailBodyReadsForTesting(100, EIO);  // nothing is kept of a body cut short by a read error
    EXPECT_FALSE(recording.LoadRecording(Write("cut.bin", GenerateRecording({})), summary));
    FailBodyReadsForTesting(0, 0);
    ExpectEmpty();
    EXPECT_EQ(recording.headerText, "Tavomir Morvanex A 2 acceleration gen");
}

TEST_F(LoadedRecordingTest, OpensExactlyTheNamedFile) {
    // Hangul and a character beyond the Basic Multilingual Plane: no code page has them.
    const std::wstring path = dir.path().wstring() + L"/记录-\uD55C\U0001F600.bin";
    WriteFile(PathFromWide(path), GenerateRecording({}));
    EXPECT_TRUE(recording.LoadRecording(path, summary));
    EXPECT_EQ(recording.rows.size(), 100u);

    const std::wstring withNul = path + std::wstring(1, L'\0') + L"more";
    for (const std::wstring& named :
         {std::wstring(), withNul, (dir / "absent").wstring(), dir.path().wstring()}) {
        EXPECT_FALSE(recording.LoadRecording(named, summary));
        ExpectEmpty();
    }
}

}  // namespace
