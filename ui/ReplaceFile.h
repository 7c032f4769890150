#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "FileException.h"
#include "OutputFile.h"
#include "TargetFile.h"

// The export's file, shaped as the framework's files are: Open reports why it failed in a
// CFileException, and a failed write or close raises one. Beneath it, the contents go to a
// temporary file that takes the target's place only once Close succeeds, so a failed export
// never destroys an earlier file; an existing target must be writable, as a plain open for
// writing would find it, and is held from Open to Close.
class CReplaceFile final : public OutputFile {
public:
    enum OpenFlags : UINT { modeWrite = 0x0001, modeCreate = 0x1000 };

    // False with the reason in error when the file cannot be written; nothing is raised.
    BOOL Open(LPCWSTR fileName, UINT openFlags, CFileException* error = nullptr);
    bool Write(const char* data, std::size_t size) override;
    void Close();

private:
    [[noreturn]] void Throw() const;

    std::unique_ptr<TargetFile> m_file;
    std::wstring m_strFileName;
};
