#pragma once

#include <filesystem>

// The name of the temporary file a CSV is written to beside its target before it replaces it.
// attempt > 0 varies the name when an earlier one is taken. Never longer than the file system
// allows where the target's name is legal.
std::filesystem::path PendingNameFor(const std::filesystem::path& target, unsigned attempt);
