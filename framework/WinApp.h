#pragma once

#include <windows.h>

#include <string>

#include "MessageMap.h"
#include "Wnd.h"

#define AFX_RESTART_MANAGER_SUPPORT_RESTART 0x01
#define ID_HELP 0xE146

// The one application object: constructed statically; the entry point calls InitInstance and
// the process ends when it returns.
class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();

    // Records the key under which settings would be stored; nothing is stored.
    void SetRegistryKey(LPCWSTR key) { m_registryKey = key; }

    CWnd* m_pMainWnd = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;
    std::wstring m_appName;  // the title of message boxes: the executable's base name by default
    std::wstring m_registryKey;

    void OnHelp() {}  // no help file ships with the application
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();

// The application's title, or the running executable's base name where there is no application.
std::wstring AfxGetAppTitle();
