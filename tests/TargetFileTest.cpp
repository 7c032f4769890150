#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include "Process.h"
#include "SystemError.h"
#include "TargetFile.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

using Kind = TargetProblem::Kind;
constexpr auto kKeep = TargetFile::IfExists::Keep, kReplace = TargetFile::IfExists::Replace;
#ifdef _WIN32
constexpr int kDiskFull = ERROR_DISK_FULL, kBusy = ERROR_SHARING_VIOLATION;
#else
constexpr int kDiskFull = ENOSPC, kBusy = EBUSY;
#endif

void SetTemporaryFolder(const fs::path& folder) {
#ifdef _WIN32
    SetEnvironmentVariableW(L"TMP", folder.c_str());
#else
    setenv("TMPDIR", folder.c_str(), 1);
#endif
}

// A system call failing as a step of the commit: Busy always, or twice then running.
int FullDisk(TargetStep step, const fs::path&) {
    return step == TargetStep::Write ? kDiskFull : 0;
}
int Busy(TargetStep step, const fs::path&) {
    return step == TargetStep::Replace ? kBusy : 0;
}
// A rewrite in place failing once the earlier bytes are overwritten, or looked at then: what a
// kill would leave.
int FailOverwritten(TargetStep step, const fs::path&) {
    return step == TargetStep::Overwritten ? kDiskFull : 0;
}
int SeeBackup(TargetStep step, const fs::path& folder) {
    if (step == TargetStep::Overwritten)
        WriteFile(folder / "seen", ReadFile(folder / "k.csv.backup"));
    return 0;
}

// Each target as the host's shell makes it in a fresh folder, the contents written to it, and
// what the shell then finds: "ok", and no temporary file left anywhere.
TEST(TargetFile, EveryKindOfTarget) {
    struct Case {
        std::string setup, name;
        TargetFile::IfExists ifExists;
        Kind problem;                   // None: committed
        std::string check, shows = "";  // a host command, and what it shows before "ok"
        int (*fault)(TargetStep, const fs::path&) = nullptr;
    };
    const std::string longName = std::string(247, 'n') + ".partial";  // 255 bytes
    std::vector<Case> cases = {
        {"", "new.csv", kKeep, Kind::None, "cmp new.csv ../new"},
        {"echo earlier >old.csv", "old.csv", kKeep, Kind::Exists, "grep -q earlier old.csv"},
        {"echo earlier >old.csv", "old.csv", kReplace, Kind::None, "cmp old.csv ../new"},
        {"", longName, kKeep, Kind::None, "cmp " + longName + " ../new"},
        {"echo earlier >" + longName, longName, kReplace, Kind::None,
         "cmp " + longName + " ../new"},
        // Links lead where the system says, and stay links.
        {"echo earlier >real.csv; ln -s real.csv l.csv", "l.csv", kReplace, Kind::None,
         "test -L l.csv && cmp real.csv ../new"},
        {"ln -s made.csv d.csv", "d.csv", kKeep, Kind::None,
         "test -L d.csv && cmp made.csv ../new"},
        {"ln -s loop.csv loop.csv", "loop.csv", kReplace, Kind::CannotCreate, "test -L loop.csv"},
        {"mkdir f.csv", "f.csv", kReplace, Kind::NotAFile, "test -d f.csv"},
        {"echo earlier >ro.csv; chmod 444 ro.csv", "ro.csv", kReplace, Kind::CannotWrite,
         "grep -q earlier ro.csv && test $(stat -c %a ro.csv) = 444"},
        // Rewritten in place: other hard links, a folder where no file can be made.
        {"echo earlier >h.csv; ln h.csv h2.csv", "h.csv", kReplace, Kind::None,
         "cmp h.csv ../new && cmp h2.csv ../new"},
        {"echo earlier >k.csv; ln k.csv k2.csv", "k.csv", kReplace, Kind::None,
         "cmp k2.csv ../new && grep -qx earlier seen", "", SeeBackup},
        {"echo earlier >u.csv; ln u.csv u2.csv", "u.csv", kReplace, Kind::CannotWrite,
         "grep -qx earlier u.csv && cmp u.csv u2.csv", "", FailOverwritten},
        {"mkdir s; echo earlier >s/f.csv; chattr +i s", "s/f.csv", kReplace, Kind::None,
         "chattr -i s; cmp s/f.csv ../new"},
        // A sparse file longer than the contents, on a disk without room for them: untouched.
        {"mkdir full; mount -t tmpfs -o size=64k tmpfs full; truncate -s 1M full/s.csv; ln "
         "full/s.csv full/t.csv",
         "full/s.csv", kReplace, Kind::CannotWrite,
         "cmp -n 1048576 full/s.csv /dev/zero && test $(stat -c %s full/s.csv) = 1048576 && "
         "umount full"},
        // The system failing on the way leaves the earlier file as it was.
        {"echo earlier >w.csv", "w.csv", kReplace, Kind::CannotWrite, "grep -q earlier w.csv", "",
         FullDisk},
        {"echo earlier >b.csv", "b.csv", kReplace, Kind::CannotWrite, "grep -q earlier b.csv", "",
         Busy},
        {"", "n.csv", kKeep, Kind::CannotWrite, "test ! -e n.csv", "", FullDisk},  // made, removed
    };
#ifdef _WIN32
    for (const char* device : {"COM1:", "nul:", "CON:", "lpt\u00B9.csv"}) {
        cases.push_back({"", device, kReplace, Kind::Device, "true"});
    }
    // The replacement failing half way (the earlier file moved aside), or busy for a moment.
    cases.push_back({"echo earlier >r.csv", "r.csv", kReplace, Kind::None,
                     "cmp r.csv ../new && grep -q earlier aside.csv", "",
                     [](TargetStep step, const fs::path& folder) {
                         if (step != TargetStep::Replace) return 0;
                         fs::rename(folder / "r.csv", folder / "aside.csv");
                         return int{ERROR_UNABLE_TO_MOVE_REPLACEMENT_2};
                     }});
    cases.push_back({"echo earlier >m.csv", "m.csv", kReplace, Kind::None, "cmp m.csv ../new", "",
                     [](TargetStep step, const fs::path&) {
                         static int calls = 0;
                         return step == TargetStep::Replace && ++calls <= 2 ? kBusy : 0;
                     }});
    // Wine's replacing is a rename, and no Windows call sets a Unix mode it cannot express in
    // access rules: the file gets a new one's mode. Windows keeps the access rules themselves.
    const std::string kept = "644:root:root\n";
#else
    const std::string kept = "600:root:root\n";
    cases.push_back(
        {"echo earlier >a.csv; chown nobody:nogroup a.csv; chmod 2640 a.csv; setfacl -m "
         "u:daemon:r a.csv; setfattr -n user.tag -v 7 a.csv",
         "a.csv", kReplace, Kind::None,
         "cmp a.csv ../new && stat -c %a:%U:%G a.csv && getfacl -c a.csv | grep daemon && "
         "getfattr --only-values -n user.tag a.csv && echo",
         "2640:nobody:nogroup\nuser:daemon:r--\n7\n"});
#endif
    cases.push_back({"echo earlier >p.csv; chmod 600 p.csv", "p.csv", kReplace, Kind::None,
                     "cmp p.csv ../new && stat -c %a:%U:%G p.csv", kept});
    TempDir dir;
    // The system's temporary folder, where a temporary goes that cannot be made beside its
    // target, is this test's own while it runs.
    const fs::path temporaries = dir / "tmp", systemTemporaries = fs::temp_directory_path();
    fs::create_directory(temporaries);
    SetTemporaryFolder(temporaries);
    // Longer than the distance the disk's writing is started behind, and written in pieces.
    const std::string contents(9 << 20, 'n');
    constexpr std::size_t kPiece = 3 << 20;
    WriteFile(dir / "new", contents);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setup + " | " + c.name);
        const fs::path folder = dir / std::to_string(&c - cases.data());
        fs::create_directory(folder);
        RunOnHost(folder, c.setup);
        if (c.fault)
            SetTargetFaultForTesting([&](TargetStep step) { return c.fault(step, folder); });
        TargetProblem problem;
        const fs::path target(std::u8string(c.name.begin(), c.name.end()));
        if (auto file = TargetFile::Open(folder / target, c.ifExists, problem)) {
#ifdef _WIN32
            EXPECT_TRUE(file->TemporaryPath().native().starts_with(L"\\\\?\\"));  // no MAX_PATH
#endif
            bool written = true;
            for (std::size_t at = 0; written && at < contents.size(); at += kPiece) {
                written = file->Write(contents.data() + at, kPiece);
            }
            if (!written || !file->Commit()) problem = file->Problem();
        }
        SetTargetFaultForTesting(nullptr);
        EXPECT_EQ(problem.kind, c.problem) << SystemErrorText(problem.code);
        const std::string leftovers = "; ls -A | grep -e partial -e backup | grep -vxF " + c.name;
        EXPECT_EQ(RunOnHost(folder, c.check + " && echo ok" + leftovers), c.shows + "ok\n");
        EXPECT_TRUE(FolderContents(temporaries).empty());
    }
    SetTemporaryFolder(systemTemporaries);
}

#ifndef _WIN32
// A signal during a rewrite in place waits for its end: every name shows the whole new file.
TEST(TargetFile, SignalWaitsForTheRewriteInPlace) {
    TempDir dir;
    WriteFile(dir / "s.csv", std::string(300'000, 'e'));
    fs::create_hard_link(dir / "s.csv", dir / "t.csv");
    const std::string contents(200'000, 'n');
    const pid_t child = fork();
    if (child == 0) {
        SetTargetFaultForTesting(
            [](TargetStep step) { return step == TargetStep::Overwritten ? raise(SIGTERM) : 0; });
        TargetProblem problem;
        const auto file = TargetFile::Open(dir / "s.csv", kReplace, problem);
        _exit(file && file->Write(contents.data(), contents.size()) && file->Commit() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(ReadFile(dir / "t.csv") == contents);
    EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"s.csv", "t.csv"}));
}
#endif

}  // namespace
