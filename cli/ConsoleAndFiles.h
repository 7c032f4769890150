#pragma once

// The converter's seam to the operating system: its standard streams and its output files.
// Implemented by ConsoleAndFiles_posix.cpp and ConsoleAndFiles_win.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "OutputFile.h"

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

// What tells one file from every other, whatever its names (device and inode, or volume and
// file index); empty when the file cannot be reached.
std::string FileIdentity(const std::filesystem::path& path);

// Whether path names the very file standard output writes to.
bool IsStandardOutput(const std::filesystem::path& path);

// Whether path names a device by a name the system reserves (NUL, CON, COM1 on Windows), which
// opens the device whatever folder it is in.
bool IsReservedDeviceName(const std::filesystem::path& path);

// A path as UTF-8 text for messages.
std::string DisplayPath(const std::filesystem::path& path);

// A new file beside its target that replaces the target only when committed, so a failed or
// interrupted conversion never leaves a partial file under the target's name. An interrupt or
// termination signal (a console close or Ctrl+C on Windows) removes it before the program ends.
// A replaced file's permissions and owner, where allowed, pass to the new one.
class PendingFile final : public OutputFile {
public:
    // Null with the reason in error when the temporary file cannot be created.
    static std::unique_ptr<PendingFile> Create(const std::filesystem::path& target,
                                               std::string& error);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool Write(const char* data, std::size_t size) override;

    // Closes the file and moves it to the target name, making the bytes durable first when they
    // replace an existing file. Without replaceExisting an existing target is left alone and the
    // commit fails.
    bool Commit(bool replaceExisting, std::string& error);

    const std::string& WriteError() const { return m_writeError; }

private:
    PendingFile(std::filesystem::path target, std::filesystem::path temporary,
                std::intptr_t handle);
    void Close();
    void Forget();  // no longer removed on a signal: it is gone

    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::intptr_t m_handle;  // file descriptor or HANDLE; -1 once closed
    bool m_committed = false;
    std::string m_writeError;
};
