#pragma once

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_MAIN_DIALOG 102

// Strings
#define IDS_ABOUTBOX 101

// Icons
#define IDR_MAINFRAME 128

// Controls
#define IDC_STATIC (-1)
#define IDC_FILE_PATH 1000
#define IDC_BROWSE 1001
#define IDC_INFO 1002
#define IDC_EXPORT_CSV 1003

// System menu commands
#define IDM_ABOUTBOX 0x0010
