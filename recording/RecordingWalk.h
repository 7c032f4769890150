#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Platform.h"
#include "ReadProblem.h"
#include "RecordingTypes.h"
#include "SampleReader.h"

// What a walk decodes and keeps.
struct WalkPlan {
    bool times = true;       // whether blocks carry the times in seconds
    bool stamps = false;     // whether blocks carry the stamps as recorded; without times they do
    bool lastStamp = false;  // whether to look up the last sample's stamp first
    bool hold = false;       // keep every sample, reserved once from the file's size
    bool expected = false;   // whether to count the samples the file's size promises (held: always)
    std::uint64_t from = 0;  // samples skipped, by seeking, before the first block
};

// Samples as a walk hands them on: one block's, or every one so far when the plan holds them.
struct WalkBlock {
    std::vector<std::uint64_t> stamps;  // as recorded; empty unless asked for
    std::vector<double> times;          // seconds since the first sample; empty unless asked for
    std::vector<SampleRow> rows;
};

// Reads a recording from the front: the header when it is made, so that its format is known
// before any sample, then the body a block at a time through Next:
//
//     RecordingWalk walk(path, plan);
//     for (WalkBlock block; walk.Next(block);) Use(walk.Format(), block);
//     if (!walk.Finished()) Explain(walk.Problem());
class RecordingWalk {
public:
    // The recording a native path names; unreadable too when it cannot be opened.
    RecordingWalk(const std::filesystem::path& path, const WalkPlan& plan);
    // An open recording at its first byte; the file must outlive the walk.
    RecordingWalk(std::FILE* file, const WalkPlan& plan);

    // Replaces block's samples with the next block's, or adds them to it when the plan holds
    // them, so that memory stays at one block's unless asked; false once the body is done, when
    // Finished tells how. A block handed on holds at least one sample.
    bool Next(WalkBlock& block);

    // Whether the header was accepted and the body can be read: Header and Format are then set.
    bool Opened() const { return m_reader.has_value(); }
    // Whether Next has read the body to its end and found a complete sample. When not, after Next
    // returned false, Problem says why: the file could not be opened, its header was rejected,
    // reading failed before the end of the file or no complete sample follows the header.
    bool Finished() const { return m_finished; }
    const ReadProblem& Problem() const { return m_problem; }

    const std::string& Header() const { return m_header; }  // empty until accepted
    const SensorFormat& Format() const { return m_format; }
    // The file's last stamp, when the plan asks for it and it is known.
    const std::optional<std::uint64_t>& LastStamp() const { return m_lastStamp; }
    std::uint64_t Decoded() const { return m_decoded; }  // samples handed on so far
    // Samples the file's size promised, when the plan asks for them; else 0.
    std::uint64_t Expected() const { return m_expected; }

private:
    void Open(std::FILE* file);
    bool ReadBlock(WalkBlock& block);
    bool End();

    WalkPlan m_plan;
    ReadProblem m_problem;
    FilePtr m_file;  // when the walk opened it
    std::string m_header;
    SensorFormat m_format{};
    std::optional<std::uint64_t> m_lastStamp;
    std::optional<SampleReader> m_reader;
    std::uint64_t m_decoded = 0;
    std::uint64_t m_expected = 0;
    bool m_ended = false;
    bool m_finished = false;
};
