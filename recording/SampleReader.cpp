#include "SampleReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ByteOrder.h"
#include "Platform.h"

namespace {

constexpr std::size_t kSamplesPerBlock = 32768;

std::uint64_t g_failAfter = 0;
int g_failWith = 0;

// Decodes a copy: the block's bytes stay as read, and the copy costs nothing once inlined.
template <int Width>
double LoadValue(const unsigned char* bytes) {
    unsigned char value[Width];
    std::memcpy(value, bytes, Width);
    return DecodeBigEndianValue<Width>(value);
}

// Specialised per layout and on what is kept (times, the stamps as recorded), so the inner loop
// has no per-value branches and each caller pays only for what it asks for: the times' division
// costs as much as the rest of the decoding.
template <int Width, int Columns, bool Times, bool Stamps>
void DecodeSamples(const unsigned char* bytes, std::size_t count, std::uint64_t base,
                   double ticksPerSecond, std::vector<double>* times, std::vector<SampleRow>& rows,
                   std::vector<std::uint64_t>* stamps) {
    for (std::size_t i = 0; i < count; ++i, bytes += 8 + Width * Columns) {
        const std::uint64_t stamp = LoadBigEndian64(bytes);
        if constexpr (Stamps) stamps->push_back(stamp);
        // A stamp before the first gives a negative time.
        if constexpr (Times) times->push_back(TicksBetween(base, stamp) / ticksPerSecond);
        SampleRow row;
        for (int c = 0; c < Columns; ++c) row.values[c] = LoadValue<Width>(bytes + 8 + Width * c);
        rows.push_back(row);
    }
}

template <bool Times, bool Stamps>
void DecodeLayout(const unsigned char* bytes, std::size_t count, std::uint64_t base,
                  SensorFormat format, std::vector<double>* times, std::vector<SampleRow>& rows,
                  std::vector<std::uint64_t>* stamps) {
    const double ticks = format.ticksPerSecond;
    if (format.valueWidth == 8) {
        DecodeSamples<8, 3, Times, Stamps>(bytes, count, base, ticks, times, rows, stamps);
    } else if (format.columnCount == 3) {
        DecodeSamples<4, 3, Times, Stamps>(bytes, count, base, ticks, times, rows, stamps);
    } else {
        DecodeSamples<4, 1, Times, Stamps>(bytes, count, base, ticks, times, rows, stamps);
    }
}

}  // namespace

bool PeekLastStamp(std::FILE* file, SensorFormat format, std::uint64_t& stamp) {
    const auto sampleBytes = static_cast<std::uint64_t>(8 + format.valueWidth * format.columnCount);
    const std::uint64_t size = FileSize(file);
    const long body = std::ftell(file);
    if (size == 0 || body < 0 || size < static_cast<std::uint64_t>(body) + sampleBytes) {
        return false;
    }
    const auto samples = (size - static_cast<std::uint64_t>(body)) / sampleBytes;
    unsigned char bytes[8];
    if (!SeekFile(file, static_cast<std::uint64_t>(body) + (samples - 1) * sampleBytes) ||
        std::fread(bytes, 1, 8, file) != 8) {
        return false;
    }
    stamp = LoadBigEndian64(bytes);
    return true;
}

SampleReader::SampleReader(std::FILE* file, SensorFormat format)
    : m_file(file),
      m_format(format),
      m_sampleBytes(8 + static_cast<std::size_t>(format.valueWidth * format.columnCount)),
      m_bufferBytes(m_sampleBytes * kSamplesPerBlock),
      m_buffer(new unsigned char[m_bufferBytes]) {}

std::uint64_t SampleReader::RemainingSamplesHint() const {
    const std::uint64_t size = FileSize(m_file);
    const long position = std::ftell(m_file);
    if (size == 0 || position < 0 || size < static_cast<std::uint64_t>(position)) return 0;
    return (size - static_cast<std::uint64_t>(position)) / m_sampleBytes;
}

void FailBodyReadsForTesting(std::uint64_t afterBytes, int error) {
    g_failAfter = afterBytes;
    g_failWith = error;
}

bool SampleReader::ReadBlock(std::vector<double>& times, std::vector<SampleRow>& rows,
                             std::vector<std::uint64_t>* stamps) {
    return Read(&times, rows, stamps);
}

bool SampleReader::ReadBlock(std::vector<std::uint64_t>& stamps, std::vector<SampleRow>& rows) {
    return Read(nullptr, rows, &stamps);
}

bool SampleReader::Read(std::vector<double>* times, std::vector<SampleRow>& rows,
                        std::vector<std::uint64_t>* stamps) {
    if (m_ended) return false;
    const std::size_t want = m_bufferBytes - m_pending;
    errno = 0;
    std::size_t got = std::fread(m_buffer.get() + m_pending, 1, want, m_file);
    if (got < want && std::ferror(m_file)) m_error = errno != 0 ? errno : EIO;
    if (g_failWith != 0 && m_read + got > g_failAfter) {
        got = static_cast<std::size_t>(g_failAfter - std::min(g_failAfter, m_read));
        m_error = g_failWith;
    }
    m_read += got;
    // A read error is no end of the file: what came before it is not the whole recording.
    if (got == 0 || m_error != 0) {
        m_ended = true;
        return false;
    }
    const std::size_t available = m_pending + got;
    const std::size_t count = available / m_sampleBytes;
    if (count > 0) {
        if (!m_haveBase) {
            m_baseStamp = LoadBigEndian64(m_buffer.get());
            m_haveBase = true;
        }
        const unsigned char* bytes = m_buffer.get();
        if (!times) {
            DecodeLayout<false, true>(bytes, count, m_baseStamp, m_format, nullptr, rows, stamps);
        } else if (stamps) {
            DecodeLayout<true, true>(bytes, count, m_baseStamp, m_format, times, rows, stamps);
        } else {
            DecodeLayout<true, false>(bytes, count, m_baseStamp, m_format, times, rows, nullptr);
        }
    }
    m_pending = available - count * m_sampleBytes;
    std::memmove(m_buffer.get(), m_buffer.get() + count * m_sampleBytes, m_pending);
    return true;
}
