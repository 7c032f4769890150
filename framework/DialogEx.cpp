#include "DialogEx.h"

#include <algorithm>

#include "Exception.h"
#include "WinApp.h"

namespace {

// A dialog whose template leaves it at the origin opens centred over its owner, or over the
// work area when it has none or the owner is minimized.
void CentreIfAtOrigin(HWND dialog) {
    const HWND owner = ::GetWindow(dialog, GW_OWNER);
    POINT origin{0, 0};
    if (owner) ::ClientToScreen(owner, &origin);
    RECT window{};
    ::GetWindowRect(dialog, &window);
    if (window.left != origin.x || window.top != origin.y) return;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST),
                      &monitor);
    const RECT area = monitor.rcWork;
    RECT centre = area;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &centre);
    const LONG width = window.right - window.left, height = window.bottom - window.top;
    LONG left = (centre.left + centre.right - width) / 2;
    LONG top = (centre.top + centre.bottom - height) / 2;
    left = std::max(area.left, std::min(left, area.right - width));
    top = std::max(area.top, std::min(top, area.bottom - height));
    ::SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

BEGIN_MESSAGE_MAP(CDialogEx, CWnd)
END_MESSAGE_MAP()

CDialogEx::CDialogEx(UINT templateId, CWnd* parent)
    : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

INT_PTR CDialogEx::DoModal() {
    // Without a parent the dialog is modal over the application's main window.
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner && AfxGetMainWnd() && AfxGetMainWnd() != this) owner = AfxGetMainWnd()->m_hWnd;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), owner,
                             DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialogEx::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialogEx::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialogEx::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialogEx::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialogEx::OnSysCommand(UINT, LPARAM) {
    Default();
}

void CDialogEx::OnPaint() {
    Default();
}

INT_PTR CALLBACK CDialogEx::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<CDialogEx*>(lParam)->m_hWnd = window;
    }
    auto* dialog = reinterpret_cast<CDialogEx*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog) return FALSE;
    INT_PTR result = FALSE;
    try {
        result = dialog->Dispatch(message, wParam, lParam);
    } catch (...) {
        // The command ends where it failed; the dialog stays up and usable.
        ReportEscapedException();
        result = TRUE;
    }
    if (message == WM_NCDESTROY) dialog->m_hWnd = nullptr;
    return result;
}

INT_PTR CDialogEx::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const BOOL focusDefault = OnInitDialog();
        CentreIfAtOrigin(m_hWnd);
        return focusDefault;
    }

    const UINT code = message == WM_COMMAND ? HIWORD(wParam) : 0;
    const UINT id = message == WM_COMMAND ? LOWORD(wParam) : 0;
    if (const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, code, id)) {
        m_defaultRequested = false;
        const LRESULT result = entry->invoke(this, wParam, lParam);
        if (m_defaultRequested) return FALSE;
        // WM_QUERYDRAGICON is one of the messages whose answer is the procedure's own result.
        if (message == WM_QUERYDRAGICON) return static_cast<INT_PTR>(result);
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (message != WM_COMMAND || code != BN_CLICKED) return FALSE;
    if (id == IDOK) {
        OnOK();
        return TRUE;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    // Commands the dialog does not handle go on to the application.
    CWinApp* app = AfxGetApp();
    if (const AFX_MSGMAP_ENTRY* entry = app ? app->FindMessageEntry(message, code, id) : nullptr) {
        entry->invoke(app, wParam, lParam);
        return TRUE;
    }
    return FALSE;
}
