#pragma once

#include "DialogEx.h"
#include "resource.h"

class CAboutDlg : public CDialogEx {
public:
    CAboutDlg() : CDialogEx(IDD) {}

    enum { IDD = IDD_ABOUTBOX };

    DECLARE_MESSAGE_MAP()
};
