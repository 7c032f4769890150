#include "RecordingWalk.h"

#include <algorithm>
#include <cerrno>

#include "RecordingHeader.h"

namespace {

int LastError() {
    return errno != 0 ? errno : EIO;
}

// Opens exactly the file a native path names for reading; null with the reason on failure.
FilePtr OpenRecordingFile(const std::filesystem::path& path, ReadProblem& problem) {
    // An embedded NUL would silently name a shorter path: another file.
    if (path.native().find(std::filesystem::path::value_type{}) != std::string::npos) {
        errno = EINVAL;
    } else if (FilePtr file = OpenForReading(path)) {
        return file;
    }
    problem = ReadProblem{ReadFailure::CannotOpen, 0, errno};
    return nullptr;
}

template <typename T>
void ReserveMore(std::vector<T>& items, std::uint64_t more) {
    // Only a hint: a size past what the container can hold is left to growth, which then fails
    // as any allocation does.
    if (more == 0 || more > items.max_size() - items.size()) return;
    items.reserve(items.size() + static_cast<std::size_t>(more));
    PrepareLargeBlock(items.data() + items.size(), (items.capacity() - items.size()) * sizeof(T));
}

// Moves past the first samples of the body by seeking; 0, or the error code. Past the end no
// sample is complete: the offset stops at the file's size, which every seek takes. A file of no
// known size cannot be skipped in.
int SkipSamples(std::FILE* file, const SensorFormat& format, std::uint64_t samples) {
    const auto sampleBytes = static_cast<std::uint64_t>(8 + format.valueWidth * format.columnCount);
    const std::uint64_t size = FileSize(file);
    if (size == 0) return ESPIPE;
    errno = 0;
    const long body = std::ftell(file);  // a header's length: small
    if (body < 0 || !SeekFile(file, static_cast<std::uint64_t>(body) +
                                        std::min(samples, size / sampleBytes) * sampleBytes)) {
        return LastError();
    }
    return 0;
}

}  // namespace

RecordingWalk::RecordingWalk(const std::filesystem::path& path, const WalkPlan& plan)
    : m_plan(plan), m_file(OpenRecordingFile(path, m_problem)) {
    if (m_file) Open(m_file.get());
}

RecordingWalk::RecordingWalk(std::FILE* file, const WalkPlan& plan) : m_plan(plan) {
    Open(file);
}

void RecordingWalk::Open(std::FILE* file) {
    if (!ReadRecordingHeader(file, m_header, m_format, &m_problem)) return;
    if (m_plan.lastStamp) {
        std::fpos_t body;
        errno = 0;
        const bool marked = std::fgetpos(file, &body) == 0;
        if (std::uint64_t stamp = 0; marked && PeekLastStamp(file, m_format, stamp)) {
            m_lastStamp = stamp;
        }
        if (!marked || std::fsetpos(file, &body) != 0) {
            m_problem = ReadProblem{ReadFailure::ReadError, 0, LastError()};
            return;
        }
    }
    if (m_plan.from > 0) {
        if (const int error = SkipSamples(file, m_format, m_plan.from)) {
            m_problem = ReadProblem{ReadFailure::ReadError, 0, error};
            return;
        }
    }
    m_reader.emplace(file, m_format);
    // Finding the size costs a system call: asked only when it is of use.
    if (m_plan.hold || m_plan.expected) m_expected = m_reader->RemainingSamplesHint();
}

bool RecordingWalk::Next(WalkBlock& block) {
    if (!m_reader || m_ended) return false;
    if (!m_plan.hold) {
        block.stamps.clear();
        block.times.clear();
        block.rows.clear();
    }
    if (m_decoded == 0) {
        const std::uint64_t reserve = m_plan.hold ? m_expected : m_reader->SamplesPerBlock();
        if (m_plan.stamps || !m_plan.times) ReserveMore(block.stamps, reserve);
        if (m_plan.times) ReserveMore(block.times, reserve);
        ReserveMore(block.rows, reserve);
    }
    // A read may end in the middle of a sample and decode none.
    for (const std::size_t before = block.rows.size(); ReadBlock(block);) {
        if (block.rows.size() != before) {
            m_decoded += block.rows.size() - before;
            return true;
        }
    }
    return End();
}

bool RecordingWalk::ReadBlock(WalkBlock& block) {
    if (!m_plan.times) return m_reader->ReadBlock(block.stamps, block.rows);
    return m_reader->ReadBlock(block.times, block.rows, m_plan.stamps ? &block.stamps : nullptr);
}

bool RecordingWalk::End() {
    m_ended = true;
    // A read error is no end of the file: what came before it is not the whole recording.
    if (const int error = m_reader->ReadError()) {
        m_problem = ReadProblem{ReadFailure::ReadError, 0, error};
    } else if (m_decoded == 0) {
        m_problem = ReadProblem{ReadFailure::NoCompleteSample, 0, 0};
    } else {
        m_finished = true;
    }
    return false;
}
