#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "CsvWriter.h"
#include "Exception.h"
#include "FailingAllocator.h"
#include "FileDialog.h"
#include "MemoryFile.h"
#include "OscimoExporterDlg.h"
#include "RecordingGenerator.h"
#include "TempDir.h"
#include "TestSeam.h"
#include "WinApp.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kReadFailed = L"读取文件失败，可能是文件被占用或格式错误！";
const std::wstring kNoData = L"没有数据可导出!";
const std::wstring kExported = L"导出成功";

struct FileDialogShown {
    bool open;
    std::wstring defaultExtension, initialName, filter;
    DWORD flags;
};

std::wstring ControlText(HWND dialog, int id) {
    wchar_t text[4096] = {};
    ::GetDlgItemTextW(dialog, id, text, 4096);
    return text;
}

void Click(HWND dialog, int id) {
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

struct DialogSearch {
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<DialogSearch*>(context);
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    if (::IsWindowVisible(window) && std::wstring(text) == search->caption) search->found = window;
    return search->found == nullptr;
}

// Finds a visible dialog of this thread by its caption.
HWND FindDialog(const wchar_t* caption) {
    DialogSearch search{caption, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::function<void()> g_pendingAction;

void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    const auto action = std::move(g_pendingAction);
    action();
}

// Runs an action from inside the modal loop that is current when the timer fires.
void Soon(std::function<void()> action) {
    g_pendingAction = std::move(action);
    ::SetTimer(nullptr, 0, 20, RunPendingAction);
}

class DialogTest : public testing::Test {
protected:
    void SetUp() override {
        seam.fileDialog = [this](const CFileDialog& dialog, std::wstring& chosen) -> INT_PTR {
            shown.push_back({dialog.IsOpenDialog(), dialog.DefaultExtension(),
                             dialog.InitialFileName(), dialog.Filter(), dialog.Flags()});
            if (answers.empty()) return IDCANCEL;
            const fs::path answer = answers.front();
            answers.pop_front();
            if (answer.empty()) return IDCANCEL;
            chosen = answer.wstring();
            return IDOK;
        };
        seam.messageBox = [this](HWND, const std::wstring& text, const std::wstring& caption,
                                 UINT type) {
            messages.push_back(text);
            EXPECT_EQ(caption, L"OscimoExporter");
            EXPECT_EQ(type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
            return IDOK;
        };
        SetUiTestSeam(&seam);
    }
    void TearDown() override { SetUiTestSeam(nullptr); }

    // Shows the main dialog, runs script against it inside its modal loop, then closes it.
    INT_PTR RunDialog(const std::function<void(HWND)>& script) {
        COscimoExporterDlg dialog;
        app.m_pMainWnd = &dialog;
        Soon([&] {
            const HWND window = FindDialog(L"Oscimo数据导出工具");
            ASSERT_NE(window, nullptr);
            script(window);
            ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        });
        const INT_PTR result = dialog.DoModal();
        app.m_pMainWnd = nullptr;
        return result;
    }

    fs::path Recording(const std::string& name, const RecordingSpec& spec = {}) {
        WriteFile(dir / name, GenerateRecording(spec));
        return dir / name;
    }

    CWinApp app{L"OscimoExporter"};
    UiTestSeam seam;
    TempDir dir;
    std::deque<fs::path> answers;  // an empty path cancels
    std::vector<FileDialogShown> shown;
    std::vector<std::wstring> messages;
};

TEST_F(DialogTest, StartsEmptyAndRefusesToExport) {
    RunDialog([&](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, IDC_FILE_PATH), L"");
        EXPECT_EQ(ControlText(dialog, IDC_INFO), L"");
        Click(dialog, IDC_EXPORT_CSV);
    });
    EXPECT_EQ(messages, std::vector<std::wstring>{kNoData});
    EXPECT_TRUE(shown.empty());
}

TEST_F(DialogTest, BrowseShowsTheSummaryAndCancelKeepsIt) {
    const fs::path walk = Recording("walk.bin");
    answers = {walk, fs::path()};
    RunDialog([&](HWND dialog) {
        Click(dialog, IDC_BROWSE);
        EXPECT_EQ(ControlText(dialog, IDC_FILE_PATH), walk.wstring());
        EXPECT_EQ(
            ControlText(dialog, IDC_INFO),
            L"Tavomir Morvanex A 2 acceleration gen\r\n数量：100\r\n时间：是\r\n数据列：3\r\n");
        Click(dialog, IDC_BROWSE);  // cancelled
        EXPECT_EQ(ControlText(dialog, IDC_FILE_PATH), walk.wstring());
        EXPECT_NE(ControlText(dialog, IDC_INFO), L"");
    });
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].open);
    EXPECT_EQ(shown[0].flags, static_cast<DWORD>(OFN_ENABLESIZING));
    EXPECT_EQ(shown[0].defaultExtension, L"");
    EXPECT_EQ(shown[0].initialName, L"");
    EXPECT_EQ(shown[0].filter, L"");
}

TEST_F(DialogTest, FailedBrowseAfterAGoodOneEmptiesTheRecording) {
    RecordingSpec damaged;
    damaged.variant = "B";
    const fs::path bad = Recording("bad.bin", damaged);
    answers = {Recording("good.bin"), bad};
    RunDialog([&](HWND dialog) {
        Click(dialog, IDC_BROWSE);
        Click(dialog, IDC_BROWSE);
        EXPECT_EQ(ControlText(dialog, IDC_FILE_PATH), bad.wstring());
        EXPECT_EQ(ControlText(dialog, IDC_INFO), L"");
        Click(dialog, IDC_EXPORT_CSV);
    });
    EXPECT_EQ(messages, (std::vector<std::wstring>{kReadFailed, kNoData}));
}

TEST_F(DialogTest, RecordingsThatCannotBeReadGiveTheReadFailure) {
    const fs::path good = Recording("good.bin");
    const fs::path held = Recording("held.bin");
    const fs::path folder = dir / "folder.bin";
    fs::create_directory(folder);
    const fs::path deleted = Recording("deleted.bin");
    // Deleted after it was chosen, before it is read.
    seam.fileDialog = [&, original = seam.fileDialog](const CFileDialog& d, std::wstring& chosen) {
        const INT_PTR result = original(d, chosen);
        if (chosen == deleted.wstring()) fs::remove(deleted);
        return result;
    };
    // Held open without sharing, as another program may.
    const HANDLE holder = ::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    answers = {good, held, good, folder, good, deleted};
    RunDialog([&](HWND dialog) {
        for (int i = 0; i < 3; ++i) {
            Click(dialog, IDC_BROWSE);
            EXPECT_NE(ControlText(dialog, IDC_INFO), L"");
            Click(dialog, IDC_BROWSE);
            EXPECT_EQ(ControlText(dialog, IDC_INFO), L"");
        }
        Click(dialog, IDC_EXPORT_CSV);
    });
    ::CloseHandle(holder);
    EXPECT_EQ(messages,
              (std::vector<std::wstring>{kReadFailed, kReadFailed, kReadFailed, kNoData}));
    EXPECT_EQ(FolderContents(dir.path()),
              (std::vector<std::string>{"folder.bin", "good.bin", "held.bin"}));
}

TEST_F(DialogTest, ExportsTheCsvAndReportsSuccess) {
    const fs::path walk = Recording("walk.bin");
    answers = {walk, dir / "out.csv", dir / "out.csv"};
    RunDialog([&](HWND dialog) {
        Click(dialog, IDC_BROWSE);
        Click(dialog, IDC_EXPORT_CSV);
        Click(dialog, IDC_EXPORT_CSV);  // again, over the first
    });
    EXPECT_EQ(messages, (std::vector<std::wstring>{kExported, kExported}));
    EXPECT_EQ(ReadFile(dir / "out.csv"), DialogCsvOf(walk));
    EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"out.csv", "walk.bin"}));
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_FALSE(shown[1].open);
    EXPECT_EQ(shown[1].defaultExtension, L".csv");
    EXPECT_EQ(shown[1].initialName, L"walk.bin.csv");
    EXPECT_EQ(shown[1].filter, L"CSV Files(*.csv)|*.csv||");
    EXPECT_EQ(shown[1].flags, static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_ENABLESIZING));
}

TEST_F(DialogTest, OpenFailureShowsTheSystemsText) {
    answers = {Recording("walk.bin"), dir / "missing" / "out.csv", dir / "a<b>.csv"};
    RunDialog([&](HWND dialog) {
        Click(dialog, IDC_BROWSE);
        Click(dialog, IDC_EXPORT_CSV);  // into a folder that does not exist
        Click(dialog, IDC_EXPORT_CSV);  // under a name that cannot be
    });
    EXPECT_EQ(messages, (std::vector<std::wstring>{SystemErrorMessage(ERROR_PATH_NOT_FOUND),
                                                   SystemErrorMessage(ERROR_INVALID_NAME)}));
    EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"walk.bin"});
}

TEST_F(DialogTest, FailedExportsLeaveAnExistingTargetAsItWas) {
    const fs::path target = dir / "out.csv";
    WriteFile(target, "earlier export");
    int writes = 0;
    seam.fileWriteError = [&]() -> DWORD { return ++writes == 3 ? ERROR_DISK_FULL : 0; };
    answers = {Recording("walk.bin", {.samples = 20'000}), target, target};
    RunDialog([&](HWND dialog) {
        Click(dialog, IDC_BROWSE);
        Click(dialog, IDC_EXPORT_CSV);  // the third write fails
        seam.fileWriteError = nullptr;
        // Another program holds the target open without sharing: the replacement fails.
        const HANDLE holder = ::CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        Click(dialog, IDC_EXPORT_CSV);
        ::CloseHandle(holder);
        EXPECT_NE(ControlText(dialog, IDC_INFO), L"");  // the dialog goes on as before
    });
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], SystemErrorMessage(ERROR_DISK_FULL));
    // Windows reports the held file as shared against, Wine as access denied.
    EXPECT_TRUE(messages[1] == SystemErrorMessage(ERROR_SHARING_VIOLATION) ||
                messages[1] == SystemErrorMessage(ERROR_ACCESS_DENIED))
        << testing::PrintToString(messages[1]);
    EXPECT_EQ(ReadFile(target), "earlier export");
    EXPECT_EQ(FolderContents(dir.path()), (std::vector<std::string>{"out.csv", "walk.bin"}));
}

TEST_F(DialogTest, MemoryExhaustedWhileLoadingLeavesAnEmptyUsableDialog) {
    const fs::path big = Recording("big.bin", {.samples = 200'000});
    seam.fileDialog = [&, original = seam.fileDialog](const CFileDialog& d, std::wstring& chosen) {
        const INT_PTR result = original(d, chosen);
        if (messages.empty()) FailAllocationsOfAtLeast(1 << 20);  // only the first load
        return result;
    };
    answers = {Recording("good.bin"), big, big};
    RunDialog([&](HWND dialog) {
        Click(dialog, IDC_BROWSE);
        Click(dialog, IDC_BROWSE);
        StopFailingAllocations();
        EXPECT_EQ(ControlText(dialog, IDC_INFO), L"");
        Click(dialog, IDC_EXPORT_CSV);
        Click(dialog, IDC_BROWSE);  // the same file loads once memory allows
        EXPECT_NE(ControlText(dialog, IDC_INFO).find(L"数量：200000"), std::wstring::npos);
    });
    EXPECT_EQ(messages,
              (std::vector<std::wstring>{SystemErrorMessage(ERROR_NOT_ENOUGH_MEMORY), kNoData}));
}

TEST_F(DialogTest, SystemMenuOpensTheAboutBoxAndKeepsOtherCommands) {
    bool aboutSeen = false;
    const INT_PTR result = RunDialog([&](HWND dialog) {
        const HMENU menu = ::GetSystemMenu(dialog, FALSE);
        const int count = ::GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_EQ(::GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
                  static_cast<UINT>(MF_SEPARATOR));
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, IDM_ABOUTBOX, text, 64, MF_BYCOMMAND);
        EXPECT_STREQ(text, L"关于 OscimoExporter(&A)...");
        EXPECT_NE(::SendMessageW(dialog, WM_GETICON, ICON_BIG, 0), 0);

        Soon([&] {
            const HWND about = FindDialog(L"关于 OscimoExporter");
            aboutSeen = about != nullptr;
            EXPECT_EQ(::GetWindow(about, GW_OWNER), dialog);  // modal over the main window
            ::SendMessageW(about, WM_COMMAND, IDOK, 0);
        });
        ::SendMessageW(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);

        ::SendMessageW(dialog, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_TRUE(::IsIconic(dialog));
        ::UpdateWindow(dialog);  // paints the minimized icon
        ::SendMessageW(dialog, WM_SYSCOMMAND, SC_RESTORE, 0);
        EXPECT_FALSE(::IsIconic(dialog));
        ::SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_TRUE(aboutSeen);
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(DialogTest, EnterEndsTheDialog) {
    EXPECT_EQ(RunDialog([](HWND dialog) { ::SendMessageW(dialog, WM_COMMAND, IDOK, 0); }), IDOK);
}

}  // namespace
