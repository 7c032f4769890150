#pragma once

#include "DataExchange.h"
#include "Wnd.h"

// A modal dialog built from a dialog template resource.
class CDialogEx : public CWnd {
public:
    explicit CDialogEx(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog until it ends; returns the id it ended with, or -1 if it could not start.
    virtual INT_PTR DoModal();
    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK();
    virtual void OnCancel();
    void OnSysCommand(UINT id, LPARAM parameter);
    void OnPaint();

    UINT m_nIDTemplate;  // the dialog template the window is made from
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
};
