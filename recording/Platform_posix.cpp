#include "Platform.h"

#include <sys/stat.h>

#include "Utf8.h"

FilePtr OpenForReading(const std::filesystem::path& path) {
    return FilePtr(std::fopen(path.c_str(), "rb"));
}

std::filesystem::path PathFromWide(const std::wstring& widePath) {
    return std::filesystem::path(Utf8FromWide(widePath));
}

std::wstring WideFromNarrow(std::string_view bytes) {
    return WideFromUtf8(bytes);
}

std::uint64_t FileSize(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}
