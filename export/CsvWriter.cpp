#include "CsvWriter.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

#include "NumberCell.h"

namespace {

// A line holds a stamp (20 digits at most), the time and three values: five cells, four
// separators and CR LF.
constexpr std::size_t kMaxLineBytes = 20 + 4 * kMaxNumberCellBytes + 4 + 2;

// The longest 17-digit cell, "-1.2345678901234567e-308", must fit a line's reservation.
static_assert(kMaxNumberCellBytes >= 24);

}  // namespace

CsvWriter::CsvWriter(OutputFile& file, std::int32_t columnCount, bool withTimes, CellStyle style,
                     const char* stampUnit)
    : m_file(file),
      m_columnCount(columnCount),
      m_withTimes(withTimes),
      m_style(style),
      m_stampUnit(stampUnit) {}

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
    if (!Reserve(kMaxLineBytes)) return false;
    if (m_stampUnit) {
        Put("Stamp(", 6);
        Put(m_stampUnit, std::strlen(m_stampUnit));
        Put("),", 2);
    }
    if (m_withTimes) Put("Time(s)", 7);
    static const char kNames[] = {'X', 'Y', 'Z'};
    for (std::int32_t c = 0; c < m_columnCount && c < 3; ++c) {
        if (m_withTimes || c > 0) Put(",", 1);
        Put(&kNames[c], 1);
    }
    Put("\r\n", 2);
    return true;
}

template <typename FormatCell>
bool CsvWriter::WriteRowsWith(const double* times, const SampleRow* rows, std::size_t count,
                              const std::uint64_t* stamps, FormatCell formatCell) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!Reserve(kMaxLineBytes)) return false;
        char* out = m_buffer + m_used;
        if (m_stampUnit) {
            out = std::to_chars(out, out + 20, stamps[i]).ptr;
            *out++ = ',';
        }
        if (m_withTimes) out += formatCell(times[i], out);
        for (std::int32_t c = 0; c < m_columnCount && c < 3; ++c) {
            if (m_withTimes || c > 0) *out++ = ',';
            out += formatCell(rows[i].values[c], out);
        }
        *out++ = '\r';
        *out++ = '\n';
        m_used = static_cast<std::size_t>(out - m_buffer);
    }
    return true;
}

// The style is chosen once per call, and each style has its own row loop with a direct
// call to its formatter: the default path costs what it did before styles existed.
bool CsvWriter::WriteRows(const double* times, const SampleRow* rows, std::size_t count,
                          const std::uint64_t* stamps) {
    switch (m_style.kind) {
        case CellStyle::Kind::Digits: {
            const int digits = m_style.digits;
            return WriteRowsWith(times, rows, count, stamps, [digits](double value, char* out) {
                return FormatNumberCellWithDigits(value, digits, out);
            });
        }
        case CellStyle::Kind::RoundTrip:
            return WriteRowsWith(times, rows, count, stamps, [](double value, char* out) {
                return FormatNumberCellRoundTrip(value, out);
            });
        case CellStyle::Kind::SixDigits:
            break;
    }
    return WriteRowsWith(times, rows, count, stamps,
                         [](double value, char* out) { return FormatNumberCell(value, out); });
}
