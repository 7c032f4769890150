#include "BlockWriter.h"

#include <memory>
#include <system_error>
#include <thread>

BlockWriter::BlockWriter(OutputFile& out, CellStyle style) : m_out(out), m_style(style) {
    if (std::thread::hardware_concurrency() <= 1) return;
    try {
        m_worker.emplace();
    } catch (const std::system_error&) {
        // Only a speed-up: under a process or memory limit this thread formats alone.
    }
}

void BlockWriter::Format(TextBuffer& buffer, std::int32_t columns, const std::vector<double>& times,
                         const std::vector<SampleRow>& rows, std::size_t begin,
                         std::size_t end) const {
    buffer.text.clear();
    const auto writer = std::make_unique<CsvWriter>(buffer, columns, true, m_style);
    writer->WriteRows(times.data() + begin, rows.data() + begin, end - begin);
    writer->Flush();
}

bool BlockWriter::Write(std::int32_t columns, const std::vector<double>& times,
                        const std::vector<SampleRow>& rows) {
    if (!m_started) {
        m_started = true;
        // Recordings carry a time with every sample: the layout with times.
        TextBuffer header;
        const auto writer = std::make_unique<CsvWriter>(header, columns, true, m_style);
        writer->WriteHeaderLine();
        writer->Flush();
        if (!Put(header)) return false;
    }
    const bool split = m_worker && rows.size() >= 4096;
    const std::size_t middle = split ? rows.size() / 2 : rows.size();
    // The worker reads this block and writes m_second: it must be done before either goes.
    struct SettleOnExit {
        Worker* worker;
        ~SettleOnExit() {
            if (worker) worker->Settle();
        }
    } settle{split ? &*m_worker : nullptr};
    if (split) {
        m_worker->Start([&] { Format(m_second, columns, times, rows, middle, rows.size()); });
    }
    Format(m_first, columns, times, rows, 0, middle);
    const bool written = Put(m_first);  // while the second half may still be formatting
    if (!split) return written;
    m_worker->Wait();
    return written && Put(m_second);
}
