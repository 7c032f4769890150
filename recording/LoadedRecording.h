#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ReadProblem.h"
#include "RecordingTypes.h"

// Reads one recording whole: checks the header, sets headerText once the header is accepted,
// appends every complete sample to times and rows, reserved once from the file's size. Returns
// the column count, or 0 when the file cannot be opened, the header is rejected, reading fails
// before the end of the file or no complete sample follows the header.
std::int32_t ReadRecording(const std::filesystem::path& path, std::vector<double>& times,
                           std::vector<SampleRow>& rows, std::string& headerText,
                           ReadProblem* problem = nullptr);

// The one recording the main window holds, with the operations that fill and describe it.
struct LoadedRecording {
    std::string headerText;     // narrow header bytes; kept by a load that fails after it
    std::vector<double> times;  // seconds since the first sample
    std::vector<SampleRow> rows;
    std::int32_t columnCount = 0;  // 0 when nothing is loaded

    // Empties the recording and returns its memory.
    void ResetRecording();

    // Loads the file the wide path names. On success sets summary and returns true; on failure
    // (including memory exhaustion, which propagates) the recording holds no samples.
    bool LoadRecording(const std::wstring& widePath, std::wstring& summary);

    std::wstring BuildSummaryText() const;

    // The summary and the CSV layout both ask exactly this.
    bool HasTimes() const { return times.size() == rows.size(); }
};

// The four-line summary: header, sample count, whether times are present, column count.
std::wstring FormatSummaryText(const std::string& headerText, std::uint64_t rowCount, bool hasTimes,
                               std::int32_t columnCount);
