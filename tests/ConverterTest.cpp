#include <gtest/gtest.h>

#include "CsvWriter.h"
#include "LoadedRecording.h"
#include "Process.h"
#include "RecordingGenerator.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

class MemoryFile final : public OutputFile {
public:
    bool Write(const char* data, std::size_t size) override {
        bytes.append(data, size);
        return true;
    }
    std::string bytes;
};

class ConverterTest : public testing::Test {
protected:
    ProgramRun Run(const std::vector<fs::path>& arguments) {
        return RunProgram(ProgramBesideThisOne("oscimo2csv"), arguments);
    }

    fs::path Recording(const std::string& name, const RecordingSpec& spec = {}) {
        WriteFile(dir / name, GenerateRecording(spec));
        return dir / name;
    }

    // What the dialog's load and export write for the same file.
    static std::string DialogCsv(const fs::path& recording) {
        LoadedRecording loaded;
        std::wstring summary;
        EXPECT_TRUE(loaded.LoadRecording(recording.wstring(), summary));
        MemoryFile file;
        EXPECT_TRUE(WriteCsv(file, loaded));
        return file.bytes;
    }

    std::vector<std::string> FolderContents() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
};

TEST_F(ConverterTest, WritesTheSameBytesAsTheDialogBesideTheRecording) {
    RecordingSpec spec;
    spec.samples = 100'000;
    spec.tailBytes = 9;
    const fs::path recording = Recording("walk.bin", spec);
    const ProgramRun run = Run({recording});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("100000 samples"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(dir / "walk.bin.csv"), DialogCsv(recording));
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"walk.bin", "walk.bin.csv"}));
}

TEST_F(ConverterTest, EveryTypeMatchesTheDialog) {
    for (const char* type : {"TLocation", "speed", "gravity", "pressure"}) {
        RecordingSpec spec;
        spec.sensorType = type;
        const fs::path recording = Recording(std::string(type) + ".bin", spec);
        const fs::path csv = dir / (std::string(type) + ".csv");
        EXPECT_EQ(Run({"-q", recording, "-o", csv}).exitCode, 0);
        EXPECT_EQ(ReadFile(csv), DialogCsv(recording)) << type;
    }
}

TEST_F(ConverterTest, StandardOutputCarriesOnlyTheCsv) {
    const fs::path recording = Recording("a.bin");
    const ProgramRun run = Run({"-o", "-", recording});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, DialogCsv(recording));
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
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST_F(ConverterTest, KeepsAnExistingTargetUnlessForced) {
    const fs::path recording = Recording("a.bin");
    WriteFile(dir / "a.bin.csv", "precious");
    const ProgramRun refused = Run({recording});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("exists"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "a.bin.csv"), "precious");

    EXPECT_EQ(Run({recording, "-f"}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "a.bin.csv"), DialogCsv(recording));
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"a.bin", "a.bin.csv"}));
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
    const std::vector<std::string> before = FolderContents();
    for (const Case& c : cases) {
        const ProgramRun run = Run({c.recording});
        EXPECT_EQ(run.exitCode, 1) << c.reason;
        EXPECT_NE(run.err.find(c.recording.filename().string()), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    }
    EXPECT_EQ(FolderContents(), before);
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
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"a.bin"}));
}

TEST_F(ConverterTest, UsageErrorsExitWithTwo) {
    for (const std::vector<fs::path>& arguments :
         {std::vector<fs::path>{}, {"--bogus", "a.bin"}, {"-o"}, {"-o", "x", "a", "b"}}) {
        const ProgramRun run = Run(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("--help"), std::string::npos);
    }
    EXPECT_EQ(Run({"--version"}).out, "oscimo2csv 1.0.0.1\n");
    EXPECT_EQ(Run({"-h"}).exitCode, 0);
}

}  // namespace
