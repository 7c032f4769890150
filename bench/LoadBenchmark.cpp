// Times the dialog's path: a whole recording loaded into memory (LoadRecording), then written as
// CSV (WriteCsv) over a file; and, for comparison, the same CSV written by one CsvWriter on one
// thread, as the dialog did before. Prints the times in milliseconds and the sample count.
//   load_benchmark RECORDING [CSV]
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "CsvExport.h"
#include "CsvWriter.h"
#include "LoadedRecording.h"
#include "Platform.h"
#include "TargetFile.h"
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

// The export's own target file: a temporary file that takes the target's place once complete.
bool Export(const char* path, const LoadedRecording& recording, Writer write) {
    TargetProblem problem;
    const auto file =
        TargetFile::Open(PathFromWide(WideFromUtf8(path)), TargetFile::IfExists::Replace, problem);
    return file && write(*file, recording) && file->Commit();
}

void Replaceable(const char* path) {
    std::remove(path);
    if (std::FILE* file = std::fopen(path, "wb")) {
        std::fputs("earlier\n", file);
        std::fclose(file);
    }
}

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
        // Each over a small earlier file, so that the CSV is flushed before it takes the name,
        // as over any file, and no earlier CSV's pages are freed on the way.
        Replaceable(argv[2]);
        start = std::chrono::steady_clock::now();
        if (!Export(argv[2], recording, WriteOnOneThread)) return 1;
        oneThreadMs = MillisecondsSince(start);
        Replaceable(argv[2]);
        start = std::chrono::steady_clock::now();
        if (!Export(argv[2], recording, WriteCsv)) return 1;
        exportMs = MillisecondsSince(start);
    }
    std::printf("samples %zu load_ms %.1f export_ms %.1f one_thread_ms %.1f\n",
                recording.rows.size(), loadMs, exportMs, oneThreadMs);
    return 0;
}
