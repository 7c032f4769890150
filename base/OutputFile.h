#pragma once

#include <cstddef>

// Where written bytes go (CSV or SVG): a file, standard output, memory. A false result ends the
// writing.
class OutputFile {
public:
    virtual bool Write(const char* data, std::size_t size) = 0;

protected:
    ~OutputFile() = default;
};
