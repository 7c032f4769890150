#include "Conversion.h"

#include <memory>
#include <thread>
#include <vector>

#include "BlockWriter.h"
#include "LoadedRecording.h"
#include "PlotBands.h"
#include "PlotSvg.h"
#include "RecordingWalk.h"
#include "Utf8.h"

namespace {

using Block = WalkBlock;

// Walks the recording block by block, handing each block with samples to onBlock, which returns
// false to stop; progress, when given, follows the samples decoded against those the file's size
// promised.
template <typename OnBlock>
Walk ForEachBlock(const std::filesystem::path& path, Progress* progress, ReadProblem& problem,
                  WalkPlan plan, OnBlock onBlock) {
    std::string header;
    std::vector<std::uint64_t> stamps;
    std::vector<double> times;
    std::vector<SampleRow> rows;
    plan.expected = progress != nullptr;
    return WalkRecording(path, plan, {header, stamps, times, rows}, &problem,
                         [&](const Block& block) {
                             if (!onBlock(block)) return false;
                             if (progress) progress->Update(block.decoded, block.expected);
                             return true;
                         });
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
