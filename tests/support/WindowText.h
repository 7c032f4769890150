#pragma once

#include <windows.h>

#include <string>

// A window's text, or with id that of its control.
inline std::wstring Text(HWND window, int id = 0) {
    wchar_t text[512] = {};
    id ? GetDlgItemTextW(window, id, text, 512) : GetWindowTextW(window, text, 512);
    return text;
}
