#include "Conversion.h"

#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "CsvWriter.h"
#include "LoadedRecording.h"
#include "SampleReader.h"

namespace {

enum class Walk { Unreadable, Stopped, Finished };

// Decodes the recording block by block and hands each block with samples to
// onBlock(headerText, format, times, rows), which returns false to stop; progress, when given,
// follows the samples decoded against those the file's size promised. Unreadable (problem set)
// when the file cannot be opened, its header is rejected, reading fails before the end of the
// file or no complete sample follows.
template <typename OnBlock>
Walk ForEachBlock(const std::filesystem::path& path, Progress* progress, ReadProblem& problem,
                  OnBlock onBlock) {
    const FilePtr file = OpenRecordingFile(path, &problem);
    if (!file) return Walk::Unreadable;
    std::string headerText;
    SensorFormat format{};
    if (!ReadRecordingHeader(file.get(), headerText, format, &problem)) return Walk::Unreadable;

    SampleReader reader(file.get(), format);
    std::vector<double> times;
    std::vector<SampleRow> rows;
    times.reserve(reader.SamplesPerBlock());
    rows.reserve(reader.SamplesPerBlock());
    const std::uint64_t expected = progress ? reader.RemainingSamplesHint() : 0;
    std::uint64_t decoded = 0;
    bool any = false;
    errno = 0;
    while (reader.ReadBlock(times, rows)) {
        if (rows.empty()) continue;
        any = true;
        if (!onBlock(headerText, format, times, rows)) return Walk::Stopped;
        decoded += rows.size();
        if (progress) progress->Update(decoded, expected);
        times.clear();
        rows.clear();
    }
    // The reader ends the body at a read error as at the end of the file; a conversion must not
    // pass a truncated CSV off as the whole recording.
    if (std::ferror(file.get())) {
        problem = ReadProblem{ReadFailure::ReadError, 0, errno != 0 ? errno : EIO};
        return Walk::Unreadable;
    }
    if (!any) {
        problem = ReadProblem{ReadFailure::NoCompleteSample, 0, 0};
        return Walk::Unreadable;
    }
    return Walk::Finished;
}

// Collects CSV text in memory, so that halves of a block can be formatted side by side.
class TextBuffer final : public OutputFile {
public:
    bool Write(const char* data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    std::string text;
};

// Formats rows [begin, end) of a block as CSV lines into buffer, replacing what it held.
void FormatRows(TextBuffer& buffer, std::int32_t columns, CellStyle style,
                const std::vector<double>& times, const std::vector<SampleRow>& rows,
                std::size_t begin, std::size_t end) {
    buffer.text.clear();
    const auto writer = std::make_unique<CsvWriter>(buffer, columns, true, style);
    writer->WriteRows(times.data() + begin, rows.data() + begin, end - begin);
    writer->Flush();
}

}  // namespace

ConversionOutcome ConvertRecording(const std::filesystem::path& recording, OutputFile& out,
                                   CellStyle style, Progress* progress, ReadProblem& problem,
                                   std::uint64_t& samples) {
    samples = 0;
    // Formatting is most of the work; a second core takes the second half of every block.
    const bool twoThreads = std::thread::hardware_concurrency() > 1;
    TextBuffer first, second;
    bool started = false;
    const Walk walk = ForEachBlock(
        recording, progress, problem,
        [&](const std::string&, const SensorFormat& format, const std::vector<double>& times,
            const std::vector<SampleRow>& rows) {
            const std::int32_t columns = format.columnCount;
            if (!started) {
                started = true;
                // Recordings carry a time with every sample: the layout with times.
                TextBuffer header;
                const auto writer = std::make_unique<CsvWriter>(header, columns, true, style);
                writer->WriteHeaderLine();
                writer->Flush();
                if (!out.Write(header.text.data(), header.text.size())) return false;
            }
            samples += rows.size();
            const std::size_t middle =
                twoThreads && rows.size() >= 4096 ? rows.size() / 2 : rows.size();
            std::future<void> other;
            if (middle < rows.size()) {
                other = std::async(std::launch::async, [&] {
                    FormatRows(second, columns, style, times, rows, middle, rows.size());
                });
            }
            FormatRows(first, columns, style, times, rows, 0, middle);
            // The first half is written while the second may still be formatting.
            const bool written = out.Write(first.text.data(), first.text.size());
            if (other.valid()) other.get();
            return written &&
                   (middle == rows.size() || out.Write(second.text.data(), second.text.size()));
        });
    if (walk == Walk::Unreadable) return ConversionOutcome::ReadFailed;
    if (walk == Walk::Stopped) return ConversionOutcome::WriteFailed;
    return ConversionOutcome::Converted;
}

bool SummariseRecording(const std::filesystem::path& recording, Progress* progress,
                        std::wstring& summary, ReadProblem& problem) {
    std::string header;
    std::int32_t columns = 0;
    std::uint64_t samples = 0;
    const Walk walk =
        ForEachBlock(recording, progress, problem,
                     [&](const std::string& headerText, const SensorFormat& format,
                         const std::vector<double>&, const std::vector<SampleRow>& rows) {
                         header = headerText;
                         columns = format.columnCount;
                         samples += rows.size();
                         return true;
                     });
    if (walk != Walk::Finished) return false;
    summary = FormatSummaryText(header, samples, true, columns);
    return true;
}
