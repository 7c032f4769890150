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

TEST(Text, Utf8BothWaysAndTheSystemCodePage) {
    // Malformed input: one replacement for each longest valid prefix, or for each stray byte.
    const std::pair<std::string, std::wstring> decoded[] = {
        {"plain \xC2\xA9\xC4\x80\xE6\xB5\x8B", L"plain ©Ā测"},
        {"\xF0\x9F\x98\x80\xF1\x80\x80\x80", L"\U0001F600\U00040000"},
        {"a\xFF\xC3\xC0\xC0\xAF", L"a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xE0\x80\xF0\x80\xED\xA0", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xE6\xB5x\xF4\x90\xF5\x80", L"\uFFFDx\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80", L"\u07FF\u0800\uFFFF\U00010000"},
    };
    for (const auto& [utf8, wide] : decoded) EXPECT_EQ(WideFromUtf8(utf8), wide);
    const wchar_t pair[] = {static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0xDC00), 0};
    const std::pair<std::wstring, std::string> encoded[] = {
        {L"plain ©Ā测", "plain \xC2\xA9\xC4\x80\xE6\xB5\x8B"},
        {L"\U0001F600", "\xF0\x9F\x98\x80"},
        {L"\u07FF\u0800\uFFFF\U00010000", "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80"},
        {pair + 1, "\xEF\xBF\xBD"},
        // Where wchar_t holds UTF-32, surrogates are not characters.
        {pair, sizeof(wchar_t) == 2 ? "\xF0\x90\x80\x80" : "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& [wide, utf8] : encoded) EXPECT_EQ(Utf8FromWide(wide), utf8);
#ifdef _WIN32
    EXPECT_EQ(WideFromNarrow("\xB2\xE2\xCA\xD4 ok"),
              L"测试 ok");  // the tests run under code page 936
#else
    EXPECT_EQ(WideFromNarrow("\xE6\xB5\x8B\xE8\xAF\x95 ok\xB2"), L"测试 ok\uFFFD");
#endif
}

}  // namespace
