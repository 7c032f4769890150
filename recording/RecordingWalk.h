#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ReadProblem.h"
#include "RecordingTypes.h"

enum class Walk { Unreadable, Stopped, Finished };

// What a walk decodes and keeps.
struct WalkPlan {
    bool times = true;       // whether blocks carry the times in seconds
    bool stamps = false;     // whether blocks carry the stamps as recorded; without times they do
    bool lastStamp = false;  // whether to look up the last sample's stamp first
    bool hold = false;       // keep every sample, reserved once from the file's size
    bool expected = false;   // whether blocks carry the samples the size promised (held ones do)
    std::uint64_t from = 0;  // samples skipped, by seeking, before the first block
};

// Where a walk puts what it reads: the header's text once it is accepted, each block's samples
// appended as the plan asks.
struct WalkInto {
    std::string& header;
    std::vector<std::uint64_t>& stamps;
    std::vector<double>& times;
    std::vector<SampleRow>& rows;
};

// One block of samples as the walk hands it on, with what it knows of the recording.
struct WalkBlock {
    const std::string& header;
    const SensorFormat& format;
    const std::vector<std::uint64_t>& stamps;  // as recorded; empty unless asked for
    const std::vector<double>& times;          // empty unless asked for
    const std::vector<SampleRow>& rows;
    const std::optional<std::uint64_t>& lastStamp;  // the file's last, when asked for and known
    std::uint64_t decoded;                          // samples decoded so far, these included
    std::uint64_t expected;  // samples the file's size promised, when asked for; else 0
};

using OnWalkBlock = std::function<bool(const WalkBlock&)>;

// Reads the header of an open recording, then its body block by block into `into`, handing each
// block with samples to onBlock, which returns false to stop. Unless the plan holds them, the
// samples are cleared once handed on, so memory stays at one block's. Unreadable (problem set)
// when the header is rejected, reading fails before the end of the file or no complete sample
// follows; Finished clears problem.
Walk WalkRecording(std::FILE* file, const WalkPlan& plan, const WalkInto& into,
                   ReadProblem* problem, const OnWalkBlock& onBlock);

// The same for the file a native path names; Unreadable too when it cannot be opened.
Walk WalkRecording(const std::filesystem::path& path, const WalkPlan& plan, const WalkInto& into,
                   ReadProblem* problem, const OnWalkBlock& onBlock);
