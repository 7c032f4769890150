#include <windows.h>

#include "Process.h"
#include "TempDir.h"

namespace {

// Quotes one argument the way the runtime's command-line parser splits it back.
std::wstring Quote(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE Inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramRun RunProgram(const std::filesystem::path& program,
                      const std::vector<std::filesystem::path>& arguments, RunOptions options) {
    ProgramRun run;
    if (options.errorToTerminal) return run;  // no pseudo-terminals here
    TempDir capture;
    const auto outPath = capture / "out", errPath = capture / "err";
    std::wstring commandLine = Quote(program.native());
    for (const auto& argument : arguments) commandLine += L" " + Quote(argument.native());

    {
        const HANDLE in = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
        const HANDLE out = options.discardOutput
                               ? Inheritable(L"NUL", GENERIC_WRITE, OPEN_EXISTING)
                               : Inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
        const HANDLE err = Inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           nullptr, &startup, &process)) {
            WaitForSingleObject(process.hProcess, INFINITE);
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            run.exitCode = static_cast<int>(code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        CloseHandle(in);
        CloseHandle(out);
        CloseHandle(err);
    }
    if (!options.discardOutput) run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
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
