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
    switch (osError) {
        case ERROR_FILE_NOT_FOUND:
            m_cause = fileNotFound;
            break;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            m_cause = badPath;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            m_cause = accessDenied;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            m_cause = diskFull;
            break;
        default:
            m_cause = genericException;
    }
}
