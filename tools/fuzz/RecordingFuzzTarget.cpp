#include "RecordingFuzzTarget.h"

#include <string>
#include <utility>
#include <vector>

#include "CsvExport.h"
#include "LoadedRecording.h"
#include "NumberCell.h"
#include "PlotSvg.h"
#include "RecordingWalk.h"
#include "StatsReport.h"

namespace {

// Keeps only a running count, so that big bodies cost no memory.
class CountingFile final : public OutputFile {
public:
    bool Write(const char*, std::size_t size) override {
        bytes += size;
        return true;
    }
    std::size_t bytes = 0;
};

}  // namespace

void ExerciseRecording(std::FILE* recording) {
    RecordingWalk walk(recording, {.stamps = true, .hold = true});
    WalkBlock held;
    while (walk.Next(held)) {
    }
    (void)DescribeReadProblem(walk.Problem());
    if (!walk.Opened()) return;  // rejected: nothing was decoded
    const SensorFormat format = walk.Format();
    const std::vector<std::uint64_t>& stamps = held.stamps;
    LoadedRecording loaded;
    loaded.headerText = walk.Header();
    loaded.times = std::move(held.times);
    loaded.rows = std::move(held.rows);
    loaded.columnCount = loaded.rows.empty() ? 0 : format.columnCount;
    (void)loaded.BuildSummaryText();

    // The health report and the picture, over the stamps as they came.
    if (!stamps.empty()) {
        RecordingStats stats(format);
        stats.Add(stamps.data(), loaded.rows.data(), stamps.size());
        (void)FormatStatsText("fuzz", loaded.headerText, stats);
        (void)FormatStatsJson("fuzz", loaded.headerText, stats);
        PlotBands bands(format.columnCount, stamps.front(), stamps.back());
        bands.Add(stamps.data(), loaded.rows.data(), stamps.size());
        (void)DrawPlotSvg(bands, PlotScales(bands, stats), {loaded.headerText});
    }

    CountingFile file;
    WriteCsv(file, loaded);
    char cell[kMaxNumberCellBytes];
    for (std::size_t i = 0; i < loaded.rows.size() && i < 64; ++i) {
        for (const double value : loaded.rows[i].values) {
            FormatNumberCellRoundTrip(value, cell);
            FormatNumberCellWithDigits(value, static_cast<int>(i % 17) + 1, cell);
        }
    }
}
