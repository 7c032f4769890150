#include "MemoryFile.h"

#include <gtest/gtest.h>

#include "CsvWriter.h"
#include "LoadedRecording.h"

std::string DialogCsvOf(const std::filesystem::path& recording) {
    LoadedRecording loaded;
    std::wstring summary;
    EXPECT_TRUE(loaded.LoadRecording(recording.wstring(), summary)) << recording;
    MemoryFile file;
    EXPECT_TRUE(WriteCsv(file, loaded));
    return file.bytes;
}
