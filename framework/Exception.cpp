#include "Exception.h"

#include <new>

#include "MessageBox.h"

std::wstring SystemErrorMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    if (text.empty()) text = L"Error " + std::to_wstring(code);
    return text;
}

void ReportEscapedException() noexcept {
    wchar_t text[512] = {};
    try {
        throw;
    } catch (const CException& exception) {
        exception.GetErrorMessage(text, 512);
    } catch (const std::bad_alloc&) {
        ::lstrcpynW(text, SystemErrorMessage(ERROR_NOT_ENOUGH_MEMORY).c_str(), 512);
    } catch (...) {
        ::lstrcpynW(text, SystemErrorMessage(static_cast<DWORD>(E_UNEXPECTED)).c_str(), 512);
    }
    try {
        AfxMessageBox(text, MB_ICONEXCLAMATION);
    } catch (...) {
        // Nothing left to report with; the dialog stays usable regardless.
    }
}
