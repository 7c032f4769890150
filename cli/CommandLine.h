#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "CsvWriter.h"

using NativeString = std::filesystem::path::string_type;

struct CommandLine {
    bool force = false;
    bool quiet = false;
    bool summaryOnly = false;
    bool help = false;
    bool version = false;
    CellStyle cellStyle;                          // --digits N, --round-trip
    std::optional<std::filesystem::path> output;  // "-" is standard output
    std::vector<std::filesystem::path> recordings;
};

// Options may stand before or after the recordings; "--" ends them. False with error set on a
// usage error.
bool ParseCommandLine(const std::vector<NativeString>& arguments, CommandLine& line,
                      std::string& error);

extern const char kUsageText[];
