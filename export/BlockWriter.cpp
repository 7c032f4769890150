#include "BlockWriter.h"

#include <memory>
#include <system_error>
#include <thread>

BlockWriter::BlockWriter(OutputFile& out, CellStyle style, bool withTimes)
    : m_out(out), m_style(style), m_withTimes(withTimes) {
    if (std::thread::hardware_concurrency() <= 1) return;
    try {
        m_worker.emplace();
    } catch (const std::system_error&) {
        // Only a speed-up: under a process or memory limit this thread formats alone.
    }
}

void BlockWriter::Format(TextBuffer& buffer, std::int32_t columns, const double* times,
                         const SampleRow* rows, std::size_t begin, std::size_t end) const {
    buffer.text.clear();
    const auto writer = std::make_unique<CsvWriter>(buffer, columns, m_withTimes, m_style);
    writer->WriteRows(m_withTimes ? times + begin : nullptr, rows + begin, end - begin);
    writer->Flush();
}

bool BlockWriter::Write(std::int32_t columns, const double* times, const SampleRow* rows,
                        std::size_t count) {
    if (!m_started) {
        m_started = true;
        TextBuffer header;
        const auto writer = std::make_unique<CsvWriter>(header, columns, m_withTimes, m_style);
        writer->WriteHeaderLine();
        writer->Flush();
        if (!Put(header)) return false;
    }
    const bool split = m_worker && count >= 4096;
    const std::size_t middle = split ? count / 2 : count;
    // The worker reads this block and writes m_second: it must be done before either goes.
    struct SettleOnExit {
        Worker* worker;
        ~SettleOnExit() {
            if (worker) worker->Settle();
        }
    } settle{split ? &*m_worker : nullptr};
    if (split) {
        m_worker->Start([&] { Format(m_second, columns, times, rows, middle, count); });
    }
    Format(m_first, columns, times, rows, 0, middle);
    const bool written = Put(m_first);  // while the second half may still be formatting
    if (!split) return written;
    m_worker->Wait();
    return written && Put(m_second);
}
