#include "ConsoleAndFiles.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SystemError.h"

namespace {

bool WriteAll(int fd, const char* data, std::size_t size, std::string& error) {
    FailWritesPastFileSizeLimit();  // as a file target does: a message and exit 1, not a kill
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

std::string DisplayPath(const std::filesystem::path& path) {
    return path.native();
}
