#pragma once

#include <cstddef>
#include <cstdint>

#include "CsvLines.h"
#include "OutputFile.h"

// The reference for the CSV on one thread: writes CSV text through a buffer: the bytes are those of
// cell-by-cell writing, in fewer, larger writes. After a failed write nothing more is written and
// every call returns false.
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

    static constexpr std::size_t kBufferBytes = 1 << 16;

    OutputFile& m_file;
    CsvLayout m_layout;
    bool m_failed = false;
    std::size_t m_used = 0;
    char m_buffer[kBufferBytes];
};
