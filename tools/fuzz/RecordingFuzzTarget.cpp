#include "RecordingFuzzTarget.h"

#include <string>
#include <vector>

#include "CsvWriter.h"
#include "LoadedRecording.h"
#include "NumberCell.h"
#include "RecordingReader.h"
#include "SampleReader.h"

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
    LoadedRecording loaded;
    SensorFormat format{};
    ReadProblem problem;
    if (!ReadRecordingHeader(recording, loaded.headerText, format, &problem)) {
        (void)DescribeReadProblem(problem);
        return;
    }
    SampleReader reader(recording, format);
    while (reader.ReadBlock(loaded.times, loaded.rows)) {
    }
    loaded.columnCount = loaded.rows.empty() ? 0 : format.columnCount;
    (void)loaded.BuildSummaryText();

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
