#pragma once

#include <bit>
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

// Reverses Width bytes in place and reads them as binary32 (widened) or binary64. Written as a
// load and a store of the swapped bits, so that decoding from a scratch copy costs no more than
// the load: the compiler drops the store nobody reads.
template <int Width>
double DecodeBigEndianValue(unsigned char* bytes) {
    static_assert(Width == 4 || Width == 8);
    if constexpr (Width == 4) {
        const std::uint32_t bits = LoadBigEndian32(bytes);
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
        return std::bit_cast<float>(bits);
    } else {
        const std::uint64_t bits = LoadBigEndian64(bytes);
        for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
        return std::bit_cast<double>(bits);
    }
}
