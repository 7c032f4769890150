#include "FileDialog.h"

#include <shobjidl.h>

#include <utility>
#include <vector>

#include "ComPtr.h"
#include "TestSeam.h"

namespace {

// "Name|pattern|Name|pattern||" as name/pattern pairs.
std::vector<std::pair<std::wstring, std::wstring>> ParseFilter(const std::wstring& filter) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (std::size_t bar; (bar = filter.find(L'|', start)) != std::wstring::npos; start = bar + 1) {
        parts.push_back(filter.substr(start, bar - start));
    }
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (std::size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
        pairs.emplace_back(parts[i], parts[i + 1]);
    }
    return pairs;
}

// The dialogs want the extension without its dot.
std::wstring BareExtension(const std::wstring& extension) {
    return !extension.empty() && extension[0] == L'.' ? extension.substr(1) : extension;
}

class CoTaskString {
public:
    ~CoTaskString() { ::CoTaskMemFree(m_text); }
    PWSTR* Receive() { return &m_text; }
    PCWSTR Get() const { return m_text; }

private:
    PWSTR m_text = nullptr;
};

}  // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, LPCWSTR defaultExtension, LPCWSTR fileName,
                         DWORD flags, LPCWSTR filter, CWnd* parent, DWORD, BOOL vistaStyle)
    : m_open(openFileDialog != FALSE),
      m_defaultExtension(defaultExtension ? defaultExtension : L""),
      m_fileName(fileName ? fileName : L""),
      m_flags(flags),
      m_filter(filter ? filter : L""),
      m_parent(parent),
      m_vistaStyle(vistaStyle != FALSE) {}

HWND CFileDialog::Owner() const {
    return m_parent ? m_parent->m_hWnd : ::GetActiveWindow();
}

INT_PTR CFileDialog::DoModal() {
    if (const UiTestSeam* seam = GetUiTestSeam(); seam && seam->fileDialog) {
        std::wstring chosen;
        const INT_PTR result = seam->fileDialog(*this, chosen);
        if (result == IDOK) m_pathName = chosen;
        return result;
    }
    const HWND owner = Owner();
    if (m_vistaStyle) {
        bool available = false;
        const INT_PTR result = ShowNewStyle(owner, available);
        if (available) return result;
    }
    return ShowClassic(owner);
}

INT_PTR CFileDialog::ShowNewStyle(HWND owner, bool& available) {
    ComPtr<IFileDialog> dialog;
    available = SUCCEEDED(::CoCreateInstance(m_open ? CLSID_FileOpenDialog : CLSID_FileSaveDialog,
                                             nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog,
                                             reinterpret_cast<void**>(dialog.Receive())));
    if (!available) return IDCANCEL;

    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    options |= FOS_FORCEFILESYSTEM;
    if (m_flags & OFN_OVERWRITEPROMPT) {
        options |= FOS_OVERWRITEPROMPT;
    } else {
        options &= ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_OVERWRITEPROMPT);
    }
    dialog->SetOptions(options);

    const auto filters = ParseFilter(m_filter);
    std::vector<COMDLG_FILTERSPEC> specs;
    for (const auto& [name, pattern] : filters) specs.push_back({name.c_str(), pattern.c_str()});
    if (!specs.empty()) dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
    if (const std::wstring extension = BareExtension(m_defaultExtension); !extension.empty()) {
        dialog->SetDefaultExtension(extension.c_str());
    }
    if (!m_fileName.empty()) dialog->SetFileName(m_fileName.c_str());

    // Cancel, like a dialog that cannot be shown, chooses nothing.
    if (FAILED(dialog->Show(owner))) return IDCANCEL;
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Receive()))) return IDCANCEL;
    CoTaskString path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Receive()))) return IDCANCEL;
    m_pathName = path.Get();
    return IDOK;
}

INT_PTR CFileDialog::ShowClassic(HWND owner) {
    std::wstring filter;
    for (const auto& [name, pattern] : ParseFilter(m_filter)) {
        filter += name + L'\0' + pattern + L'\0';
    }
    std::vector<wchar_t> file(32768, L'\0');
    m_fileName.copy(file.data(), file.size() - 1);
    const std::wstring extension = BareExtension(m_defaultExtension);

    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    request.Flags = m_flags | OFN_EXPLORER;
    if (!(m_open ? ::GetOpenFileNameW(&request) : ::GetSaveFileNameW(&request))) return IDCANCEL;
    m_pathName = file.data();
    return IDOK;
}
