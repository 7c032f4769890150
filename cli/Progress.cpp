#include "Progress.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "Utf8.h"

namespace {

constexpr std::string_view kEllipsis = "...";
constexpr std::size_t kPercentColumns = 6;  // ": 100%"

// Terminal columns, erring high: a character beyond ASCII may be wide (CJK file names are), and
// a malformed one shows as a replacement character, which may be too; erasing too little would
// leave part of the line behind.
std::size_t ColumnsOf(const Utf8Character& character) {
    return character.code < 0x80 ? 1 : 2;
}

std::size_t ColumnsOf(std::string_view utf8) {
    std::size_t columns = 0;
    ForEachUtf8Character(utf8, [&columns](const Utf8Character& c) { columns += ColumnsOf(c); });
    return columns;
}

// The label in at most `columns` columns (at least the ellipsis's): whole characters from both
// ends around "...", so the start and the end of a long file name both stay in view.
std::string ShortenedInTheMiddle(const std::string& label, std::size_t columns) {
    struct Character {
        std::size_t begin, columns;
    };
    std::vector<Character> characters;
    std::size_t total = 0;
    ForEachUtf8Character(label, [&](const Utf8Character& c) {
        characters.push_back(
            {static_cast<std::size_t>(c.bytes.data() - label.data()), ColumnsOf(c)});
        total += characters.back().columns;
    });
    if (total <= columns) return label;
    const std::size_t room = columns - kEllipsis.size();
    std::size_t head = 0, used = 0;
    while (used + characters[head].columns <= room / 2) used += characters[head++].columns;
    std::size_t tail = characters.size();
    while (used + characters[tail - 1].columns <= room) used += characters[--tail].columns;
    const std::size_t tailBegin = tail < characters.size() ? characters[tail].begin : label.size();
    return label.substr(0, characters[head].begin) + std::string(kEllipsis) +
           label.substr(tailBegin);
}

}  // namespace

Progress::Progress(std::string label, Show show, std::size_t width, Clock::time_point start)
    : m_show(std::move(show)), m_start(start) {
    // Strictly narrower than the terminal, at 100% too: a line of exactly its width wraps on some.
    if (width == 0) {
        m_label = std::move(label);
    } else if (width > kPercentColumns + kEllipsis.size()) {
        m_label = ShortenedInTheMiddle(label, width - 1 - kPercentColumns);
    } else {
        m_finished = true;
    }
}

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
