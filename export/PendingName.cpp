#include "PendingName.h"

#include <string>

std::filesystem::path PendingNameFor(const std::filesystem::path& target, unsigned attempt) {
    std::filesystem::path name = target;
    name += ".partial";
    if (attempt > 0) {
        name += "-";
        name += std::to_string(attempt);
    }
    return name;
}
