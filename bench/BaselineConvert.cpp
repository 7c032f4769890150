// The straightforward converters the benchmarks compare against: one read call per time stamp and
// per value, cells formatted with snprintf("%g") and the exponent widened, and either every cell,
// separator and line end written by its own unbuffered system call, or written through stdio.
//   baseline_convert --unbuffered|--stdio RECORDING OUT
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "RecordingHeader.h"
#include "SampleReader.h"
#include "WidenExponent.h"

namespace {

// Unbuffered: each piece is its own write(2).
struct RawOut {
    int fd;
    void Put(const char* text, std::size_t size) {
        if (::write(fd, text, size) != static_cast<ssize_t>(size)) std::perror("write");
    }
};

struct StdioOut {
    std::FILE* file;
    void Put(const char* text, std::size_t size) { std::fwrite(text, 1, size, file); }
};

std::uint64_t BigEndian(const unsigned char* bytes, int width) {
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) value = (value << 8) | bytes[i];
    return value;
}

template <typename Out>
void PutCell(Out& out, double value) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%g", value);
    out.Put(text, WidenExponent(text, static_cast<std::size_t>(length)));
}

template <typename Out>
bool Convert(std::FILE* in, Out& out) {
    std::string header;
    SensorFormat format{};
    if (!ReadRecordingHeader(in, header, format, nullptr)) return false;
    static const char* const kNames[] = {"X", "Y", "Z"};
    out.Put("Time(s)", 7);
    for (int c = 0; c < format.columnCount; ++c) {
        out.Put(",", 1);
        out.Put(kNames[c], 1);
    }
    out.Put("\r\n", 2);
    bool first = true;
    std::uint64_t base = 0;
    unsigned char bytes[8];
    while (std::fread(bytes, 1, 8, in) == 8) {
        const std::uint64_t stamp = BigEndian(bytes, 8);
        if (first) base = stamp;
        first = false;
        double values[3];
        for (int c = 0; c < format.columnCount; ++c) {
            if (std::fread(bytes, 1, static_cast<std::size_t>(format.valueWidth), in) !=
                static_cast<std::size_t>(format.valueWidth)) {
                return true;
            }
            const std::uint64_t bits = BigEndian(bytes, format.valueWidth);
            if (format.valueWidth == 4) {
                float single;
                const auto narrow = static_cast<std::uint32_t>(bits);
                std::memcpy(&single, &narrow, 4);
                values[c] = single;
            } else {
                std::memcpy(&values[c], &bits, 8);
            }
        }
        PutCell(out, static_cast<double>(static_cast<std::int64_t>(stamp - base)) /
                         format.ticksPerSecond);
        for (int c = 0; c < format.columnCount; ++c) {
            out.Put(",", 1);
            PutCell(out, values[c]);
        }
        out.Put("\r\n", 2);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: baseline_convert --unbuffered|--stdio RECORDING OUT\n", stderr);
        return 2;
    }
    std::FILE* in = std::fopen(argv[2], "rb");
    if (!in) return 1;
    bool ok = false;
    if (std::strcmp(argv[1], "--unbuffered") == 0) {
        RawOut out{::open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644)};
        ok = out.fd >= 0 && Convert(in, out) && ::close(out.fd) == 0;
    } else {
        StdioOut out{std::fopen(argv[3], "wb")};
        ok = out.file && Convert(in, out) && std::fclose(out.file) == 0;
    }
    std::fclose(in);
    return ok ? 0 : 1;
}
