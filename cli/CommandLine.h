#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "CellStyle.h"

using NativeString = std::filesystem::path::string_type;

struct CommandLine {
    // What is made of each recording: its CSV, or what --summary, --stats or --plot ask for.
    enum class Mode { Csv, Summary, Stats, Plot };
    Mode mode = Mode::Csv;
    bool force = false;
    bool quiet = false;
    bool json = false;    // --stats as one JSON object per line
    bool stamps = false;  // the CSV's first column holds the stamps as recorded
    bool help = false;
    bool version = false;
    CellStyle cellStyle;                          // --digits N, --round-trip
    unsigned threads = 0;                         // --threads N; 0 for one per core
    std::optional<std::filesystem::path> output;  // "-" is standard output
    std::vector<std::filesystem::path> recordings;
};

// Options may stand before or after the recordings; "--" ends them. False with error set on a
// usage error.
bool ParseCommandLine(const std::vector<NativeString>& arguments, CommandLine& line,
                      std::string& error);

extern const char kUsageText[];
