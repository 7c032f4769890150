#include <sys/wait.h>

#include <cstdlib>

#include "Process.h"
#include "TempDir.h"

ProgramRun RunProgram(const std::filesystem::path& program,
                      const std::vector<std::filesystem::path>& arguments) {
    TempDir capture;
    // Single quotes keep each argument as it is; a quote inside one is closed, escaped, reopened.
    const auto quoted = [](const std::string& text) {
        std::string result = "'";
        for (const char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return result + "'";
    };
    std::string command = "exec " + quoted(program.native());
    for (const auto& argument : arguments) command += " " + quoted(argument.native());
    command +=
        " </dev/null >'" + (capture / "out").native() + "' 2>'" + (capture / "err").native() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            ReadFile(capture / "out"), ReadFile(capture / "err")};
}

std::string RunOnHost(const std::filesystem::path& folder, const std::string& command) {
    const ProgramRun run =
        RunProgram("/bin/sh", {"-c", "cd \"$0\" && " + command + " 2>&1", folder});
    return run.out;
}

std::filesystem::path ProgramBesideThisOne(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

std::size_t OpenHandleCount() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}
