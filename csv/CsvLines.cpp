#include "CsvLines.h"

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

char* FormatCsvHeader(char* out, const CsvLayout& layout) {
    if (layout.stampUnit) {
        out = std::copy_n("Stamp(", 6, out);
        out = std::copy_n(layout.stampUnit, std::strlen(layout.stampUnit), out);
        out = std::copy_n("),", 2, out);
    }
    if (layout.withTimes) out = std::copy_n("Time(s)", 7, out);
    for (std::int32_t c = 0; c < layout.columnCount && c < 3; ++c) {
        if (layout.withTimes || c > 0) *out++ = ',';
        *out++ = "XYZ"[c];
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}
