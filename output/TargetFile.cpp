#include "TargetFile.h"

#include <utility>

#include "PendingName.h"
#include "Worker.h"

namespace {

std::function<int(TargetStep)> g_fault;

}  // namespace

void SetTargetFaultForTesting(std::function<int(TargetStep step)> fault) {
    g_fault = std::move(fault);
}

int InjectedTargetFault(TargetStep step) {
    return g_fault ? g_fault(step) : 0;
}

bool TargetFile::Fail(TargetProblem::Kind kind, int code) {
    m_problem = {kind, code};
    return false;
}

std::unique_ptr<TargetFile> TargetFile::Open(const std::filesystem::path& name, IfExists ifExists,
                                             TargetProblem& problem) {
    std::unique_ptr<TargetFile> file(new TargetFile);
    const bool opened = file->OpenTarget(name, ifExists);
    // A backup beside the target, or where its temporary would go, is a rewrite cut short.
    std::error_code noTemporaryFolder;
    for (const auto& folder : {file->m_targetPath.parent_path(),
                               std::filesystem::temp_directory_path(noTemporaryFolder)}) {
        const auto backup = BackupNameFor(folder / file->m_targetPath.filename(), 0);
        if (file->m_leftBackup.empty() && !file->m_targetPath.empty() &&
            std::filesystem::is_regular_file(backup, noTemporaryFolder)) {
            file->m_leftBackup = backup;
        }
    }
    if (opened && file->CreateTemporary()) return file;
    problem = file->m_problem;
    return nullptr;  // and a target made for it goes with it
}

TargetFile::~TargetFile() {
    if (!m_committed) Discard();
}

bool TargetFile::Commit() {
    if (m_problem.kind != TargetProblem::None) return false;
    m_committed = m_inPlace ? CopyIntoTarget() : ReplaceTarget();
    return m_committed;
}

// The earlier contents are saved first, on disk, and kept until the new ones are: a rewrite cut
// short, by a kill or a power loss too, leaves them recoverable, and a failure puts them back.
// Room for the whole contents is then reserved, holes of a sparse file included, so that a full
// disk fails before any earlier byte is overwritten.
bool TargetFile::CopyIntoTarget() {
    HoldSignals(true);
    std::int64_t earlier = 0, size = 0;
    int error = Sizes(earlier, size);
    if (error == 0) error = SaveEarlier(earlier);
    if (error == 0 && (error = ReserveRoom(earlier, size)) != 0) SetTargetSize(earlier, false);
    const bool touched = error == 0;
    if (error == 0) error = CopyContents(earlier, size);
    if (error == 0) error = InjectedTargetFault(TargetStep::Overwritten);
    if (error == 0) error = SetTargetSize(size, true);
    // Where the earlier contents could not be put back, the backup is their only whole copy.
    if (error != 0 && touched && RestoreEarlier(earlier) != 0) {
        m_leftBackup = m_backupPath;
        m_backupPath.clear();  // closed, not removed
    }
    DropBackup();
    HoldSignals(false);
    if (error != 0) return Fail(TargetProblem::CannotWrite, error);
    m_created = false;
    Discard();
    return true;
}
