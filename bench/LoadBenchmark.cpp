// Times the dialog's path: a whole recording loaded into memory (LoadRecording), then written as
// CSV (WriteCsv) to a file; and, for comparison, the same CSV written by one CsvWriter on one
// thread, as the dialog did before. Prints the times in milliseconds and the sample count.
//   load_benchmark RECORDING [CSV]
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "CsvWriter.h"
#ifdef _WIN32
#include "File.h"
#endif
#include "LoadedRecording.h"
#include "Utf8.h"

namespace {

// The whole CSV from one writer on this thread.
bool WriteOnOneThread(OutputFile& file, const LoadedRecording& recording) {
    const auto writer = std::make_unique<CsvWriter>(file, recording.columnCount, true);
    return writer->WriteHeaderLine() &&
           writer->WriteRows(recording.times.data(), recording.rows.data(),
                             recording.rows.size()) &&
           writer->Flush();
}

using Writer = bool (*)(OutputFile&, const LoadedRecording&);

#ifdef _WIN32
// The dialog's own file object: a temporary file moved over the target when closed.
bool Export(const char* path, const LoadedRecording& recording, Writer write) {
    CReplaceFile file;
    if (!file.Open(WideFromUtf8(path).c_str(), CFile::modeCreate | CFile::modeWrite)) return false;
    write(file, recording);
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

bool Export(const char* path, const LoadedRecording& recording, Writer write) {
    StdioFile file(path);
    return write(file, recording);
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
    double exportMs = 0, oneThreadMs = 0;
    if (argc > 2) {
        // Each into a new file: truncating the last one's pages is no part of either.
        std::remove(argv[2]);
        start = std::chrono::steady_clock::now();
        if (!Export(argv[2], recording, WriteOnOneThread)) return 1;
        oneThreadMs = MillisecondsSince(start);
        std::remove(argv[2]);
        start = std::chrono::steady_clock::now();
        if (!Export(argv[2], recording, WriteCsv)) return 1;
        exportMs = MillisecondsSince(start);
    }
    std::printf("samples %zu load_ms %.1f export_ms %.1f one_thread_ms %.1f\n",
                recording.rows.size(), loadMs, exportMs, oneThreadMs);
    return 0;
}
