#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "Process.h"
#include "TempDir.h"

extern char** environ;

namespace {

// A new pseudo-terminal, closed when it goes out of scope; invalid where none can be had.
class PseudoTerminal {
public:
    PseudoTerminal() : m_fd(posix_openpt(O_RDWR | O_NOCTTY)) {
        if (m_fd >= 0 && (grantpt(m_fd) != 0 || unlockpt(m_fd) != 0)) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~PseudoTerminal() {
        if (m_fd >= 0) close(m_fd);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int fd() const { return m_fd; }

    // What the program wrote, read while it runs so that a full buffer never stalls it; reading
    // fails (EIO) once the program has closed its end.
    std::string Drain() const {
        std::string text;
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(m_fd, buffer, sizeof buffer);
            if (got > 0) {
                text.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                return text;
            }
        }
    }

private:
    int m_fd;
};

}  // namespace

ProgramRun RunProgram(const std::filesystem::path& program,
                      const std::vector<std::filesystem::path>& arguments, RunOptions options) {
    TempDir capture;
    const auto outPath = capture / "out", errPath = capture / "err";
    std::vector<std::string> words{program.native()};
    for (const auto& argument : arguments) words.push_back(argument.native());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    ProgramRun run;
    std::optional<PseudoTerminal> terminal;
    if (options.errorToTerminal) {
        terminal.emplace();
        if (terminal->fd() < 0) return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1,
                                     options.discardOutput ? "/dev/null" : outPath.c_str(),
                                     O_WRONLY | O_CREAT, 0600);
    if (terminal) {
        posix_spawn_file_actions_addopen(&actions, 2, ptsname(terminal->fd()), O_RDWR | O_NOCTTY,
                                         0);
        posix_spawn_file_actions_addclose(&actions, terminal->fd());
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT, 0600);
    }
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        if (terminal) run.err = terminal->Drain();
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        run.peakMemoryKiB = usage.ru_maxrss;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (!options.discardOutput) run.out = ReadFile(outPath);
    if (!terminal) run.err = ReadFile(errPath);
    return run;
}

std::filesystem::path ProgramBesideThisOne(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

std::size_t OpenHandleCount() {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}
