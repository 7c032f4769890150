#pragma once

#include <cstdint>

// Byte-order loads that do not depend on the host's own order; compilers turn them into bswap.
inline std::uint64_t LoadBigEndian64(const unsigned char* bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | bytes[i];
    return value;
}

inline std::uint32_t LoadBigEndian32(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}
