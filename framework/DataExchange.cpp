#include "DataExchange.h"

void DDX_Text(CDataExchange* exchange, int id, std::wstring& value) {
    const HWND control = ::GetDlgItem(exchange->m_pDlgWnd->m_hWnd, id);
    if (!exchange->m_bSaveAndValidate) {
        ::SetWindowTextW(control, value.c_str());
        return;
    }
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    value.swap(text);
}
