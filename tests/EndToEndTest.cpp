// Drives the real OscimoExporter.exe through its real file dialogs and message boxes, as a person
// would: windows are found by enumeration, texts read, buttons pressed by id.
#include <windows.h>

#include <gtest/gtest.h>

#include <process.h>

#include <memory>

#include "Exception.h"
#include "MemoryFile.h"
#include "Process.h"
#include "RecordingGenerator.h"
#include "Screenshot.h"
#include "TempDir.h"
#include "WindowText.h"
#include "resource.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFileName = 0x480, kMessageText = 0xFFFF;  // the file dialog's name box, a box's text

// The program started afresh for each test, and what a person does with it.
class EndToEnd : public testing::Test {
protected:
    // Polls until found gives a window (or true), or the program has ended. No time limit: how
    // long Wine takes to open a file dialog depends on the machine and the route (under qemu-user
    // many times as long); a program that hangs is ended by the suite's timeout. What found gave
    // is returned, not asked for again: a window can go in between.
    template <class Found>
    auto WaitFor(Found found) const {
        for (;;) {
            if (auto result = found()) return result;
            if (WaitForSingleObject(program.get(), 50) != WAIT_TIMEOUT) return found();
        }
    }
    // The program's window a person would act on: visible, enabled, holding that control. Not the
    // main window, unless it is sought: it holds a label too, and is enabled while the program
    // works between a file dialog and the message box that follows.
    HWND Find(int control) const { return Find(control, main); }
    HWND Find(int control, HWND besides) const {
        return WaitFor([&] {
            for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr));) {
                DWORD process = 0;
                GetWindowThreadProcessId(w, &process);
                if (process == GetProcessId(program.get()) && w != besides && IsWindowVisible(w) &&
                    IsWindowEnabled(w) && GetDlgItem(w, control))
                    return w;
            }
            return HWND{};
        });
    }
    // Presses a button of the main window and answers the file dialog it opens.
    std::wstring Choose(int button, const fs::path& path) const {
        PostMessageW(main, WM_COMMAND, button, 0);
        const HWND dialog = Find(kFileName);
        const std::wstring suggested = Text(dialog, kFileName);
        SetDlgItemTextW(dialog, kFileName, path.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return suggested;
    }
    // Answers the message box, once it is up, and returns its caption and text. It is read once
    // its text shows, and read again if it went meanwhile: it was not the box.
    std::wstring Answer(int button) const {
        for (;;) {
            const HWND box = Find(kMessageText);
            if (!box) return L"(the program ended)";
            WaitFor([&] { return !IsWindow(box) || !Text(box, kMessageText).empty(); });
            const std::wstring shown = Text(box) + L": " + Text(box, kMessageText);
            if (!IsWindow(box)) continue;
            PostMessageW(box, WM_COMMAND, button, 0);
            WaitFor([&] { return !IsWindow(box); });
            return shown;
        }
    }
    std::wstring Info() const { return Text(main, IDC_FILE_PATH) + L"\n" + Text(main, IDC_INFO); }
    bool Shows(const std::wstring& info) const {
        return WaitFor([&] { return Info() == info; });
    }

    TempDir dir;
    const std::wstring exe = ProgramBesideThisOne("OscimoExporter").wstring();
    const std::unique_ptr<void, void (*)(HANDLE)> program{
        reinterpret_cast<HANDLE>(_wspawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), nullptr)),
        [](HANDLE process) { TerminateProcess(process, 99), CloseHandle(process); }};
    const HWND main = Find(IDC_BROWSE, nullptr);
};

std::wstring Summary(const char* label, std::uint64_t samples) {
    return L"Tavomir Morvanex A 2 acceleration " + fs::path(label).wstring() + L"\r\n数量：" +
           std::to_wstring(samples) + L"\r\n时间：是\r\n数据列：3\r\n";
}

TEST_F(EndToEnd, BrowseExportReplaceRejectAboutAndClose) {
    // Where a person keeps recordings: the screenshot shows the path.
    const fs::path folder = L"C:\\users\\Public\\Documents\\recordings";
    fs::create_directories(folder);
    const std::shared_ptr<void> removeFolder(nullptr, [&](void*) { fs::remove_all(folder); });
    const fs::path walk = folder / "walk.bin", bad = dir / "bad.bin", csv = dir / "walk.csv";
    WriteFile(walk, GenerateRecording({.label = "walk", .samples = 5000}));
    WriteFile(bad, GenerateRecording({.family = "morvanex"}));
    ASSERT_EQ(Text(main), L"Oscimo数据导出工具");
    EXPECT_EQ(Info(), L"\n");

    EXPECT_EQ(Choose(IDC_BROWSE, walk), L"");
    EXPECT_TRUE(Shows(walk.wstring() + L"\n" + Summary("walk", 5000)))
        << testing::PrintToString(Info());
    SaveScreenshot(main, "main-window");

    EXPECT_EQ(Choose(IDC_EXPORT_CSV, csv), L"walk.bin.csv");
    EXPECT_EQ(Answer(IDOK), L"OscimoExporter: 导出成功");
    EXPECT_EQ(ReadFile(csv), DialogCsvOf(walk));
    WriteFile(csv, "stale");
    Choose(IDC_EXPORT_CSV, csv);
    EXPECT_NE(Answer(IDYES), L"OscimoExporter: 导出成功");  // the system's overwrite question
    EXPECT_EQ(Answer(IDOK), L"OscimoExporter: 导出成功");
    EXPECT_EQ(ReadFile(csv), DialogCsvOf(walk));

    Choose(IDC_BROWSE, bad);
    EXPECT_EQ(Answer(IDOK), L"OscimoExporter: 读取文件失败，可能是文件被占用或格式错误！");
    EXPECT_TRUE(Shows(bad.wstring() + L"\n"));

    PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    const HWND about = Find(IDOK);
    EXPECT_EQ(std::tuple(Text(about), GetWindow(about, GW_OWNER), IsWindowEnabled(main)),
              std::tuple(std::wstring(L"关于 OscimoExporter"), main, FALSE));
    SaveScreenshot(about, "about-box");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));

    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    WaitForSingleObject(program.get(), INFINITE);
    GetExitCodeProcess(program.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

// The largest recording the 32-bit release holds in its 4 GiB, and one beyond it: the one memory
// message, no recording, and a window that goes on working. Zero samples in sparse files.
TEST_F(EndToEnd, LargestRecordingThe32BitProgramHolds) {
    if (sizeof(void*) != 4) GTEST_SKIP() << "the 64-bit program's limit is the machine's memory";
    // Measured under Wine's WoW64: 82.0 to 82.2 million samples fit, 2.4 GiB in two blocks;
    // through qemu-user more do. 135 million would take more than the whole 4 GiB.
    const std::uint64_t fits = 80'000'000, beyond = 135'000'000;
    const auto recording = [&](const char* name, std::uint64_t samples) {
        return WriteZeros(dir / name, samples);
    };
    Choose(IDC_BROWSE, recording("fits.bin", fits));
    EXPECT_TRUE(Shows((dir / "fits.bin").wstring() + L"\n" + Summary("zeros", fits)));
    Choose(IDC_BROWSE, recording("beyond.bin", beyond));
    EXPECT_EQ(Answer(IDOK), L"OscimoExporter: " + SystemErrorMessage(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(Shows((dir / "beyond.bin").wstring() + L"\n"));
    Choose(IDC_BROWSE, recording("small.bin", 5));
    EXPECT_TRUE(Shows((dir / "small.bin").wstring() + L"\n" + Summary("zeros", 5)));
}

}  // namespace
