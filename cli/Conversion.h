#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "CellStyle.h"
#include "OutputFile.h"
#include "Progress.h"
#include "ReadProblem.h"
#include "RecordingStats.h"

enum class ConversionOutcome { Converted, ReadFailed, WriteFailed };

// Streams a recording into out as CSV with numbers in the given style, and the stamps as
// recorded first when withStamps, block by block, with memory independent of its size; each
// block is formatted on threads formatting threads (0: one per core), its text unchanged.
// Nothing reaches out before the first complete sample has been decoded. progress, when given, is
// updated after every block.
ConversionOutcome ConvertRecording(const std::filesystem::path& recording, OutputFile& out,
                                   CellStyle style, bool withStamps, unsigned threads,
                                   Progress* progress, ReadProblem& problem,
                                   std::uint64_t& samples);

// What the recording's four-line summary shows, counted without holding its samples.
bool SummariseRecording(const std::filesystem::path& recording, Progress* progress,
                        std::string& header, std::uint64_t& samples, std::int32_t& columns,
                        ReadProblem& problem);

// The health report's figures, in one pass with memory independent of the recording's size.
bool AnalyseRecording(const std::filesystem::path& recording, Progress* progress,
                      std::string& header, std::optional<RecordingStats>& stats,
                      ReadProblem& problem);

// Draws the recording as SVG into out, titled with its four-line summary: a first pass finds
// the ranges and the gap rule, a second gathers the picture's bands; memory depends on the
// picture only. The picture goes out whole once both passes are done.
ConversionOutcome PlotRecording(const std::filesystem::path& recording, OutputFile& out,
                                Progress* progress, ReadProblem& problem, std::uint64_t& samples);
