#include "LoadedRecording.h"

#include <utility>

#include "Platform.h"
#include "RecordingWalk.h"

std::int32_t ReadRecording(const std::filesystem::path& path, std::vector<double>& times,
                           std::vector<SampleRow>& rows, std::string& headerText,
                           ReadProblem* problem) {
    RecordingWalk walk(path, {.hold = true});
    WalkBlock held{.stamps = {}, .times = std::move(times), .rows = std::move(rows)};
    while (walk.Next(held)) {
    }
    times = std::move(held.times);
    rows = std::move(held.rows);
    if (walk.Opened()) headerText = walk.Header();
    if (problem) *problem = walk.Problem();
    return walk.Finished() ? walk.Format().columnCount : 0;
}

void LoadedRecording::ResetRecording() {
    // Swapping with empty containers frees the storage a large recording held; clear() would
    // not, nor would assigning an empty string, which keeps its buffer.
    std::string().swap(headerText);
    std::vector<double>().swap(times);
    std::vector<SampleRow>().swap(rows);
    columnCount = 0;
}

bool LoadedRecording::LoadRecording(const std::wstring& widePath, std::wstring& summary) {
    ResetRecording();
    // Leaves nothing half filled when reading or summarising throws (memory exhaustion).
    struct ResetUnlessDone {
        LoadedRecording& recording;
        bool done = false;
        ~ResetUnlessDone() {
            if (!done) recording.ResetRecording();
        }
    } guard{*this};

    const std::int32_t result = ReadRecording(PathFromWide(widePath), times, rows, headerText);
    if (result <= 0) {
        // A plain failure keeps an accepted header; samples read before a read error go.
        std::vector<double>().swap(times);
        std::vector<SampleRow>().swap(rows);
        guard.done = true;
        return false;
    }

    columnCount = result;
    std::wstring text = BuildSummaryText();
    summary.swap(text);
    guard.done = true;
    return true;
}

std::wstring LoadedRecording::BuildSummaryText() const {
    return FormatSummaryText(headerText, rows.size(), HasTimes(), columnCount);
}

std::wstring FormatSummaryText(const std::string& headerText, std::uint64_t rowCount, bool hasTimes,
                               std::int32_t columnCount) {
    return WideFromNarrow(headerText) + L"\r\n数量：" + std::to_wstring(rowCount) + L"\r\n时间：" +
           (hasTimes ? L"是" : L"否") + L"\r\n数据列：" + std::to_wstring(columnCount) + L"\r\n";
}
