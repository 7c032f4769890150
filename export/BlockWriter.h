#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "CsvWriter.h"
#include "OutputFile.h"
#include "RecordingTypes.h"
#include "Worker.h"

// Writes a recording's CSV block by block, for the converter and the dialog alike. Where the
// machine has a second core, that core formats the second half of every block and writes it
// during the next block, while this thread formats and writes the first halves: formatting and
// writing overlap. The text is that of formatting in order. A write that throws (the dialog's
// files do) leaves through Write or Finish once the second thread is idle.
class BlockWriter {
public:
    // stampUnit, when given, puts the stamps as recorded first (CsvWriter).
    BlockWriter(OutputFile& out, CellStyle style, bool withTimes = true,
                const char* stampUnit = nullptr);

    // Writes count rows, and the header line before the first block; false once any write
    // failed. times is read only when the writer was made withTimes, stamps only when it was
    // made with a stamp unit.
    bool Write(std::int32_t columns, const double* times, const SampleRow* rows, std::size_t count,
               const std::uint64_t* stamps = nullptr);

    // Writes the text still held back (the last block's second half); call after the last
    // block. False once any write failed.
    bool Finish();

private:
    // Collects CSV text in memory.
    class TextBuffer final : public OutputFile {
    public:
        bool Write(const char* data, std::size_t size) override {
            text.append(data, size);
            return true;
        }
        std::string text;
    };

    void Format(TextBuffer& buffer, std::int32_t columns, const double* times,
                const SampleRow* rows, const std::uint64_t* stamps, std::size_t begin,
                std::size_t end) const;
    bool Put(const TextBuffer& buffer) {
        return m_out.Write(buffer.text.data(), buffer.text.size());
    }

    OutputFile& m_out;
    CellStyle m_style;
    bool m_withTimes;
    const char* m_stampUnit;
    bool m_started = false;
    TextBuffer m_first, m_second[2];
    int m_turn = 0;          // which m_second the last block's second half is in
    bool m_pending = false;  // that half is formatted and not written yet
    // Set by the second thread once the previous half is out, successfully or not.
    std::mutex m_mutex;
    std::condition_variable m_written;
    bool m_previousWritten = true;
    std::atomic<bool> m_failed{false};
    std::optional<Worker> m_worker;  // last: stopped before the buffers it writes go
};
