#pragma once

#include <windows.h>

#include <string>

#include "Exception.h"

// Why a file could not be opened, written or closed.
class CFileException : public CException {
public:
    enum Cause { none = 0 };  // the cause is not told apart: the system error code says it

    CFileException(int cause = none, LONG osError = -1, LPCWSTR fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName ? fileName : L"") {}

    // The system's description of m_lOsError, cut to maxChars including the terminator.
    BOOL GetErrorMessage(LPWSTR text, UINT maxChars, PUINT helpContext = nullptr) const override;

    // Records the system error code, which the message describes.
    void SetFromOsError(LONG osError, LPCWSTR fileName);

    int m_cause;
    LONG m_lOsError;
    std::wstring m_strFileName;
};
