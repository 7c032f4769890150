#include "OscimoExporterApp.h"

#include <commctrl.h>

#include "OscimoExporterDlg.h"

BEGIN_MESSAGE_MAP(COscimoExporterApp, CWinApp)
// void OnHelp()
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

COscimoExporterApp::COscimoExporterApp() {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

// The one application object.
COscimoExporterApp theApp;

BOOL COscimoExporterApp::InitInstance() {
    // Visual styles for the common controls the dialogs use.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    CWinApp::InitInstance();
    SetRegistryKey(L"应用程序向导生成的本地应用程序");

    COscimoExporterDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // False ends the application instead of entering a message loop of its own.
    return FALSE;
}
