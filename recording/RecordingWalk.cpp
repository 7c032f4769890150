#include "RecordingWalk.h"

#include <algorithm>
#include <cerrno>

#include "Platform.h"
#include "RecordingReader.h"
#include "SampleReader.h"

namespace {

Walk Unreadable(ReadProblem* problem, ReadFailure failure, int systemError = 0) {
    if (problem) *problem = ReadProblem{failure, 0, systemError};
    return Walk::Unreadable;
}

int LastError() {
    return errno != 0 ? errno : EIO;
}

template <typename T>
void ReserveMore(std::vector<T>& items, std::uint64_t more) {
    // Only a hint: a size past what the container can hold is left to growth, which then fails
    // as any allocation does.
    if (more == 0 || more > items.max_size() - items.size()) return;
    items.reserve(items.size() + static_cast<std::size_t>(more));
    PrepareLargeBlock(items.data() + items.size(), (items.capacity() - items.size()) * sizeof(T));
}

}  // namespace

Walk WalkRecording(std::FILE* file, const WalkPlan& plan, const WalkInto& into,
                   ReadProblem* problem, const OnWalkBlock& onBlock) {
    SensorFormat format{};
    if (!ReadRecordingHeader(file, into.header, format, problem)) return Walk::Unreadable;
    std::optional<std::uint64_t> lastStamp;
    if (plan.lastStamp) {
        std::fpos_t body;
        errno = 0;
        if (std::fgetpos(file, &body) != 0) {
            return Unreadable(problem, ReadFailure::ReadError, LastError());
        }
        if (std::uint64_t stamp = 0; PeekLastStamp(file, format, stamp)) lastStamp = stamp;
        if (std::fsetpos(file, &body) != 0) {
            return Unreadable(problem, ReadFailure::ReadError, LastError());
        }
    }

    if (plan.from > 0) {
        // Past the end no sample is complete: the offset stops at the file's size, which every
        // seek takes. A file of no known size cannot be skipped in.
        const auto sampleBytes =
            static_cast<std::uint64_t>(8 + format.valueWidth * format.columnCount);
        const std::uint64_t size = FileSize(file);
        errno = 0;
        const long body = std::ftell(file);  // a header's length: small
        if (size == 0) errno = ESPIPE;
        if (size == 0 || body < 0 ||
            !SeekFile(file, static_cast<std::uint64_t>(body) +
                                std::min(plan.from, size / sampleBytes) * sampleBytes)) {
            return Unreadable(problem, ReadFailure::ReadError, LastError());
        }
    }
    SampleReader reader(file, format);
    // Finding the size costs a system call: asked only when it is of use.
    const std::uint64_t expected = plan.hold || plan.expected ? reader.RemainingSamplesHint() : 0;
    const std::uint64_t reserve = plan.hold ? expected : reader.SamplesPerBlock();
    if (plan.stamps || !plan.times) ReserveMore(into.stamps, reserve);
    if (plan.times) ReserveMore(into.times, reserve);
    ReserveMore(into.rows, reserve);
    const auto read = [&] {
        return plan.times
                   ? reader.ReadBlock(into.times, into.rows, plan.stamps ? &into.stamps : nullptr)
                   : reader.ReadBlock(into.stamps, into.rows);
    };
    std::uint64_t decoded = 0;
    for (std::size_t before = into.rows.size(); read(); before = into.rows.size()) {
        if (into.rows.size() == before) continue;
        decoded += into.rows.size() - before;
        if (!onBlock(WalkBlock{into.header, format, into.stamps, into.times, into.rows, lastStamp,
                               decoded, expected})) {
            return Walk::Stopped;
        }
        if (!plan.hold) {
            into.stamps.clear();
            into.times.clear();
            into.rows.clear();
        }
    }
    // A read error is no end of the file: what came before it is not the whole recording.
    if (const int error = reader.ReadError()) {
        return Unreadable(problem, ReadFailure::ReadError, error);
    }
    if (decoded == 0) return Unreadable(problem, ReadFailure::NoCompleteSample);
    if (problem) *problem = {};
    return Walk::Finished;
}

Walk WalkRecording(const std::filesystem::path& path, const WalkPlan& plan, const WalkInto& into,
                   ReadProblem* problem, const OnWalkBlock& onBlock) {
    const FilePtr file = OpenRecordingFile(path, problem);
    if (!file) return Walk::Unreadable;
    return WalkRecording(file.get(), plan, into, problem, onBlock);
}
