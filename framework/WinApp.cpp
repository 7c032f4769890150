#include "WinApp.h"

#include <filesystem>

namespace {

CWinApp* g_app = nullptr;

std::wstring ExecutableBaseName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return std::filesystem::path(path).stem().wstring();
}

}  // namespace

CWinApp::CWinApp(LPCWSTR appName) : m_appName(appName ? appName : L"") {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    if (m_appName.empty()) m_appName = ExecutableBaseName();
    if (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART) {
        // Restarted after an update or a hang; there is no state to recover.
        ::RegisterApplicationRestart(nullptr, 0);
    }
    return TRUE;
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app ? g_app->m_pMainWnd : nullptr;
}

std::wstring AfxGetAppTitle() {
    if (g_app && !g_app->m_appName.empty()) return g_app->m_appName;
    return ExecutableBaseName();
}
