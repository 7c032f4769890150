#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "CsvWriter.h"

// Collects what a writer writes and counts the writes; from the failFrom-th write on, fails, or
// throws as the window's files do.
class MemoryFile final : public OutputFile {
public:
    bool Write(const char* data, std::size_t size) override {
        if (writes++ >= failFrom && throws) throw std::runtime_error("disk full");
        if (writes > failFrom) return false;
        bytes.append(data, size);
        return true;
    }
    std::string bytes;
    std::size_t writes = 0;
    std::size_t failFrom = SIZE_MAX;
    bool throws = false;
};

// The reference CSV of a recording, in the given cell style: the dialog's load, then one
// CsvWriter on one thread. A text in parentheses when it cannot be loaded or written.
std::string DialogCsvOf(const std::filesystem::path& recording, CellStyle style = {});
