#include "FileException.h"

BOOL CFileException::GetErrorMessage(LPWSTR text, UINT maxChars, PUINT helpContext) const {
    if (helpContext) *helpContext = 0;
    if (!text || maxChars == 0) return FALSE;
    const DWORD code = m_lOsError == -1 ? ERROR_GEN_FAILURE : static_cast<DWORD>(m_lOsError);
    ::lstrcpynW(text, SystemErrorMessage(code).c_str(), static_cast<int>(maxChars));
    return TRUE;
}

void CFileException::SetFromOsError(LONG osError, LPCWSTR fileName) {
    m_lOsError = osError;
    m_strFileName = fileName ? fileName : L"";
}
