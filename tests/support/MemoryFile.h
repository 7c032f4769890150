#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "OutputFile.h"

// Collects what a writer writes, and counts the writes.
class MemoryFile final : public OutputFile {
public:
    bool Write(const char* data, std::size_t size) override {
        bytes.append(data, size);
        ++writes;
        return true;
    }
    std::string bytes;
    std::size_t writes = 0;
};

// The CSV the dialog's load and export write for a recording; a failure fails the test.
std::string DialogCsvOf(const std::filesystem::path& recording);
