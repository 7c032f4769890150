#include "ConsoleAndFiles.h"
#include "SystemError.h"

#include <windows.h>

#include <algorithm>

#include "Utf8.h"

namespace {

bool WriteAll(HANDLE handle, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr)) {
            error = SystemErrorText(static_cast<int>(GetLastError()));
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

HANDLE StreamHandle(Stream stream) {
    return GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

}  // namespace

bool WriteToStream(Stream stream, const char* data, std::size_t size, std::string& error) {
    return WriteAll(StreamHandle(stream), data, size, error);
}

bool IsTerminal(Stream stream) {
    // A character device alone may be NUL or a serial port; only a console has a mode.
    const HANDLE handle = StreamHandle(stream);
    DWORD mode = 0;
    return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}

std::size_t TerminalColumns(Stream stream) {
    // The window's width, not the buffer's: a line within it neither wraps nor hides its end.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(StreamHandle(stream), &info)) return 0;
    return static_cast<std::size_t>(std::max(info.srWindow.Right - info.srWindow.Left + 1, 0));
}

bool WriteText(Stream stream, std::string_view utf8, std::string* error) {
    const HANDLE handle = StreamHandle(stream);
    DWORD mode = 0;
    std::string reason;
    bool written = true;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = WideFromUtf8(utf8);
        DWORD count = 0;
        written = WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &count,
                                nullptr) != 0;
        if (!written) reason = SystemErrorText(static_cast<int>(GetLastError()));
    } else {
        written = WriteAll(handle, utf8.data(), utf8.size(), reason);
    }
    if (error) *error = reason;
    return written;
}

std::string DisplayPath(const std::filesystem::path& path) {
    return Utf8FromWide(path.native());
}
