#include "File.h"

#include "PendingName.h"
#include "TestSeam.h"

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

CFile::~CFile() {
    Abort();
}

BOOL CFile::Open(LPCWSTR fileName, UINT openFlags, CFileException* error) {
    Abort();
    m_strFileName = fileName;
    const DWORD access = (openFlags & modeWrite) ? GENERIC_WRITE : GENERIC_READ;
    const DWORD disposition = (openFlags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
    m_hFile =
        ::CreateFileW(fileName, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile != INVALID_HANDLE_VALUE) return TRUE;
    if (error) error->SetFromOsError(static_cast<LONG>(::GetLastError()), fileName);
    return FALSE;
}

void CFile::ThrowLastError() const {
    CFileException error;
    error.SetFromOsError(static_cast<LONG>(::GetLastError()), m_strFileName.c_str());
    throw error;
}

void CFile::Write(const void* data, UINT count) {
    if (const UiTestSeam* seam = GetUiTestSeam(); seam && seam->fileWriteError) {
        if (const DWORD error = seam->fileWriteError()) {
            ::SetLastError(error);
            ThrowLastError();
        }
    }
    DWORD written = 0;
    if (!::WriteFile(m_hFile, data, count, &written, nullptr)) ThrowLastError();
    // A short write without an error means the volume is full.
    if (written != count)
        throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName.c_str());
}

bool CFile::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const UINT chunk = size > (1u << 30) ? (1u << 30) : static_cast<UINT>(size);
        Write(static_cast<const void*>(data), chunk);
        data += chunk;
        size -= chunk;
    }
    return true;
}

void CFile::Close() {
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    const HANDLE handle = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(handle)) ThrowLastError();
}

void CFile::Abort() {
    if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

CReplaceFile::~CReplaceFile() {
    Abort();
    if (!m_temporaryName.empty()) ::DeleteFileW(m_temporaryName.c_str());
}

BOOL CReplaceFile::Open(LPCWSTR fileName, UINT, CFileException* error) {
    Abort();
    m_strFileName = fileName;
    for (unsigned attempt = 0;; ++attempt) {
        const std::wstring temporary = PendingNameFor(fileName, attempt).wstring();
        m_hFile = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_hFile != INVALID_HANDLE_VALUE) {
            m_temporaryName = temporary;
            return TRUE;
        }
        const DWORD code = ::GetLastError();
        if (code != ERROR_FILE_EXISTS || attempt == 100) {
            if (error) error->SetFromOsError(static_cast<LONG>(code), fileName);
            return FALSE;
        }
    }
}

void CReplaceFile::Close() {
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    if (!::FlushFileBuffers(m_hFile)) ThrowLastError();
    CFile::Close();
    if (!::MoveFileExW(m_temporaryName.c_str(), m_strFileName.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ThrowLastError();
    }
    m_temporaryName.clear();
}
