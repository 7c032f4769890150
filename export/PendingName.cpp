#include "PendingName.h"

#include <string>

namespace {

// File names hold at most 255 units (bytes here, UTF-16 units on Windows).
constexpr std::size_t kLongestName = 255;

// Whether a name may be cut before position i without splitting a character.
bool StartsCharacter(const std::filesystem::path::string_type& name, std::size_t i) {
    const auto unit = static_cast<unsigned long>(name[i]);
    return sizeof name[i] == 1 ? (unit & 0xC0) != 0x80 : (unit & 0xFC00) != 0xDC00;
}

}  // namespace

std::filesystem::path PendingNameFor(const std::filesystem::path& target, unsigned attempt) {
    using String = std::filesystem::path::string_type;
    const std::string suffix = ".partial" + (attempt > 0 ? "-" + std::to_string(attempt) : "");
    String name = target.filename().native();
    // A name too long for the suffix gives up its end instead: the temporary is then no longer
    // than the target's own, legal name.
    if (name.size() + suffix.size() > kLongestName && name.size() > suffix.size()) {
        std::size_t keep = name.size() - suffix.size();
        while (keep > 0 && !StartsCharacter(name, keep)) --keep;
        name.resize(keep);
    }
    name.append(suffix.begin(), suffix.end());
    return target.parent_path() / name;
}
