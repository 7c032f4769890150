// Faults from outside: a full disk, files other programs hold, names that cannot be, paths that
// are not files, memory that runs out, hostile shapes. Each ends in a clear failure, and nothing
// the user had is changed.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mount.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>

#include "LoadedRecording.h"
#include "Process.h"
#include "RecordingGenerator.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

class FailureInjection : public testing::Test {
protected:
    ProgramRun Convert(const std::vector<fs::path>& arguments) {
        return RunProgram(ProgramBesideThisOne("oscimo2csv"), arguments);
    }

    fs::path Recording(const std::string& name, const RecordingSpec& spec = {}) {
        WriteFile(dir / name, GenerateRecording(spec));
        return dir / name;
    }

    TempDir dir;
};

// Expects a failed conversion that names the file and why, and left every file as it was.
void ExpectRefused(const ProgramRun& run, const std::string& name, const std::string& reason) {
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
}

TEST_F(FailureInjection, RefusesATargetNameThatCannotBe) {
    const fs::path recording = Recording("a.bin");
#ifdef _WIN32
    const fs::path target = dir / "a<b>.csv";
#else
    const fs::path target = dir / std::string(300, 'n');  // longer than a name may be
#endif
    ExpectRefused(Convert({"-o", target, recording}), "a.bin", "cannot create");
    EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"a.bin"});
}

#ifdef _WIN32
// Another program holding a file open without sharing, as an editor or a logger does.
class HeldFile {
public:
    explicit HeldFile(const fs::path& path)
        : m_handle(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() { ::CloseHandle(m_handle); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

TEST_F(FailureInjection, FilesOtherProgramsHoldStayAsTheyAre) {
    const fs::path recording = Recording("a.bin");
    const fs::path target = dir / "a.csv";
    WriteFile(target, "earlier export");
    {
        const HeldFile held(target);
        ASSERT_TRUE(held.Held());
        const ProgramRun run = Convert({"-f", "-o", target, recording});
        ExpectRefused(run, "a.csv", "cannot write");
    }
    EXPECT_EQ(ReadFile(target), "earlier export");
    {
        const HeldFile held(recording);
        ASSERT_TRUE(held.Held());
        ExpectRefused(Convert({"-f", "-o", target, recording}), "a.bin", "cannot open");
    }
    EXPECT_EQ(ReadFile(target), "earlier export");
    EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"a.bin", "a.csv"}));
}
#else
TEST_F(FailureInjection, DiskFullKeepsTheEarlierFile) {
    const fs::path small = dir / "small";
    fs::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root): " << strerror(errno);
    }
    struct Unmount {
        fs::path path;
        ~Unmount() { ::umount(path.c_str()); }
    } unmount{small};
    const fs::path target = small / "walk.csv";
    WriteFile(target, "earlier export");
    RecordingSpec spec;
    spec.samples = 50'000;  // about 1.7 MB of CSV
    const ProgramRun run = Convert({"-f", "-o", target, Recording("walk.bin", spec)});
    ExpectRefused(run, "walk.csv", "No space left on device");
    EXPECT_EQ(ReadFile(target), "earlier export");
    EXPECT_EQ(FolderContents(small), std::vector<std::string>{"walk.csv"});
}

TEST_F(FailureInjection, PipesAndDevicesAreRefusedNotWaitedOn) {
    const fs::path fifo = dir / "fifo.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ExpectRefused(Convert({fifo}), "fifo.bin", "not a regular file");
    ExpectRefused(Convert({"--summary", "/dev/zero"}), "/dev/zero", "not a regular file");
    ExpectRefused(Convert({"-f", "-o", fifo, Recording("a.bin")}), "fifo.bin",
                  "not a regular file");
}

// The converter streams: a recording far larger than the memory it may use still converts.
TEST_F(FailureInjection, ConvertsRecordingsLargerThanItsMemory) {
#ifdef OSCIMO_SANITIZED
    GTEST_SKIP() << "a sanitizer's shadow memory does not fit under a small ulimit -v";
#endif
    RecordingSpec spec;
    spec.samples = 4'000'000;  // 128 MB if held in memory; the limit below is 96 MB
    const fs::path recording = Recording("big.bin", spec);
    const ProgramRun run = RunProgram(
        "/bin/sh", {"-c", "ulimit -v 98304 && exec \"$0\" \"$@\"",
                    ProgramBesideThisOne("oscimo2csv"), "-q", "-o", dir / "big.csv", recording});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string csv = ReadFile(dir / "big.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4'000'001);
}

// A valid header, then a gigabyte of random bytes: every 20 bytes decode as a sample.
TEST_F(FailureInjection, AGigabyteOfRandomBodyIsReadToTheEnd) {
    const fs::path recording = dir / "random.bin";
    {
        std::ofstream out(recording, std::ios::binary);
        out << "Tavomir Morvanex A 2 acceleration noise\n";
        std::mt19937_64 random(7);
        std::vector<std::uint64_t> block(1 << 17);
        for (int i = 0; i < 1024; ++i) {
            for (auto& word : block) word = random();
            out.write(reinterpret_cast<const char*>(block.data()), 1 << 20);
        }
    }
    const std::uint64_t samples = (std::uint64_t{1} << 30) / 20;
    const ProgramRun run = Convert({"--summary", recording});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("数量：" + std::to_string(samples)), std::string::npos) << run.out;

    LoadedRecording loaded;
    std::wstring summary;
    ASSERT_TRUE(loaded.LoadRecording(recording.wstring(), summary));
    EXPECT_EQ(loaded.rows.size(), samples);
}
#endif

}  // namespace
