#include <gtest/gtest.h>

#include <map>

#include "MemoryFile.h"
#include "Platform.h"
#include "RecordingFuzzTarget.h"

// Every input that ever made the fuzzer report a fault, and the hostile seeds, through the
// dialog's load and summary and the CSV writer in each cell style, then through all the fuzzer
// runs it through: any crash, hang or sanitizer report is a fault.
TEST(CorpusReplay, EveryKeptInputReadsCleanly) {
    // Each input's outcome: its CSV's first line, or why it does not load.
    const std::map<std::string, std::string> expected = {{"empty", "(cannot load)"},
                                                         {"header-only", "(cannot load)"},
                                                         {"marker-signature", "(cannot load)"},
                                                         {"mixed-separators", "Time(s),X"},
                                                         {"nonfinite-values", "Time(s),X,Y,Z"},
                                                         {"stamps-backwards", "Time(s),X,Y,Z"},
                                                         {"token-1023", "Time(s),X"},
                                                         {"token-1024", "(cannot load)"},
                                                         {"value-range-one-ulp", "Time(s),X,Y,Z"},
                                                         {"version1-location", "(cannot load)"}};
    for (const auto& [name, outcome] : expected) {
        const std::filesystem::path path = std::filesystem::path(OSCIMO_CORPUS_DIR) / name;
        for (const CellStyle style :
             {CellStyle{}, CellStyle::WithDigits(17), CellStyle::RoundTrip()}) {
            const std::string csv = DialogCsvOf(path, style);
            EXPECT_EQ(csv.substr(0, csv.find('\r')), outcome) << name;
        }
        const FilePtr recording = OpenForReading(path);
        ASSERT_TRUE(recording) << name;
        ExerciseRecording(recording.get());
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(OSCIMO_CORPUS_DIR), {}),
              std::ptrdiff_t(expected.size()));  // every kept input has its outcome
}
