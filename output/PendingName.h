#pragma once

#include <filesystem>

// The name of the temporary file a CSV is written to beside its target before it replaces it.
// attempt > 0 varies the name when an earlier one is taken. Never longer than the file system
// allows where the target's name is legal.
std::filesystem::path PendingNameFor(const std::filesystem::path& target, unsigned attempt);

// Where a file rewritten in place keeps its earlier contents until the new ones are on disk, by
// the same rule: NAME.backup, NAME.backup-1, ...
std::filesystem::path BackupNameFor(const std::filesystem::path& target, unsigned attempt);
