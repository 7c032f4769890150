#include "ConsoleAndFiles.h"
#include "PendingName.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

bool WriteAll(int fd, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

int Descriptor(Stream stream) {
    return stream == Stream::Output ? 1 : 2;
}

// The temporary file a signal must remove, kept where a handler can read it safely.
char g_pending[4096];
volatile std::sig_atomic_t g_hasPending = 0;

void RemovePendingAndDie(int signal) {
    if (g_hasPending) ::unlink(g_pending);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void RemovePendingOnSignals(const std::string& path) {
    static const bool installed = [] {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
            struct sigaction previous {};
            // A signal ignored by whoever started us (nohup) stays ignored.
            if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
                ::signal(signal, RemovePendingAndDie);
            }
        }
        return true;
    }();
    (void)installed;
    g_hasPending = 0;
    if (path.size() >= sizeof g_pending) return;
    std::memcpy(g_pending, path.c_str(), path.size() + 1);
    g_hasPending = 1;
}

bool MoveWithoutReplacing(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without renameat2 flags: a hard link is just as exclusive.
    if (::link(from, to) != 0) return false;
    ::unlink(from);
    return true;
}

}  // namespace

bool WriteToStream(Stream stream, const char* data, std::size_t size, std::string& error) {
    return WriteAll(Descriptor(stream), data, size, error);
}

bool IsTerminal(Stream stream) {
    return ::isatty(Descriptor(stream)) == 1;
}

std::size_t TerminalColumns(Stream stream) {
    struct winsize size {};
    return ::ioctl(Descriptor(stream), TIOCGWINSZ, &size) == 0 ? std::size_t{size.ws_col} : 0;
}

bool WriteText(Stream stream, std::string_view utf8, std::string* error) {
    std::string reason;
    const bool written = WriteAll(Descriptor(stream), utf8.data(), utf8.size(), reason);
    if (error) *error = reason;
    return written;
}

namespace {

std::string IdentityOf(const struct stat& file) {
    return std::to_string(file.st_dev) + ":" + std::to_string(file.st_ino);
}

}  // namespace

std::string FileIdentity(const std::filesystem::path& path) {
    struct stat file {};
    return ::stat(path.c_str(), &file) == 0 ? IdentityOf(file) : std::string();
}

bool IsStandardOutput(const std::filesystem::path& path) {
    struct stat output {};
    return ::fstat(1, &output) == 0 && FileIdentity(path) == IdentityOf(output);
}

bool IsReservedDeviceName(const std::filesystem::path&) {
    return false;  // devices here are files like any other, told apart by their type
}

std::string DisplayPath(const std::filesystem::path& path) {
    return path.native();
}

std::unique_ptr<PendingFile> PendingFile::Create(const std::filesystem::path& target,
                                                 std::string& error) {
    for (unsigned attempt = 0;; ++attempt) {
        std::filesystem::path temporary = PendingNameFor(target, attempt);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            RemovePendingOnSignals(temporary.native());
            return std::unique_ptr<PendingFile>(new PendingFile(target, std::move(temporary), fd));
        }
        if (errno != EEXIST || attempt == 100) {
            error = std::strerror(errno);
            return nullptr;
        }
    }
}

bool PendingFile::Write(const char* data, std::size_t size) {
    return WriteAll(static_cast<int>(m_handle), data, size, m_writeError);
}

void PendingFile::Close() {
    if (m_handle >= 0) ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

bool PendingFile::Commit(bool replaceExisting, std::string& error) {
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    // Bytes that replace an existing file must be on disk first, or a crash could leave neither
    // version; a new file puts nothing at risk and skips the wait. close() still reports a
    // deferred write failure (network file systems).
    struct stat existing {};
    const bool replacing = ::stat(m_target.c_str(), &existing) == 0;
    if (replacing) {
        // As editors do: the new file keeps the old one's owner where allowed, and its mode
        // (without set-id bits when the owner could not be kept).
        const bool owned = ::fchown(fd, existing.st_uid, existing.st_gid) == 0;
        ::fchmod(fd, existing.st_mode & (owned ? 07777 : 01777));
    }
    const bool durable = !replacing || ::fsync(fd) == 0;
    const int syncError = errno;
    if (::close(fd) != 0 || !durable) {
        error = std::strerror(durable ? errno : syncError);
        return false;
    }
    const bool moved = replaceExisting
                           ? ::rename(m_temporary.c_str(), m_target.c_str()) == 0
                           : MoveWithoutReplacing(m_temporary.c_str(), m_target.c_str());
    if (!moved) {
        error = std::strerror(errno);
        return false;
    }
    m_committed = true;
    g_hasPending = 0;
    return true;
}

void PendingFile::Forget() {
    g_hasPending = 0;
}
