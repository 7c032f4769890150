#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "CsvWriter.h"
#include "LoadedRecording.h"
#include "MemoryFile.h"
#include "Process.h"
#include "Progress.h"
#include "RecordingGenerator.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

class ConverterTest : public testing::Test {
protected:
    ProgramRun Run(const std::vector<fs::path>& arguments) {
        return RunProgram(ProgramBesideThisOne("oscimo2csv"), arguments);
    }

    fs::path Recording(const std::string& name, const RecordingSpec& spec = {}) {
        WriteFile(dir / name, GenerateRecording(spec));
        return dir / name;
    }

    TempDir dir;
};

// Runs the converter, its standard output discarded, and returns its exit status and what
// reached its standard error: a file, or (not on Windows) a new pseudo-terminal.
ProgramRun RunDiscardingOutput(const std::vector<fs::path>& arguments, bool errorToTerminal) {
    return RunProgram(ProgramBesideThisOne("oscimo2csv"), arguments,
                      {.discardOutput = true, .errorToTerminal = errorToTerminal});
}

// The lines of a CSV text without their CR LF ends.
std::vector<std::string> CsvLines(const std::string& csv) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < csv.size()) {
        const std::size_t end = csv.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "unfinished last line";
            break;
        }
        lines.push_back(csv.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// A cell read back as strtod reads it; fails the test unless strtod takes the whole cell.
double ReadCell(const std::string& cell) {
    char* end = nullptr;
    const double value = std::strtod(cell.c_str(), &end);
    EXPECT_TRUE(!cell.empty() && end == cell.c_str() + cell.size()) << "cell \"" << cell << '"';
    return value;
}

bool SameValue(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) ||
           std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// A TLocation recording (binary64 values, stamps in milliseconds) made of the given samples.
struct HandMadeSample {
    std::uint64_t stamp;
    double values[3];
};
std::string HandMadeLocation(const std::vector<HandMadeSample>& samples) {
    std::string bytes = "Tavomir Morvanex A 2 TLocation hand\n";
    for (const HandMadeSample& sample : samples) {
        bytes += BigEndian64(sample.stamp);
        for (const double value : sample.values) bytes += BigEndianDouble(value);
    }
    return bytes;
}

TEST_F(ConverterTest, WritesTheSameBytesAsTheDialogBesideTheRecording) {
    RecordingSpec spec;
    spec.samples = 100'000;
    spec.tailBytes = 9;
    const fs::path recording = Recording("walk.bin", spec);
    const ProgramRun run = Run({recording});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("100000 samples"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(dir / "walk.bin.csv"), DialogCsvOf(recording));
    EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"walk.bin", "walk.bin.csv"}));
}

TEST_F(ConverterTest, EveryTypeMatchesTheDialog) {
    for (const char* type : {"TLocation", "speed", "gravity", "pressure"}) {
        RecordingSpec spec;
        spec.sensorType = type;
        const fs::path recording = Recording(std::string(type) + ".bin", spec);
        const fs::path csv = dir / (std::string(type) + ".csv");
        EXPECT_EQ(Run({"-q", recording, "-o", csv}).exitCode, 0);
        EXPECT_EQ(ReadFile(csv), DialogCsvOf(recording)) << type;
    }
}

TEST_F(ConverterTest, StandardOutputCarriesOnlyTheCsv) {
    const fs::path recording = Recording("a.bin");
    const ProgramRun run = Run({"-o", "-", recording});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, DialogCsvOf(recording));
    EXPECT_EQ(run.err, "");
}

TEST_F(ConverterTest, PrintsSummariesAndExportsNothing) {
    RecordingSpec speed;
    speed.sensorType = "speed";
    speed.samples = 70'000;
    const ProgramRun run = Run({"--summary", Recording("a.bin"), Recording("b.bin", speed)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "Tavomir Morvanex A 2 acceleration gen\r\n数量：100\r\n时间：是\r\n数据列：3\r\n"
              "Tavomir Morvanex A 2 speed gen\r\n数量：70000\r\n时间：是\r\n数据列：1\r\n");
    EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST_F(ConverterTest, ExactStylesReadBackToTheValuesTheDialogDecodes) {
    const double inf = std::numeric_limits<double>::infinity();
    // Cells at the longest (negative subnormals and near-limits), signed zero, ties that only
    // correct rounding gets right, and values that need all seventeen digits.
    const std::vector<HandMadeSample> edges = {
        {1'000, {-2.2250738585072009e-308, -DBL_MAX, -0.0}},
        {1'001, {5e-324, DBL_MIN, DBL_MAX}},
        {2'675, {0.1 + 0.2, 1.0 / 3.0, -2.0 / 3.0}},
        {9'999'999, {9007199254740993.0, 123456789012345678.0, 1e-7}},
        {999, {inf, -inf, std::numeric_limits<double>::quiet_NaN()}},
        {1'000, {0.30000000000000004, 2.675, 1e23}},
    };
    RecordingSpec location, acceleration;
    location.sensorType = "TLocation";
    location.samples = 400;
    acceleration.samples = 400;
    acceleration.tailBytes = 5;
    WriteFile(dir / "edges.bin", HandMadeLocation(edges));
    const fs::path recordings[] = {Recording("location.bin", location),
                                   Recording("acceleration.bin", acceleration), dir / "edges.bin"};

    for (const fs::path& recording : recordings) {
        LoadedRecording loaded;
        std::wstring summary;
        ASSERT_TRUE(loaded.LoadRecording(recording.wstring(), summary));
        ASSERT_TRUE(loaded.HasTimes());
        for (const std::vector<fs::path>& style :
             {std::vector<fs::path>{"--digits", "17"}, {"--round-trip"}}) {
            const std::string name = recording.filename().string() + " " + style.front().string();
            std::vector<fs::path> arguments = style;
            arguments.insert(arguments.end(), {"-o", "-", recording});
            const ProgramRun run = Run(arguments);
            ASSERT_EQ(run.exitCode, 0) << name << ": " << run.err;
            const std::vector<std::string> lines = CsvLines(run.out);
            ASSERT_EQ(lines.size(), loaded.rows.size() + 1) << name;
            EXPECT_EQ(lines[0], "Time(s),X,Y,Z") << name;
            for (std::size_t i = 0; i < loaded.rows.size(); ++i) {
                std::vector<std::string> cells;
                std::istringstream line(lines[i + 1]);
                for (std::string cell; std::getline(line, cell, ',');) cells.push_back(cell);
                ASSERT_EQ(cells.size(), 4u) << name << " line " << i + 2;
                EXPECT_TRUE(SameValue(ReadCell(cells[0]), loaded.times[i]))
                    << name << " line " << i + 2 << ": " << cells[0];
                for (int c = 0; c < 3; ++c) {
                    const std::string& cell = cells[static_cast<std::size_t>(c) + 1];
                    EXPECT_TRUE(SameValue(ReadCell(cell), loaded.rows[i].values[c]))
                        << name << " line " << i + 2 << ": " << cell;
                }
            }
        }
    }
}

TEST_F(ConverterTest, ChosenDigitsRoundEachCell) {
    WriteFile(dir / "hand.bin", HandMadeLocation({
                                    {5'000, {123456.0, 0.00012345, -9.996}},
                                    {6'234, {2.675, 1e-300, 0.5}},
                                    {7'675, {-0.0, 1234.5, 5e-324}},
                                }));
    const ProgramRun three = Run({"--digits", "3", "-o", "-", dir / "hand.bin"});
    EXPECT_EQ(three.exitCode, 0) << three.err;
    EXPECT_EQ(three.out,
              "Time(s),X,Y,Z\r\n"
              "0,1.23e+005,0.000123,-10\r\n"
              "1.23,2.67,1e-300,0.5\r\n"
              "2.67,-0,1.23e+003,4.94e-324\r\n");

    RecordingSpec spec;
    spec.samples = 50'000;
    const fs::path recording = Recording("walk.bin", spec);
    const ProgramRun six = Run({"--digits", "6", "-o", "-", recording});
    EXPECT_EQ(six.exitCode, 0) << six.err;
    EXPECT_TRUE(six.out == DialogCsvOf(recording)) << "--digits 6 differs from the default";
}

TEST_F(ConverterTest, ProgressOnlyOnATerminal) {
    // The conversion must outlast the progress line's delay. Samples of zeros, a sparse file
    // that costs no disk, are added until it does on this machine.
    const fs::path recording = dir / "long.bin";
    const std::string header = "Tavomir Morvanex A 2 acceleration zeros\n";
    WriteFile(recording, header);
    const std::vector<fs::path> arguments = {"--round-trip", "-o", "-", recording};
    std::uint64_t samples = 8'000'000;
    const auto grow = [&] {
        samples *= 2;
        fs::resize_file(recording, header.size() + samples * 20);
        return samples < 128'000'000;
    };
#ifdef _WIN32
    ProgramRun toFile;
    while (grow()) {
        const auto start = std::chrono::steady_clock::now();
        toFile = RunDiscardingOutput(arguments, false);
        if (std::chrono::steady_clock::now() - start > 2 * Progress::kDelay) break;
    }
#else
    ProgramRun onTerminal;
    while (grow()) {
        onTerminal = RunDiscardingOutput(arguments, true);
        if (!onTerminal.err.empty()) break;
    }
    EXPECT_EQ(onTerminal.exitCode, 0);
    const std::string line = "\roscimo2csv: long.bin: ";
    EXPECT_TRUE(onTerminal.err.starts_with(line)) << onTerminal.err;
    EXPECT_TRUE(
        onTerminal.err.ends_with(line + "100%\r" + std::string(line.size() + 3, ' ') + "\r"))
        << onTerminal.err;
    EXPECT_EQ(RunDiscardingOutput({"-q", "--round-trip", "-o", "-", recording}, true).err, "");
    // Half as long again as a conversion that showed progress.
    samples += samples / 2;
    fs::resize_file(recording, header.size() + samples * 20);
    const ProgramRun toFile = RunDiscardingOutput(arguments, false);
#endif
    EXPECT_EQ(toFile.exitCode, 0);
    EXPECT_EQ(toFile.err, "");
}

TEST_F(ConverterTest, KeepsAnExistingTargetUnlessForced) {
    const fs::path recording = Recording("a.bin");
    WriteFile(dir / "a.bin.csv", "precious");
    const ProgramRun refused = Run({recording});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("exists"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "a.bin.csv"), "precious");

    EXPECT_EQ(Run({recording, "-f"}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "a.bin.csv"), DialogCsvOf(recording));
    EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"a.bin", "a.bin.csv"}));
}

TEST_F(ConverterTest, FailuresNameTheFileAndTheReasonAndLeaveNothingBehind) {
    RecordingSpec wrongFamily, headerOnly;
    wrongFamily.family = "morvanex";
    headerOnly.samples = 0;
    headerOnly.tailBytes = 7;
    struct Case {
        fs::path recording;
        std::string reason;
    };
    const Case cases[] = {
        {dir / "absent.bin", "cannot open"},
        {Recording("family.bin", wrongFamily), "not a recording: the family token"},
        {Recording("short.bin", headerOnly), "no complete sample"},
        {dir.path(), "not a regular file"},
    };
    const std::vector<std::string> before = FolderContents(dir.path());
    for (const Case& c : cases) {
        const ProgramRun run = Run({c.recording});
        EXPECT_EQ(run.exitCode, 1) << c.reason;
        EXPECT_NE(run.err.find(c.recording.filename().string()), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    }
    EXPECT_EQ(FolderContents(dir.path()), before);
}

TEST_F(ConverterTest, NeverRenamesOverAFolderOrADevice) {
    const fs::path recording = Recording("a.bin");
    fs::create_directory(dir / "folder");
    std::vector<fs::path> targets = {dir / "folder"};
#ifndef _WIN32
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    targets.push_back(dir / "pipe");
#endif
    const std::vector<std::string> before = FolderContents(dir.path());
    for (const fs::path& target : targets) {
        const ProgramRun run = Run({"-f", "-o", target, recording});
        EXPECT_EQ(run.exitCode, 1) << target;
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::is_regular_file(target)) << target;
    }
    EXPECT_EQ(FolderContents(dir.path()), before);
}

TEST_F(ConverterTest, GoesOnAfterAFailureAndReportsIt) {
    const ProgramRun run = Run({dir / "absent.bin", Recording("good.bin")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(fs::exists(dir / "good.bin.csv"));
}

TEST_F(ConverterTest, RefusesTargetsItCannotOrMustNotWrite) {
    const fs::path recording = Recording("a.bin");
    const std::string original = ReadFile(recording);
    EXPECT_EQ(Run({"-f", "-o", recording, recording}).exitCode, 1);  // would replace its input
    EXPECT_EQ(ReadFile(recording), original);
    const ProgramRun missingFolder = Run({"-o", dir / "no" / "such" / "x.csv", recording});
    EXPECT_EQ(missingFolder.exitCode, 1);
    EXPECT_NE(missingFolder.err.find("cannot create"), std::string::npos) << missingFolder.err;
    EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"a.bin"}));
}

TEST_F(ConverterTest, UsageErrorsExitWithTwo) {
    const fs::path recording = Recording("a.bin");
    for (const std::vector<fs::path>& arguments : {
             std::vector<fs::path>{},
             {"--bogus", "a.bin"},
             {"-o"},
             {"-o", "x", "a", "b"},
             {"--digits", "0", recording},
             {"--digits", "18", recording},
             {"--digits", "x", recording},
             {recording, "--digits"},
             {"--digits", "3", "--round-trip", recording},
             {"--summary", "--digits", "3", recording},
             {"--round-trip", "--summary", recording},
         }) {
        const ProgramRun run = Run(arguments);
        const std::string name = testing::PrintToString(arguments);
        EXPECT_EQ(run.exitCode, 2) << name;
        EXPECT_EQ(run.out, "") << name;
        EXPECT_NE(run.err.find("--help"), std::string::npos) << name;
    }
    EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"a.bin"}));
    EXPECT_EQ(Run({"--version"}).out, "oscimo2csv 1.0.0.1\n");
    EXPECT_EQ(Run({"-h"}).exitCode, 0);
}

TEST(Progress, AppearsAfterASecondFollowsThePercentageAndIsErased) {
    using namespace std::chrono_literals;
    std::string shown;
    std::size_t calls = 0;
    const auto show = [&](std::string_view text) {
        shown.append(text);
        ++calls;
    };
    const Progress::Clock::time_point start{};
    {
        Progress progress("oscimo2csv: walk.bin", show, start);
        progress.Update(10, 100, start + 999ms);  // too early
        progress.Update(20, 0, start + 2s);       // size unknown
        EXPECT_EQ(calls, 0u);
        progress.Update(42, 100, start + 1001ms);
        progress.Update(425, 1000, start + 1100ms);  // still 42%
        progress.Update(2, 3, start + 3s);           // 66%, not rounded up
        progress.Update(130, 100, start + 4s);       // more than the size promised
        EXPECT_EQ(shown,
                  "\roscimo2csv: walk.bin: 42%\roscimo2csv: walk.bin: 66%"
                  "\roscimo2csv: walk.bin: 100%");
        shown.clear();
        progress.Finish();
        EXPECT_EQ(shown, "\r" + std::string(26, ' ') + "\r");
        shown.clear();
        progress.Update(50, 100, start + 5s);
        progress.Finish();
    }
    EXPECT_EQ(shown, "");

    // Never shown: nothing to erase, from Finish or from the destructor.
    calls = 0;
    { Progress(std::string("x"), show, start).Update(99, 100, start + 500ms); }
    EXPECT_EQ(calls, 0u);

    // Erased by the destructor when a failure skips Finish; a wide name is erased in full.
    shown.clear();
    {
        Progress progress("oscimo2csv: \xE8\xB5\xB0\xE8\xB7\xAF.bin", show, start);
        progress.Update(1, 2, start + 2s);
    }
    const std::string line = "\roscimo2csv: \xE8\xB5\xB0\xE8\xB7\xAF.bin: 50%";
    ASSERT_TRUE(shown.starts_with(line)) << shown;
    const std::string erase = shown.substr(line.size());
    EXPECT_EQ(erase.find_first_not_of(' ', 1), erase.size() - 1) << erase;
    EXPECT_GE(erase.size() - 2, 25u) << erase;  // the two CJK characters take two columns each
}

}  // namespace
