#include "MemoryFile.h"

#include <memory>

#include "LoadedRecording.h"

std::string DialogCsvOf(const std::filesystem::path& recording, CellStyle style) {
    LoadedRecording loaded;
    std::wstring summary;
    if (!loaded.LoadRecording(recording.wstring(), summary)) return "(cannot load)";
    MemoryFile file;
    const auto writer = std::make_unique<CsvWriter>(file, loaded.columnCount, true, style);
    if (!writer->WriteHeaderLine() ||
        !writer->WriteRows(loaded.times.data(), loaded.rows.data(), loaded.rows.size()) ||
        !writer->Flush()) {
        return "(cannot write)";
    }
    return file.bytes;
}
