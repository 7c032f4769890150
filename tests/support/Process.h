#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct ProgramRun {
    int exitCode = -1;
    std::string out, err;  // what the program wrote to standard output and standard error
};

// Runs a program to its end with the given arguments, standard input empty.
ProgramRun RunProgram(const std::filesystem::path& program,
                      const std::vector<std::filesystem::path>& arguments);

// Runs a command of this machine's own shell (Wine's host, under Wine) in folder, for what only
// the host can make: symbolic links, mounts, modes, file flags. Its output, with its errors.
std::string RunOnHost(const std::filesystem::path& folder, const std::string& command);

// A program built into the same folder as the running test.
std::filesystem::path ProgramBesideThisOne(const std::string& name);

// Files and other handles this process holds open, to show that none leaked.
std::size_t OpenHandleCount();
