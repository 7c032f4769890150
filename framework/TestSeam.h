#pragma once

#include <windows.h>

#include <functional>
#include <string>

class CFileDialog;

// Lets tests stand in for the modal file dialogs and message boxes, which would otherwise wait
// for a person. Unset members use the real ones.
struct UiTestSeam {
    // Returns IDOK with the chosen path set, or IDCANCEL.
    std::function<INT_PTR(const CFileDialog& dialog, std::wstring& chosenPath)> fileDialog;
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)>
        messageBox;
};

void SetUiTestSeam(const UiTestSeam* seam);
const UiTestSeam* GetUiTestSeam();
