// Reads the resources back out of the built OscimoExporter.exe: what the resource compiler stored,
// not what the .rc says, is what Windows will use.
#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Process.h"
#include "Version.h"
#include "resource.h"

namespace {

constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);  // 0x0804
constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);        // 0x0409
constexpr DWORD kStaticId = static_cast<DWORD>(IDC_STATIC);
const std::wstring kButton = L"#128", kEdit = L"#129", kStatic = L"#130";  // predefined classes
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
const std::wstring kAnyText = L"\x1";  // an expected title that may be any non-empty text

#if defined(__x86_64__) || defined(_M_X64)
constexpr std::string_view kArch = "amd64", kOtherArch = "x86";
#else
constexpr std::string_view kArch = "x86", kOtherArch = "amd64";
#endif

// Sequential little-endian reads; running past the end sets overrun() and yields zeros.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    template <class T>
    T Read() {
        T value{};
        if (pos_ + sizeof(T) > bytes_.size()) {
            overrun_ = true;
            return value;
        }
        std::memcpy(&value, bytes_.data() + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }
    std::wstring Text() {
        std::wstring text;
        for (wchar_t c = Read<wchar_t>(); c != 0 && !overrun_; c = Read<wchar_t>()) text += c;
        return text;
    }
    // A name or an ordinal (0xFFFF then the number, written "#number").
    std::wstring NameOrOrdinal() {
        if (pos_ + 2 <= bytes_.size() && static_cast<unsigned char>(bytes_[pos_]) == 0xFF &&
            static_cast<unsigned char>(bytes_[pos_ + 1]) == 0xFF) {
            pos_ += 2;
            return L"#" + std::to_wstring(Read<WORD>());
        }
        return Text();
    }
    void AlignTo4() { pos_ = std::min((pos_ + 3) & ~std::size_t{3}, bytes_.size()); }
    bool overrun() const { return overrun_; }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool overrun_ = false;
};

struct Item {
    DWORD style;
    short x, y, cx, cy;
    DWORD id;
    std::wstring cls, title;
    bool operator==(const Item&) const = default;
};
void PrintTo(const Item& i, std::ostream* os) {
    *os << "{style 0x" << std::hex << i.style << std::dec << " at " << i.x << "," << i.y << " "
        << i.cx << "x" << i.cy << " id " << static_cast<int>(i.id) << " class "
        << testing::PrintToString(i.cls) << " title " << testing::PrintToString(i.title) << "}";
}

struct Dialog {
    WORD id;
    DWORD style, exStyle;
    short cx, cy;
    std::wstring caption;
    std::vector<Item> items;  // in tab order
};

// clang-format off
const Dialog kDialogs[] = {
    {IDD_MAIN_DIALOG,
     WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SETFONT | DS_FIXEDSYS,
     WS_EX_APPWINDOW, 310, 170, L"Oscimo数据导出工具",
     {{kChild | SS_LEFT | WS_GROUP, 7, 16, 31, 8, kStaticId, kStatic, L"数据文件:"},
      {kChild | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL,
       43, 14, 206, 14, IDC_FILE_PATH, kEdit, L""},
      {kChild | BS_PUSHBUTTON | WS_TABSTOP, 253, 15, 50, 14, IDC_BROWSE, kButton, L"浏览..."},
      {kChild | WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
       ES_WANTRETURN, 7, 37, 296, 104, IDC_INFO, kEdit, L""},
      {kChild | BS_PUSHBUTTON | WS_TABSTOP, 134, 149, 50, 14, IDC_EXPORT_CSV, kButton,
       L"导出CSV"}}},
    {IDD_ABOUTBOX,
     WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS,
     0, 228, 63, L"关于 OscimoExporter",
     {{kChild | SS_ICON, 14, 14, 20, 20, kStaticId, kStatic, L"#128"},
      {kChild | SS_LEFT | SS_NOPREFIX | WS_GROUP, 42, 14, 114, 8, kStaticId, kStatic,
       L"OscimoExporter，版本 1.0"},
      // The ownership line's wording may change; its place and style may not.
      {kChild | SS_LEFT | WS_GROUP, 42, 26, 179, 8, kStaticId, kStatic, kAnyText},
      {kChild | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 171, 42, 50, 14, IDOK, kButton,
       L"确定"}}},
};
// clang-format on

std::wstring Name(LPCWSTR name) {
    return IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<std::uintptr_t>(name))
                                : std::wstring(name);
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR out) {
    wchar_t hex[8];
    std::swprintf(hex, 8, L"%04X", language);
    reinterpret_cast<std::vector<std::wstring>*>(out)->push_back(Name(type) + L" " + Name(name) +
                                                                 L" " + hex);
    return TRUE;
}
BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR out) {
    return EnumResourceLanguagesW(module, type, name, AddLanguage, out);
}
BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR out) {
    return type != RT_ICON ? EnumResourceNamesW(module, type, AddName, out) : TRUE;
}

class Resources : public testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExW(ProgramBesideThisOne("OscimoExporter").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load OscimoExporter.exe"; }

    // The bytes of one resource in one language; empty when there is none.
    static std::string_view Bytes(LPCWSTR type, WORD id, WORD language = kChinese) {
        const HRSRC info = FindResourceExW(module_, type, MAKEINTRESOURCEW(id), language);
        if (info == nullptr) return {};
        return {static_cast<const char*>(LockResource(LoadResource(module_, info))),
                SizeofResource(module_, info)};
    }

    static HMODULE module_;
};
HMODULE Resources::module_ = nullptr;

// Every resource by type, name and language: nothing missing, nothing extra, each language right.
// The icon images are checked through their group.
TEST_F(Resources, InventoryAndLanguages) {
    std::vector<std::wstring> found;
    EnumResourceTypesW(module_, AddType, reinterpret_cast<LONG_PTR>(&found));
    std::sort(found.begin(), found.end());
    // Type ordinals: 14 icon group, 16 version, 24 manifest, 5 dialog, 6 string block.
    // clang-format off
    const std::vector<std::wstring> expected = {
        L"#14 #128 0804", L"#16 #1 0804", L"#24 #1 0409", L"#5 #100 0804", L"#5 #102 0804",
        L"#6 #7 0804", L"AFX_DIALOG_LAYOUT #100 0804", L"AFX_DIALOG_LAYOUT #102 0804"};
    // clang-format on
    EXPECT_EQ(found, expected);
}

TEST_F(Resources, DialogTemplates) {
    for (const Dialog& want : kDialogs) {
        SCOPED_TRACE("dialog " + std::to_string(want.id));
        const std::string_view bytes = Bytes(RT_DIALOG, want.id);
        ASSERT_FALSE(bytes.empty());
        Reader r(bytes);
        EXPECT_EQ(r.Read<WORD>(), 1);  // DLGTEMPLATEEX version
        EXPECT_EQ(r.Read<WORD>(), 0xFFFF);
        EXPECT_EQ(r.Read<DWORD>(), 0u);  // help id
        EXPECT_EQ(r.Read<DWORD>(), want.exStyle);
        EXPECT_EQ(r.Read<DWORD>(), want.style);
        const WORD count = r.Read<WORD>();
        EXPECT_EQ(r.Read<DWORD>(), 0u);  // x, y
        EXPECT_EQ(r.Read<short>(), want.cx);
        EXPECT_EQ(r.Read<short>(), want.cy);
        EXPECT_EQ(r.NameOrOrdinal(), L"");  // no menu
        EXPECT_EQ(r.NameOrOrdinal(), L"");  // the standard dialog class
        EXPECT_EQ(r.Text(), want.caption);
        EXPECT_EQ(r.Read<WORD>(), 9);  // point size
        r.Read<WORD>();                // weight
        r.Read<WORD>();                // italic, character set
        EXPECT_EQ(r.Text(), L"MS Shell Dlg");

        std::vector<Item> items(count);
        for (Item& item : items) {
            r.AlignTo4();
            EXPECT_EQ(r.Read<DWORD>(), 0u);  // help id
            EXPECT_EQ(r.Read<DWORD>(), 0u);  // extended style
            item.style = r.Read<DWORD>();
            item.x = r.Read<short>();
            item.y = r.Read<short>();
            item.cx = r.Read<short>();
            item.cy = r.Read<short>();
            item.id = r.Read<DWORD>();
            item.cls = r.NameOrOrdinal();
            item.title = r.NameOrOrdinal();
            EXPECT_EQ(r.Read<WORD>(), 0);  // no creation data
        }
        ASSERT_FALSE(r.overrun());
        std::vector<Item> expected = want.items;
        for (std::size_t i = 0; i < std::min(items.size(), expected.size()); ++i) {
            if (expected[i].title == kAnyText && !items[i].title.empty()) {
                expected[i].title = items[i].title;
            }
        }
        EXPECT_EQ(items, expected);
    }
}

TEST_F(Resources, OnlyTheAboutMenuString) {
    // String 101 lives in block 101 / 16 + 1 = 7, slot 101 % 16 = 5; every other slot is empty.
    Reader r(Bytes(RT_STRING, IDS_ABOUTBOX / 16 + 1));
    for (int slot = 0; slot < 16; ++slot) {
        std::wstring text(r.Read<WORD>(), L'\0');
        for (wchar_t& c : text) c = r.Read<wchar_t>();
        EXPECT_EQ(text, slot == IDS_ABOUTBOX % 16 ? L"关于 OscimoExporter(&A)..." : L"")
            << "slot " << slot;
    }
    EXPECT_FALSE(r.overrun());
}

TEST_F(Resources, VersionInformation) {
    const std::wstring exe = ProgramBesideThisOne("OscimoExporter").native();
    std::vector<char> block(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    const auto query = [&](const wchar_t* path, UINT* size) -> void* {
        void* value = nullptr;
        return VerQueryValueW(block.data(), path, &value, size) ? value : nullptr;
    };

    UINT size = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\", &size));
    ASSERT_NE(fixed, nullptr);
    constexpr DWORD ms = (OSCIMO_VERSION_MAJOR << 16) | OSCIMO_VERSION_MINOR;
    constexpr DWORD ls = (OSCIMO_VERSION_PATCH << 16) | OSCIMO_VERSION_BUILD;
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation", &size));
    ASSERT_EQ(size, 4u);  // one language, code page pair
    EXPECT_EQ(translation[0], kChinese);
    EXPECT_EQ(translation[1], 1200);

    const std::wstring version = L"" OSCIMO_VERSION_STRING;
    const struct {
        const wchar_t* name;
        std::wstring value;  // empty: any wording, as long as there is some
    } strings[] = {{L"CompanyName", L""},     {L"FileDescription", L"OscimoExporter"},
                   {L"FileVersion", version}, {L"InternalName", L"OscimoExporter.exe"},
                   {L"LegalCopyright", L""},  {L"OriginalFilename", L"OscimoExporter.exe"},
                   {L"ProductName", L""},     {L"ProductVersion", version}};
    for (const auto& s : strings) {
        const auto* text = static_cast<const wchar_t*>(
            query((std::wstring(L"\\StringFileInfo\\080404b0\\") + s.name).c_str(), &size));
        ASSERT_NE(text, nullptr) << testing::PrintToString(std::wstring(s.name));
        const std::wstring value(text);
        if (s.value.empty()) {
            EXPECT_FALSE(value.empty()) << testing::PrintToString(std::wstring(s.name));
        } else {
            EXPECT_EQ(value, s.value);
        }
    }
}

TEST_F(Resources, Manifest) {
    const std::string manifest(Bytes(RT_MANIFEST, 1, kEnglishUs));
    ASSERT_FALSE(manifest.empty());
    // The common-controls dependency, judged inside its own assemblyIdentity element.
    const std::size_t name = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(name, std::string::npos);
    const std::size_t begin = manifest.rfind("<assemblyIdentity", name);
    const std::size_t end = manifest.find("/>", name);
    ASSERT_TRUE(begin != std::string::npos && end != std::string::npos);
    const std::string identity = manifest.substr(begin, end - begin);
    const std::vector<std::string> attributes = {
        "version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"",
        "processorArchitecture=\"" + std::string(kArch) + "\""};
    for (const std::string& attribute : attributes) {
        EXPECT_NE(identity.find(attribute), std::string::npos) << attribute;
    }
    // Windows refuses to start a program whose manifest names the other architecture.
    EXPECT_EQ(manifest.find("processorArchitecture=\"" + std::string(kOtherArch) + "\""),
              std::string::npos);
    for (const char* setting : {"level=\"asInvoker\"", "uiAccess=\"false\"", ">true</dpiAware>"}) {
        EXPECT_NE(manifest.find(setting), std::string::npos) << setting;
    }
}

TEST_F(Resources, IconImagesAreBitmaps) {
    Reader group(Bytes(RT_GROUP_ICON, IDR_MAINFRAME));
    EXPECT_EQ(group.Read<WORD>(), 0);
    EXPECT_EQ(group.Read<WORD>(), 1);  // icons, not cursors
    const WORD count = group.Read<WORD>();
    // 256 is stored as 0. No 32x32 on purpose.
    const struct { int width, height; } expected[] = {{16, 16}, {24, 25}, {48, 48}, {256, 256}};
    ASSERT_EQ(static_cast<std::size_t>(count), std::size(expected));
    for (const auto& want : expected) {
        SCOPED_TRACE(std::to_string(want.width) + "x" + std::to_string(want.height));
        EXPECT_EQ(static_cast<int>(group.Read<BYTE>()), want.width % 256);
        EXPECT_EQ(static_cast<int>(group.Read<BYTE>()), want.height % 256);
        group.Read<WORD>();  // colour count, reserved
        EXPECT_EQ(group.Read<WORD>(), 1);
        EXPECT_EQ(group.Read<WORD>(), 32);
        const DWORD size = group.Read<DWORD>();
        const WORD id = group.Read<WORD>();
        ASSERT_FALSE(group.overrun());

        const std::string_view image = Bytes(RT_ICON, id);
        ASSERT_EQ(image.size(), size);
        BITMAPINFOHEADER header{};
        ASSERT_GE(image.size(), sizeof header);
        std::memcpy(&header, image.data(), sizeof header);
        EXPECT_EQ(header.biSize, sizeof header) << "not a bitmap (a PNG image?)";
        EXPECT_EQ(header.biWidth, want.width);
        EXPECT_EQ(header.biHeight, 2 * want.height);  // colour plus AND mask
        EXPECT_EQ(header.biBitCount, 32);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
        const std::size_t maskRow = static_cast<std::size_t>((want.width + 31) / 32 * 4);
        const std::size_t pixels = static_cast<std::size_t>(want.width * want.height);
        EXPECT_EQ(image.size(),
                  sizeof header + pixels * 4 + maskRow * static_cast<std::size_t>(want.height));
        // And Windows itself accepts the image.
        BYTE* bits = reinterpret_cast<BYTE*>(const_cast<char*>(image.data()));
        const HICON icon = CreateIconFromResourceEx(bits, size, TRUE, 0x00030000, want.width,
                                                    want.height, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr);
        if (icon != nullptr) DestroyIcon(icon);
    }
}

TEST_F(Resources, EmptyDialogLayouts) {
    for (const int dialog : {IDD_ABOUTBOX, IDD_MAIN_DIALOG}) {
        EXPECT_EQ(Bytes(L"AFX_DIALOG_LAYOUT", static_cast<WORD>(dialog)),
                  std::string_view("\0\0", 2))
            << "dialog " << dialog;
    }
}

}  // namespace
