#pragma once

// The converter's seam to the operating system: its standard streams and how paths show.
// Implemented by ConsoleAndFiles_posix.cpp and ConsoleAndFiles_win.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

enum class Stream { Output, Error };

// Raw bytes to a standard stream; false with the system's reason on failure.
bool WriteToStream(Stream stream, const char* data, std::size_t size, std::string& error);

// Whether the stream is a terminal (a console on Windows) that a person may be watching.
bool IsTerminal(Stream stream);

// The width in columns of the terminal the stream shows on (the console window's on Windows);
// 0 when it is no terminal or its width is unknown.
std::size_t TerminalColumns(Stream stream);

// UTF-8 text for a person: a console shows it in its own characters, elsewhere the bytes go out.
// False with the system's reason in error, when given, on failure.
bool WriteText(Stream stream, std::string_view utf8, std::string* error = nullptr);

// A path as UTF-8 text for messages.
std::string DisplayPath(const std::filesystem::path& path);
