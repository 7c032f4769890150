#pragma once

#include <cstddef>
#include <cstdint>

#include "CellStyle.h"
#include "NumberCell.h"
#include "RecordingTypes.h"

// What each line of a CSV holds: the stamp as recorded when stampUnit is given ("ns", "ms"), the
// time when withTimes, then columnCount values, numbers in style.
struct CsvLayout {
    std::int32_t columnCount;
    bool withTimes;
    CellStyle style;
    const char* stampUnit;
};

// A line holds a stamp (20 digits at most), the time and three values: five cells, four
// separators and CR LF.
constexpr std::size_t kMaxCsvLineBytes = 20 + 4 * kMaxNumberCellBytes + 4 + 2;

// Writes the header line into out, which holds kMaxCsvLineBytes bytes, and returns its end.
char* FormatCsvHeader(char* out, const CsvLayout& layout);

// Formats count lines into out, which holds count * kMaxCsvLineBytes bytes, and returns the end
// of the text. times is read only withTimes, stamps only with a stamp unit.
char* FormatCsvLines(char* out, const CsvLayout& layout, const double* times, const SampleRow* rows,
                     std::size_t count, const std::uint64_t* stamps);
