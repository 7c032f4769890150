#include "ReplaceFile.h"

BOOL CReplaceFile::Open(LPCWSTR fileName, UINT, CFileException* error) {
    m_strFileName = fileName;
    TargetProblem problem;
    m_file = TargetFile::Open(fileName, TargetFile::IfExists::Replace, problem);
    if (m_file) return TRUE;
    if (error) error->SetFromOsError(problem.code, fileName);
    return FALSE;
}

bool CReplaceFile::Write(const char* data, std::size_t size) {
    if (!m_file || !m_file->Write(data, size)) Throw();
    return true;
}

void CReplaceFile::Close() {
    if (m_file && !m_file->Commit()) Throw();
    m_file.reset();
}

void CReplaceFile::Throw() const {
    CFileException error;
    error.SetFromOsError(m_file ? m_file->Problem().code : ERROR_INVALID_HANDLE,
                         m_strFileName.c_str());
    throw error;
}
