#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

#include "Wnd.h"

// The system's open or save dialog, new style where COM offers it, else the classic one.
// filter takes the form "CSV Files(*.csv)|*.csv||".
class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, LPCWSTR defaultExtension = nullptr, LPCWSTR fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCWSTR filter = nullptr,
                CWnd* parent = nullptr, DWORD size = 0, BOOL vistaStyle = TRUE);
    virtual ~CFileDialog() = default;

    // IDOK once a file was chosen, IDCANCEL otherwise.
    virtual INT_PTR DoModal();
    std::wstring GetPathName() const { return m_pathName; }

    bool IsOpenDialog() const { return m_open; }
    const std::wstring& DefaultExtension() const { return m_defaultExtension; }
    const std::wstring& InitialFileName() const { return m_fileName; }
    DWORD Flags() const { return m_flags; }
    const std::wstring& Filter() const { return m_filter; }
    HWND Owner() const;

private:
    INT_PTR ShowNewStyle(HWND owner, bool& available);
    INT_PTR ShowClassic(HWND owner);

    bool m_open;
    std::wstring m_defaultExtension;
    std::wstring m_fileName;
    DWORD m_flags;
    std::wstring m_filter;
    CWnd* m_parent;
    bool m_vistaStyle;
    std::wstring m_pathName;
};
