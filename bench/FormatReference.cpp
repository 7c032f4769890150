// What a build's instruction set costs number formatting, apart from our code: the toolchain's
// own std::to_chars writing a million values to six significant digits, as our cells have them.
// Prints the least nanoseconds per value over a few rounds.
//   format_reference
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

int main() {
    std::vector<double> values;
    for (int i = 0; i < 1'000'000; ++i) {
        values.push_back(std::sin(i * 0.37) * std::pow(10.0, i % 7 - 2));  // 1e-2 to 1e4
    }
    char text[32];
    std::size_t written = 0;
    double least = INFINITY;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (const double value : values) {
            const auto end =
                std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
            written += static_cast<std::size_t>(end.ptr - text);
        }
        const std::chrono::duration<double, std::nano> spent =
            std::chrono::steady_clock::now() - start;
        least = std::min(least, spent.count() / static_cast<double>(values.size()));
    }
    std::printf("ns_per_value %.2f bytes %zu\n", least, written);
    return 0;
}
