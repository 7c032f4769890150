#include "Conversion.h"

#include <memory>
#include <vector>

#include "CsvWriter.h"
#include "LoadedRecording.h"
#include "SampleReader.h"

namespace {

enum class Walk { Unreadable, Stopped, Finished };

// Decodes the recording block by block and hands each block with samples to
// onBlock(headerText, format, times, rows), which returns false to stop. Unreadable (problem
// set) when the file cannot be opened, its header is rejected or no complete sample follows.
template <typename OnBlock>
Walk ForEachBlock(const std::filesystem::path& path, ReadProblem& problem, OnBlock onBlock) {
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
    bool any = false;
    while (reader.ReadBlock(times, rows)) {
        if (rows.empty()) continue;
        any = true;
        if (!onBlock(headerText, format, times, rows)) return Walk::Stopped;
        times.clear();
        rows.clear();
    }
    if (!any) {
        problem = ReadProblem{ReadFailure::NoCompleteSample, 0, 0};
        return Walk::Unreadable;
    }
    return Walk::Finished;
}

}  // namespace

ConversionOutcome ConvertRecording(const std::filesystem::path& recording, OutputFile& out,
                                   ReadProblem& problem, std::uint64_t& samples) {
    samples = 0;
    std::unique_ptr<CsvWriter> writer;
    const Walk walk =
        ForEachBlock(recording, problem,
                     [&](const std::string&, const SensorFormat& format,
                         const std::vector<double>& times, const std::vector<SampleRow>& rows) {
                         if (!writer) {
                             // Recordings carry a time with every sample: the layout with times.
                             writer = std::make_unique<CsvWriter>(out, format.columnCount, true);
                             writer->WriteHeaderLine();
                         }
                         samples += rows.size();
                         return writer->WriteRows(times.data(), rows.data(), rows.size());
                     });
    if (walk == Walk::Unreadable) return ConversionOutcome::ReadFailed;
    if (walk == Walk::Stopped || !writer->Flush()) return ConversionOutcome::WriteFailed;
    return ConversionOutcome::Converted;
}

bool SummariseRecording(const std::filesystem::path& recording, std::wstring& summary,
                        ReadProblem& problem) {
    std::string header;
    std::int32_t columns = 0;
    std::uint64_t samples = 0;
    const Walk walk =
        ForEachBlock(recording, problem,
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
