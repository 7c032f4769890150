#include "Converter.h"

#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "ConsoleAndFiles.h"
#include "Conversion.h"
#include "Progress.h"
#include "Utf8.h"
#include "Version.h"

namespace fs = std::filesystem;

namespace {

constexpr char kProgram[] = "oscimo2csv";

void Report(const std::string& message) {
    WriteText(Stream::Error, std::string(kProgram) + ": " + message + "\n");
}

bool Fail(const fs::path& recording, const std::string& reason) {
    Report(DisplayPath(recording) + ": " + reason);
    return false;
}

// Pipes, devices and folders are refused: reading them could block forever or mean nothing.
bool CheckIsRegularFile(const fs::path& recording) {
    std::error_code error;
    const fs::file_status status = fs::status(recording, error);
    if (error || !fs::exists(status) || fs::is_regular_file(status)) return true;
    return Fail(recording, "not a regular file");
}

class StandardOutputFile final : public OutputFile {
public:
    bool Write(const char* data, std::size_t size) override {
        return WriteToStream(Stream::Output, data, size, error);
    }
    std::string error;
};

// Progress goes to standard error only when a person watches it there, and never onto a
// terminal that shows the CSV itself.
bool WantsProgress(const CommandLine& line, bool csvToStandardOutput) {
    return !line.quiet && IsTerminal(Stream::Error) &&
           !(csvToStandardOutput && IsTerminal(Stream::Output));
}

// A progress line for recording when wanted, else none.
class ProgressLine {
public:
    ProgressLine(const fs::path& recording, bool wanted) {
        if (!wanted) return;
        // The file name alone keeps the line short enough not to wrap, which '\r' cannot undo.
        m_progress.emplace(std::string(kProgram) + ": " + DisplayPath(recording.filename()),
                           [](std::string_view text) { WriteText(Stream::Error, text); });
    }
    Progress* Get() { return m_progress ? &*m_progress : nullptr; }
    void Finish() {
        if (m_progress) m_progress->Finish();
    }

private:
    std::optional<Progress> m_progress;
};

bool Summarise(const fs::path& recording, const CommandLine& line) {
    if (!CheckIsRegularFile(recording)) return false;
    std::wstring summary;
    ReadProblem problem;
    ProgressLine progress(recording, WantsProgress(line, false));
    const bool summarised = SummariseRecording(recording, progress.Get(), summary, problem);
    progress.Finish();
    if (!summarised) return Fail(recording, DescribeReadProblem(problem));
    WriteText(Stream::Output, Utf8FromWide(summary));
    return true;
}

bool ConvertToStandardOutput(const fs::path& recording, const CommandLine& line) {
    if (!CheckIsRegularFile(recording)) return false;
    StandardOutputFile out;
    ReadProblem problem;
    std::uint64_t samples = 0;
    ProgressLine progress(recording, WantsProgress(line, true));
    const ConversionOutcome outcome =
        ConvertRecording(recording, out, line.cellStyle, progress.Get(), problem, samples);
    progress.Finish();
    switch (outcome) {
        case ConversionOutcome::Converted:
            return true;
        case ConversionOutcome::ReadFailed:
            return Fail(recording, DescribeReadProblem(problem));
        case ConversionOutcome::WriteFailed:
            break;
    }
    return Fail(recording, "cannot write to standard output: " + out.error);
}

bool ConvertToFile(const fs::path& recording, const fs::path& target, const CommandLine& line) {
    if (!CheckIsRegularFile(recording)) return false;
    std::error_code error;
    const fs::file_status targetStatus = fs::status(target, error);
    if (fs::exists(targetStatus)) {
        if (fs::equivalent(recording, target, error)) {
            return Fail(recording, "the CSV file would replace the recording itself");
        }
        // The finished file is renamed over the target: that would put a plain file in place of
        // a device such as /dev/null or a pipe, and cannot replace a folder.
        if (!fs::is_regular_file(targetStatus)) {
            return Fail(recording, DisplayPath(target) +
                                       " is not a regular file ('-o -' writes to standard output)");
        }
        if (!line.force) {
            return Fail(recording, DisplayPath(target) + " exists (-f replaces it)");
        }
    }
    std::string reason;
    const auto pending = PendingFile::Create(target, reason);
    if (!pending) return Fail(recording, "cannot create " + DisplayPath(target) + ": " + reason);

    ReadProblem problem;
    std::uint64_t samples = 0;
    ProgressLine progress(recording, WantsProgress(line, false));
    const ConversionOutcome outcome =
        ConvertRecording(recording, *pending, line.cellStyle, progress.Get(), problem, samples);
    progress.Finish();
    switch (outcome) {
        case ConversionOutcome::Converted:
            break;
        case ConversionOutcome::ReadFailed:
            return Fail(recording, DescribeReadProblem(problem));
        case ConversionOutcome::WriteFailed:
            return Fail(recording,
                        "cannot write " + DisplayPath(target) + ": " + pending->WriteError());
    }
    if (!pending->Commit(line.force, reason)) {
        return Fail(recording, "cannot write " + DisplayPath(target) + ": " + reason);
    }
    if (!line.quiet) {
        Report(DisplayPath(recording) + " -> " + DisplayPath(target) + ": " +
               std::to_string(samples) + " samples");
    }
    return true;
}

bool Process(const fs::path& recording, const CommandLine& line) {
    if (line.summaryOnly) return Summarise(recording, line);
    if (line.output && line.output->native() == fs::path("-").native()) {
        return ConvertToStandardOutput(recording, line);
    }
    fs::path target = line.output ? *line.output : recording;
    if (!line.output) target += ".csv";
    return ConvertToFile(recording, target, line);
}

}  // namespace

int RunConverter(const std::vector<NativeString>& arguments) {
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(arguments, line, error)) {
        Report(error + "\nTry 'oscimo2csv --help'.");
        return 2;
    }
    if (line.help) {
        WriteText(Stream::Output, kUsageText);
        return 0;
    }
    if (line.version) {
        WriteText(Stream::Output, std::string(kProgram) + " " + OSCIMO_VERSION_STRING + "\n");
        return 0;
    }
    bool allSucceeded = true;
    for (const fs::path& recording : line.recordings) {
        try {
            allSucceeded = Process(recording, line) && allSucceeded;
        } catch (const std::bad_alloc&) {
            allSucceeded = Fail(recording, "not enough memory");
        }
    }
    return allSucceeded ? 0 : 1;
}
