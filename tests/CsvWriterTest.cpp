#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CsvWriter.h"
#include "LoadedRecording.h"
#include "MemoryFile.h"
#include "OutputFile.h"

namespace {

// Accepts the first `accepted` writes, fails the next one and counts any attempted after it.
class FailingFile final : public OutputFile {
public:
    explicit FailingFile(std::size_t acceptedWrites) : accepted(acceptedWrites) {}
    bool Write(const char*, std::size_t) override {
        if (failed) {
            ++writesAfterFailure;
            return false;
        }
        failed = writes++ == accepted;
        return !failed;
    }
    std::size_t accepted;
    std::size_t writes = 0;
    std::size_t writesAfterFailure = 0;
    bool failed = false;
};

LoadedRecording MakeRecording(std::int32_t columnCount, std::vector<double> times,
                              std::vector<SampleRow> rows) {
    LoadedRecording recording;
    recording.columnCount = columnCount;
    recording.times = std::move(times);
    recording.rows = std::move(rows);
    return recording;
}

// One cell as printf "%.{digits}g" writes it, the exponent widened to three digits.
std::string ReferenceCell(double value, int digits = 6) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    std::string text(buffer, static_cast<std::size_t>(length));
    const std::size_t e = text.find('e');
    if (e != std::string::npos && text.size() - e == 4) text.insert(e + 2, 1, '0');
    return text;
}

// The cell with the fewest significant digits that strtod reads back to exactly value.
std::string RoundTripCell(double value) {
    for (int digits = 1; digits < 17; ++digits) {
        const std::string cell = ReferenceCell(value, digits);
        if (std::strtod(cell.c_str(), nullptr) == value) return cell;
    }
    return ReferenceCell(value, 17);
}

// A large recording of long and short cells, so lines straddle every buffer boundary.
LoadedRecording RandomRecording(std::size_t rowCount) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> decade(-8.0, 9.0);
    LoadedRecording recording = MakeRecording(3, {}, {});
    for (std::size_t i = 0; i < rowCount; ++i) {
        double bits = std::bit_cast<double>(random());
        if (!std::isfinite(bits)) bits = -DBL_MAX;
        recording.times.push_back(static_cast<double>(i) * 0.02);
        recording.rows.push_back({{bits, -std::pow(10.0, decade(random)),
                                   static_cast<double>(static_cast<float>(decade(random)))}});
    }
    return recording;
}

}  // namespace

TEST(CsvWriter, Layouts) {
    const struct {
        const char* name;
        LoadedRecording recording;
        const char* expected;
    } cases[] = {
        {"one column with times", MakeRecording(1, {0, 0.02}, {{{1.5}}, {{1.75}}}),
         "Time(s),X\r\n0,1.5\r\n0.02,1.75\r\n"},
        {"three columns with times", MakeRecording(3, {0, 0.5}, {{{1, 2, 3}}, {{-4, 5e-7, 6e6}}}),
         "Time(s),X,Y,Z\r\n0,1,2,3\r\n0.5,-4,5e-007,6e+006\r\n"},
        {"three columns, no times", MakeRecording(3, {}, {{{1, 2, 3}}, {{4, 5, 6}}}),
         "X,Y,Z\r\n1,2,3\r\n4,5,6\r\n"},
        {"one column, no times", MakeRecording(1, {}, {{{1.5}}, {{1.75}}}), "X\r\n1.5\r\n1.75\r\n"},
        {"fewer times than rows", MakeRecording(1, {0}, {{{1.5}}, {{1.75}}}),
         "X\r\n1.5\r\n1.75\r\n"},
        {"no rows", MakeRecording(1, {}, {}), "Time(s),X\r\n"},
        {"unused slots hold data", MakeRecording(1, {0}, {{{1.5, 7, 8}}}),
         "Time(s),X\r\n0,1.5\r\n"},
    };
    for (const auto& c : cases) {
        MemoryFile file;
        EXPECT_TRUE(WriteCsv(file, c.recording)) << c.name;
        EXPECT_EQ(file.bytes, c.expected) << c.name;
    }
}

TEST(CsvWriter, BufferedOutputEqualsCellByCellOutput) {
    const std::size_t rowCount = 200000;
    const LoadedRecording recording = RandomRecording(rowCount);
    std::string expected = "Time(s),X,Y,Z\r\n";
    for (std::size_t i = 0; i < rowCount; ++i) {
        expected += ReferenceCell(recording.times[i]);
        for (const double value : recording.rows[i].values) {
            expected += ',';
            expected += ReferenceCell(value);
        }
        expected += "\r\n";
    }
    MemoryFile file;
    ASSERT_TRUE(WriteCsv(file, recording));
    EXPECT_TRUE(file.bytes == expected) << "output differs from cell-by-cell writing";
    EXPECT_LT(file.writes, rowCount / 100);
}

TEST(CsvWriter, CellStyles) {
    // Random values, and rows of the longest cells any style writes, so that long lines
    // straddle the buffer's boundaries too.
    LoadedRecording recording = RandomRecording(30000);
    for (std::size_t i = 0; i < 5000; ++i) {
        recording.times.push_back(-2.2250738585072009e-308);
        recording.rows.push_back(
            {{-2.2250738585072009e-308, -1.7976931348623157e+308, -4.9406564584124654e-324}});
    }
    const struct {
        const char* name;
        CellStyle style;
        std::string (*cell)(double);
    } cases[] = {
        {"six digits", CellStyle{}, [](double v) { return ReferenceCell(v); }},
        {"--digits 1", CellStyle::WithDigits(1), [](double v) { return ReferenceCell(v, 1); }},
        {"--digits 6", CellStyle::WithDigits(6), [](double v) { return ReferenceCell(v); }},
        {"--digits 17", CellStyle::WithDigits(17), [](double v) { return ReferenceCell(v, 17); }},
        {"--round-trip", CellStyle::RoundTrip(), RoundTripCell},
    };
    for (const auto& c : cases) {
        std::string expected = "Time(s),X,Y,Z\r\n";
        for (std::size_t i = 0; i < recording.rows.size(); ++i) {
            expected += c.cell(recording.times[i]);
            for (const double value : recording.rows[i].values) {
                expected += ',';
                expected += c.cell(value);
            }
            expected += "\r\n";
        }
        MemoryFile file;
        const auto writer = std::make_unique<CsvWriter>(file, 3, true, c.style);
        ASSERT_TRUE(writer->WriteHeaderLine() &&
                    writer->WriteRows(recording.times.data(), recording.rows.data(),
                                      recording.rows.size()) &&
                    writer->Flush())
            << c.name;
        EXPECT_TRUE(file.bytes == expected) << c.name << ": output differs from cell-by-cell";
    }
}

TEST(CsvWriter, FailedWriteStopsEverything) {
    const LoadedRecording recording = RandomRecording(20000);
    MemoryFile complete;
    ASSERT_TRUE(WriteCsv(complete, recording));
    ASSERT_GE(complete.writes, 3u);
    for (const std::size_t failing : {std::size_t{0}, complete.writes / 2, complete.writes - 1}) {
        FailingFile file(failing);
        EXPECT_FALSE(WriteCsv(file, recording)) << "failing write " << failing;
        EXPECT_EQ(file.writes, failing + 1);
        EXPECT_EQ(file.writesAfterFailure, 0u) << "failing write " << failing;
    }
    FailingFile headerOnly(0);
    EXPECT_FALSE(WriteCsv(headerOnly, MakeRecording(3, {}, {})));
}

TEST(CsvWriter, DefaultExportName) {
    const struct {
        const wchar_t* path;
        const wchar_t* name;
    } cases[] = {
        {L"C:\\data\\a.bin", L"a.bin.csv"},
        {L"D:\\logs\\walk.bin", L"walk.bin.csv"},
        {L"run7.dat", L""},
        {L"", L""},
        {L"\\x.bin", L""},
        {L"C:\\dir\\", L".csv"},
        {L"C:\\a\\b\\c.d.e", L"c.d.e.csv"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DefaultExportName(c.path), std::wstring(c.name));
    }
}
