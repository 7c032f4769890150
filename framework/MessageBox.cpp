#include "MessageBox.h"

#include <string>

#include "TestSeam.h"
#include "WinApp.h"

int AfxMessageBox(LPCWSTR text, UINT type, UINT) {
    if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    HWND owner = ::GetActiveWindow();
    if (!owner && AfxGetMainWnd()) owner = AfxGetMainWnd()->m_hWnd;
    const std::wstring caption = AfxGetAppTitle();
    if (const UiTestSeam* seam = GetUiTestSeam(); seam && seam->messageBox) {
        return seam->messageBox(owner, text, caption, type);
    }
    return ::MessageBoxW(owner, text, caption.c_str(), type);
}
