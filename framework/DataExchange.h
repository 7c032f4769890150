#pragma once

#include <string>

#include "Wnd.h"

// One UpdateData pass: m_bSaveAndValidate copies controls into members, otherwise the reverse.
class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Binds the text of control id to value.
void DDX_Text(CDataExchange* exchange, int id, std::wstring& value);
