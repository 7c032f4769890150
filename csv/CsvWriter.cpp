#include "CsvWriter.h"

#include <algorithm>
#include <charconv>
#include <cstring>

// The longest 17-digit cell, "-1.2345678901234567e-308", must fit a line's reservation.
static_assert(kMaxNumberCellBytes >= 24);

namespace {

template <typename FormatCell>
char* FormatLinesWith(char* out, const CsvLayout& layout, const double* times,
                      const SampleRow* rows, std::size_t count, const std::uint64_t* stamps,
                      FormatCell formatCell) {
    const std::int32_t columns = std::min(layout.columnCount, 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (layout.stampUnit) {
            out = std::to_chars(out, out + 20, stamps[i]).ptr;
            *out++ = ',';
        }
        if (layout.withTimes) out += formatCell(times[i], out);
        for (std::int32_t c = 0; c < columns; ++c) {
            if (layout.withTimes || c > 0) *out++ = ',';
            out += formatCell(rows[i].values[c], out);
        }
        *out++ = '\r';
        *out++ = '\n';
    }
    return out;
}

}  // namespace

// The style is chosen once per call, and each style has its own line loop with a direct call to
// its formatter: the default path costs what it did before styles existed.
char* FormatCsvLines(char* out, const CsvLayout& layout, const double* times, const SampleRow* rows,
                     std::size_t count, const std::uint64_t* stamps) {
    switch (layout.style.kind) {
        case CellStyle::Kind::Digits: {
            const int digits = layout.style.digits;
            return FormatLinesWith(out, layout, times, rows, count, stamps,
                                   [digits](double value, char* cell) {
                                       return FormatNumberCellWithDigits(value, digits, cell);
                                   });
        }
        case CellStyle::Kind::RoundTrip:
            return FormatLinesWith(
                out, layout, times, rows, count, stamps,
                [](double value, char* cell) { return FormatNumberCellRoundTrip(value, cell); });
        case CellStyle::Kind::SixDigits:
            break;
    }
    return FormatLinesWith(out, layout, times, rows, count, stamps,
                           [](double value, char* cell) { return FormatNumberCell(value, cell); });
}

CsvWriter::CsvWriter(OutputFile& file, std::int32_t columnCount, bool withTimes, CellStyle style,
                     const char* stampUnit)
    : m_file(file), m_layout{columnCount, withTimes, style, stampUnit} {}

bool CsvWriter::Reserve(std::size_t bytes) {
    if (m_failed) return false;
    if (kBufferBytes - m_used < bytes) return Flush();
    return true;
}

void CsvWriter::Put(const char* text, std::size_t size) {
    std::memcpy(m_buffer + m_used, text, size);
    m_used += size;
}

bool CsvWriter::Flush() {
    if (m_failed) return false;
    if (m_used > 0 && !m_file.Write(m_buffer, m_used)) m_failed = true;
    m_used = 0;
    return !m_failed;
}

bool CsvWriter::WriteHeaderLine() {
    if (!Reserve(kMaxCsvLineBytes)) return false;
    if (m_layout.stampUnit) {
        Put("Stamp(", 6);
        Put(m_layout.stampUnit, std::strlen(m_layout.stampUnit));
        Put("),", 2);
    }
    if (m_layout.withTimes) Put("Time(s)", 7);
    static const char kNames[] = {'X', 'Y', 'Z'};
    for (std::int32_t c = 0; c < m_layout.columnCount && c < 3; ++c) {
        if (m_layout.withTimes || c > 0) Put(",", 1);
        Put(&kNames[c], 1);
    }
    Put("\r\n", 2);
    return true;
}

bool CsvWriter::WriteRows(const double* times, const SampleRow* rows, std::size_t count,
                          const std::uint64_t* stamps) {
    while (count > 0) {
        if (!Reserve(kMaxCsvLineBytes)) return false;
        const std::size_t lines = std::min(count, (kBufferBytes - m_used) / kMaxCsvLineBytes);
        char* const end = FormatCsvLines(m_buffer + m_used, m_layout, times, rows, lines, stamps);
        m_used = static_cast<std::size_t>(end - m_buffer);
        if (times) times += lines;
        if (stamps) stamps += lines;
        rows += lines;
        count -= lines;
    }
    return !m_failed;
}
