#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "Exception.h"
#include "OutputFile.h"

class CFileException : public CException {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        accessDenied = 5,
        diskFull = 14
    };

    CFileException(int cause = none, LONG osError = -1, LPCWSTR fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName ? fileName : L"") {}

    // The system's description of m_lOsError, cut to maxChars including the terminator.
    BOOL GetErrorMessage(LPWSTR text, UINT maxChars, PUINT helpContext = nullptr) const override;

    // Fills in the cause from a system error code.
    void SetFromOsError(LONG osError, LPCWSTR fileName);

    int m_cause;
    LONG m_lOsError;
    std::wstring m_strFileName;
};

// A file written through a system handle. A failed write or close raises CFileException.
class CFile : public OutputFile {
public:
    enum OpenFlags : UINT { modeRead = 0x0000, modeWrite = 0x0001, modeCreate = 0x1000 };

    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // False with the reason in error when the file cannot be opened; nothing is raised.
    virtual BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr);
    void Write(const void* data, UINT count);
    virtual void Close();
    // Closes without raising, for paths that are already failing.
    void Abort();

    // The CSV writer's view of the file; failures raise like Write.
    bool Write(const char* data, std::size_t size) override;

protected:
    [[noreturn]] void ThrowLastError() const;
    [[noreturn]] void ThrowError(DWORD code) const;

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    std::wstring m_strFileName;
};

// Writes to a new temporary file and puts it in the target's place only when Close succeeds,
// so a failed export never destroys an earlier file. The target is the file the chosen name
// resolves to through links; an existing one is held without sharing from Open to Close and
// must be writable, as a plain open for writing would require. Destroyed without a successful
// Close, it removes the temporary file and leaves the target as it was.
class CReplaceFile : public CFile {
public:
    ~CReplaceFile() override;

    BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr) override;
    void Close() override;

private:
    struct HandleCloser {
        void operator()(HANDLE handle) const { ::CloseHandle(handle); }
    };
    using Handle = std::unique_ptr<void, HandleCloser>;

    void CopyIntoTarget();

    std::wstring m_temporaryName;
    Handle m_target;                     // the existing target, held from Open to Close
    bool m_targetHasOtherNames = false;  // hard links, which a replacement would split off
};
