#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "OutputFile.h"
#include "ReadProblem.h"

enum class ConversionOutcome { Converted, ReadFailed, WriteFailed };

// Streams a recording into out as CSV, block by block, with memory independent of its size.
// Nothing reaches out before the first complete sample has been decoded.
ConversionOutcome ConvertRecording(const std::filesystem::path& recording, OutputFile& out,
                                   ReadProblem& problem, std::uint64_t& samples);

// The recording's four-line summary, counted without holding its samples.
bool SummariseRecording(const std::filesystem::path& recording, std::wstring& summary,
                        ReadProblem& problem);
