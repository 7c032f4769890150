// Drives the real OscimoExporter.exe through its real file dialogs and message boxes, as a
// person would: windows are found by enumeration, texts read with WM_GETTEXT, buttons pressed
// by id.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "Process.h"
#include "RecordingGenerator.h"
#include "TempDir.h"
#include "resource.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFileNameEdit = 0x480;     // the new-style dialog's file name box
constexpr int kFileNameComboEx = 0x47C;  // the classic dialog keeps it in a ComboBoxEx
constexpr int kMessageText = 0xFFFF;     // a message box's text

std::wstring TextOf(HWND window) {
    wchar_t text[4096] = {};
    ::SendMessageW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

// Polls until found returns a window or ten seconds pass.
HWND WaitFor(const std::function<HWND()>& found) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (const HWND window = found()) return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

bool WaitUntil(const std::function<bool()>& condition) {
    const auto anyWindow = reinterpret_cast<HWND>(1);
    return WaitFor([&] { return condition() ? anyWindow : nullptr; }) != nullptr;
}

void Press(HWND window, int id) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

struct ChildSearch {
    int id;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM context) {
    auto* search = reinterpret_cast<ChildSearch*>(context);
    if (::GetDlgCtrlID(child) == search->id && ClassOf(child) == search->className) {
        search->found = child;
    }
    return search->found == nullptr;
}

HWND FindDescendant(HWND parent, int id, const wchar_t* className) {
    ChildSearch search{id, className, nullptr};
    ::EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct DialogSearch {
    DWORD process;
    const std::set<HWND>* except;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<DialogSearch*>(context);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == search->process && ::IsWindowVisible(window) && ClassOf(window) == L"#32770" &&
        !search->except->count(window)) {
        search->found = window;
    }
    return search->found == nullptr;
}

struct ReleaseScreenDc {
    void operator()(HDC dc) const { ::ReleaseDC(nullptr, dc); }
};
struct DeleteDc {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
struct DeleteBitmap {
    void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
};

// Saves a window as the screen shows it, title bar included, as a 24-bit BMP in the folder
// OSCIMO_SCREENSHOT_DIR names; without it, does nothing. The documentation's pictures.
void SaveScreenshot(HWND window, const std::string& name) {
    const char* folder = std::getenv("OSCIMO_SCREENSHOT_DIR");
    if (!folder || !*folder) return;
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const std::unique_ptr<HDC__, ReleaseScreenDc> screen(::GetDC(nullptr));
    const std::unique_ptr<HDC__, DeleteDc> memory(::CreateCompatibleDC(screen.get()));
    const std::unique_ptr<HBITMAP__, DeleteBitmap> bitmap(
        ::CreateCompatibleBitmap(screen.get(), width, height));
    const HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory.get(), previous);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    std::string pixels(stride * static_cast<std::size_t>(height), '\0');
    ::GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    WriteFile(fs::path(folder) / (name + ".bmp"), bytes + pixels);
}

// The running program, ended by force if a test leaves it behind.
class RunningProgram {
public:
    explicit RunningProgram(const fs::path& program) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + program.wstring() + L"\"";
        m_started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                     0, nullptr, nullptr, &startup, &m_process);
    }
    ~RunningProgram() {
        if (!m_started) return;
        if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_process.hProcess, 99);
        }
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return m_started; }
    DWORD Id() const { return m_process.dwProcessId; }
    // The exit code once it has ended within the time given, or -1.
    long WaitForExit(DWORD milliseconds) const {
        if (::WaitForSingleObject(m_process.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<long>(code);
    }

    // A visible top-level dialog window of this program other than the ones in except.
    HWND FindDialog(const std::set<HWND>& except = {}) const {
        DialogSearch search{Id(), &except, nullptr};
        ::EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

private:
    PROCESS_INFORMATION m_process{};
    BOOL m_started = FALSE;
};

class EndToEndTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(program.Started());
        main = WaitFor([&] { return program.FindDialog(); });
        ASSERT_NE(main, nullptr) << "the main window did not appear";
        ASSERT_EQ(TextOf(main), L"Oscimo数据导出工具");
    }

    // Presses a button of the main window whose command opens another dialog; returns that one.
    HWND OpenFrom(int button) {
        Press(main, button);
        return WaitFor([&] { return program.FindDialog({main}); });
    }

    // Types a full path into a file dialog and confirms it.
    void ChooseFile(HWND dialog, const fs::path& path) {
        HWND edit = FindDescendant(dialog, kFileNameEdit, L"Edit");
        if (const HWND combo = FindDescendant(dialog, kFileNameComboEx, L"ComboBoxEx32"); !edit) {
            edit = combo ? ::FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
        }
        ASSERT_NE(edit, nullptr) << "no file name box";
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        Press(dialog, IDOK);
    }

    // Waits for a message box, returns its text and dismisses it with the given button.
    std::wstring AnswerMessageBox(const std::set<HWND>& except, int button = IDOK) {
        const HWND box = WaitFor([&] {
            const HWND found = program.FindDialog(except);
            return found && ::GetDlgItem(found, kMessageText) ? found : nullptr;
        });
        if (!box) return L"(no message box)";
        const std::wstring text = TextOf(::GetDlgItem(box, kMessageText));
        caption = TextOf(box);
        Press(box, button);
        WaitUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); });
        return text;
    }

    std::wstring Control(int id) const { return TextOf(::GetDlgItem(main, id)); }

    TempDir dir;
    RunningProgram program{ProgramBesideThisOne("OscimoExporter")};
    HWND main = nullptr;
    std::wstring caption;
};

TEST_F(EndToEndTest, LoadsExportsReplacesAndRejects) {
    RecordingSpec spec;
    spec.samples = 5000;
    spec.label = "walk";
    const fs::path recording = dir / "walk.bin";
    WriteFile(recording, GenerateRecording(spec));
    EXPECT_EQ(Control(IDC_FILE_PATH), L"");
    EXPECT_EQ(Control(IDC_INFO), L"");

    // Browse a recording and read the summary.
    const HWND open = OpenFrom(IDC_BROWSE);
    ASSERT_NE(open, nullptr) << "no open dialog";
    ChooseFile(open, recording);
    ASSERT_TRUE(WaitUntil([&] { return Control(IDC_INFO) != L""; }));
    EXPECT_EQ(Control(IDC_FILE_PATH), recording.wstring());
    EXPECT_EQ(Control(IDC_INFO),
              L"Tavomir Morvanex A 2 acceleration walk\r\n数量：5000\r\n时间：是\r\n数据列：3\r\n");
    SaveScreenshot(main, "main-window");

    // Export, and compare with the converter's output.
    const fs::path csv = dir / "walk.csv";
    const HWND save = OpenFrom(IDC_EXPORT_CSV);
    ASSERT_NE(save, nullptr) << "no save dialog";
    const HWND nameBox = FindDescendant(save, kFileNameEdit, L"Edit");
    if (nameBox) {
        EXPECT_EQ(TextOf(nameBox), L"walk.bin.csv");
    }
    ChooseFile(save, csv);
    EXPECT_EQ(AnswerMessageBox({main, save}), L"导出成功");
    EXPECT_EQ(caption, L"OscimoExporter");
    const fs::path reference = dir / "reference.csv";
    ASSERT_EQ(
        RunProgram(ProgramBesideThisOne("oscimo2csv"), {"-q", "-o", reference, recording}).exitCode,
        0);
    EXPECT_EQ(ReadFile(csv), ReadFile(reference));

    // Export again to the same name: the overwrite question, then the file is replaced.
    WriteFile(csv, "stale");
    const HWND saveAgain = OpenFrom(IDC_EXPORT_CSV);
    ASSERT_NE(saveAgain, nullptr);
    ChooseFile(saveAgain, csv);
    const std::wstring question = AnswerMessageBox({main, saveAgain}, IDYES);
    EXPECT_NE(question, L"(no message box)");  // the system's wording, whatever it is
    EXPECT_NE(question, L"导出成功");
    EXPECT_EQ(AnswerMessageBox({main, saveAgain}), L"导出成功");
    EXPECT_EQ(ReadFile(csv), ReadFile(reference));

    // A damaged file: the read-failure message, then an empty summary.
    RecordingSpec damaged = spec;
    damaged.family = "morvanex";
    const fs::path bad = dir / "bad.bin";
    WriteFile(bad, GenerateRecording(damaged));
    const HWND openBad = OpenFrom(IDC_BROWSE);
    ASSERT_NE(openBad, nullptr);
    ChooseFile(openBad, bad);
    EXPECT_EQ(AnswerMessageBox({main, openBad}), L"读取文件失败，可能是文件被占用或格式错误！");
    EXPECT_TRUE(WaitUntil([&] { return Control(IDC_FILE_PATH) == bad.wstring(); }));
    EXPECT_EQ(Control(IDC_INFO), L"");
}

TEST_F(EndToEndTest, ShowsTheAboutBoxAndEndsWhenClosed) {
    ::PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    const HWND about = WaitFor([&] { return program.FindDialog({main}); });
    ASSERT_NE(about, nullptr) << "no About box";
    EXPECT_EQ(TextOf(about), L"关于 OscimoExporter");
    EXPECT_EQ(::GetWindow(about, GW_OWNER), main);
    SaveScreenshot(about, "about-box");
    Press(about, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(about); }));

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(10'000), 0);
}

}  // namespace
