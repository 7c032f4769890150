#include "TargetFile.h"

#include <utility>

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
    if (file->OpenTarget(name, ifExists) && file->CreateTemporary()) return file;
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

// Room for the whole contents is reserved first, holes of a sparse file included, so that a full
// disk fails before any earlier byte is overwritten; the earlier size is then restored.
bool TargetFile::CopyIntoTarget() {
    std::int64_t earlier = 0, size = 0;
    int error = Sizes(earlier, size);
    if (error == 0 && (error = ReserveRoom(earlier, size)) != 0) SetTargetSize(earlier, false);
    if (error == 0) error = CopyContents(earlier, size);
    if (error == 0) error = SetTargetSize(size, true);
    if (error != 0) return Fail(TargetProblem::CannotWrite, error);
    m_created = false;
    Discard();
    return true;
}
