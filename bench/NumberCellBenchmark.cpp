// The CSV export's cell formatter against the two ways the C++ library offers to print "%g".
// All three run over the same cells, laid out as an export writes them: rows of a time and three
// values.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "NumberCell.h"
#include "WidenExponent.h"

namespace {

constexpr std::size_t kRows = 16384;

// Times in seconds (0 to 1e5, 0.01 s apart); half the rows an accelerometer's binary32 values
// (about ±20), the other half a location's binary64 latitude, longitude and altitude.
const std::vector<double>& Cells() {
    static const std::vector<double> cells = [] {
        std::mt19937_64 random(7);
        std::normal_distribution<float> axis(0.0f, 4.0f);
        std::uniform_real_distribution<double> drift(-0.05, 0.05);
        std::vector<double> result;
        result.reserve(4 * kRows);
        for (std::size_t row = 0; row < kRows; ++row) {
            result.push_back(static_cast<double>(row * 610 + random() % 610) * 0.01);
            if (row < kRows / 2) {
                result.push_back(static_cast<double>(axis(random)));
                result.push_back(static_cast<double>(axis(random)));
                result.push_back(static_cast<double>(9.81f + axis(random)));
            } else {
                result.push_back(39.9 + drift(random));
                result.push_back(116.4 + drift(random));
                result.push_back(43.0 + 100.0 * drift(random));
            }
        }
        return result;
    }();
    return cells;
}

template <typename Format>
void FormatAll(benchmark::State& state, Format format) {
    const std::vector<double>& cells = Cells();
    // One row's worth of cells at a time, as the CSV writer's line buffer takes them.
    char line[4 * kMaxNumberCellBytes];
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < cells.size(); i += 4) {
            char* out = line;
            for (std::size_t c = 0; c < 4; ++c) out += format(cells[i + c], out);
            bytes += static_cast<std::size_t>(out - line);
            benchmark::DoNotOptimize(line);
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(cells.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_FormatNumberCell(benchmark::State& state) {
    FormatAll(state, [](double value, char* out) { return FormatNumberCell(value, out); });
}
BENCHMARK(BM_FormatNumberCell);

void BM_ToCharsGeneral6(benchmark::State& state) {
    FormatAll(state, [](double value, char* out) {
        const auto result =
            std::to_chars(out, out + kMaxNumberCellBytes, value, std::chars_format::general, 6);
        return WidenExponent(out, static_cast<std::size_t>(result.ptr - out));
    });
}
BENCHMARK(BM_ToCharsGeneral6);

void BM_Snprintf(benchmark::State& state) {
    FormatAll(state, [](double value, char* out) {
        const int length = std::snprintf(out, kMaxNumberCellBytes, "%g", value);
        return WidenExponent(out, static_cast<std::size_t>(length));
    });
}
BENCHMARK(BM_Snprintf);

}  // namespace

BENCHMARK_MAIN();
