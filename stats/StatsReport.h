#pragma once

#include <string>

#include "RecordingStats.h"

// The health report of one recording for a person: UTF-8 lines, the first naming the recording,
// numbers with six significant digits. name and header are shown as given.
std::string FormatStatsText(const std::string& name, const std::string& header,
                            const RecordingStats& stats);

// The same as one line of JSON: stamps as the integers recorded, other numbers exact, null for
// what does not exist.
std::string FormatStatsJson(const std::string& name, const std::string& header,
                            const RecordingStats& stats);
