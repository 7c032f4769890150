#include "Progress.h"

#include <algorithm>
#include <utility>

namespace {

// Terminal columns a UTF-8 text takes, erring high: a character beyond ASCII may be wide
// (CJK file names are), and erasing too little would leave part of the line behind.
std::size_t ColumnsOf(std::string_view utf8) {
    std::size_t columns = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            ++columns;
        } else if (byte >= 0xC0) {
            columns += 2;
        }
    }
    return columns;
}

}  // namespace

Progress::Progress(std::string label, Show show, Clock::time_point start)
    : m_label(std::move(label)), m_show(std::move(show)), m_start(start) {}

Progress::~Progress() {
    // Reached while a failure unwinds too (out of memory): erasing is worth a try, no more.
    try {
        Finish();
    } catch (...) {
    }
}

void Progress::Update(std::uint64_t done, std::uint64_t total, Clock::time_point now) {
    if (m_finished || total == 0 || now - m_start < kDelay) return;
    // A file that grows while it is read may yield more samples than its size promised.
    const int percent =
        done >= total
            ? 100
            : static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
    if (percent == m_shownPercent) return;
    std::string line = m_label + ": " + std::to_string(percent) + "%";
    const std::size_t columns = ColumnsOf(line);
    if (columns < m_shownColumns) line.append(m_shownColumns - columns, ' ');
    m_show("\r" + line);
    m_shownPercent = percent;
    m_shownColumns = std::max(columns, m_shownColumns);
}

void Progress::Finish() {
    if (m_finished) return;
    m_finished = true;
    if (m_shownPercent < 0) return;
    m_show("\r" + std::string(m_shownColumns, ' ') + "\r");
}
