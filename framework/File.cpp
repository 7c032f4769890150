#include "File.h"

#include <algorithm>
#include <vector>

#include "PendingName.h"
#include "TestSeam.h"

namespace {

// Writes all of data; 0, or the system's error code. A short write without an error means the
// volume is full.
DWORD WriteAll(HANDLE file, const void* data, DWORD count) {
    if (const UiTestSeam* seam = GetUiTestSeam(); seam && seam->fileWriteError) {
        if (const DWORD error = seam->fileWriteError()) return error;
    }
    DWORD written = 0;
    if (!::WriteFile(file, data, count, &written, nullptr)) return ::GetLastError();
    return written == count ? 0 : ERROR_DISK_FULL;
}

// Copies bytes [begin, end) of one file to the same place in another; 0, or the error code.
DWORD CopyRange(HANDLE from, HANDLE to, LONGLONG begin, LONGLONG end) {
    LARGE_INTEGER at{};
    at.QuadPart = begin;
    if (!::SetFilePointerEx(from, at, nullptr, FILE_BEGIN) ||
        !::SetFilePointerEx(to, at, nullptr, FILE_BEGIN)) {
        return ::GetLastError();
    }
    std::vector<char> buffer(1 << 18);
    while (begin < end) {
        const auto want = static_cast<DWORD>(std::min<LONGLONG>(end - begin, buffer.size()));
        DWORD got = 0;
        if (!::ReadFile(from, buffer.data(), want, &got, nullptr)) return ::GetLastError();
        if (got == 0) return ERROR_HANDLE_EOF;
        if (const DWORD error = WriteAll(to, buffer.data(), got)) return error;
        begin += got;
    }
    return 0;
}

bool SetSize(HANDLE file, LONGLONG size) {
    LARGE_INTEGER end{};
    end.QuadPart = size;
    return ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

// The path of a file with every link followed; the given name where the system cannot tell.
std::wstring FinalPathOf(HANDLE file, LPCWSTR name) {
    std::wstring path(32'768, L'\0');  // the longest path Windows has
    const DWORD length = ::GetFinalPathNameByHandleW(
        file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= path.size()) return name;
    path.resize(length);
    return path;
}

}  // namespace

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
    ThrowError(::GetLastError());
}

void CFile::ThrowError(DWORD code) const {
    CFileException error;
    error.SetFromOsError(static_cast<LONG>(code), m_strFileName.c_str());
    throw error;
}

void CFile::Write(const void* data, UINT count) {
    if (const DWORD error = WriteAll(m_hFile, data, count)) ThrowError(error);
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
    const auto fail = [&](DWORD code) {
        if (error) error->SetFromOsError(static_cast<LONG>(code), fileName);
        return FALSE;
    };
    // Opened as a plain open for writing would, without truncating: a file another program holds
    // or that is read-only is refused before anything is written.
    const HANDLE target = ::CreateFileW(fileName, GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) {
        if (const DWORD code = ::GetLastError(); code != ERROR_FILE_NOT_FOUND) return fail(code);
    } else {
        m_target.reset(target);
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(m_target.get(), &info)) return fail(::GetLastError());
        // Windows refuses such an open itself; Wine lets a privileged user through.
        if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return fail(ERROR_ACCESS_DENIED);
        m_targetHasOtherNames = info.nNumberOfLinks > 1;
        m_strFileName = FinalPathOf(m_target.get(), fileName);
    }
    for (unsigned attempt = 0;; ++attempt) {
        const std::wstring temporary = PendingNameFor(m_strFileName, attempt).wstring();
        m_hFile = ::CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_hFile != INVALID_HANDLE_VALUE) {
            m_temporaryName = temporary;
            return TRUE;
        }
        const DWORD code = ::GetLastError();
        if (code != ERROR_FILE_EXISTS || attempt == 100) return fail(code);
    }
}

void CReplaceFile::Close() {
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    if (!::FlushFileBuffers(m_hFile)) ThrowLastError();
    if (m_targetHasOtherNames) {
        CopyIntoTarget();
        return;
    }
    CFile::Close();
    const bool targetExisted = m_target != nullptr;
    m_target.reset();
    // Keeps the replaced file's attributes and security.
    BOOL replaced =
        targetExisted && ::ReplaceFileW(m_strFileName.c_str(), m_temporaryName.c_str(), nullptr,
                                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    // A new target's name is free, and so is one whose replacement removed the old file but
    // could not move the new one in: the CSV must not be lost with it.
    if (!targetExisted || (!replaced && ::GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT)) {
        replaced =
            ::MoveFileExW(m_temporaryName.c_str(), m_strFileName.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    if (!replaced) ThrowLastError();
    m_temporaryName.clear();
}

// Writes the finished CSV into the target itself, so that all its hard links show it. What
// lies past the old end goes first: if the volume is too full for it, the old end is restored
// and the file is as it was.
void CReplaceFile::CopyIntoTarget() {
    const HANDLE target = m_target.get();
    LARGE_INTEGER oldSize{}, newSize{};
    if (!::GetFileSizeEx(target, &oldSize) || !::GetFileSizeEx(m_hFile, &newSize)) ThrowLastError();
    if (const DWORD error = CopyRange(m_hFile, target, oldSize.QuadPart, newSize.QuadPart)) {
        SetSize(target, oldSize.QuadPart);
        ThrowError(error);
    }
    if (const DWORD error =
            CopyRange(m_hFile, target, 0, std::min(oldSize.QuadPart, newSize.QuadPart))) {
        ThrowError(error);
    }
    if (!SetSize(target, newSize.QuadPart) || !::FlushFileBuffers(target)) ThrowLastError();
    if (!::CloseHandle(m_target.release())) ThrowLastError();
    Abort();
    ::DeleteFileW(m_temporaryName.c_str());
    m_temporaryName.clear();
}
