#pragma once

// The system's text for an error code. The dialog's layer and the core both show it and may not
// depend on each other, so it stands on its own.

#include <windows.h>

#include <string>

// As the system words it, without the line end and spaces it appends; "Error N" where it has no
// text for the code.
inline std::wstring SystemErrorMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) text = L"Error " + std::to_wstring(code);
    return text;
}
