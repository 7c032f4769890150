#include "CsvWriter.h"

#include <algorithm>

CsvWriter::CsvWriter(OutputFile& file, std::int32_t columnCount, bool withTimes, CellStyle style,
                     const char* stampUnit)
    : m_file(file), m_layout{columnCount, withTimes, style, stampUnit} {}

bool CsvWriter::Reserve(std::size_t bytes) {
    if (m_failed) return false;
    if (kBufferBytes - m_used < bytes) return Flush();
    return true;
}

bool CsvWriter::Flush() {
    if (m_failed) return false;
    if (m_used > 0 && !m_file.Write(m_buffer, m_used)) m_failed = true;
    m_used = 0;
    return !m_failed;
}

bool CsvWriter::WriteHeaderLine() {
    if (!Reserve(kMaxCsvLineBytes)) return false;
    m_used = static_cast<std::size_t>(FormatCsvHeader(m_buffer + m_used, m_layout) - m_buffer);
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
