#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct ProgramRun {
    int exitCode = -1;
    std::string out;          // what the program wrote to standard output
    std::string err;          // and to standard error
    long peakMemoryKiB = -1;  // its largest resident set, where the system tells it
};

struct RunOptions {
    bool discardOutput = false;    // standard output to the null device, for runs that write much
    bool errorToTerminal = false;  // standard error to a new pseudo-terminal (not on Windows)
};

// Runs a program to its end with the given arguments, standard input empty.
ProgramRun RunProgram(const std::filesystem::path& program,
                      const std::vector<std::filesystem::path>& arguments, RunOptions options = {});

// A program built into the same folder as the running test.
std::filesystem::path ProgramBesideThisOne(const std::string& name);

// Files and other handles this process holds open, to show that none leaked.
std::size_t OpenHandleCount();
