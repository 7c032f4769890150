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
#include "WalkAhead.h"

namespace {

// A plan that counts the samples the file's size promises when there is progress to show.
WalkPlan Planned(WalkPlan plan, const Progress* progress) {
    plan.expected = progress != nullptr;
    return plan;
}

// decoded: the walk's count, or its WalkAhead's while that decodes on.
void ShowProgress(Progress* progress, std::uint64_t decoded, const RecordingWalk& walk) {
    if (progress) progress->Update(decoded, walk.Expected());
}

// Whether the walk read the whole recording; when not, problem says why.
bool Finished(const RecordingWalk& walk, ReadProblem& problem) {
    problem = walk.Problem();
    return walk.Finished();
}

ConversionOutcome ReadFailed(const RecordingWalk& walk, ReadProblem& problem) {
    problem = walk.Problem();
    return ConversionOutcome::ReadFailed;
}

}  // namespace

ConversionOutcome ConvertRecording(const std::filesystem::path& recording, OutputFile& out,
                                   CellStyle style, bool withStamps, unsigned threads,
                                   Progress* progress, ReadProblem& problem,
                                   std::uint64_t& samples) {
    samples = 0;
    RecordingWalk walk(recording, Planned({.stamps = withStamps}, progress));
    if (!walk.Opened()) return ReadFailed(walk, problem);
    const SensorFormat& format = walk.Format();
    BlockWriter writer(out, style, true, withStamps ? StampUnit(format) : nullptr, threads);
    WalkAhead ahead(walk);
    while (const WalkBlock* block = ahead.Next()) {
        samples += block->rows.size();
        if (!writer.Write(format.columnCount, block->times.data(), block->rows.data(),
                          block->rows.size(), block->stamps.data())) {
            return ConversionOutcome::WriteFailed;
        }
        ShowProgress(progress, ahead.Decoded(), walk);
    }
    if (!walk.Finished()) return ReadFailed(walk, problem);
    return writer.Finish() ? ConversionOutcome::Converted : ConversionOutcome::WriteFailed;
}

bool SummariseRecording(const std::filesystem::path& recording, Progress* progress,
                        std::string& header, std::uint64_t& samples, std::int32_t& columns,
                        ReadProblem& problem) {
    RecordingWalk walk(recording, Planned({.times = false}, progress));
    for (WalkBlock block; walk.Next(block); ShowProgress(progress, walk.Decoded(), walk)) {
    }
    header = walk.Header();
    samples = walk.Decoded();
    columns = walk.Format().columnCount;
    return Finished(walk, problem);
}

bool AnalyseRecording(const std::filesystem::path& recording, Progress* progress,
                      std::string& header, std::optional<RecordingStats>& stats,
                      ReadProblem& problem) {
    RecordingWalk walk(recording, Planned({.times = false, .stamps = true}, progress));
    if (walk.Opened()) stats.emplace(walk.Format());
    WalkAhead ahead(walk);
    while (const WalkBlock* block = ahead.Next()) {
        stats->Add(block->stamps.data(), block->rows.data(), block->rows.size());
        ShowProgress(progress, ahead.Decoded(), walk);
    }
    header = walk.Header();
    return Finished(walk, problem);
}

ConversionOutcome PlotRecording(const std::filesystem::path& recording, OutputFile& out,
                                Progress* progress, ReadProblem& problem, std::uint64_t& samples) {
    // One pass where the first and the last sample bound the stamps, as they do unless stamps go
    // backward past the first or the last goes back; otherwise a second over the range the first
    // found.
    RecordingWalk walk(recording,
                       Planned({.times = false, .stamps = true, .lastStamp = true}, progress));
    WalkAhead ahead(walk);
    const WalkBlock* block = ahead.Next();
    if (!block) return ReadFailed(walk, problem);
    const std::int32_t columns = walk.Format().columnCount;
    RecordingStats stats(walk.Format(), false);
    std::optional<PlotBands> bands;
    if (walk.LastStamp()) bands.emplace(columns, block->stamps[0], *walk.LastStamp());
    do {
        stats.Add(block->stamps.data(), block->rows.data(), block->rows.size());
        if (bands && bands->HeldAll()) {
            bands->Add(block->stamps.data(), block->rows.data(), block->rows.size());
        }
        ShowProgress(progress, ahead.Decoded(), walk);
    } while ((block = ahead.Next()));
    if (!walk.Finished()) return ReadFailed(walk, problem);
    if (!(bands && bands->HeldAll())) {
        bands.emplace(columns, stats.minStamp, stats.maxStamp);
        RecordingWalk again(recording, Planned({.times = false, .stamps = true}, progress));
        WalkAhead againAhead(again);
        while ((block = againAhead.Next())) {
            bands->Add(block->stamps.data(), block->rows.data(), block->rows.size());
            ShowProgress(progress, againAhead.Decoded(), again);
        }
        if (!again.Finished()) return ReadFailed(again, problem);
    }
    samples = stats.samples;
    const std::wstring summary = FormatSummaryText(walk.Header(), samples, true, columns);
    std::vector<std::string> title;
    for (std::size_t begin = 0, end; (end = summary.find(L"\r\n", begin)) != std::wstring::npos;
         begin = end + 2) {
        title.push_back(Utf8FromWide(summary.substr(begin, end - begin)));
    }
    const std::string svg = DrawPlotSvg(*bands, PlotScales(*bands, stats), title);
    return out.Write(svg.data(), svg.size()) ? ConversionOutcome::Converted
                                             : ConversionOutcome::WriteFailed;
}
