#include "PendingName.h"

#include <string>

namespace {

using String = std::filesystem::path::string_type;

// File names hold at most 255 units: UTF-16 units on Windows, bytes on most other systems.
constexpr std::size_t kLongestName = 255;

// Whether unit i of a name begins a character (a code point).
bool StartsCharacter(const String& name, std::size_t i) {
    const auto unit = static_cast<unsigned long>(name[i]);
    return sizeof name[i] == 1 ? (unit & 0xC0) != 0x80 : (unit & 0xFC00) != 0xDC00;
}

// The name's length in UTF-8 bytes, the longest way a file system counts it: a Windows program
// may store its names on a system that counts bytes (a network share, or Wine's host).
std::size_t Utf8Length(const String& name) {
    std::size_t bytes = 0;
    for (const auto c : name) {
        const auto unit = static_cast<unsigned long>(c);
        bytes += sizeof c == 1 || unit < 0x80                ? 1
                 : unit < 0x800 || (unit & 0xF800) == 0xD800 ? 2
                                                             : 3;
    }
    return bytes;
}

// target's name, then kind and attempt's number: shortened where that would pass the limit.
std::filesystem::path NameBeside(const std::filesystem::path& target, const char* kind,
                                 unsigned attempt) {
    const std::string suffix = kind + (attempt > 0 ? "-" + std::to_string(attempt) : "");
    String name = target.filename().native();
    // A name too long for the suffix gives up as many characters as the suffix adds: the
    // temporary is then no longer than the target's own, legal name, however units are counted.
    if (Utf8Length(name) + suffix.size() > kLongestName) {
        std::size_t keep = name.size();
        for (std::size_t dropped = 0; dropped < suffix.size() && keep > 0;) {
            if (StartsCharacter(name, --keep)) ++dropped;
        }
        name.resize(keep);
    }
    name.append(suffix.begin(), suffix.end());
    return target.parent_path() / name;
}

}  // namespace

std::filesystem::path PendingNameFor(const std::filesystem::path& target, unsigned attempt) {
    return NameBeside(target, ".partial", attempt);
}

std::filesystem::path BackupNameFor(const std::filesystem::path& target, unsigned attempt) {
    return NameBeside(target, ".backup", attempt);
}
