#include "Platform.h"

#include <windows.h>

#include <io.h>

#include <cerrno>

FilePtr OpenForReading(const std::filesystem::path& path) {
    FilePtr file(_wfopen(path.c_str(), L"rb"));
    // A device or a pipe (COM1, a named pipe) could keep a read waiting for good.
    if (file && GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file.get())))) !=
                    FILE_TYPE_DISK) {
        file.reset();
        errno = EINVAL;
    }
    return file;
}

std::filesystem::path PathFromWide(const std::wstring& widePath) {
    return std::filesystem::path(widePath);
}

std::wstring WideFromNarrow(std::string_view bytes) {
    if (bytes.empty()) return {};
    // The thread's ANSI code page, as the framework's own narrow-to-wide conversion uses.
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) return std::wstring(bytes.size(), L'\uFFFD');
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

std::uint64_t FileSize(std::FILE* file) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    LARGE_INTEGER size{};
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileSizeEx(handle, &size)) {
        return 0;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

void PrepareLargeBlock(void*, std::size_t) {
    // Large pages need a privilege ordinary users do not hold; nothing to do.
}
