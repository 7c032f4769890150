#pragma once

// Writing a file so that the earlier one is never lost, for the converter and the window alike.
// Implemented by TargetFile_posix.cpp and TargetFile_win.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "OutputFile.h"

class Worker;

// Why a target cannot be written. code is the system's error code nearest to the reason (errno,
// or a Windows error code), for callers that show the system's own text.
struct TargetProblem {
    enum Kind {
        None,
        CannotCreate,  // neither the new file nor a temporary could be made
        CannotWrite,   // the existing file refuses writing, or a write or the commit failed
        Exists,        // the file exists and was to be kept
        NotAFile,      // a folder, a pipe or another file that is no regular file
        Device,        // a name the system reserves for a device in every folder
    } kind = None;
    int code = 0;
};

// Whether a name opens a device whatever folder it stands in (NUL, CON, COM1: on Windows).
bool IsReservedDeviceName(const std::filesystem::path& path);

// A file's new contents, written to a temporary file and put in the file's place only when
// committed. The name is resolved by the file system: through symbolic links, dangling ones
// included (the file they name is created), so the links stay links. A file that is not to be
// kept must be writable as a plain open for writing would find it: read-only, held or locked
// files are refused before anything is written. A committed file keeps the earlier one's
// permissions, owner and group where allowed, and security; one with other hard links, or in a
// folder where no new file can be made, is rewritten in place once the new contents are
// complete and room for them is reserved, so that every name shows them; its earlier contents
// wait on disk in a backup (BackupNameFor, beside the temporary) until the new ones are, so that
// nothing, a kill or a power loss neither, loses them, and catchable signals wait for the end of
// the rewrite. Until the commit succeeds, the earlier file is untouched or put back; an uncommitted
// temporary, and a new file made for the name, are removed when the object goes, by an interrupt or
// a termination signal, and on Windows even when the process is killed. One is written at a time.
class TargetFile final : public OutputFile {
public:
    enum class IfExists { Keep, Replace };

    // Null, with the reason in problem, when the target cannot be written.
    static std::unique_ptr<TargetFile> Open(const std::filesystem::path& name, IfExists ifExists,
                                            TargetProblem& problem);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    // False once a write failed; Problem() says why.
    bool Write(const char* data, std::size_t size) override;

    // Makes the written contents the file's, durably where they replace earlier ones. False with
    // Problem() set on failure; the earlier file is then as it was.
    bool Commit();

    const TargetProblem& Problem() const { return m_problem; }
    // A backup of this target's earlier contents, when one was found at the open (a rewrite in
    // place was cut short) or this write failed to put them back; empty otherwise.
    const std::filesystem::path& Backup() const { return m_leftBackup; }
    const std::filesystem::path& TemporaryPath() const { return m_temporaryPath; }

private:
    TargetFile() = default;
    bool Fail(TargetProblem::Kind kind, int code);
    bool OpenTarget(const std::filesystem::path& name, IfExists ifExists);
    // 0, the system's code for "exists" when someone else made the name meanwhile, or another.
    int OpenNew(const std::filesystem::path& name);
    // look: the file the name resolves to, opened only to look at it; closed here.
    bool OpenExisting(std::intptr_t look, const std::filesystem::path& name, IfExists ifExists);
    bool CreateTemporary();
    bool CopyIntoTarget();
    bool ReplaceTarget();
    void Discard();
    // The system's part of CopyIntoTarget; each gives 0 or a system error code.
    int Sizes(std::int64_t& target, std::int64_t& temporary) const;
    int ReserveRoom(std::int64_t earlier, std::int64_t size);  // no earlier byte overwritten
    int CopyContents(std::int64_t earlier, std::int64_t size);
    int SetTargetSize(std::int64_t size, bool durably);
    int SaveEarlier(std::int64_t earlier);     // the target's first bytes into a new backup
    int RestoreEarlier(std::int64_t earlier);  // and back
    void DropBackup();
    // POSIX: the contents gathered into whole blocks that go past the cache, and written.
    bool WriteGathered(const char* data, std::size_t size);
    bool WriteBlocks();
    static void HoldSignals(bool hold);  // catchable signals wait while held (POSIX)
    // How far behind the writing the disk is started on contents the commit will flush.
    static constexpr std::int64_t kWriteBehind = 8 << 20;

    // Each file by its path and its handle, held from Open to the commit.
    std::filesystem::path m_targetPath;  // the file the name resolves to
    std::intptr_t m_targetFile = -1;
    std::filesystem::path m_temporaryPath;  // where the contents are written first
    std::intptr_t m_temporaryFile = -1;
    std::filesystem::path m_backupPath;  // the earlier contents during a rewrite in place
    std::intptr_t m_backupFile = -1;
    std::filesystem::path m_leftBackup;
    bool m_created = false;  // the target was made for this write
    bool m_inPlace = false;  // the contents are copied into the target at the commit
    bool m_committed = false;
    int m_signalSlots = -1;  // POSIX: where a signal finds this write's files
    std::int64_t m_writtenBytes = 0;
    std::int64_t m_writeStarted = 0;    // the disk has been asked to write the bytes before
    std::unique_ptr<Worker> m_flusher;  // Windows: flushes the temporary behind the writing
    std::vector<char> m_staging;        // POSIX: empty, or where blocks past the cache gather
    std::size_t m_staged = 0;
    int m_flushError = 0;  // the flusher's, read once it is settled
    TargetProblem m_problem;
};

// The steps where tests make the system fail.
// Overwritten: a rewrite in place once the earlier bytes are overwritten, before it is flushed.
enum class TargetStep { Write, CopyIntoTarget, Overwritten, Replace };

// Lets tests make a step fail as the system would: fault returns a system error code, or 0 to let
// the step run. For Replace the fault stands in for the system's call, and whatever files it
// moves are what that call did. An empty function ends the faults.
void SetTargetFaultForTesting(std::function<int(TargetStep step)> fault);

// 0, or the code a test asked step to fail with.
int InjectedTargetFault(TargetStep step);
