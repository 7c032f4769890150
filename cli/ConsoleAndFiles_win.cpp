#include "ConsoleAndFiles.h"
#include "PendingName.h"

#include <windows.h>

#include "Utf8.h"

namespace {

std::string SystemErrorText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    if (message.empty()) return "system error " + std::to_string(code);
    return Utf8FromWide(message);
}

bool WriteAll(HANDLE handle, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr)) {
            error = SystemErrorText(GetLastError());
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

void WriteText(Stream stream, std::string_view utf8) {
    const HANDLE handle = StreamHandle(stream);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = WideFromUtf8(utf8);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::string ignored;
    WriteAll(handle, utf8.data(), utf8.size(), ignored);
}

std::string DisplayPath(const std::filesystem::path& path) {
    return Utf8FromWide(path.native());
}

std::unique_ptr<PendingFile> PendingFile::Create(const std::filesystem::path& target,
                                                 std::string& error) {
    for (unsigned attempt = 0;; ++attempt) {
        std::filesystem::path temporary = PendingNameFor(target, attempt);
        const HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            return std::unique_ptr<PendingFile>(new PendingFile(
                target, std::move(temporary), reinterpret_cast<std::intptr_t>(handle)));
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS || attempt == 100) {
            error = SystemErrorText(code);
            return nullptr;
        }
    }
}

bool PendingFile::Write(const char* data, std::size_t size) {
    return WriteAll(reinterpret_cast<HANDLE>(m_handle), data, size, m_writeError);
}

void PendingFile::Close() {
    if (m_handle != -1) CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    m_handle = -1;
}

bool PendingFile::Commit(bool replaceExisting, std::string& error) {
    const HANDLE handle = reinterpret_cast<HANDLE>(m_handle);
    m_handle = -1;
    const bool flushed = FlushFileBuffers(handle) != 0;
    const DWORD flushError = GetLastError();
    if (!CloseHandle(handle) || !flushed) {
        error = SystemErrorText(flushed ? GetLastError() : flushError);
        return false;
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExW(m_temporary.c_str(), m_target.c_str(), flags)) {
        error = SystemErrorText(GetLastError());
        return false;
    }
    m_committed = true;
    return true;
}
