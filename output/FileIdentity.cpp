#include "FileIdentity.h"

bool IsSameFile(const std::filesystem::path& one, const std::filesystem::path& other) {
    const std::string identity = FileIdentity(one);
    return !identity.empty() && identity == FileIdentity(other);
}
