#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "LoadedRecording.h"
#include "OutputFile.h"
#include "RecordingTypes.h"

// How number cells are written: the dialog's six significant digits, a chosen number of
// significant digits (1 to 17) in the same style, or the fewest digits that read back exactly.
struct CellStyle {
    enum class Kind { SixDigits, Digits, RoundTrip };
    Kind kind = Kind::SixDigits;
    int digits = 6;  // used by Digits only

    static CellStyle WithDigits(int significantDigits) { return {Kind::Digits, significantDigits}; }
    static CellStyle RoundTrip() { return {Kind::RoundTrip, 0}; }

    bool operator==(const CellStyle&) const = default;
};

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
    template <typename FormatCell>
    bool WriteRowsWith(const double* times, const SampleRow* rows, std::size_t count,
                       const std::uint64_t* stamps, FormatCell formatCell);
    bool Reserve(std::size_t bytes);
    void Put(const char* text, std::size_t size);

    static constexpr std::size_t kBufferBytes = 1 << 16;

    OutputFile& m_file;
    std::int32_t m_columnCount;
    bool m_withTimes;
    CellStyle m_style;
    const char* m_stampUnit;
    bool m_failed = false;
    std::size_t m_used = 0;
    char m_buffer[kBufferBytes];
};

// Writes the whole recording: "Time(s)" first when it has times, then X, Y, Z as columns.
// False when a write failed; the file then holds an unfinished text.
bool WriteCsv(OutputFile& file, const LoadedRecording& recording);

// The suggested export name: the file name after the last backslash plus ".csv"; empty when
// the path is empty or has no backslash past its first character.
std::wstring DefaultExportName(const std::wstring& sourcePath);
