// Drives the real OscimoExporter.exe through its real file dialogs and message boxes, as a person
// would: windows are found by enumeration, texts read, buttons pressed by id.
#include <windows.h>

#include <gtest/gtest.h>

#include <process.h>

#include <memory>

#include "MemoryFile.h"
#include "Process.h"
#include "RecordingGenerator.h"
#include "Screenshot.h"
#include "TempDir.h"
#include "resource.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFileName = 0x480, kMessageText = 0xFFFF;  // the file dialog's name box, a box's text

std::wstring Text(HWND window, int id = 0) {
    wchar_t text[512] = {};
    id ? GetDlgItemTextW(window, id, text, 512) : GetWindowTextW(window, text, 512);
    return text;
}

// Polls until found gives a window (or true), for half a minute at most: Wine is slow to open
// its first file dialog on a busy machine.
template <class Found>
auto WaitFor(Found found) {
    for (int i = 0; i < 600 && !found(); ++i) Sleep(50);
    return found();
}

TEST(EndToEnd, BrowseExportReplaceRejectAboutAndClose) {
    TempDir dir;
    const fs::path walk = dir / "walk.bin", bad = dir / "bad.bin", csv = dir / "walk.csv";
    WriteFile(walk, GenerateRecording({.label = "walk", .samples = 5000}));
    WriteFile(bad, GenerateRecording({.family = "morvanex"}));
    const std::wstring exe = ProgramBesideThisOne("OscimoExporter").wstring();
    const std::unique_ptr<void, void (*)(HANDLE)> program(
        reinterpret_cast<HANDLE>(_wspawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), nullptr)),
        [](HANDLE process) { TerminateProcess(process, 99), CloseHandle(process); });
    // The program's window a person would act on: visible, enabled, holding that control.
    const auto find = [id = GetProcessId(program.get())](int control) {
        return WaitFor([&] {
            for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr));) {
                DWORD process = 0;
                GetWindowThreadProcessId(w, &process);
                if (process == id && IsWindowVisible(w) && IsWindowEnabled(w) &&
                    GetDlgItem(w, control))
                    return w;
            }
            return HWND{};
        });
    };
    // Presses a button of the main window and answers the file dialog it opens.
    const HWND main = find(IDC_BROWSE);
    const auto choose = [&](int button, const fs::path& path) {
        PostMessageW(main, WM_COMMAND, button, 0);
        const HWND dialog = find(kFileName);
        const std::wstring suggested = Text(dialog, kFileName);
        SetDlgItemTextW(dialog, kFileName, path.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return suggested;
    };
    // Answers the message box, once it is up, and returns its caption and text.
    const auto answer = [&](int button) {
        const HWND box = find(kMessageText);
        const std::wstring shown = Text(box) + L": " + Text(box, kMessageText);
        PostMessageW(box, WM_COMMAND, button, 0);
        WaitFor([&] { return !IsWindow(box); });
        return shown;
    };
    const auto info = [&] { return Text(main, IDC_FILE_PATH) + L"\n" + Text(main, IDC_INFO); };
    ASSERT_EQ(Text(main), L"Oscimo数据导出工具");
    EXPECT_EQ(info(), L"\n");

    EXPECT_EQ(choose(IDC_BROWSE, walk), L"");
    const std::wstring summary =
        walk.wstring() +
        L"\nTavomir Morvanex A 2 acceleration walk\r\n数量：5000\r\n时间：是\r\n数据列：3\r\n";
    EXPECT_TRUE(WaitFor([&] { return info() == summary; })) << testing::PrintToString(info());
    SaveScreenshot(main, "main-window");

    EXPECT_EQ(choose(IDC_EXPORT_CSV, csv), L"walk.bin.csv");
    EXPECT_EQ(answer(IDOK), L"OscimoExporter: 导出成功");
    EXPECT_EQ(ReadFile(csv), DialogCsvOf(walk));
    WriteFile(csv, "stale");
    choose(IDC_EXPORT_CSV, csv);
    EXPECT_NE(answer(IDYES), L"OscimoExporter: 导出成功");  // the system's overwrite question
    EXPECT_EQ(answer(IDOK), L"OscimoExporter: 导出成功");
    EXPECT_EQ(ReadFile(csv), DialogCsvOf(walk));

    choose(IDC_BROWSE, bad);
    EXPECT_EQ(answer(IDOK), L"OscimoExporter: 读取文件失败，可能是文件被占用或格式错误！");
    EXPECT_TRUE(WaitFor([&] { return info() == bad.wstring() + L"\n"; }));

    PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    const HWND about = find(IDOK);
    EXPECT_EQ(std::tuple(Text(about), GetWindow(about, GW_OWNER), IsWindowEnabled(main)),
              std::tuple(std::wstring(L"关于 OscimoExporter"), main, FALSE));
    SaveScreenshot(about, "about-box");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));

    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    WaitForSingleObject(program.get(), 10'000);
    GetExitCodeProcess(program.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
