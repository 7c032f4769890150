#include "BlockWriter.h"

#include <memory>
#include <system_error>
#include <thread>

BlockWriter::BlockWriter(OutputFile& out, CellStyle style, bool withTimes, const char* stampUnit)
    : m_out(out), m_style(style), m_withTimes(withTimes), m_stampUnit(stampUnit) {
    if (std::thread::hardware_concurrency() <= 1) return;
    try {
        m_worker.emplace();
    } catch (const std::system_error&) {
        // Only a speed-up: under a process or memory limit this thread formats alone.
    }
}

void BlockWriter::Format(TextBuffer& buffer, std::int32_t columns, const double* times,
                         const SampleRow* rows, const std::uint64_t* stamps, std::size_t begin,
                         std::size_t end) const {
    buffer.text.clear();
    const auto writer =
        std::make_unique<CsvWriter>(buffer, columns, m_withTimes, m_style, m_stampUnit);
    writer->WriteRows(m_withTimes ? times + begin : nullptr, rows + begin, end - begin,
                      m_stampUnit ? stamps + begin : nullptr);
    writer->Flush();
}

bool BlockWriter::Write(std::int32_t columns, const double* times, const SampleRow* rows,
                        std::size_t count, const std::uint64_t* stamps) {
    if (m_failed) return false;
    if (!m_started) {
        m_started = true;
        TextBuffer header;
        const auto writer =
            std::make_unique<CsvWriter>(header, columns, m_withTimes, m_style, m_stampUnit);
        writer->WriteHeaderLine();
        writer->Flush();
        if (!Put(header)) return false;
    }
    if (!m_worker || count < 4096) {
        if (!Finish()) return false;
        Format(m_first, columns, times, rows, stamps, 0, count);
        return Put(m_first);
    }
    const std::size_t middle = count / 2;
    TextBuffer& previous = m_second[m_turn];
    m_turn ^= 1;
    TextBuffer& next = m_second[m_turn];
    // The worker first writes the previous block's second half, then formats this one's, while
    // this thread formats the first half and writes it once the previous text is out.
    {
        const std::lock_guard lock(m_mutex);
        m_previousWritten = !m_pending;
    }
    struct SettleOnExit {
        Worker& worker;
        ~SettleOnExit() { worker.Settle(); }
    } settle{*m_worker};
    m_worker->Start([this, &previous, &next, writePrevious = m_pending, columns, times, rows,
                     stamps, middle, count] {
        if (writePrevious) {
            // Signals on every way out: a write that fails or throws stops this thread's
            // writes.
            struct Signal {
                BlockWriter& writer;
                bool written = false;
                ~Signal() {
                    if (!written) writer.m_failed = true;
                    const std::lock_guard lock(writer.m_mutex);
                    writer.m_previousWritten = true;
                    writer.m_written.notify_one();
                }
            } signal{*this};
            signal.written = Put(previous);
        }
        Format(next, columns, times, rows, stamps, middle, count);
    });
    m_pending = true;
    Format(m_first, columns, times, rows, stamps, 0, middle);
    {
        std::unique_lock lock(m_mutex);
        m_written.wait(lock, [this] { return m_previousWritten; });
    }
    const bool written = !m_failed && Put(m_first);
    m_worker->Wait();  // the rows may go once this returns; rethrows what a write threw
    return written && !m_failed;
}

bool BlockWriter::Finish() {
    if (!m_pending || m_failed) return !m_failed;
    m_pending = false;
    return Put(m_second[m_turn]);
}
