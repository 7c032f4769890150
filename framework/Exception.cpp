#include "Exception.h"

#include <new>

#include "MessageBox.h"

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
