#include "ConsoleAndFiles.h"
#include "PendingName.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <iterator>

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

// The temporary file a console close or Ctrl+C must remove, kept where the handler's thread
// can read it.
wchar_t g_pending[32768];
volatile LONG g_hasPending = 0;

BOOL WINAPI RemovePending(DWORD) {
    // Opened with delete sharing, so it goes now or once the process's handles close.
    if (g_hasPending) DeleteFileW(g_pending);
    return FALSE;  // and the process ends as it would have
}

void RemovePendingOnConsoleEvents(const std::wstring& path) {
    static const bool installed = SetConsoleCtrlHandler(RemovePending, TRUE) != 0;
    (void)installed;
    g_hasPending = 0;
    if (path.size() >= std::size(g_pending)) return;
    std::wmemcpy(g_pending, path.c_str(), path.size() + 1);
    g_hasPending = 1;
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
        if (!written) reason = SystemErrorText(GetLastError());
    } else {
        written = WriteAll(handle, utf8.data(), utf8.size(), reason);
    }
    if (error) *error = reason;
    return written;
}

namespace {

// The volume and the file's ID there; false for what is not a file on a disk.
bool IdOf(HANDLE handle, FILE_ID_INFO& id) {
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK &&
           GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id);
}

// Asks for no access: a file another program holds without sharing still answers.
bool IdOf(const std::filesystem::path& path, FILE_ID_INFO& id) {
    const HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = IdOf(handle, id);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return known;
}

}  // namespace

std::string FileIdentity(const std::filesystem::path& path) {
    FILE_ID_INFO id{};
    if (!IdOf(path, id)) return {};
    std::string identity = std::to_string(id.VolumeSerialNumber) + ":";
    for (const BYTE byte : id.FileId.Identifier) identity += std::to_string(byte) + ".";
    return identity;
}

bool IsStandardOutput(const std::filesystem::path& path) {
    FILE_ID_INFO file{}, output{};
    // Wine cannot tell the volume of a handle its host opened (0): the file ID decides then.
    return IdOf(path, file) && IdOf(GetStdHandle(STD_OUTPUT_HANDLE), output) &&
           std::memcmp(&file.FileId, &output.FileId, sizeof file.FileId) == 0 &&
           (output.VolumeSerialNumber == 0 || output.VolumeSerialNumber == file.VolumeSerialNumber);
}

bool IsReservedDeviceName(const std::filesystem::path& path) {
    const std::wstring& whole = path.native();
    if (whole.starts_with(L"\\\\.\\")) return true;  // \\.\COM1, \\.\PhysicalDrive0
    // CON, NUL, COM1 and their kin name the device in any folder, with any extension and
    // trailing spaces or dots, in any case.
    std::wstring name = path.filename().native();
    name = name.substr(0, name.find(L'.'));
    while (!name.empty() && name.back() == L' ') name.pop_back();
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (name == device) return true;
    }
    return name.size() == 4 && (name.starts_with(L"COM") || name.starts_with(L"LPT")) &&
           name[3] >= L'1' && name[3] <= L'9';
}

std::string DisplayPath(const std::filesystem::path& path) {
    return Utf8FromWide(path.native());
}

std::unique_ptr<PendingFile> PendingFile::Create(const std::filesystem::path& target,
                                                 std::string& error) {
    for (unsigned attempt = 0;; ++attempt) {
        std::filesystem::path temporary = PendingNameFor(target, attempt);
        const HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK) {
            CloseHandle(handle);  // a device under another name: nothing to commit there
            error = "not a regular file";
            return nullptr;
        }
        if (handle != INVALID_HANDLE_VALUE) {
            RemovePendingOnConsoleEvents(temporary.native());
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
    g_hasPending = 0;
    return true;
}

void PendingFile::Forget() {
    g_hasPending = 0;
}
