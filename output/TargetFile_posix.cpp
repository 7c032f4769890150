#include <fcntl.h>
#include <linux/magic.h>
#include <sched.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "PendingName.h"
#include "SystemError.h"
#include "TargetFile.h"

namespace fs = std::filesystem;

namespace {

// The files a signal must remove: each write's temporary and a target made for it, for as many
// writes at once as a batch runs. Kept where a handler can read them safely.
constexpr int kWritesAtOnce = 64;
enum Slot { kTemporary, kCreatedTarget, kSlots };
char g_remove[kWritesAtOnce][kSlots][4096];
volatile std::sig_atomic_t g_armed[kWritesAtOnce][kSlots];
std::atomic<bool> g_taken[kWritesAtOnce];

// While a file is made and registered, renamed and released, or rewritten in place, a signal
// waits for the end, so that it finds every file of the run either registered or complete.
// g_held counts the threads in such steps; g_pending is the signal that waits for them.
// g_dying: one thread decides whether to remove the files now, and while it removes them, or
// decides, no thread may make one.
std::atomic<int> g_held{0};
std::atomic<bool> g_dying{false};
std::atomic<int> g_pending{0};

// From a handler, and from the last thread to leave a held step. The last holder tries again after
// a thread that gave up here, so the signal is never left waiting with no one holding.
void RemoveAndDieUnlessHeld() {
    for (;;) {
        if (g_dying.exchange(true)) return;  // another thread decides, or removes the files
        if (g_held == 0) break;
        g_dying = false;
        if (g_held > 0) return;  // that holder's release tries again
    }
    for (int write = 0; write < kWritesAtOnce; ++write) {
        for (int slot = 0; slot < kSlots; ++slot) {
            if (g_armed[write][slot]) ::unlink(g_remove[write][slot]);
        }
    }
    const int signal = g_pending;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void RemoveAndDie(int signal) {
    g_pending = signal;
    RemoveAndDieUnlessHeld();
}

// Before the first file is made: a signal between making it and installing the handler would
// leave it behind.
void InstallRemovalOnSignals() {
    static const bool installed = [] {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT}) {
            struct sigaction previous {};
            // A signal ignored by whoever started us (nohup) stays ignored.
            if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
                ::signal(signal, RemoveAndDie);
            }
        }
        // Killed past a file size limit, the process would leave its temporary behind.
        FailWritesPastFileSizeLimit();
        return true;
    }();
    (void)installed;
}

void Hold() {
    InstallRemovalOnSignals();
    for (;;) {
        ++g_held;
        if (!g_dying) return;
        --g_held;  // a handler is at work: the process ends, or the signal waits for us
        while (g_dying) ::sched_yield();
    }
}

void Release() {
    if (--g_held == 0 && g_pending != 0) RemoveAndDieUnlessHeld();
}

struct SignalsHeld {
    SignalsHeld() { Hold(); }
    ~SignalsHeld() { Release(); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
};

// write is this write's row of slots, taken at its first file; -1 while it has none, and when
// every row is taken (more writes at once than any batch runs), the file is left to its fate.
void RemoveOnSignals(int& write, Slot slot, const fs::path& path) {
    for (int row = 0; write < 0 && row < kWritesAtOnce; ++row) {
        if (!g_taken[row].exchange(true)) write = row;
    }
    if (write < 0) return;
    g_armed[write][slot] = 0;
    if (path.native().size() >= sizeof g_remove[write][slot]) return;
    std::memcpy(g_remove[write][slot], path.c_str(), path.native().size() + 1);
    g_armed[write][slot] = 1;
}

void KeepOnSignals(int write, Slot slot) {
    if (write >= 0) g_armed[write][slot] = 0;
}

// The write is over: its row of slots goes back.
void ReleaseSignalSlots(int& write) {
    if (write < 0) return;
    KeepOnSignals(write, kTemporary);
    KeepOnSignals(write, kCreatedTarget);
    g_taken[write] = false;
    write = -1;
}

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

void CloseFd(std::intptr_t& handle) {
    if (handle >= 0) ::close(Fd(handle));
    handle = -1;
}

std::string ProcName(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// Opens for writing the file a descriptor of O_PATH stands for; through its name where there is
// no /proc.
int ReopenForWriting(int found, const fs::path& name) {
    const int fd = ::open(ProcName(found).c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    return fd >= 0 || errno != ENOENT ? fd : ::open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
}

// The path an open file has now, every link resolved; the given name where the system cannot
// tell (no /proc).
fs::path FinalPathOf(int fd, const fs::path& name) {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink(ProcName(fd).c_str(), path.data(), path.size());
    if (length > 0 && static_cast<std::size_t>(length) < path.size()) {
        path.resize(static_cast<std::size_t>(length));
        return path;
    }
    std::error_code error;
    const fs::path canonical = fs::canonical(name, error);
    return error ? name : canonical;
}

// Makes a new file under name; where the name is a dangling link, the file it names, through
// it. -1 with the reason in error when it cannot, EEXIST when someone else made it meanwhile.
int CreateNew(const fs::path& name, int& error) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    error = fd < 0 ? errno : 0;
    struct stat link {};
    if (error != EEXIST || ::lstat(name.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return fd;
    const int through = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    error = through < 0 ? errno : 0;
    return through;
}

bool WriteAll(int fd, const char* data, std::size_t size, int& error) {
    if ((error = InjectedTargetFault(TargetStep::Write)) != 0) return false;
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            error = errno;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies the first size bytes of one file over those of another; 0, or the error code.
int CopyBytes(int from, int to, off_t size, bool faults = true) {
    std::vector<char> buffer(1 << 18);
    for (off_t at = 0; at < size;) {
        const auto want = static_cast<std::size_t>(std::min<off_t>(size - at, 1 << 18));
        const ssize_t got = ::pread(from, buffer.data(), want, at);
        if (got <= 0) return got < 0 ? errno : EIO;
        const int fault = faults ? InjectedTargetFault(TargetStep::CopyIntoTarget) : 0;
        if (fault != 0) return fault;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put =
                ::pwrite(to, buffer.data() + done, static_cast<std::size_t>(got - done), at + done);
            if (put < 0 && errno != EINTR) return errno;
            if (put > 0) done += put;
        }
        at += got;
    }
    return 0;
}

// The extended attributes of one file (its ACL among them) given to another, as far as allowed.
void CopyExtendedAttributes(int from, int to) {
    const ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size <= 0) return;
    std::string names(static_cast<std::size_t>(size), '\0');
    if (::flistxattr(from, names.data(), names.size()) != size) return;
    for (const char* name = names.c_str(); name < names.data() + size;
         name += std::strlen(name) + 1) {
        const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
        if (length < 0) continue;
        std::string value(static_cast<std::size_t>(length), '\0');
        if (::fgetxattr(from, name, value.data(), value.size()) == length) {
            ::fsetxattr(to, name, value.data(), value.size(), 0);
        }
    }
}

}  // namespace

bool IsReservedDeviceName(const fs::path&) {
    return false;  // devices here are files like any other, told apart by their type
}

bool TargetFile::OpenTarget(const fs::path& name, IfExists ifExists) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        // Only a look at what the name resolves to: opening a device or a pipe for writing could
        // block or act on it.
        const int found = ::open(name.c_str(), O_PATH | O_CLOEXEC);
        if (found >= 0) return OpenExisting(found, name, ifExists);
        if (errno != ENOENT) return Fail(TargetProblem::CannotCreate, errno);
        if (const int error = OpenNew(name); error != EEXIST) {
            return error == 0 || Fail(TargetProblem::CannotCreate, error);
        }
    }
    return Fail(TargetProblem::CannotCreate, EEXIST);
}

// A new file, made now so that the system decides where the name leads. It is removed by its
// name until the system tells where that led.
int TargetFile::OpenNew(const fs::path& name) {
    m_targetPath = name;
    const SignalsHeld held;  // until the new file is registered
    int error = 0;
    const int fd = CreateNew(name, error);
    if (fd < 0) return error;
    m_targetFile = fd;
    m_created = true;
    m_targetPath = FinalPathOf(fd, name);  // may run out of memory: removed by name then
    RemoveOnSignals(m_signalSlots, kCreatedTarget, m_targetPath);
    return 0;
}

bool TargetFile::OpenExisting(std::intptr_t look, const fs::path& name, IfExists ifExists) {
    const int found = Fd(look);
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{found};
    m_targetPath = FinalPathOf(found, name);
    struct stat file {};
    if (::fstat(found, &file) != 0) return Fail(TargetProblem::CannotWrite, errno);
    if (!S_ISREG(file.st_mode)) {
        return Fail(TargetProblem::NotAFile, S_ISDIR(file.st_mode) ? EISDIR : EINVAL);
    }
    // A name in /dev/fd for a file deleted meanwhile: nothing could show the contents.
    if (file.st_nlink == 0) return Fail(TargetProblem::CannotWrite, ENOENT);
    if (ifExists == IfExists::Keep) return Fail(TargetProblem::Exists, EEXIST);
    // Reopened through the descriptor, so that what was looked at is what gets written.
    const int fd = ReopenForWriting(found, name);
    if (fd < 0) return Fail(TargetProblem::CannotWrite, errno);
    m_targetFile = fd;
    // A file no one may write is refused even where the system lets a privileged user write.
    if ((file.st_mode & 0222) == 0) return Fail(TargetProblem::CannotWrite, EACCES);
    m_inPlace = file.st_nlink > 1;
    return true;
}

namespace {

// Contents that replace a file go past the page cache on the local file systems known to take
// such writes (ext4, XFS): copying them into the cache and writing that back costs a quarter of
// a conversion's CPU time, and the flush before the commit then finds nothing left. Such writes
// take whole aligned blocks, so the text is gathered first; the last, partial block goes through
// the cache.
constexpr std::size_t kDirectBlock = 4096;     // a multiple of every device's block
constexpr std::size_t kDirectWrite = 1 << 20;  // short, so that the disk keeps pace with the text

bool WritePastTheCache(int fd) {
    struct statfs system {};
    return ::fstatfs(fd, &system) == 0 &&
           (system.f_type == EXT4_SUPER_MAGIC || system.f_type == XFS_SUPER_MAGIC) &&
           ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_DIRECT) == 0;
}

char* Aligned(std::vector<char>& buffer) {
    const auto at = reinterpret_cast<std::uintptr_t>(buffer.data());
    return buffer.data() + (-at & (kDirectBlock - 1));
}

}  // namespace

bool TargetFile::CreateTemporary() {
    // Beside the target, so that the commit is a rename; where no file can be made there, in the
    // system's temporary folder, and the commit copies the contents into the target.
    std::error_code noTemporaryFolder;
    const fs::path places[] = {
        m_targetPath, fs::temp_directory_path(noTemporaryFolder) / m_targetPath.filename()};
    int error = 0;
    for (const fs::path& beside : places) {
        for (unsigned attempt = 0; attempt <= 100; ++attempt) {
            m_temporaryPath = PendingNameFor(beside, attempt);
            const SignalsHeld held;  // until the temporary is registered
            const int fd = ::open(m_temporaryPath.c_str(),
                                  O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
            if (fd >= 0) {
                m_temporaryFile = fd;
                RemoveOnSignals(m_signalSlots, kTemporary, m_temporaryPath);
                if (!m_created && !m_inPlace && WritePastTheCache(fd)) {
                    m_staging.resize(kDirectWrite + kDirectBlock);
                }
                return true;
            }
            if (errno != EEXIST) break;
        }
        error = errno;
        if ((error != EACCES && error != EPERM) || noTemporaryFolder) break;
        m_inPlace = true;
    }
    m_temporaryPath.clear();
    return Fail(TargetProblem::CannotCreate, error);
}

bool TargetFile::WriteGathered(const char* data, std::size_t size) {
    char* const gathered = Aligned(m_staging);
    while (size > 0) {
        const std::size_t part = std::min(size, kDirectWrite - m_staged);
        std::memcpy(gathered + m_staged, data, part);
        m_staged += part;
        m_writtenBytes += static_cast<std::int64_t>(part);
        data += part;
        size -= part;
        if (m_staged == kDirectWrite && !WriteBlocks()) return false;
    }
    return true;
}

bool TargetFile::WriteBlocks() {
    const int fd = Fd(m_temporaryFile);
    const char* const gathered = Aligned(m_staging);
    int error = 0;
    if (m_staged == kDirectWrite) {
        if (WriteAll(fd, gathered, m_staged, error)) {
            m_staged = 0;
            return true;
        }
        if (error != EINVAL) return Fail(TargetProblem::CannotWrite, error);
    }
    // The last, partial block, or blocks the file system refused after all: through the cache,
    // from where they begin, and so is whatever follows.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_DIRECT);
    if (::lseek(fd, m_writtenBytes - static_cast<std::int64_t>(m_staged), SEEK_SET) < 0) {
        return Fail(TargetProblem::CannotWrite, errno);
    }
    if (!WriteAll(fd, gathered, m_staged, error)) return Fail(TargetProblem::CannotWrite, error);
    m_staging.clear();
    m_staged = 0;
    return true;
}

bool TargetFile::Write(const char* data, std::size_t size) {
    int error = 0;
    if (m_problem.kind != TargetProblem::None) return false;
    if (!m_staging.empty()) return WriteGathered(data, size);
    if (!WriteAll(Fd(m_temporaryFile), data, size, error)) {
        return Fail(TargetProblem::CannotWrite, error);
    }
    m_writtenBytes += static_cast<std::int64_t>(size);
    // Contents that replace a file are flushed before the commit: the disk starts on them a few
    // MiB behind, as they are written, so that the flush finds little left to do.
    if (!m_created && m_writtenBytes - m_writeStarted >= kWriteBehind) {
        ::sync_file_range(Fd(m_temporaryFile), m_writeStarted, m_writtenBytes - m_writeStarted,
                          SYNC_FILE_RANGE_WRITE);
        m_writeStarted = m_writtenBytes;
    }
    return true;
}

bool TargetFile::ReplaceTarget() {
    const int temp = Fd(m_temporaryFile), target = Fd(m_targetFile);
    struct stat old {};
    if (::fstat(target, &old) != 0) return Fail(TargetProblem::CannotWrite, errno);
    // The earlier file's owner where allowed, else at least its group; its mode, without set-id
    // bits when the owner could not be kept; then its extended attributes, ACL among them.
    const bool owned = ::fchown(temp, old.st_uid, old.st_gid) == 0;
    if (!owned) (void)::fchown(temp, static_cast<uid_t>(-1), old.st_gid);
    ::fchmod(temp, old.st_mode & (owned ? 07777 : 01777));
    CopyExtendedAttributes(target, temp);
    // Contents that replace an earlier file must be on disk first, or a crash could leave
    // neither; a file made for this write puts nothing at risk and skips the wait.
    if (!m_staging.empty() && !WriteBlocks()) return false;
    if (!m_created && ::fsync(temp) != 0) return Fail(TargetProblem::CannotWrite, errno);
    const int closed = ::close(temp);  // still reports a deferred write failure (NFS)
    m_temporaryFile = -1;
    if (closed != 0) return Fail(TargetProblem::CannotWrite, errno);
    if (const int fault = InjectedTargetFault(TargetStep::Replace)) {
        return Fail(TargetProblem::CannotWrite, fault);
    }
    // A signal waits until the target made for this write holds the CSV and is released, or
    // else still removes it.
    const SignalsHeld held;
    if (::rename(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
        return Fail(TargetProblem::CannotWrite, errno);
    }
    ReleaseSignalSlots(m_signalSlots);
    CloseFd(m_targetFile);
    return true;
}

int TargetFile::Sizes(std::int64_t& target, std::int64_t& temporary) const {
    struct stat old {
    }, contents{};
    if (::fstat(Fd(m_targetFile), &old) != 0 || ::fstat(Fd(m_temporaryFile), &contents) != 0)
        return errno;
    target = old.st_size;
    temporary = contents.st_size;
    return 0;
}

int TargetFile::ReserveRoom(std::int64_t, std::int64_t size) {
    const int error = InjectedTargetFault(TargetStep::CopyIntoTarget);
    return error != 0 || size == 0 ? error : ::posix_fallocate(Fd(m_targetFile), 0, size);
}

int TargetFile::CopyContents(std::int64_t, std::int64_t size) {
    return CopyBytes(Fd(m_temporaryFile), Fd(m_targetFile), size);
}

int TargetFile::SetTargetSize(std::int64_t size, bool durably) {
    const int target = Fd(m_targetFile);
    return ::ftruncate(target, size) == 0 && (!durably || ::fsync(target) == 0) ? 0 : errno;
}

void TargetFile::HoldSignals(bool hold) {
    hold ? Hold() : Release();
}

// Unnamed until whole where the file system allows (O_TMPFILE): a backup found under its name
// is then always complete.
int TargetFile::SaveEarlier(std::int64_t earlier) {
    const fs::path beside = m_temporaryPath.parent_path() / m_targetPath.filename();
    const int folder = ::open(beside.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return errno;
    int fd = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    const bool unnamed = fd >= 0;
    for (unsigned attempt = 0; fd < 0 && attempt <= 100; ++attempt) {
        m_backupPath = BackupNameFor(beside, attempt);
        fd = ::open(m_backupPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    int error = fd < 0 ? errno : 0;
    if (fd < 0) m_backupPath.clear();
    m_backupFile = fd;
    // The target is held for writing only: read through a descriptor of its own.
    const int earlierFile = ::open(ProcName(Fd(m_targetFile)).c_str(), O_RDONLY | O_CLOEXEC);
    if (error == 0 && earlierFile < 0) error = errno;
    if (error == 0) error = CopyBytes(earlierFile, fd, earlier, false);
    if (earlierFile >= 0) ::close(earlierFile);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    for (unsigned attempt = 0; error == 0 && unnamed && m_backupPath.empty(); ++attempt) {
        const fs::path name = BackupNameFor(beside, attempt);
        if (::linkat(AT_FDCWD, ProcName(fd).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            m_backupPath = name;
        } else if (errno != EEXIST || attempt == 100) {
            error = errno;
        }
    }
    // The name itself on disk too, before any earlier byte is overwritten.
    if (error == 0 && ::fsync(folder) != 0) error = errno;
    ::close(folder);
    return error;
}

int TargetFile::RestoreEarlier(std::int64_t earlier) {
    const int error = CopyBytes(Fd(m_backupFile), Fd(m_targetFile), earlier, false);
    return error != 0 ? error : SetTargetSize(earlier, true);
}

void TargetFile::DropBackup() {
    CloseFd(m_backupFile);
    if (!m_backupPath.empty()) ::unlink(m_backupPath.c_str());
    m_backupPath.clear();
}

void TargetFile::Discard() {
    CloseFd(m_temporaryFile);
    CloseFd(m_targetFile);
    if (!m_temporaryPath.empty()) ::unlink(m_temporaryPath.c_str());
    if (m_created && !m_committed) ::unlink(m_targetPath.c_str());
    ReleaseSignalSlots(m_signalSlots);
    m_temporaryPath.clear();
}
