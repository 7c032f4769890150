#pragma once

#include <cstddef>
#include <cstdint>

#include "CellStyle.h"
#include "NumberCell.h"
#include "OutputFile.h"
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

// Formats count lines into out, which holds count * kMaxCsvLineBytes bytes, and returns the end
// of the text. times is read only withTimes, stamps only with a stamp unit.
char* FormatCsvLines(char* out, const CsvLayout& layout, const double* times, const SampleRow* rows,
                     std::size_t count, const std::uint64_t* stamps);

// Writes CSV text through a buffer: the bytes are those of cell-by-cell writing, in fewer,
// larger writes. After a failed write nothing more is written and every call returns false.
class CsvWriter {
public:
    // stampUnit, when given ("ns", "ms"), puts each sample's stamp as recorded first, in a
    // column headed Stamp(UNIT).
    CsvWriter(OutputFile& file, std::int32_t columnCount, bool withTimes, CellStyle style = {},
              const char* stampUnit = nullptr);

    bool WriteHeaderLine();

    // One line per row; times is read only when the writer was made withTimes, stamps only when
    // it was made with a stamp unit.
    bool WriteRows(const double* times, const SampleRow* rows, std::size_t count,
                   const std::uint64_t* stamps = nullptr);

    // Hands the buffered bytes to the file; call once after the last row.
    bool Flush();

private:
    bool Reserve(std::size_t bytes);
    void Put(const char* text, std::size_t size);

    static constexpr std::size_t kBufferBytes = 1 << 16;

    OutputFile& m_file;
    CsvLayout m_layout;
    bool m_failed = false;
    std::size_t m_used = 0;
    char m_buffer[kBufferBytes];
};
