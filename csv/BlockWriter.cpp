#include "BlockWriter.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>

#include "CsvLines.h"

namespace {

// Below this many rows a part is not worth a thread's hand-over.
constexpr std::size_t kMinPartRows = 2048;
constexpr std::size_t kSliceRowsPerThread = 65536;
constexpr std::size_t kPartsPerThread = 4;

// Waits for every task on every way out, so that no thread still reads rows that are gone.
struct SettleOnExit {
    const std::vector<std::unique_ptr<Worker>>& workers;
    std::size_t started;
    ~SettleOnExit() {
        for (std::size_t i = 0; i < started; ++i) workers[i]->Settle();
    }
};

}  // namespace

unsigned FormattingThreads() {
    return std::max(1u, std::thread::hardware_concurrency());
}

BlockWriter::BlockWriter(OutputFile& out, CellStyle style, bool withTimes, const char* stampUnit,
                         unsigned threads)
    : m_out(out),
      m_layout{0, withTimes, style, stampUnit},
      m_threads(threads == 0 ? FormattingThreads() : threads) {}

void BlockWriter::StartThreads() {
    m_threadsStarted = true;
    // Only a speed-up: under a process or memory limit fewer threads do the work.
    try {
        m_writer.emplace();
        while (m_formatters.size() + 1 < m_threads) {
            m_formatters.push_back(std::make_unique<Worker>());
        }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
}

void BlockWriter::Format(Part& part, const Rows& rows, std::size_t begin, std::size_t end) const {
    // A few lines at a time, so that the buffer grows to the text's size, not to the most it
    // could take: the converter must fit small address spaces.
    constexpr std::size_t kLinesAtOnce = 512;
    part.size = 0;
    for (std::size_t at = begin; at < end;) {
        const std::size_t lines = std::min(kLinesAtOnce, end - at);
        if (const std::size_t most = part.size + lines * kMaxCsvLineBytes; most > part.capacity) {
            // Half the most a share could take holds a six-digit share whole: no copy then.
            const std::size_t capacity =
                std::max({most, part.capacity * 2, (end - begin) * kMaxCsvLineBytes / 2});
            auto text = std::make_unique_for_overwrite<char[]>(capacity);
            std::copy_n(part.text.get(), part.size, text.get());
            part.text = std::move(text);
            part.capacity = capacity;
        }
        const char* const last = FormatCsvLines(
            part.text.get() + part.size, m_layout, m_layout.withTimes ? rows.times + at : nullptr,
            rows.rows + at, lines, m_layout.stampUnit ? rows.stamps + at : nullptr);
        part.size = static_cast<std::size_t>(last - part.text.get());
        at += lines;
    }
}

void BlockWriter::FormatParts(Parts& parts, const Rows& rows, std::size_t count) {
    // More parts than threads, each taken by whichever thread is free: a thread slowed by the
    // writing one, or by another program, holds the others back by one part at most.
    const std::size_t threads = m_formatters.size() + 1;
    const std::size_t most = std::max<std::size_t>(1, count / kMinPartRows);
    const std::size_t partCount = std::min(threads * kPartsPerThread, most);
    parts.resize(partCount);
    std::atomic<std::size_t> next{0};
    const auto formatParts = [&] {
        for (std::size_t part; (part = next++) < partCount;) {
            Format(parts[part], rows, count * part / partCount, count * (part + 1) / partCount);
        }
    };
    const std::size_t helpers = std::min(m_formatters.size(), partCount - 1);
    SettleOnExit settle{m_formatters, 0};
    for (std::size_t helper = 0; helper < helpers; ++helper) {
        m_formatters[helper]->Start(formatParts);
        settle.started = helper + 1;
    }
    formatParts();
    for (std::size_t helper = 0; helper < helpers; ++helper) m_formatters[helper]->Wait();
}

bool BlockWriter::WriteParts(const Parts& parts) {
    for (const Part& part : parts) {
        if (!m_out.Write(part.text.get(), part.size)) return false;
    }
    return true;
}

bool BlockWriter::Write(std::int32_t columns, const double* times, const SampleRow* rows,
                        std::size_t count, const std::uint64_t* stamps) {
    if (m_failed) return Finish();  // rethrows what the write threw, once
    if (!m_started) {
        m_started = true;
        m_layout.columnCount = columns;
        char header[kMaxCsvLineBytes];
        const char* const end = FormatCsvHeader(header, m_layout);
        if (!m_out.Write(header, static_cast<std::size_t>(end - header))) {
            m_failed = true;
            return false;
        }
    }
    // A recording of a few lines is written at once: threads would cost more than they save.
    if (!m_threadsStarted && count >= 2 * kMinPartRows) StartThreads();
    // In slices of a few megabytes, each handed between threads once: their text stays in the
    // shared cache until the writing thread copies it out, and under Wine a hand-off costs a call
    // to its server.
    const std::size_t slice = kSliceRowsPerThread * (m_formatters.size() + 1);
    for (std::size_t begin = 0; begin < count; begin += slice) {
        const Rows at{times ? times + begin : nullptr, rows + begin,
                      stamps ? stamps + begin : nullptr};
        if (!WriteSlice(at, std::min(slice, count - begin))) return false;
    }
    return true;
}

bool BlockWriter::WriteSlice(const Rows& rows, std::size_t count) {
    Parts& parts = m_parts[m_turn];
    FormatParts(parts, rows, count);
    // The previous slice is out, or its write failed or threw, before this one starts.
    if (!Finish()) return false;
    if (!m_writer) {
        m_failed = !WriteParts(parts);
        return !m_failed;
    }
    m_turn ^= 1;
    m_writer->Start([this, &parts] {
        struct FailUnlessWritten {
            std::atomic<bool>& failed;
            bool written = false;
            ~FailUnlessWritten() {
                if (!written) failed = true;
            }
        } outcome{m_failed};
        outcome.written = WriteParts(parts);
    });
    return true;
}

bool BlockWriter::Finish() {
    if (m_writer) m_writer->Wait();  // rethrows what a write threw
    return !m_failed;
}
