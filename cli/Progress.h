#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A line such as "oscimo2csv: walk.bin: 42%" on a terminal during a long walk through a recording.
// It appears only once the walk has run for about a second, so quick conversions stay silent, is
// rewritten in place when the percentage changes and is erased by Finish, leaving the line clean
// for the message that follows. It stays narrower than the terminal: a wrapped line is one '\r'
// cannot return to, and every rewrite would leave a row behind.
class Progress {
public:
    using Clock = std::chrono::steady_clock;
    using Show = std::function<void(std::string_view text)>;

    // label is the line's text before ": 42%"; show puts text on the terminal as it is. width is
    // the terminal's in columns, 0 when unknown: a longer label loses its middle to "...", and a
    // terminal too narrow for any line shows none.
    Progress(std::string label, Show show, std::size_t width = 0,
             Clock::time_point start = Clock::now());
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // done of total samples; nothing is shown while total is unknown (0).
    void Update(std::uint64_t done, std::uint64_t total, Clock::time_point now = Clock::now());

    // Erases the line if it was shown; further updates show nothing.
    void Finish();

    static constexpr std::chrono::milliseconds kDelay{1000};

private:
    std::string m_label;
    Show m_show;
    Clock::time_point m_start;
    int m_shownPercent = -1;  // -1 while nothing is on the line
    std::size_t m_shownColumns = 0;
    bool m_finished = false;
};
