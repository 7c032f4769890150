// Reads the resources back out of the built OscimoExporter.exe through Windows itself: what the
// resource compiler stored, not what the .rc says, is what users get.
#include <windows.h>

#include <gtest/gtest.h>

#include "Process.h"
#include "Version.h"
#include "resource.h"

namespace {

// What Windows makes of the resources: each by type (3 icon image, 5 dialog, 6 string block,
// 14 icon group, 16 version, 24 manifest), name and language (2052 Simplified Chinese, 1033
// English); the string; the version block (versions, flags mask, flags, OS, type; translation)
// and its strings; for each size asked for, the icon image Windows picks (there is no 32x32 one)
// with its colour depth and header size (40: a bitmap, not PNG); each dialog as created from its
// template, then its controls in tab order, positions and sizes in dialog units (an icon control
// takes its icon's size). Styles are the .rc's as read back, with what the dialog manager adds:
// WS_CLIPSIBLINGS and DS_3DLOOK to dialogs, WS_EX_NOPARENTNOTIFY to controls, and an edit's
// WS_BORDER drawn as WS_EX_CLIENTEDGE.
const std::wstring kExpected = LR"-(
AFX_DIALOG_LAYOUT #100:2052 #102:2052
#3 #1:2052 #2:2052 #3:2052 #4:2052
#5 #100:2052 #102:2052
#6 #7:2052
#14 #128:2052
#16 #1:2052
#24 #1:1033
string 101 关于 OscimoExporter(&A)...
version )-" OSCIMO_VERSION_STRING L" " OSCIMO_VERSION_STRING LR"-( 3f 0 40004 1; 804 1200
  OscimoExporter 开发者|OscimoExporter|)-" OSCIMO_VERSION_STRING LR"-(|OscimoExporter.exe
  版权所有 (C) 2026 OscimoExporter 开发者|OscimoExporter.exe|OscimoExporter|)-" OSCIMO_VERSION_STRING LR"-(
icons 16x16 32 40, 24x25 32 40, 24x25 32 40, 48x48 32 40, 256x256 32 40,
dialog 102 Oscimo数据导出工具 94cc004c 50100 0,0 310x170 MS Shell Dlg -12
  Static -1 "数据文件:" 50020000 4 7,16 36x8
  Edit 1000 "" 50010880 204 43,14 206x14
  Button 1001 "浏览..." 50010000 4 253,15 50x14
  Edit 1002 "" 50011884 204 7,37 296x104
  Button 1003 "导出CSV" 50010000 4 134,149 50x14
dialog 100 关于 OscimoExporter 84c800cc 10101 0,0 228x63 MS Shell Dlg -12
  Static -1 "#128" 50000003 4 14,14 18x18
  Static -1 "OscimoExporter，版本 1.0" 50020080 4 42,14 114x8
  Static -1 "版权所有 (C) 2026 OscimoExporter 开发者" 50020000 4 42,26 179x8
  Button 1 "确定" 50030001 4 171,42 50x14)-";

const std::wstring kExe = ProgramBesideThisOne("OscimoExporter").wstring();
const HMODULE kModule = LoadLibraryExW(kExe.c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
std::wstring g_found;  // what the test reads back, to compare with kExpected

template <class... Values>
void Put(const wchar_t* format, Values... values) {
    wchar_t text[512] = {};
    swprintf(text, 512, format, values...);
    g_found += text;
}

std::string_view Bytes(LPCWSTR type, int id, WORD language = 0x0804) {
    const HRSRC found = FindResourceExW(kModule, type, MAKEINTRESOURCEW(id), language);
    return {static_cast<const char*>(LockResource(LoadResource(kModule, found))),
            found ? SizeofResource(kModule, found) : 0};
}

HWND CreateFromTemplate(int id) {
    return CreateDialogIndirectParamW(
        kModule, reinterpret_cast<LPCDLGTEMPLATEW>(Bytes(RT_DIALOG, id).data()), nullptr, nullptr,
        0);
}

// A name or a window's text; an ordinal (0xFFFF, then the number) as #number.
std::wstring Name(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return L"#" + std::to_wstring(reinterpret_cast<UINT_PTR>(name));
    return name[0] == 0xFFFF ? L"#" + std::to_wstring(name[1]) : name;
}
BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR name, WORD language, LONG_PTR) {
    Put(L" %ls:%d", Name(name).c_str(), language);
    return TRUE;
}
BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR) {
    return EnumResourceLanguagesW(module, type, name, AddLanguage, 0);
}
BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR) {
    Put(L"\n%ls", Name(type).c_str());
    return EnumResourceNamesW(module, type, AddName, 0);
}

void AddDialog(int id) {
    const HWND dialog = CreateFromTemplate(id);
    RECT unit{0, 0, 4, 8}, r{};
    MapDialogRect(dialog, &unit);
    GetClientRect(dialog, &r);
    const auto put = [&](const wchar_t* format, HWND window, auto... values) {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        Put(format, values..., Name(text).c_str(), GetWindowLongW(window, GWL_STYLE),
            GetWindowLongW(window, GWL_EXSTYLE), MulDiv(r.left, 4, unit.right),
            MulDiv(r.top, 8, unit.bottom), MulDiv(r.right - r.left, 4, unit.right),
            MulDiv(r.bottom - r.top, 8, unit.bottom));
    };
    put(L"\ndialog %d %ls %lx %lx %d,%d %dx%d", dialog, id);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    Put(L" %ls %ld", font.lfFaceName, font.lfHeight);
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t className[64] = {};
        GetClassNameW(c, className, 64);
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        put(L"\n  %ls %d \"%ls\" %lx %lx %d,%d %dx%d", c, className, GetDlgCtrlID(c));
    }
    DestroyWindow(dialog);
}

TEST(Resources, ReadBackThroughWindows) {
    ASSERT_NE(kModule, nullptr);
    EnumResourceTypesW(kModule, AddType, 0);
    for (UINT id = IDS_ABOUTBOX / 16 * 16; id < IDS_ABOUTBOX / 16 * 16 + 16; ++id) {
        wchar_t text[64] = {};
        if (LoadStringW(kModule, id, text, 64) > 0) Put(L"\nstring %u %ls", id, text);
    }
    std::vector<char> block(GetFileVersionInfoSizeW(kExe.c_str(), nullptr));
    GetFileVersionInfoW(kExe.c_str(), 0, static_cast<DWORD>(block.size()), block.data());
    const auto query = [&](const std::wstring& path) {
        const DWORD* value = nullptr;
        UINT size = 0;
        VerQueryValueW(block.data(), path.c_str(),
                       reinterpret_cast<void**>(const_cast<DWORD**>(&value)), &size);
        static const DWORD kNone[16] = {};
        return value ? value : kNone;
    };
    const auto* f = reinterpret_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
    Put(L"\nversion %d.%d.%d.%d %d.%d.%d.%d %lx %lx %lx %lx; %x %d", HIWORD(f->dwFileVersionMS),
        LOWORD(f->dwFileVersionMS), HIWORD(f->dwFileVersionLS), LOWORD(f->dwFileVersionLS),
        HIWORD(f->dwProductVersionMS), LOWORD(f->dwProductVersionMS), HIWORD(f->dwProductVersionLS),
        LOWORD(f->dwProductVersionLS), f->dwFileFlagsMask, f->dwFileFlags, f->dwFileOS,
        f->dwFileType, LOWORD(*query(L"\\VarFileInfo\\Translation")),
        HIWORD(*query(L"\\VarFileInfo\\Translation")));
    int i = 0;
    for (const std::wstring name :
         {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName", L"LegalCopyright",
          L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        Put(i++ % 4 ? L"|%ls" : L"\n  %ls",
            reinterpret_cast<const wchar_t*>(query(L"\\StringFileInfo\\080404b0\\" + name)));
    }
    Put(L"\nicons");
    const std::string_view group = Bytes(RT_GROUP_ICON, IDR_MAINFRAME);
    const auto data = [](std::string_view bytes) {
        return reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    };
    for (const SIZE size : std::vector<SIZE>{{16, 16}, {24, 25}, {32, 32}, {48, 48}, {256, 256}}) {
        const std::string_view image =
            Bytes(RT_ICON, LookupIconIdFromDirectoryEx(data(group), TRUE, size.cx, size.cy, 0));
        BITMAPINFOHEADER header{};
        CopyMemory(&header, image.data(), std::min(sizeof header, image.size()));
        const HICON icon = CreateIconFromResourceEx(data(image), static_cast<DWORD>(image.size()),
                                                    TRUE, 0x00030000, 0, 0, 0);
        ICONINFO info{};
        BITMAP bitmap{};
        if (icon && GetIconInfo(icon, &info)) GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        Put(L" %ldx%ld %d %lu,", bitmap.bmWidth, bitmap.bmHeight, header.biBitCount, header.biSize);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    AddDialog(IDD_MAIN_DIALOG);
    AddDialog(IDD_ABOUTBOX);
    EXPECT_EQ(g_found, kExpected);
    for (const int dialog : {IDD_ABOUTBOX, IDD_MAIN_DIALOG}) {
        EXPECT_EQ(Bytes(L"AFX_DIALOG_LAYOUT", dialog), std::string_view("\0\0", 2));  // empty
    }
}

TEST(Resources, Manifest) {
    const std::string manifest(Bytes(RT_MANIFEST, 1, 0x0409));
    const char *amd64 = "processorArchitecture=\"amd64\"", *x86 = "processorArchitecture=\"x86\"";
    // The common-controls dependency, judged inside its own element.
    const std::size_t at = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
    const std::string dependency = manifest.substr(at, manifest.find("/>", at) - at);
    for (const char* attribute : {"version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\"",
                                  "language=\"*\"", sizeof(void*) == 8 ? amd64 : x86}) {
        EXPECT_NE(dependency.find(attribute), std::string::npos) << attribute;
    }
    // A setting under a mistyped namespace is silently ignored: each is judged with its own.
    for (const char* setting :
         {"level=\"asInvoker\"", "uiAccess=\"false\"",
          "SMI/2005/WindowsSettings\">true/pm</dpiAware>",
          "SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>",
          "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(manifest.find(setting), std::string::npos) << setting;
    }
    // Windows refuses to start a program whose manifest names the other architecture.
    EXPECT_EQ(manifest.find(sizeof(void*) == 8 ? x86 : amd64), std::string::npos);
}

// Each label shows its whole text on one line: its text in the dialog's font, as GDI measures
// it, against its client area. Dialog units follow the font's Latin average width, which does not
// grow in step with CJK glyphs: ctest runs this at 96, 144 and 192 DPI (scripts/wine-run --dpi).
TEST(Resources, LabelsShowTheirWholeText) {
    SetProcessDPIAware();  // as the program's manifest makes it: measured at the real DPI
    for (const int id : {IDD_MAIN_DIALOG, IDD_ABOUTBOX}) {
        const HWND dialog = CreateFromTemplate(id);
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            // Labels only: SS_LEFT is 0.
            if (GetDlgCtrlID(c) != IDC_STATIC || (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK))
                continue;
            wchar_t text[256] = {};
            SIZE needed{};
            RECT has{};
            const HDC dc = GetDC(c);
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
            GetTextExtentPoint32W(dc, text, GetWindowTextW(c, text, 256), &needed);
            GetClientRect(c, &has);
            EXPECT_TRUE(needed.cx <= has.right && needed.cy <= has.bottom)
                << text << " at " << GetDeviceCaps(dc, LOGPIXELSX) << " DPI needs " << needed.cx
                << " pixels, has " << has.right;
            ReleaseDC(c, dc);
        }
        DestroyWindow(dialog);
    }
}

}  // namespace
