#include "Conversion.h"

#include <memory>
#include <thread>
#include <vector>

#include "BlockWriter.h"
#include "LoadedRecording.h"
#include "RecordingReader.h"
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
    while (reader.ReadBlock(times, rows)) {
        if (rows.empty()) continue;
        any = true;
        if (!onBlock(headerText, format, times, rows)) return Walk::Stopped;
        decoded += rows.size();
        if (progress) progress->Update(decoded, expected);
        times.clear();
        rows.clear();
    }
    if (const int error = reader.ReadError()) {
        problem = ReadProblem{ReadFailure::ReadError, 0, error};
        return Walk::Unreadable;
    }
    if (!any) {
        problem = ReadProblem{ReadFailure::NoCompleteSample, 0, 0};
        return Walk::Unreadable;
    }
    return Walk::Finished;
}

}  // namespace

ConversionOutcome ConvertRecording(const std::filesystem::path& recording, OutputFile& out,
                                   CellStyle style, Progress* progress, ReadProblem& problem,
                                   std::uint64_t& samples) {
    samples = 0;
    BlockWriter writer(out, style);
    const Walk walk = ForEachBlock(
        recording, progress, problem,
        [&](const std::string&, const SensorFormat& format, const std::vector<double>& times,
            const std::vector<SampleRow>& rows) {
            samples += rows.size();
            return writer.Write(format.columnCount, times.data(), rows.data(), rows.size());
        });
    if (walk == Walk::Unreadable) return ConversionOutcome::ReadFailed;
    if (walk == Walk::Stopped || !writer.Finish()) return ConversionOutcome::WriteFailed;
    return ConversionOutcome::Converted;
}

bool SummariseRecording(const std::filesystem::path& recording, Progress* progress,
                        std::string& header, std::uint64_t& samples, std::int32_t& columns,
                        ReadProblem& problem) {
    samples = 0;
    const Walk walk =
        ForEachBlock(recording, progress, problem,
                     [&](const std::string& headerText, const SensorFormat& format,
                         const std::vector<double>&, const std::vector<SampleRow>& rows) {
                         header = headerText;
                         columns = format.columnCount;
                         samples += rows.size();
                         return true;
                     });
    return walk == Walk::Finished;
}
