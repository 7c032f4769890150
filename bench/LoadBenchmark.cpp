// Times the dialog's path: a whole recording loaded into memory (LoadRecording), then written as
// CSV (WriteCsv) to a file; and, for comparison, the same CSV written by one CsvWriter on one
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
