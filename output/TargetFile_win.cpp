#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <vector>

#include "PendingName.h"
#include "SystemError.h"
#include "SystemErrorMessage.h"
#include "TargetFile.h"
#include "Utf8.h"
#include "Worker.h"

namespace fs = std::filesystem;

namespace {

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

void CloseHandleOf(std::intptr_t& handle) {
    if (handle != -1) ::CloseHandle(Handle(handle));
    handle = -1;
}

bool Exists(const fs::path& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Marks a file to be deleted when its last handle closes, or takes the mark back: a process
// killed while it writes (a window closed as not responding, Task Manager) leaves no file.
void DeleteOnClose(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(remove)};
    ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// An absolute path in the form that passes MAX_PATH: a temporary name, longer than its target's,
// must not be refused where the target's is accepted.
fs::path LongForm(const fs::path& path) {
    if (path.native().starts_with(L"\\\\?\\")) return path;
    const std::wstring whole = fs::absolute(path).native();
    if (whole.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + whole.substr(2);
    return L"\\\\?\\" + whole;
}

// The path of an open file with every link followed, in the long form.
fs::path FinalPathOf(HANDLE file, const fs::path& name) {
    std::wstring path(32'768, L'\0');  // the longest path Windows has
    const DWORD length = ::GetFinalPathNameByHandleW(
        file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= path.size()) return LongForm(name);
    path.resize(length);
    return LongForm(path);
}

DWORD WriteAt(HANDLE file, const char* data, DWORD count, LONGLONG at) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD written = 0;
    if (!::WriteFile(file, data, count, &written, &where)) return ::GetLastError();
    return written == count ? 0 : ERROR_DISK_FULL;  // a short write means the volume is full
}

DWORD ReadAt(HANDLE file, char* data, DWORD count, LONGLONG at, DWORD& got) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    if (!::ReadFile(file, data, count, &got, &where)) return ::GetLastError();
    return got == 0 ? ERROR_HANDLE_EOF : 0;
}

// Copies bytes [begin, end) of one file to the same place in another; 0, or the error code.
DWORD CopyRange(HANDLE from, HANDLE to, LONGLONG begin, LONGLONG end, bool faults = true) {
    std::vector<char> buffer(1 << 18);
    for (DWORD got = 0; begin < end; begin += got) {
        const auto want = static_cast<DWORD>(std::min<LONGLONG>(end - begin, 1 << 18));
        if (const DWORD error = ReadAt(from, buffer.data(), want, begin, got)) return error;
        const int fault = faults ? InjectedTargetFault(TargetStep::CopyIntoTarget) : 0;
        if (fault != 0) return static_cast<DWORD>(fault);
        if (const DWORD error = WriteAt(to, buffer.data(), got, begin)) return error;
    }
    return 0;
}

// Gives the holes among a sparse file's first size bytes their room: each page that reads as
// zeros is written back as it is, which changes no byte.
DWORD FillHoles(HANDLE file, LONGLONG size) {
    FILE_STANDARD_INFO standard{};
    if (!::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
        return ::GetLastError();
    }
    if (standard.AllocationSize.QuadPart >= standard.EndOfFile.QuadPart) return 0;  // no holes
    constexpr DWORD kPage = 4096;
    std::vector<char> buffer(1 << 18);
    const std::vector<char> zeros(kPage, '\0');
    DWORD got = 0;
    for (LONGLONG at = 0; at < size; at += got) {
        const auto want = static_cast<DWORD>(std::min<LONGLONG>(size - at, 1 << 18));
        if (const DWORD error = ReadAt(file, buffer.data(), want, at, got)) return error;
        for (DWORD page = 0; page < got; page += kPage) {
            const DWORD length = std::min(kPage, got - page);
            if (std::memcmp(buffer.data() + page, zeros.data(), length) != 0) continue;
            if (const DWORD error = WriteAt(file, zeros.data(), length, at + page)) return error;
        }
    }
    return 0;
}

bool SetSize(HANDLE file, LONGLONG size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return ::SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
}

// The target's access: held without sharing, as a plain open for writing would hold it.
constexpr DWORD kTargetAccess = GENERIC_READ | GENERIC_WRITE;

// Makes a new file under name, held as a target is; where the name is a dangling link, the file
// it names, through it. INVALID_HANDLE_VALUE with the reason in error when it cannot,
// ERROR_FILE_EXISTS when someone else made it meanwhile.
HANDLE CreateNew(const fs::path& name, DWORD& error) {
    HANDLE made = ::CreateFileW(name.c_str(), kTargetAccess | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    error = made == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    if (error != ERROR_FILE_EXISTS) return made;
    made = ::CreateFileW(name.c_str(), kTargetAccess | DELETE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    error = made == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    // Wine says the name existed (the link did): a file with contents was made by someone else
    // meanwhile, an empty one through the link now.
    LARGE_INTEGER size{};
    if (made != INVALID_HANDLE_VALUE && (!::GetFileSizeEx(made, &size) || size.QuadPart > 0)) {
        ::CloseHandle(made);
        error = ERROR_FILE_EXISTS;
        return INVALID_HANDLE_VALUE;
    }
    return made;
}

}  // namespace

bool IsReservedDeviceName(const fs::path& path) {
    const std::wstring& whole = path.native();
    if (whole.starts_with(L"\\\\.\\")) return true;  // \\.\COM1, \\.\PhysicalDrive0
    // CON, NUL, COM1 and their kin name the device in any folder, in any case, whatever follows
    // a dot or a colon (NUL.csv, COM1:), with trailing spaces.
    std::wstring name = path.filename().native();
    name = name.substr(0, name.find_first_of(L".:"));
    while (!name.empty() && name.back() == L' ') name.pop_back();
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (name == device) return true;
    }
    // COM1 to COM9 and LPT1 to LPT9, and with the superscript digits ¹ ² ³.
    return name.size() == 4 && (name.starts_with(L"COM") || name.starts_with(L"LPT")) &&
           ((name[3] >= L'1' && name[3] <= L'9') || name[3] == L'\u00B9' || name[3] == L'\u00B2' ||
            name[3] == L'\u00B3');
}

bool TargetFile::OpenTarget(const fs::path& name, IfExists ifExists) {
    if (IsReservedDeviceName(name)) return Fail(TargetProblem::Device, ERROR_INVALID_NAME);
    for (int attempt = 0; attempt < 10; ++attempt) {
        // Only a look at what the name resolves to: a file another program holds still answers.
        const HANDLE found =
            ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (found != INVALID_HANDLE_VALUE) {
            return OpenExisting(reinterpret_cast<std::intptr_t>(found), name, ifExists);
        }
        if (const DWORD code = ::GetLastError(); code != ERROR_FILE_NOT_FOUND) {
            return Fail(TargetProblem::CannotCreate, static_cast<int>(code));
        }
        if (const int error = OpenNew(name); error != ERROR_FILE_EXISTS) {
            return error == 0 || Fail(TargetProblem::CannotCreate, error);
        }
    }
    return Fail(TargetProblem::CannotCreate, ERROR_FILE_EXISTS);
}

// A new file, made now so that the system decides where the name leads; marked to delete itself
// until the commit.
int TargetFile::OpenNew(const fs::path& name) {
    DWORD error = 0;
    const HANDLE made = CreateNew(name, error);
    if (made == INVALID_HANDLE_VALUE) return static_cast<int>(error);
    m_targetFile = reinterpret_cast<std::intptr_t>(made);
    m_created = true;
    DeleteOnClose(made, true);
    m_targetPath = FinalPathOf(made, name);
    return 0;
}

bool TargetFile::OpenExisting(std::intptr_t look, const fs::path& name, IfExists ifExists) {
    const HANDLE found = Handle(look);
    BY_HANDLE_FILE_INFORMATION file{};
    const bool known = ::GetFileInformationByHandle(found, &file) != 0;
    const DWORD error = known ? 0 : ::GetLastError();
    const bool onDisk = ::GetFileType(found) == FILE_TYPE_DISK;
    m_targetPath = FinalPathOf(found, name);
    ::CloseHandle(found);  // before the file is held without sharing
    if (!onDisk) return Fail(TargetProblem::NotAFile, ERROR_INVALID_NAME);
    if (!known) return Fail(TargetProblem::CannotWrite, static_cast<int>(error));
    if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        return Fail(TargetProblem::NotAFile, ERROR_ACCESS_DENIED);
    }
    if (ifExists == IfExists::Keep) return Fail(TargetProblem::Exists, ERROR_FILE_EXISTS);
    // Held from now to the commit: a file another program holds, or a read-only one, is refused
    // before anything is written.
    const HANDLE target = ::CreateFileW(m_targetPath.c_str(), kTargetAccess, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) {
        return Fail(TargetProblem::CannotWrite, static_cast<int>(::GetLastError()));
    }
    m_targetFile = reinterpret_cast<std::intptr_t>(target);
    // Windows refuses such an open itself; Wine lets a privileged user through.
    if (file.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        return Fail(TargetProblem::CannotWrite, ERROR_ACCESS_DENIED);
    }
    m_inPlace = file.nNumberOfLinks > 1;
    return true;
}

bool TargetFile::CreateTemporary() {
    // Beside the target, so that the commit is a replacement; where no file can be made there,
    // in the system's temporary folder, and the commit copies the contents into the target.
    std::error_code noTemporaryFolder;
    const fs::path places[] = {m_targetPath, LongForm(fs::temp_directory_path(noTemporaryFolder)) /
                                                 m_targetPath.filename()};
    DWORD error = 0;
    for (const fs::path& beside : places) {
        for (unsigned attempt = 0; attempt <= 100; ++attempt) {
            m_temporaryPath = PendingNameFor(beside, attempt);
            const HANDLE temp =
                ::CreateFileW(m_temporaryPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (temp != INVALID_HANDLE_VALUE) {
                m_temporaryFile = reinterpret_cast<std::intptr_t>(temp);
                DeleteOnClose(temp, true);
                if (::GetFileType(temp) == FILE_TYPE_DISK) return true;
                m_temporaryPath.clear();  // a device under another name: nothing to commit there
                return Fail(TargetProblem::NotAFile, ERROR_INVALID_NAME);
            }
            error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
        }
        if (error != ERROR_ACCESS_DENIED || noTemporaryFolder) break;
        m_inPlace = true;
    }
    m_temporaryPath.clear();
    return Fail(TargetProblem::CannotCreate, static_cast<int>(error));
}

bool TargetFile::Write(const char* data, std::size_t size) {
    if (m_problem.kind != TargetProblem::None) return false;
    if (const int fault = InjectedTargetFault(TargetStep::Write)) {
        return Fail(TargetProblem::CannotWrite, fault);
    }
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(Handle(m_temporaryFile), data, chunk, &written, nullptr)) {
            return Fail(TargetProblem::CannotWrite, static_cast<int>(::GetLastError()));
        }
        if (written == 0) return Fail(TargetProblem::CannotWrite, ERROR_DISK_FULL);
        data += written;
        size -= written;
        m_writtenBytes += written;
    }
    // Contents are flushed before the commit: a thread of its own flushes them a few MiB behind,
    // as they are written, so that the final flush finds little left to do. Windows has no
    // asynchronous flush, and one on this synchronous handle makes the next write wait at most.
    if (!m_inPlace && m_writtenBytes - m_writeStarted >= kWriteBehind) {
        if (!m_flusher) m_flusher = std::make_unique<Worker>();
        if (!m_flusher->Busy()) {
            m_flusher->Start([this, temp = Handle(m_temporaryFile)] {
                if (!::FlushFileBuffers(temp)) m_flushError = static_cast<int>(::GetLastError());
            });
            m_writeStarted = m_writtenBytes;
        }
    }
    return true;
}

bool TargetFile::ReplaceTarget() {
    const HANDLE temp = Handle(m_temporaryFile), target = Handle(m_targetFile);
    if (m_flusher) m_flusher->Settle();
    if (m_flushError != 0) return Fail(TargetProblem::CannotWrite, m_flushError);
    if (!::FlushFileBuffers(temp)) {
        return Fail(TargetProblem::CannotWrite, static_cast<int>(::GetLastError()));
    }
    // Until here a killed process left nothing behind.
    DeleteOnClose(temp, false);
    CloseHandleOf(m_temporaryFile);
    if (m_created) DeleteOnClose(target, false);
    CloseHandleOf(m_targetFile);
    // The earlier file waits under a free name of its own while it is replaced, so that whatever
    // step fails, it can be found and put back.
    fs::path backup;
    for (unsigned attempt = 1; backup.empty() || Exists(backup); ++attempt) {
        backup = PendingNameFor(m_targetPath, 100 + attempt);
    }
    // Windows gives the new file the earlier one's attributes; Wine keeps the new file's own.
    const DWORD earlier = ::GetFileAttributesW(m_targetPath.c_str());
    if (const DWORD kept = earlier & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        earlier != INVALID_FILE_ATTRIBUTES && kept != 0) {
        ::SetFileAttributesW(m_temporaryPath.c_str(), kept);
    }
    DWORD error = 0;
    for (int attempt = 0;; ++attempt) {
        error = static_cast<DWORD>(InjectedTargetFault(TargetStep::Replace));
        if (error == 0 &&
            !::ReplaceFileW(m_targetPath.c_str(), m_temporaryPath.c_str(), backup.c_str(),
                            REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                            nullptr, nullptr)) {
            error = ::GetLastError();
        }
        // Scanners, indexers and sync clients open a fresh file for a moment: try again briefly.
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
             error != ERROR_LOCK_VIOLATION) ||
            attempt == 10) {
            break;
        }
        ::Sleep(100);
    }
    // A failure half way leaves the name free, the earlier file aside: the new file goes in, or
    // else the earlier one goes back. The name never ends up holding neither.
    if (error != 0 && !Exists(m_targetPath)) {
        if (::MoveFileExW(m_temporaryPath.c_str(), m_targetPath.c_str(), MOVEFILE_WRITE_THROUGH)) {
            error = 0;
        } else {
            ::MoveFileExW(backup.c_str(), m_targetPath.c_str(), MOVEFILE_WRITE_THROUGH);
        }
    }
    if (error != 0 && !Exists(m_temporaryPath) && Exists(m_targetPath)) error = 0;  // it went in
    ::DeleteFileW(backup.c_str());
    if (error != 0) return Fail(TargetProblem::CannotWrite, static_cast<int>(error));
    m_temporaryPath.clear();
    return true;
}

int TargetFile::Sizes(std::int64_t& target, std::int64_t& temporary) const {
    LARGE_INTEGER old{}, contents{};
    if (!::GetFileSizeEx(Handle(m_targetFile), &old) ||
        !::GetFileSizeEx(Handle(m_temporaryFile), &contents)) {
        return static_cast<int>(::GetLastError());
    }
    target = old.QuadPart;
    temporary = contents.QuadPart;
    return 0;
}

// Past the earlier end the contents themselves take their room; within it, the holes are filled.
int TargetFile::ReserveRoom(std::int64_t earlier, std::int64_t size) {
    DWORD error = CopyRange(Handle(m_temporaryFile), Handle(m_targetFile), earlier, size);
    if (error == 0) error = FillHoles(Handle(m_targetFile), std::min(earlier, size));
    return static_cast<int>(error);
}

int TargetFile::CopyContents(std::int64_t earlier, std::int64_t size) {
    return static_cast<int>(
        CopyRange(Handle(m_temporaryFile), Handle(m_targetFile), 0, std::min(earlier, size)));
}

int TargetFile::SetTargetSize(std::int64_t size, bool durably) {
    const HANDLE target = Handle(m_targetFile);
    return SetSize(target, size) && (!durably || ::FlushFileBuffers(target))
               ? 0
               : static_cast<int>(::GetLastError());
}

void TargetFile::HoldSignals(bool) {}  // a console's Ctrl+C ends the process: the backup stays

// Marked to delete itself until whole, so that a backup found under its name is complete.
int TargetFile::SaveEarlier(std::int64_t earlier) {
    const fs::path beside = m_temporaryPath.parent_path() / m_targetPath.filename();
    HANDLE backup = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    for (unsigned attempt = 0; backup == INVALID_HANDLE_VALUE && attempt <= 100; ++attempt) {
        m_backupPath = BackupNameFor(beside, attempt);
        backup =
            ::CreateFileW(m_backupPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                          FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = backup == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    if (backup == INVALID_HANDLE_VALUE) {
        m_backupPath.clear();
        return static_cast<int>(error);
    }
    m_backupFile = reinterpret_cast<std::intptr_t>(backup);
    DeleteOnClose(backup, true);
    error = CopyRange(Handle(m_targetFile), backup, 0, earlier, false);
    if (error == 0 && !::FlushFileBuffers(backup)) error = ::GetLastError();
    if (error != 0) return static_cast<int>(error);
    // Whole: it stays, whatever happens to this process, and is held for reading only, so that
    // others may look at it.
    DeleteOnClose(backup, false);
    CloseHandleOf(m_backupFile);
    backup = ::CreateFileW(m_backupPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (backup == INVALID_HANDLE_VALUE) return static_cast<int>(::GetLastError());
    m_backupFile = reinterpret_cast<std::intptr_t>(backup);
    return 0;
}

int TargetFile::RestoreEarlier(std::int64_t earlier) {
    const DWORD error = CopyRange(Handle(m_backupFile), Handle(m_targetFile), 0, earlier, false);
    return error != 0 ? static_cast<int>(error) : SetTargetSize(earlier, true);
}

void TargetFile::DropBackup() {
    CloseHandleOf(m_backupFile);
    if (!m_backupPath.empty()) ::DeleteFileW(m_backupPath.c_str());
    m_backupPath.clear();
}

void TargetFile::Discard() {
    if (m_flusher) m_flusher->Settle();  // before its handle closes
    // Marked for deletion while open: closing removes them. A target that holds its contents is
    // to stay, made for this write or not: the mark, if any, goes first.
    if (!m_created && m_targetFile != -1) DeleteOnClose(Handle(m_targetFile), false);
    CloseHandleOf(m_temporaryFile);
    CloseHandleOf(m_targetFile);
    if (!m_temporaryPath.empty()) ::DeleteFileW(m_temporaryPath.c_str());
    if (m_created && !m_committed) ::DeleteFileW(m_targetPath.c_str());
    m_temporaryPath.clear();
}
