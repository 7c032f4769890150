#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "CsvWriter.h"
#include "OutputFile.h"
#include "Progress.h"
#include "ReadProblem.h"

enum class ConversionOutcome { Converted, ReadFailed, WriteFailed };

// Streams a recording into out as CSV with numbers in the given style, block by block, with
// memory independent of its size; each block is formatted on two threads where the machine has
// two cores, its text unchanged. Nothing reaches out before the first complete sample has been
// decoded. progress, when given, is updated after every block.
ConversionOutcome ConvertRecording(const std::filesystem::path& recording, OutputFile& out,
                                   CellStyle style, Progress* progress, ReadProblem& problem,
                                   std::uint64_t& samples);

// What the recording's four-line summary shows, counted without holding its samples.
bool SummariseRecording(const std::filesystem::path& recording, Progress* progress,
                        std::string& header, std::uint64_t& samples, std::int32_t& columns,
                        ReadProblem& problem);
