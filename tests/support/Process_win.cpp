#include <windows.h>

#include <memory>

#include "Process.h"
#include "TempDir.h"

namespace {

using Handle = std::unique_ptr<void, decltype(&CloseHandle)>;

Handle Inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    return {CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                        disposition, 0, nullptr),
            CloseHandle};
}

}  // namespace

ProgramRun RunProgram(const std::filesystem::path& program,
                      const std::vector<std::filesystem::path>& arguments) {
    TempDir capture;
    // Quoted only where a shell would have to: the runtime leaves a quoted pattern unexpanded.
    // No test argument holds a quote or ends in a backslash.
    const auto quoted = [](const std::wstring& a) {
        return a.empty() || a.find_first_of(L" \t") != a.npos ? L"\"" + a + L"\"" : a;
    };
    std::wstring commandLine = quoted(program.native());
    for (const auto& argument : arguments) commandLine += L" " + quoted(argument.native());
    ProgramRun run;
    {
        const Handle in = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
        const Handle out = Inheritable(capture / "out", GENERIC_WRITE, CREATE_ALWAYS);
        const Handle err = Inheritable(capture / "err", GENERIC_WRITE, CREATE_ALWAYS);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.get();
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION process{};
        // Wine now and then fails to start a process while its server is busy: try again.
        bool started = false;
        for (int attempt = 0; attempt < 5 && !started; ++attempt) {
            if (attempt > 0) Sleep(200);
            started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                     nullptr, nullptr, &startup, &process) != 0;
        }
        if (started) {
            const Handle thread(process.hThread, CloseHandle), child(process.hProcess, CloseHandle);
            WaitForSingleObject(child.get(), INFINITE);
            DWORD code = 0;
            GetExitCodeProcess(child.get(), &code);
            run.exitCode = static_cast<int>(code);
        }
    }
    run.out = ReadFile(capture / "out");
    run.err = ReadFile(capture / "err");
    return run;
}

// Wine starts a host program without a handle to wait on, so the command leaves a mark when done.
// It goes in a file, whole, to no quoting rules. Where 32-bit programs run in a namespace of their
// own (scripts/i386-run), whose root may not set file flags, it runs outside, as on any machine.
std::string RunOnHost(const std::filesystem::path& folder, const std::string& command) {
    const std::filesystem::path current = std::filesystem::current_path(),
                                mark = folder / "host-done", output = folder / "host-output",
                                script = folder / "host-command";
    std::filesystem::current_path(folder);
    if (command.empty()) return {};
    const std::string outside =
        "if [ -n \"$OSCIMO_HOST_COMMANDS\" ]; then\n"
        "  printf '%s\\0' \"$PWD\" >\"$OSCIMO_HOST_COMMANDS\"; exit\n"
        "fi\n";
    WriteFile(script, outside + "(" + command + ") >host-output 2>&1; touch host-done\n");
    const bool started = RunProgram("Z:\\bin\\sh", {"host-command"}).exitCode != -1;
    std::filesystem::current_path(current);
    // No time limit: a command that hangs is ended by the suite's timeout.
    while (started && !std::filesystem::exists(mark)) Sleep(10);
    std::string text = ReadFile(output);
    for (const auto& used : {mark, output, script}) std::filesystem::remove(used);
    return text;
}

std::filesystem::path ProgramBesideThisOne(const std::string& name) {
    wchar_t self[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    return std::filesystem::path(std::wstring(self, length)).parent_path() / (name + ".exe");
}

std::size_t OpenHandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}
