// oscimo._core: the core's reader and health report for Python. The package's Python half shapes
// what this returns into its classes; every byte of a recording is read and judged here.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform.h"
#include "RecordingStats.h"
#include "RecordingWalk.h"
#include "StatsReport.h"
#include "Utf8.h"
#include "Version.h"

namespace py = pybind11;

namespace {

// One array of a read, left uninitialised until written: numpy takes it over as it is.
template <typename T>
struct Column {
    std::unique_ptr<T[]> items;
    std::size_t size = 0, capacity = 0;

    // Room for at least `total` items in all.
    void Reserve(std::size_t total) {
        if (total <= capacity) return;
        auto larger = std::make_unique_for_overwrite<T[]>(total);
        std::copy_n(items.get(), size, larger.get());
        PrepareLargeBlock(larger.get() + size, (total - size) * sizeof(T));
        items = std::move(larger);
        capacity = total;
    }

    // Room for `more` items past the end, which the caller fills.
    T* Extend(std::size_t more) {
        // A file that grows while it is read outgrows what its size promised.
        if (size + more > capacity) Reserve(std::max(size + more, capacity * 2));
        size += more;
        return items.get() + size - more;
    }
};

// What one read gives: the samples from..from+count of a recording, values in their recorded
// width (one of the two columns).
struct Slice {
    std::string header;
    SensorFormat format{};
    Column<std::uint64_t> stamps;
    Column<double> times;
    Column<float> values4;
    Column<double> values8;
    std::uint64_t remaining = 0;  // samples the file's size holds from `from` on
};

template <typename Value>
void Append(const WalkBlock& block, std::size_t take, std::size_t columns, Column<Value>& values) {
    Value* to = values.Extend(take * columns);
    for (std::size_t i = 0; i < take; ++i) {
        // Exact: binary32 values were widened to be decoded.
        for (std::size_t c = 0; c < columns; ++c) {
            *to++ = static_cast<Value>(block.rows[i].values[c]);
        }
    }
}

// Reads with the GIL released: touches no Python object. The problem is set when the file is no
// readable recording; stopping at count is none.
void ReadSlice(const std::string& path, std::uint64_t from, std::uint64_t count,
               std::optional<std::uint64_t> base, Slice& slice, ReadProblem& problem) {
    RecordingWalk walk(std::filesystem::path(path),
                       {.times = false, .stamps = true, .expected = true, .from = from});
    slice.header = walk.Header();
    slice.format = walk.Format();
    slice.remaining = walk.Expected();
    const bool wide = slice.format.valueWidth == 8;
    // Room for what the size promises, as the dialog reserves it.
    const auto promised = static_cast<std::size_t>(std::min(count, walk.Expected()));
    const auto columns = static_cast<std::size_t>(slice.format.columnCount);
    slice.stamps.Reserve(promised);
    slice.times.Reserve(promised);
    if (wide) {
        slice.values8.Reserve(promised * columns);
    } else {
        slice.values4.Reserve(promised * columns);
    }
    for (WalkBlock block; slice.stamps.size < count && walk.Next(block);) {
        // Time(s)'s rule: seconds since the recording's first sample.
        base = base.value_or(block.stamps.front());
        const std::size_t take = static_cast<std::size_t>(
            std::min<std::uint64_t>(count - slice.stamps.size, block.rows.size()));
        std::copy_n(block.stamps.begin(), take, slice.stamps.Extend(take));
        double* times = slice.times.Extend(take);
        for (std::size_t i = 0; i < take; ++i) {
            times[i] = TicksBetween(*base, block.stamps[i]) / slice.format.ticksPerSecond;
        }
        wide ? Append(block, take, columns, slice.values8)
             : Append(block, take, columns, slice.values4);
    }
    problem = walk.Problem();
}

// Hands a column's memory to numpy, which frees it through the capsule: no copy.
template <typename T>
py::array Give(Column<T>& column, std::vector<py::ssize_t> shape) {
    T* items = column.items.release();
    const py::capsule free(items, [](void* p) { delete[] static_cast<T*>(p); });
    return py::array_t<T>(std::move(shape), items, free);
}

// I/O failures become OSError with errno and filename, the rest RecordingError; both carry the
// converter's reason.
[[noreturn]] void Raise(const ReadProblem& problem, const std::string& path) {
    const std::string reason = DescribeReadProblem(problem);
    const py::object filename = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<py::ssize_t>(path.size())));
    const bool system = problem.failure == ReadFailure::CannotOpen ||
                        problem.failure == ReadFailure::ReadError ||
                        problem.failure == ReadFailure::HeaderReadError;
    const py::object type = system ? py::reinterpret_borrow<py::object>(PyExc_OSError)
                                   : py::module_::import("oscimo._core").attr("RecordingError");
    // OSError(errno, text, filename) picks its subclass (FileNotFoundError, ...) itself.
    const py::object error = system ? type(problem.systemError, reason, filename) : type(reason);
    if (!system) error.attr("filename") = filename;
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

py::tuple Read(const std::string& path, std::uint64_t from, std::optional<std::uint64_t> count,
               std::optional<std::uint64_t> base) {
    Slice slice;
    ReadProblem problem;
    {
        const py::gil_scoped_release unlocked;
        ReadSlice(path, from, count.value_or(std::numeric_limits<std::uint64_t>::max()), base,
                  slice, problem);
    }
    if (problem.failure != ReadFailure::None) Raise(problem, path);
    const auto samples = static_cast<py::ssize_t>(slice.stamps.size);
    const py::ssize_t columns = slice.format.columnCount;
    py::array values = slice.format.valueWidth == 8 ? Give(slice.values8, {samples, columns})
                                                    : Give(slice.values4, {samples, columns});
    return py::make_tuple(Utf8FromWide(WideFromNarrow(slice.header)), StampUnit(slice.format),
                          Give(slice.stamps, {samples}), Give(slice.times, {samples}),
                          std::move(values), slice.remaining);
}

// The converter's --stats --json line for the recording, named as given.
std::string StatsJson(const std::string& path) {
    std::string header;
    std::optional<RecordingStats> stats;
    ReadProblem problem;
    {
        const py::gil_scoped_release unlocked;
        RecordingWalk walk(std::filesystem::path(path), {.times = false, .stamps = true});
        if (walk.Opened()) stats.emplace(walk.Format());
        for (WalkBlock block; walk.Next(block);) {
            stats->Add(block.stamps.data(), block.rows.data(), block.rows.size());
        }
        header = walk.Header();
        problem = walk.Problem();
    }
    if (problem.failure != ReadFailure::None) Raise(problem, path);
    return FormatStatsJson(path, Utf8FromWide(WideFromNarrow(header)), *stats);
}

}  // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The recording reader and health report of oscimo2csv.";
    m.attr("__version__") = OSCIMO_VERSION_STRING;
    m.attr("RecordingError") = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
        "oscimo.RecordingError", "A file that is no readable recording, with the reason.",
        PyExc_ValueError, nullptr));
    // Paths arrive as os.fsencode gives them: the bytes the converter's command line takes. They
    // become paths whole, an embedded NUL included, which the reader then refuses.
    m.def("read", &Read, py::arg("path"), py::arg("start") = 0, py::arg("count") = py::none(),
          py::arg("base") = py::none(),
          "Samples start..start+count of a recording, times since base (default its first "
          "stamp): (header, unit, stamps, times, values, samples the size holds from start).");
    m.def("stats_json", &StatsJson, py::arg("path"),
          "The health report as oscimo2csv --stats --json writes it.");
}
