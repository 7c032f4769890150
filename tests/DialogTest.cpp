// The main dialog in this process, its file dialogs and message boxes replaced through the seam.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>

#include "Exception.h"
#include "FailingAllocator.h"
#include "FileDialog.h"
#include "MemoryFile.h"
#include "OscimoExporterDlg.h"
#include "RecordingGenerator.h"
#include "SampleReader.h"
#include "TargetFile.h"
#include "TempDir.h"
#include "TestSeam.h"
#include "WinApp.h"
#include "WindowText.h"

namespace fs = std::filesystem;

namespace {

const std::wstring
    kReadFailed = L"读取文件失败，可能是文件被占用或格式错误！",
    kNoData = L"没有数据可导出!", kExported = L"导出成功", kNone,
    kItself = L"导出失败，目标文件就是已载入的数据文件本身！",
    kDiskFull = SystemErrorMessage(ERROR_DISK_FULL),
    kSummary = L"Tavomir Morvanex A 2 acceleration gen\r\n数量：20000\r\n时间：是\r\n数据列：3\r\n";

std::function<void()> g_pending;
void CALLBACK RunPending(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    std::exchange(g_pending, nullptr)();
}
// Runs action inside whichever modal loop is current when the timer fires.
void Soon(std::function<void()> action) {
    g_pending = std::move(action);
    SetTimer(nullptr, 0, 20, RunPending);
}

// Files dropped on the window, as Explorer hands them over: a DROPFILES block, freed by the
// window when it is done.
constexpr int kDrop = 0;
HDROP DropOf(const std::vector<fs::path>& files) {
    std::wstring names;
    for (const fs::path& file : files) names += file.wstring() + L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t);
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.c_str(), names.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

struct Step {
    int button;                // or kDrop: the answer's files, '|' between, dropped on the window
    const char* answer;        // the file dialog's choice; "" cancels, nullptr: no file dialog
    std::wstring message;      // the message boxes shown
    const std::wstring& info;  // the summary shown afterwards
    enum { none, diskFull, noMemory, readError, dropWhileOpen } trouble = none;
};

TEST(Dialog, BrowseExportAndEveryFailure) {
    TempDir dir;
    const std::string walk = GenerateRecording({.samples = 20'000});
    for (const char* name : {"walk.bin", "held.bin", "deleted.bin"}) WriteFile(dir / name, walk);
    const std::string earlier = "earlier export";
    for (const char* name : {"kept.csv", "held.csv"}) WriteFile(dir / name, earlier);
    // Kept as they are, though Wine's replacement forgets them.
    const std::map<std::string, DWORD> attributes = {
        {"readonly.csv", FILE_ATTRIBUTE_READONLY},
        {"hidden.csv", FILE_ATTRIBUTE_HIDDEN},
        {"system.csv", FILE_ATTRIBUTE_SYSTEM},
        {"both.csv", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}};
    for (const auto& [name, attribute] : attributes) {
        WriteFile(dir / name, earlier);
        SetFileAttributesW((dir / name).c_str(), attribute);
    }
    fs::create_hard_link(dir / "walk.bin", dir / "walk-link.csv");
    WriteFile(dir / "bad.bin", GenerateRecording({.variant = "B"}));
    fs::create_directory(dir / "folder.bin");
    const auto hold = [&](const char* name) {  // open without sharing, as another program may
        return CreateFileW((dir / name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    };
    // A pipe that never sends, as a quiet serial line: its read would wait for good.
    const HANDLE held[] = {hold("held.bin"), hold("held.csv"),
                           CreateNamedPipeW(L"\\\\.\\pipe\\oscimo-quiet", PIPE_ACCESS_DUPLEX,
                                            PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr)};
    const Step steps[] = {
        {IDC_EXPORT_CSV, nullptr, kNoData, kNone},
        {IDC_BROWSE, "walk.bin", L"", kSummary},
        {IDC_BROWSE, "", L"", kSummary},
        {IDC_EXPORT_CSV, "out.csv", kExported, kSummary},
        {IDC_EXPORT_CSV, "out.csv", kExported, kSummary},
        {IDC_EXPORT_CSV, "walk.bin", kItself, kSummary},  // the recording itself, by any name
        {IDC_EXPORT_CSV, "walk-link.csv", kItself, kSummary},
        {IDC_EXPORT_CSV, "hidden.csv", kExported, kSummary},
        {IDC_EXPORT_CSV, "system.csv", kExported, kSummary},
        {IDC_EXPORT_CSV, "both.csv", kExported, kSummary},
        {IDC_EXPORT_CSV, "missing/out.csv", SystemErrorMessage(ERROR_PATH_NOT_FOUND), kSummary},
        {IDC_EXPORT_CSV, "a<b>.csv", SystemErrorMessage(ERROR_INVALID_NAME), kSummary},
        {IDC_EXPORT_CSV, "kept.csv", kDiskFull, kSummary, Step::diskFull},
        // A drop while the save dialog is open is left unread: the export is walk.bin's.
        {IDC_EXPORT_CSV, "dropped.csv", kExported, kSummary, Step::dropWhileOpen},
        {IDC_EXPORT_CSV, "held.csv", SystemErrorMessage(ERROR_SHARING_VIOLATION), kSummary},
        {IDC_EXPORT_CSV, "readonly.csv", SystemErrorMessage(ERROR_ACCESS_DENIED), kSummary},
        {IDC_EXPORT_CSV, "folder.bin", SystemErrorMessage(ERROR_ACCESS_DENIED), kSummary},
        {IDC_BROWSE, "bad.bin", kReadFailed, kNone},
        {IDC_EXPORT_CSV, nullptr, kNoData, kNone},
        {IDC_BROWSE, "walk.bin", L"", kSummary},
        {IDC_BROWSE, "held.bin", kReadFailed, kNone},
        {IDC_BROWSE, "walk.bin", L"", kSummary},
        {IDC_BROWSE, "folder.bin", kReadFailed, kNone},
        {IDC_BROWSE, "\\\\.\\pipe\\oscimo-quiet", kReadFailed, kNone},
        {kDrop, "walk.bin|bad.bin", L"", kSummary},  // the first of several
        {kDrop, "folder.bin", kReadFailed, kNone},
        {kDrop, "walk.bin", L"", kSummary},
        {IDC_BROWSE, "deleted.bin", kReadFailed, kNone},  // deleted once chosen, before reading
        {IDC_BROWSE, "walk.bin", kReadFailed, kNone, Step::readError},  // at 30% of the body
        {IDC_BROWSE, "walk.bin", SystemErrorMessage(ERROR_NOT_ENOUGH_MEMORY), kNone,
         Step::noMemory},
        {IDC_EXPORT_CSV, nullptr, kNoData, kNone},
        {IDC_BROWSE, "walk.bin", L"", kSummary},  // once memory allows
    };
    const Step* step = nullptr;
    HWND window = nullptr;
    int fileDialogs = 0, writes = 0;
    std::wstring messages;
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    bool waitCursorWhileWriting = true;
    UiTestSeam seam;
    seam.fileDialog = [&](const CFileDialog& d, std::wstring& chosen) -> INT_PTR {
        ++fileDialogs;
        EXPECT_EQ(std::tuple(d.IsOpenDialog(), d.DefaultExtension(), d.InitialFileName(),
                             d.Filter(), d.Flags()),
                  step->button == IDC_BROWSE
                      ? std::tuple(true, L"", L"", L"", DWORD{OFN_ENABLESIZING})
                      : std::tuple(false, L".csv", L"walk.bin.csv", L"CSV Files(*.csv)|*.csv||",
                                   DWORD{OFN_OVERWRITEPROMPT | OFN_ENABLESIZING}));
        chosen = (dir / step->answer).wstring();
        if (step->answer == std::string("deleted.bin")) fs::remove(chosen);
        if (step->trouble == Step::noMemory) FailAllocationsOfAtLeast(1 << 16);
        if (step->trouble == Step::readError) FailBodyReadsForTesting(20'000 * 20 * 3 / 10, EIO);
        if (step->trouble == Step::dropWhileOpen)
            SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({dir / "bad.bin"})),
                         0);
        return *step->answer ? IDOK : IDCANCEL;
    };
    seam.messageBox = [&](HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
        EXPECT_NE(GetCursor(), wait);  // restored before any message, failures included
        messages += text;
        EXPECT_EQ(std::tuple(caption, type),
                  std::tuple(std::wstring(L"OscimoExporter"), UINT{MB_OK | MB_ICONEXCLAMATION}));
        return IDOK;
    };
    // The cursor is the window's thread's: the writing thread has one of its own.
    const DWORD windowThread = GetCurrentThreadId();
    SetTargetFaultForTesting([&](TargetStep) {
        if (GetCurrentThreadId() == windowThread) waitCursorWhileWriting &= GetCursor() == wait;
        ++writes;
        return step->trouble == Step::diskFull && writes == 3 ? ERROR_DISK_FULL : 0;  // the third
    });
    SetUiTestSeam(&seam);
    CWinApp app{L"OscimoExporter"};
    // Shows the main dialog and runs script inside its modal loop; script ends it.
    const auto run = [&](const std::function<void(HWND)>& script) {
        COscimoExporterDlg dialog;
        app.m_pMainWnd = &dialog;
        Soon([&] { script(dialog.m_hWnd); });
        return dialog.DoModal();
    };
    EXPECT_EQ(
        run([&](HWND dialog) {
            window = dialog;
            std::wstring path;
            for (const Step& s : steps) {
                SCOPED_TRACE(std::to_string(&s - steps));
                step = &s;
                fileDialogs = writes = 0;
                messages.clear();
                if (s.button == kDrop) {
                    std::vector<fs::path> files;
                    std::stringstream names(s.answer);
                    for (std::string name; std::getline(names, name, '|');)
                        files.push_back(dir / name);
                    SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(files)), 0);
                    path = files.front().wstring();
                } else {
                    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(s.button, BN_CLICKED), 0);
                }
                StopFailingAllocations();
                FailBodyReadsForTesting(0, 0);
                // Written only once the target is known to be writable.
                EXPECT_EQ(writes > 0, s.message == kExported || s.message == kDiskFull);
                if (s.button == IDC_BROWSE && *s.answer) path = (dir / s.answer).wstring();
                EXPECT_EQ(std::tuple(fileDialogs, messages, Text(dialog, IDC_FILE_PATH),
                                     Text(dialog, IDC_INFO), GetCursor() == wait),
                          std::tuple(s.answer && s.button != kDrop ? 1 : 0, s.message, path, s.info,
                                     false));
            }
            wchar_t about[64] = {};
            GetMenuStringW(GetSystemMenu(dialog, FALSE), IDM_ABOUTBOX, about, 64, MF_BYCOMMAND);
            EXPECT_EQ(std::wstring(about), L"关于 OscimoExporter(&A)...");
            EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);  // drops
            EXPECT_TRUE(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0) &&
                        SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0));
            SendMessageW(dialog, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            EXPECT_TRUE(IsIconic(dialog));
            UpdateWindow(dialog);  // paints the minimized icon
            PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        }),
        IDCANCEL);
    EXPECT_EQ(run([](HWND dialog) { PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0); }), IDOK);
    EXPECT_TRUE(waitCursorWhileWriting);
    SetUiTestSeam(nullptr);
    SetTargetFaultForTesting(nullptr);
    for (const HANDLE file : held) CloseHandle(file);
    for (const auto& [name, attribute] : attributes) {
        EXPECT_EQ(GetFileAttributesW((dir / name).c_str()) & ~FILE_ATTRIBUTE_ARCHIVE, attribute)
            << name;
        SetFileAttributesW((dir / name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    const std::string csv = DialogCsvOf(dir / "walk.bin");
    const std::map<std::string, std::string> exports = {
        {"out.csv", csv},         {"kept.csv", earlier},   {"held.csv", earlier},
        {"dropped.csv", csv},     {"hidden.csv", csv},     {"system.csv", csv},
        {"both.csv", csv},        {"walk-link.csv", walk}, {"walk.bin", walk},
        {"readonly.csv", earlier}};
    std::vector<std::string> names = {"bad.bin", "folder.bin", "held.bin"};
    for (const auto& [name, text] : exports) {
        EXPECT_TRUE(ReadFile(dir / name) == text) << name;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(FolderContents(dir.path()), names);  // no temporary file left
}

}  // namespace
