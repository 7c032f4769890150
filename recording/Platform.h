#pragma once

// What reading a recording asks of the operating system: opening, sizing and seeking a file, and
// turning file names and header bytes into text.
// Implemented by Platform_posix.cpp and Platform_win.cpp.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens exactly the named file for buffered binary reading; null (errno set) on failure, and for
// anything but a regular file (EISDIR, EINVAL): a pipe or a device could keep a read waiting.
FilePtr OpenForReading(const std::filesystem::path& path);

// The path a wide (UTF-16 on Windows) file name denotes, without lossy code-page conversion.
std::filesystem::path PathFromWide(const std::wstring& widePath);

// Header bytes as the system's narrow code page reads them (ANSI on Windows, UTF-8 elsewhere);
// bytes that do not decode show as U+FFFD.
std::wstring WideFromNarrow(std::string_view bytes);

// Total size of an open file in bytes, or 0 when it has none (pipes, devices).
std::uint64_t FileSize(std::FILE* file);

// Moves an open file to a byte offset from its start, past 2 GiB too; false on failure.
bool SeekFile(std::FILE* file, std::uint64_t offset);

// Tells the system that a large block about to be filled is best backed by large pages, which
// takes most of the cost of first touching it away; a hint that may do nothing.
void PrepareLargeBlock(void* data, std::size_t bytes);
