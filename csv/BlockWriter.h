#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "CsvLines.h"
#include "OutputFile.h"
#include "RecordingTypes.h"
#include "Worker.h"

// Writes a recording's CSV block by block, for the converter and the dialog alike. Every block
// goes out in slices, each cut into parts that the formatting threads (this one and one more per
// further core) format at once; a writing thread of its own writes them, in order, while the next
// slice is formatted. The text is that of formatting in order, and memory is two slices' text
// whatever the thread count. A write that throws (the dialog's files do) leaves through the next
// Write or Finish.
class BlockWriter {
public:
    // stampUnit, when given, puts the stamps as recorded first (CsvWriter). threads is how many
    // threads format, 0 for one per core; threads that cannot start only make it slower.
    BlockWriter(OutputFile& out, CellStyle style, bool withTimes = true,
                const char* stampUnit = nullptr, unsigned threads = 0);
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // Writes count rows, and the header line before the first block; false once any write
    // failed. The rows may go once it returns. times is read only when the writer was made
    // withTimes, stamps only when it was made with a stamp unit.
    bool Write(std::int32_t columns, const double* times, const SampleRow* rows, std::size_t count,
               const std::uint64_t* stamps = nullptr);

    // Waits until every block is written; call after the last one. False once any write failed.
    bool Finish();

private:
    struct Rows {
        const double* times;
        const SampleRow* rows;
        const std::uint64_t* stamps;
    };
    // One thread's share of a block as text, in a buffer that grows to the largest share.
    struct Part {
        std::unique_ptr<char[]> text;
        std::size_t capacity = 0;
        std::size_t size = 0;
    };
    using Parts = std::vector<Part>;

    void StartThreads();
    void Format(Part& part, const Rows& rows, std::size_t begin, std::size_t end) const;
    bool WriteSlice(const Rows& rows, std::size_t count);
    void FormatParts(Parts& parts, const Rows& rows, std::size_t count);
    bool WriteParts(const Parts& parts);

    OutputFile& m_out;
    CsvLayout m_layout;
    bool m_started = false;
    unsigned m_threads;
    bool m_threadsStarted = false;
    Parts m_parts[2];  // the text of the slice being written and of the slice being formatted
    int m_turn = 0;    // which of them the next block is formatted into
    std::atomic<bool> m_failed{false};
    // Last: stopped before the text they read and write goes.
    std::vector<std::unique_ptr<Worker>> m_formatters;
    std::optional<Worker> m_writer;
};

// Threads that format by default: one per core the system reports, at least one.
unsigned FormattingThreads();
