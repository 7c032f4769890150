// Times the dialog's path: a whole recording loaded into memory (LoadRecording), then written as
// CSV (WriteCsv) to a file. Prints the two times in milliseconds and the sample count.
//   load_benchmark RECORDING [CSV]
#include <chrono>
#include <cstdio>
#include <string>

#include "CsvWriter.h"
#ifdef _WIN32
#include "File.h"
#endif
#include "LoadedRecording.h"
#include "Utf8.h"

namespace {

#ifdef _WIN32
// The dialog's own file object: a temporary file moved over the target when closed.
bool Export(const char* path, const LoadedRecording& recording) {
    CReplaceFile file;
    if (!file.Open(WideFromUtf8(path).c_str(), CFile::modeCreate | CFile::modeWrite)) return false;
    WriteCsv(file, recording);
    file.Close();
    return true;
}
#else
class StdioFile final : public OutputFile {
public:
    explicit StdioFile(const char* path) : m_file(std::fopen(path, "wb")) {}
    ~StdioFile() {
        if (m_file) std::fclose(m_file);
    }
    bool Write(const char* data, std::size_t size) override {
        return m_file && std::fwrite(data, 1, size, m_file) == size;
    }

private:
    std::FILE* m_file;
};

bool Export(const char* path, const LoadedRecording& recording) {
    StdioFile file(path);
    return WriteCsv(file, recording);
}
#endif

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: load_benchmark RECORDING [CSV]\n", stderr);
        return 2;
    }
    LoadedRecording recording;
    std::wstring summary;
    auto start = std::chrono::steady_clock::now();
    if (!recording.LoadRecording(WideFromUtf8(argv[1]), summary)) return 1;
    const double loadMs = MillisecondsSince(start);
    double exportMs = 0;
    if (argc > 2) {
        start = std::chrono::steady_clock::now();
        if (!Export(argv[2], recording)) return 1;
        exportMs = MillisecondsSince(start);
    }
    std::printf("samples %zu load_ms %.1f export_ms %.1f\n", recording.rows.size(), loadMs,
                exportMs);
    return 0;
}
