#include "FileIdentity.h"

#include <sys/stat.h>

namespace {

std::string IdentityOf(const struct stat& file) {
    return std::to_string(file.st_dev) + ":" + std::to_string(file.st_ino);
}

}  // namespace

std::string FileIdentity(const std::filesystem::path& path) {
    struct stat file {};
    return ::stat(path.c_str(), &file) == 0 ? IdentityOf(file) : std::string();
}

bool IsStandardOutput(const std::filesystem::path& path) {
    struct stat output {};
    return ::fstat(1, &output) == 0 && FileIdentity(path) == IdentityOf(output);
}

void WithoutFileIdsForTesting(bool) {}
