#include "Conversion.h"

#include <cerrno>
#include <memory>
#include <thread>
#include <vector>

#include "BlockWriter.h"
#include "LoadedRecording.h"
#include "PlotBands.h"
#include "PlotSvg.h"
#include "RecordingReader.h"
#include "SampleReader.h"
#include "Utf8.h"

namespace {

enum class Walk { Unreadable, Stopped, Finished };

// One block of samples as the walk hands it on, with what it knows of the recording.
struct Block {
    const std::string& header;
    const SensorFormat& format;
    const std::vector<std::uint64_t>& stamps;  // as recorded; empty unless asked for
    const std::vector<double>& times;          // empty unless asked for
    const std::vector<SampleRow>& rows;
    const std::optional<std::uint64_t>& lastStamp;  // the file's last, when asked for and known
};

struct WalkPlan {
    bool times = true;       // whether blocks carry the times in seconds
    bool stamps = false;     // whether blocks carry the stamps as recorded
    bool lastStamp = false;  // whether to look up the last sample's stamp first
};

Walk ReadFailedWith(ReadProblem& problem) {
    problem = ReadProblem{ReadFailure::ReadError, 0, errno != 0 ? errno : EIO};
    return Walk::Unreadable;
}

// Decodes the recording block by block and hands each block with samples to onBlock, which
// returns false to stop; progress, when given, follows the samples decoded against those the
// file's size promised. Unreadable (problem set) when the file cannot be opened, its header is
// rejected, reading fails before the end of the file or no complete sample follows.
template <typename OnBlock>
Walk ForEachBlock(const std::filesystem::path& path, Progress* progress, ReadProblem& problem,
                  WalkPlan plan, OnBlock onBlock) {
    const FilePtr file = OpenRecordingFile(path, &problem);
    if (!file) return Walk::Unreadable;
    std::string headerText;
    SensorFormat format{};
    if (!ReadRecordingHeader(file.get(), headerText, format, &problem)) return Walk::Unreadable;
    std::optional<std::uint64_t> lastStamp;
    if (plan.lastStamp) {
        std::fpos_t body;
        errno = 0;
        if (std::fgetpos(file.get(), &body) != 0) return ReadFailedWith(problem);
        if (std::uint64_t stamp = 0; PeekLastStamp(file.get(), format, stamp)) lastStamp = stamp;
        if (std::fsetpos(file.get(), &body) != 0) return ReadFailedWith(problem);
    }

    SampleReader reader(file.get(), format);
    std::vector<std::uint64_t> stamps;
    std::vector<double> times;
    std::vector<SampleRow> rows;
    if (plan.stamps) stamps.reserve(reader.SamplesPerBlock());
    if (plan.times) times.reserve(reader.SamplesPerBlock());
    rows.reserve(reader.SamplesPerBlock());
    const std::uint64_t expected = progress ? reader.RemainingSamplesHint() : 0;
    std::uint64_t decoded = 0;
    bool any = false;
    const auto read = [&] {
        return plan.times ? reader.ReadBlock(times, rows, plan.stamps ? &stamps : nullptr)
                          : reader.ReadBlock(stamps, rows);
    };
    while (read()) {
        if (rows.empty()) continue;
        any = true;
        if (!onBlock(Block{headerText, format, stamps, times, rows, lastStamp})) {
            return Walk::Stopped;
        }
        decoded += rows.size();
        if (progress) progress->Update(decoded, expected);
        stamps.clear();
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
                                   CellStyle style, bool withStamps, unsigned threads,
                                   Progress* progress, ReadProblem& problem,
                                   std::uint64_t& samples) {
    samples = 0;
    // Made at the first block, when the stamps' unit is known.
    std::optional<BlockWriter> writer;
    const Walk walk =
        ForEachBlock(recording, progress, problem, {.stamps = withStamps}, [&](const Block& block) {
            if (!writer)
                writer.emplace(out, style, true, withStamps ? StampUnit(block.format) : nullptr,
                               threads);
            samples += block.rows.size();
            return writer->Write(block.format.columnCount, block.times.data(), block.rows.data(),
                                 block.rows.size(), block.stamps.data());
        });
    if (walk == Walk::Unreadable) return ConversionOutcome::ReadFailed;
    if (walk == Walk::Stopped || !writer->Finish()) return ConversionOutcome::WriteFailed;
    return ConversionOutcome::Converted;
}

bool SummariseRecording(const std::filesystem::path& recording, Progress* progress,
                        std::string& header, std::uint64_t& samples, std::int32_t& columns,
                        ReadProblem& problem) {
    samples = 0;
    const Walk walk = ForEachBlock(recording, progress, problem, {}, [&](const Block& block) {
        header = block.header;
        columns = block.format.columnCount;
        samples += block.rows.size();
        return true;
    });
    return walk == Walk::Finished;
}

bool AnalyseRecording(const std::filesystem::path& recording, Progress* progress,
                      std::string& header, std::optional<RecordingStats>& stats,
                      ReadProblem& problem) {
    const Walk walk = ForEachBlock(
        recording, progress, problem, {.times = false, .stamps = true}, [&](const Block& block) {
            if (!stats) {
                stats.emplace(block.format);
                header = block.header;
            }
            stats->Add(block.stamps.data(), block.rows.data(), block.rows.size());
            return true;
        });
    return walk == Walk::Finished;
}

ConversionOutcome PlotRecording(const std::filesystem::path& recording, OutputFile& out,
                                Progress* progress, ReadProblem& problem, std::uint64_t& samples) {
    // One pass where the first and the last sample bound the stamps, as they do unless stamps go
    // backward past the first or the last goes back; otherwise a second over the range the first
    // found.
    std::string header;
    std::optional<RecordingStats> stats;
    std::optional<PlotBands> bands;
    Walk walk = ForEachBlock(
        recording, progress, problem, {.times = false, .stamps = true, .lastStamp = true},
        [&](const Block& block) {
            if (!stats) {
                stats.emplace(block.format, false);
                header = block.header;
                if (block.lastStamp) {
                    bands.emplace(block.format.columnCount, block.stamps[0], *block.lastStamp);
                }
            }
            stats->Add(block.stamps.data(), block.rows.data(), block.rows.size());
            if (bands && bands->HeldAll()) {
                bands->Add(block.stamps.data(), block.rows.data(), block.rows.size());
            }
            return true;
        });
    if (walk == Walk::Finished && !(bands && bands->HeldAll())) {
        bands.emplace(stats->format.columnCount, stats->minStamp, stats->maxStamp);
        walk =
            ForEachBlock(recording, progress, problem, {.times = false, .stamps = true},
                         [&](const Block& block) {
                             bands->Add(block.stamps.data(), block.rows.data(), block.rows.size());
                             return true;
                         });
    }
    if (walk != Walk::Finished) return ConversionOutcome::ReadFailed;
    samples = stats->samples;
    const std::wstring summary =
        FormatSummaryText(header, samples, true, stats->format.columnCount);
    std::vector<std::string> title;
    for (std::size_t begin = 0, end; (end = summary.find(L"\r\n", begin)) != std::wstring::npos;
         begin = end + 2) {
        title.push_back(Utf8FromWide(summary.substr(begin, end - begin)));
    }
    const std::string svg = DrawPlotSvg(*bands, PlotScales(*bands, *stats), title);
    return out.Write(svg.data(), svg.size()) ? ConversionOutcome::Converted
                                             : ConversionOutcome::WriteFailed;
}
