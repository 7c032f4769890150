#include "Converter.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Batch.h"
#include "BlockWriter.h"
#include "ConsoleAndFiles.h"
#include "Conversion.h"
#include "FileIdentity.h"
#include "LoadedRecording.h"
#include "Platform.h"
#include "Progress.h"
#include "StatsReport.h"
#include "SystemError.h"
#include "TargetFile.h"
#include "Utf8.h"
#include "Version.h"

namespace fs = std::filesystem;

namespace {

constexpr char kProgram[] = "oscimo2csv";

// Text from a file name or a recording's header, as a stream shows it: on a terminal, control
// bytes (C0, DEL and UTF-8's C1) appear escaped, so that no name or label can move the cursor,
// retitle the window or forge a line; into files and pipes the bytes go unchanged.
std::string Shown(Stream stream, const std::string& text) {
    if (!IsTerminal(stream)) return text;
    std::string shown;
    ForEachUtf8Character(text, [&shown](const Utf8Character& character) {
        if (!IsControl(character.code)) {
            shown += character.bytes;
            return;
        }
        for (const char byte : character.bytes) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(byte));
            shown += escaped;
        }
    });
    return shown;
}

std::string Name(const fs::path& path) {
    return Shown(Stream::Error, DisplayPath(path));
}

// A message of job: to standard error, or held with the job's others for the batch's order.
void Report(const Job& job, const std::string& message) {
    const std::string line = std::string(kProgram) + ": " + message + "\n";
    if (job.messages) {
        *job.messages += line;
    } else {
        WriteText(Stream::Error, line);
    }
}

bool Fail(const Job& job, const fs::path& recording, const std::string& reason) {
    Report(job, Name(recording) + ": " + reason);
    return false;
}

// Pipes, devices and folders are refused: reading them could block forever or mean nothing.
bool CheckIsRegularFile(const Job& job, const fs::path& recording) {
    std::error_code error;
    const fs::file_status status = fs::status(recording, error);
    if (!IsReservedDeviceName(recording) &&
        (error || !fs::exists(status) || fs::is_regular_file(status))) {
        return true;
    }
    return Fail(job, recording, "not a regular file");
}

// Writing to standard output while reading the same file would read the CSV back without end.
bool CheckIsNotStandardOutput(const Job& job, const fs::path& recording) {
    return !IsStandardOutput(recording) ||
           Fail(job, recording, "standard output is the recording itself");
}

// The recordings of the run by identity, found once: a target that is any of them would destroy
// it before it is read, whatever name each goes by.
class RecordingsOfTheRun {
public:
    explicit RecordingsOfTheRun(const std::vector<fs::path>& recordings)
        : m_recordings(recordings) {}
    const fs::path* Find(const fs::path& file) {
        Identify();
        const auto found = m_byIdentity.find(FileIdentity(file));
        return found == m_byIdentity.end() ? nullptr : found->second;
    }

private:
    // Once, on the first call that gets through; a lock rather than call_once, which some
    // runtimes leave locked for good when the call throws (out of memory here).
    void Identify() {
        const std::lock_guard lock(m_mutex);
        if (m_identified) return;
        m_byIdentity.clear();  // what a call that ran out of memory left
        for (const fs::path& recording : m_recordings) {
            if (std::string id = FileIdentity(recording); !id.empty()) {
                m_byIdentity.emplace(id, &recording);
            }
        }
        m_identified = true;
    }

    const std::vector<fs::path>& m_recordings;
    std::mutex m_mutex;
    bool m_identified = false;
    std::unordered_map<std::string, const fs::path*> m_byIdentity;
};

// Where a file is, whatever name leads to it: its identity, or for one not made yet, the path
// its links lead to.
std::string FileKey(const fs::path& path) {
    if (std::string id = FileIdentity(path); !id.empty()) return "id " + id;
    std::error_code error;
    fs::path resolved = fs::absolute(path, error);
    for (int link = 0; link < 40 && fs::is_symlink(resolved, error); ++link) {
        const fs::path to = fs::read_symlink(resolved, error);
        if (error) break;
        resolved = resolved.parent_path() / to;  // an absolute link replaces the whole
    }
    const fs::path canonical = fs::weakly_canonical(resolved, error);
    const std::u8string name = (error ? resolved : canonical).u8string();
    return "name " + std::string(name.begin(), name.end());
}

// The jobs of a batch that must wait for every job before them: those whose recording or target
// is the recording or target of an earlier one, by whatever names, so that a file is read or
// written by one job at a time, in the order given, as on one thread.
std::vector<bool> JobsThatWait(const std::vector<fs::path>& recordings,
                               const std::function<fs::path(const fs::path&)>& targetOf) {
    std::vector<bool> waits;
    std::unordered_set<std::string> used;
    for (const fs::path& recording : recordings) {
        const std::string recordingKey = FileKey(recording),
                          targetKey = FileKey(targetOf(recording));
        waits.push_back(used.count(recordingKey) + used.count(targetKey) > 0);
        used.insert(recordingKey);
        used.insert(targetKey);
    }
    return waits;
}

class StandardOutputFile final : public OutputFile {
public:
    bool Write(const char* data, std::size_t size) override {
        return WriteToStream(Stream::Output, data, size, error);
    }
    std::string error;
};

// The target, opened at the first write: a recording that cannot be opened or is no recording
// fails as such, and nothing is created for it.
class LazyTarget final : public OutputFile {
public:
    LazyTarget(fs::path name, TargetFile::IfExists ifExists)
        : m_name(std::move(name)), m_ifExists(ifExists) {}
    bool Write(const char* data, std::size_t size) override {
        if (!file && !(file = TargetFile::Open(m_name, m_ifExists, problem))) return false;
        return file->Write(data, size) || (problem = file->Problem(), false);
    }
    bool Commit() { return file && (file->Commit() || (problem = file->Problem(), false)); }
    std::unique_ptr<TargetFile> file;
    TargetProblem problem;

private:
    fs::path m_name;
    TargetFile::IfExists m_ifExists;
};

// Why a target cannot be written, in the words of a message about it.
std::string Describe(const fs::path& named, const TargetProblem& problem) {
    const std::string name = Name(named);
    switch (problem.kind) {
        case TargetProblem::Exists:
            return name + " exists (-f replaces it)";
        case TargetProblem::NotAFile:
            return name + " is not a regular file ('-o -' writes to standard output)";
        case TargetProblem::Device:
            return name + " is a device ('-o -' writes to standard output)";
        case TargetProblem::CannotCreate:
            return "cannot create " + name + ": " + SystemErrorText(problem.code);
        default:
            return "cannot write " + name + ": " + SystemErrorText(problem.code);
    }
}

// Progress goes to standard error only when a person watches it there, never onto a terminal
// that shows the CSV itself, and not for recordings converted side by side (they are small).
bool WantsProgress(const CommandLine& line, const Job& job, bool csvToStandardOutput) {
    return !line.quiet && job.progress && IsTerminal(Stream::Error) &&
           !(csvToStandardOutput && IsTerminal(Stream::Output));
}

// A progress line for recording when wanted, else none.
class ProgressLine {
public:
    ProgressLine(const fs::path& recording, bool wanted) {
        if (!wanted) return;
        // The file name alone keeps the line short; Progress fits it to the terminal's width.
        m_progress.emplace(
            std::string(kProgram) + ": " + Name(recording.filename()),
            [](std::string_view text) { WriteText(Stream::Error, text); },
            TerminalColumns(Stream::Error));
    }
    Progress* Get() { return m_progress ? &*m_progress : nullptr; }
    void Finish() {
        if (m_progress) m_progress->Finish();
    }

private:
    std::optional<Progress> m_progress;
};

bool Summarise(const fs::path& recording, const CommandLine& line, const Job& job) {
    if (!CheckIsRegularFile(job, recording) || !CheckIsNotStandardOutput(job, recording)) {
        return false;
    }
    std::string header;
    std::uint64_t samples = 0;
    std::int32_t columns = 0;
    ReadProblem problem;
    ProgressLine progress(recording, WantsProgress(line, job, false));
    const bool summarised =
        SummariseRecording(recording, progress.Get(), header, samples, columns, problem);
    progress.Finish();
    if (!summarised) return Fail(job, recording, DescribeReadProblem(problem));
    const std::wstring summary =
        FormatSummaryText(Shown(Stream::Output, header), samples, true, columns);
    std::string error;
    return WriteText(Stream::Output, Utf8FromWide(summary), &error) ||
           Fail(job, recording, "cannot write to standard output: " + error);
}

// The health report, as text or one line of JSON, on standard output.
bool Analyse(const fs::path& recording, const CommandLine& line, const Job& job) {
    if (!CheckIsRegularFile(job, recording) || !CheckIsNotStandardOutput(job, recording)) {
        return false;
    }
    std::string header;
    std::optional<RecordingStats> stats;
    ReadProblem problem;
    ProgressLine progress(recording, WantsProgress(line, job, false));
    const bool analysed = AnalyseRecording(recording, progress.Get(), header, stats, problem);
    progress.Finish();
    if (!analysed) return Fail(job, recording, DescribeReadProblem(problem));
    // The header as the summary shows it, in the system's code page.
    const std::string shownHeader = Utf8FromWide(WideFromNarrow(header));
    const std::string report = line.json
                                   ? FormatStatsJson(DisplayPath(recording), shownHeader, *stats)
                                   : FormatStatsText(Shown(Stream::Output, DisplayPath(recording)),
                                                     Shown(Stream::Output, shownHeader), *stats);
    std::string error;
    return WriteText(Stream::Output, report, &error) ||
           Fail(job, recording, "cannot write to standard output: " + error);
}

// What a mode writes for a recording: its CSV or its picture, and the file kind messages name.
struct Export {
    const char* kind;
    std::function<ConversionOutcome(OutputFile& out, Progress* progress, ReadProblem& problem,
                                    std::uint64_t& samples)>
        write;
};

bool ExportToStandardOutput(const fs::path& recording, const CommandLine& line, const Job& job,
                            const Export& exported) {
    if (!CheckIsRegularFile(job, recording) || !CheckIsNotStandardOutput(job, recording)) {
        return false;
    }
    StandardOutputFile out;
    ReadProblem problem;
    std::uint64_t samples = 0;
    ProgressLine progress(recording, WantsProgress(line, job, true));
    const ConversionOutcome outcome = exported.write(out, progress.Get(), problem, samples);
    progress.Finish();
    switch (outcome) {
        case ConversionOutcome::Converted:
            return true;
        case ConversionOutcome::ReadFailed:
            return Fail(job, recording, DescribeReadProblem(problem));
        case ConversionOutcome::WriteFailed:
            break;
    }
    return Fail(job, recording, "cannot write to standard output: " + out.error);
}

bool ExportToFile(const fs::path& recording, const fs::path& named, const CommandLine& line,
                  const Job& job, RecordingsOfTheRun& recordings, const Export& exported) {
    if (!CheckIsRegularFile(job, recording)) return false;
    if (const fs::path* other = recordings.Find(named)) {
        const std::string file = std::string("the ") + exported.kind + " file";
        return Fail(job, recording,
                    IsSameFile(*other, recording)
                        ? file + " would replace the recording itself"
                        : file + " would replace the recording " + Name(*other));
    }
    LazyTarget out(named, line.force ? TargetFile::IfExists::Replace : TargetFile::IfExists::Keep);
    ReadProblem problem;
    std::uint64_t samples = 0;
    ProgressLine progress(recording, WantsProgress(line, job, false));
    const ConversionOutcome outcome = exported.write(out, progress.Get(), problem, samples);
    progress.Finish();
    if (outcome == ConversionOutcome::ReadFailed) {
        return Fail(job, recording, DescribeReadProblem(problem));
    }
    const bool committed = outcome != ConversionOutcome::WriteFailed && out.Commit();
    // Said even with -q: the only whole copy of a file's earlier contents may be there.
    if (out.file && !out.file->Backup().empty()) {
        Report(job, Name(out.file->Backup()) + " holds earlier contents of " + Name(named) +
                        ", kept from a rewrite that did not finish");
    }
    if (!committed) return Fail(job, recording, Describe(named, out.problem));
    if (!line.quiet) {
        Report(job, Name(recording) + " -> " + Name(named) + ": " + std::to_string(samples) +
                        " samples");
    }
    return true;
}

fs::path TargetOf(const fs::path& recording, const CommandLine& line) {
    if (line.output) return *line.output;
    fs::path target = recording;
    return target += line.mode == CommandLine::Mode::Plot ? ".svg" : ".csv";
}

bool Process(const fs::path& recording, const CommandLine& line, const Job& job,
             RecordingsOfTheRun& recordings) {
    if (line.mode == CommandLine::Mode::Summary) return Summarise(recording, line, job);
    if (line.mode == CommandLine::Mode::Stats) return Analyse(recording, line, job);
    const bool plot = line.mode == CommandLine::Mode::Plot;
    const Export exported{
        plot ? "SVG" : "CSV",
        [&](OutputFile& out, Progress* progress, ReadProblem& problem, std::uint64_t& samples) {
            return plot ? PlotRecording(recording, out, progress, problem, samples)
                        : ConvertRecording(recording, out, line.cellStyle, line.stamps, job.threads,
                                           progress, problem, samples);
        }};
    if (line.output && line.output->native() == fs::path("-").native()) {
        return ExportToStandardOutput(recording, line, job, exported);
    }
    return ExportToFile(recording, TargetOf(recording, line), line, job, recordings, exported);
}

// Recordings converted side by side at most: a batch's small files keep every core busy.
constexpr unsigned kSideBySide = 32;

// A regular file small enough that converting it takes a moment: side by side with others it
// loses nothing by having one thread and no progress line.
bool IsSmallRecording(const fs::path& recording) {
    constexpr std::uintmax_t kSmall = 4 << 20;
    if (IsReservedDeviceName(recording)) return false;
    std::error_code notRegular;  // file_size knows the sizes of regular files only
    const std::uintmax_t size = fs::file_size(recording, notRegular);
    return !notRegular && size < kSmall;
}

int Run(const std::vector<NativeString>& arguments) {
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(arguments, line, error)) {
        Report(Job{}, error + "\nTry 'oscimo2csv --help'.");
        return 2;
    }
    if (line.help || line.version) {
        const std::string text = line.help
                                     ? std::string(kUsageText)
                                     : std::string(kProgram) + " " + OSCIMO_VERSION_STRING + "\n";
        if (WriteText(Stream::Output, text, &error)) return 0;
        Report(Job{}, "cannot write to standard output: " + error);
        return 1;
    }
    RecordingsOfTheRun recordings(line.recordings);
    const bool exportsToFiles =
        (line.mode == CommandLine::Mode::Csv || line.mode == CommandLine::Mode::Plot) &&
        !line.output;
    Batch batch;
    batch.jobs = line.recordings.size();
    batch.threads = std::min(line.threads ? line.threads : FormattingThreads(), kSideBySide);
    batch.threadsAlone = line.threads;
    std::optional<std::vector<bool>> waits;  // found once, when jobs may share
    batch.mayShare = [&](std::size_t i) {
        if (!exportsToFiles) return false;
        if (!waits) {
            waits = JobsThatWait(line.recordings, [&](const fs::path& recording) {
                return TargetOf(recording, line);
            });
        }
        return !(*waits)[i] && IsSmallRecording(line.recordings[i]);
    };
    batch.run = [&](std::size_t i, const Job& job) {
        const fs::path& recording = line.recordings[i];
        try {
            return Process(recording, line, job, recordings);
        } catch (const std::bad_alloc&) {
            return Fail(job, recording, "not enough memory");
        } catch (const std::exception& exception) {
            return Fail(job, recording, exception.what());
        }
    };
    batch.put = [](const std::string& messages) { WriteText(Stream::Error, messages); };
    const bool allSucceeded = RunBatch(batch);
    return allSucceeded ? 0 : 1;
}

}  // namespace

int RunConverter(const std::vector<NativeString>& arguments) {
    // Whatever escapes is one message and a failure; the temporary files are gone by then.
    try {
        return Run(arguments);
    } catch (const std::exception& exception) {
        Report(Job{}, exception.what());
    } catch (...) {
        Report(Job{}, "unexpected failure");
    }
    return 1;
}
