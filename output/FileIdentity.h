#pragma once

// Which file a name reaches, whatever its other names: for refusing to write over a recording
// being read, or over the file standard output goes to.
// Implemented by FileIdentity_posix.cpp and FileIdentity_win.cpp.

#include <filesystem>
#include <string>

// What tells one file from every other, whatever its names (device and inode, or volume and
// file index); empty when the file cannot be reached.
std::string FileIdentity(const std::filesystem::path& path);

// Whether the two names reach one and the same existing file.
bool IsSameFile(const std::filesystem::path& one, const std::filesystem::path& other);

// Whether path names the very file standard output writes to.
bool IsStandardOutput(const std::filesystem::path& path);

// Tests: FileIdentity as on a file system without 128-bit file IDs (FAT, Windows 7).
void WithoutFileIdsForTesting(bool without);
