#include <gtest/gtest.h>

#include "MemoryFile.h"

// Every input that ever made the fuzzer report a fault, and the hostile seeds, through the
// dialog's load and summary and the CSV writer in each cell style: any crash, hang or sanitizer
// report is a fault.
TEST(CorpusReplay, EveryKeptInputReadsCleanly) {
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(OSCIMO_CORPUS_DIR)) {
        for (const CellStyle style :
             {CellStyle{}, CellStyle::WithDigits(17), CellStyle::RoundTrip()}) {
            loaded += DialogCsvOf(entry.path(), style).starts_with("Time(s)");
        }
    }
    EXPECT_GT(loaded, 0);
}
