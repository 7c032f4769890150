// Loads COUNT generated recordings, valid and damaged, one after another in one process through
// the dialog's load path, as a person opening file after file would. They are written to FOLDER
// first, named for what loading them must give (NNNNN-valid-SAMPLES.bin, NNNNN-damaged.bin), so
// that the converter can be run over the same files and checked. Prints the wrong results, the
// handles left open, the load time, how much resident memory the loads left behind and the peak.
//   many_recordings_benchmark FOLDER COUNT
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LoadedRecording.h"
#include "RecordingGenerator.h"

namespace fs = std::filesystem;

namespace {

long OpenHandleCount() {
    const fs::directory_iterator fds("/proc/self/fd");
    return static_cast<long>(std::distance(begin(fds), end(fds)));
}

// A memory figure of this process in KiB, from /proc/self/status: VmRSS now, VmHWM at its peak.
// (getrusage's peak would carry over a larger parent's from before exec.)
long MemoryKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
    return -1;
}

// What loading the file must give; kept small, so that the loads' memory is what shows.
struct Written {
    std::string path;  // a filesystem::path would keep each of its components as one more
    bool valid;
    std::uint64_t samples;
};

bool WriteMix(const fs::path& folder, unsigned count, std::vector<Written>& all) {
    for (unsigned i = 0; i < count; ++i) {
        const MixedRecording mixed = MixedRecordingAt(i);
        char name[64];
        if (mixed.valid) {
            std::snprintf(name, sizeof name, "%05u-valid-%llu.bin", i,
                          static_cast<unsigned long long>(mixed.spec.samples));
        } else {
            std::snprintf(name, sizeof name, "%05u-damaged.bin", i);
        }
        all.push_back({(folder / name).string(), mixed.valid, mixed.spec.samples});
        const std::string bytes = GenerateRecording(mixed.spec);
        std::ofstream out(all.back().path, std::ios::binary);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
            std::perror(name);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: many_recordings_benchmark FOLDER COUNT\n", stderr);
        return 2;
    }
    std::vector<Written> all;
    if (!WriteMix(argv[1], static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)), all)) {
        return 1;
    }
    LoadedRecording recording;
    std::wstring summary;
    const long handles = OpenHandleCount(), resident = MemoryKiB("VmRSS");
    unsigned wrong = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const Written& item : all) {
        const bool loaded = recording.LoadRecording(fs::path(item.path).wstring(), summary);
        wrong += loaded != item.valid || recording.rows.size() != (loaded ? item.samples : 0);
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf(
        "recordings %zu wrong %u handles_left_open %ld load_s %.3f rss_growth_kib %ld "
        "peak_rss_kib %ld\n",
        all.size(), wrong, OpenHandleCount() - handles, seconds.count(),
        MemoryKiB("VmRSS") - resident, MemoryKiB("VmHWM"));
    return 0;
}
