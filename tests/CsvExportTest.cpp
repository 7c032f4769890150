#include <gtest/gtest.h>

#include <cfloat>

#include "CsvExport.h"
#include "MemoryFile.h"

namespace {

LoadedRecording Recording(std::vector<double> times, std::vector<SampleRow> rows, int columns) {
    return {"", std::move(times), std::move(rows), columns};
}

TEST(CsvExport, Layouts) {
    const struct {
        LoadedRecording recording;
        const char* csv;
    } cases[] = {
        {Recording({0, 0.02}, {{{1.5}}, {{1.75}}}, 1), "Time(s),X\r\n0,1.5\r\n0.02,1.75\r\n"},
        {Recording({0, 0.5}, {{{1, 2, 3}}, {{-4, 5e-7, 6e6}}}, 3),
         "Time(s),X,Y,Z\r\n0,1,2,3\r\n0.5,-4,5e-007,6e+006\r\n"},
        {Recording({}, {{{1, 2, 3}}, {{4, 5, 6}}}, 3), "X,Y,Z\r\n1,2,3\r\n4,5,6\r\n"},
        {Recording({0}, {{{1.5}}, {{1.75}}}, 1), "X\r\n1.5\r\n1.75\r\n"},  // fewer times than rows
        {Recording({}, {}, 1), "Time(s),X\r\n"},
        {Recording({0}, {{{1.5, 7, 8}}}, 1), "Time(s),X\r\n0,1.5\r\n"},  // unused slots
    };
    for (const auto& c : cases) {
        MemoryFile file;
        EXPECT_TRUE(WriteCsv(file, c.recording));
        EXPECT_EQ(file.bytes, c.csv);
    }
}

TEST(CsvExport, AFailedWriteStopsEverything) {
    // A whole block in slices, some written by the writing thread, and a short last block.
    constexpr std::size_t kRows = 131'072 + 1'000;
    const LoadedRecording recording = Recording(std::vector<double>(kRows, -DBL_MIN),
                                                {kRows, {{-DBL_MAX, -DBL_TRUE_MIN, 0.5}}}, 3);
    MemoryFile complete;
    ASSERT_TRUE(WriteCsv(complete, recording));
    std::string expected = "Time(s),X,Y,Z\r\n";
    for (std::size_t row = 0; row < kRows; ++row)
        expected += "-2.22507e-308,-1.79769e+308,-4.94066e-324,0.5\r\n";
    EXPECT_TRUE(complete.bytes == expected);
    EXPECT_LT(complete.writes, 100u);  // buffered
    for (const bool throws : {false, true}) {
        for (std::size_t failing = 0; failing < complete.writes; ++failing) {
            MemoryFile file;
            file.failFrom = failing;
            file.throws = throws;
            if (throws) {
                EXPECT_THROW(WriteCsv(file, recording), std::runtime_error);  // on either core
            } else {
                EXPECT_FALSE(WriteCsv(file, recording));
            }
            EXPECT_EQ(file.writes, failing + 1);  // none after the failed one
        }
    }
}

TEST(CsvExport, DefaultExportName) {
    EXPECT_EQ(DefaultExportName(L"C:\\data\\a.bin"), L"a.bin.csv");
    EXPECT_EQ(DefaultExportName(L"C:\\a\\b\\c.d.e"), L"c.d.e.csv");
    EXPECT_EQ(DefaultExportName(L"C:\\dir\\"), L".csv");
    for (const wchar_t* none : {L"run7.dat", L"", L"\\x.bin"})
        EXPECT_EQ(DefaultExportName(none), L"");
}

}  // namespace
