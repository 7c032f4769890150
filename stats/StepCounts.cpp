#include "StepCounts.h"

#include <algorithm>
#include <bit>
#include <utility>
#include <vector>

namespace {

// Steps below 128 have a bin each; above, 128 bins split every power of two.
constexpr int kSubBits = 7;
constexpr std::size_t kBinCount = (64 - kSubBits + 1) << kSubBits;

std::size_t BinOf(std::uint64_t step) {
    const int exponent = static_cast<int>(std::bit_width(step)) - 1;
    if (exponent < kSubBits) return static_cast<std::size_t>(step);
    const int shift = exponent - kSubBits;
    return (static_cast<std::size_t>(shift + 1) << kSubBits) +
           static_cast<std::size_t>((step >> shift) & ((1u << kSubBits) - 1));
}

// The middle of the steps a bin holds.
std::uint64_t MiddleOf(std::size_t bin) {
    if (bin < (1u << kSubBits)) return bin;
    const int shift = static_cast<int>(bin >> kSubBits) - 1;
    const std::uint64_t lowest = ((1ull << kSubBits) + (bin & ((1u << kSubBits) - 1))) << shift;
    return lowest + ((1ull << shift) >> 1);
}

}  // namespace

StepCounts::StepCounts()
    : m_steps(new std::uint64_t[kSlots]()), m_counts(new std::uint64_t[kSlots]()) {}

std::uint64_t& StepCounts::Slot(std::uint64_t step) {
    std::size_t slot = static_cast<std::size_t>((step * 0x9E3779B97F4A7C15ull) >> 51) % kSlots;
    while (m_steps[slot] != 0 && m_steps[slot] != step) slot = (slot + 1) % kSlots;
    if (m_steps[slot] == 0) {
        m_steps[slot] = step;
        ++m_distinct;
    }
    return m_counts[slot];
}

void StepCounts::Add(std::uint64_t step, std::uint64_t count) {
    if (m_bins) {
        m_bins[BinOf(step)] += count;
        return;
    }
    Slot(step) += count;
    if (m_distinct > kExactSteps) SwitchToBins();
}

void StepCounts::SwitchToBins() {
    m_bins.reset(new std::uint64_t[kBinCount]());
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
        if (m_steps[slot] != 0) m_bins[BinOf(m_steps[slot])] += m_counts[slot];
    }
    m_steps.reset();
    m_counts.reset();
}

std::uint64_t StepCounts::Total() const {
    std::uint64_t total = 0;
    if (m_bins) {
        for (std::size_t bin = 0; bin < kBinCount; ++bin) total += m_bins[bin];
    } else {
        for (std::size_t slot = 0; slot < kSlots; ++slot) total += m_counts[slot];
    }
    return total;
}

std::uint64_t StepCounts::Median() const {
    const std::uint64_t total = Total();
    if (total == 0) return 0;
    const std::uint64_t rank = (total - 1) / 2;  // of the lower middle step, from 0
    std::uint64_t below = 0;
    if (m_bins) {
        for (std::size_t bin = 0; bin < kBinCount; ++bin) {
            below += m_bins[bin];
            if (below > rank) return MiddleOf(bin);
        }
        return 0;
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> counts;
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
        if (m_steps[slot] != 0) counts.emplace_back(m_steps[slot], m_counts[slot]);
    }
    std::sort(counts.begin(), counts.end());
    for (const auto& [step, count] : counts) {
        below += count;
        if (below > rank) return step;
    }
    return 0;
}

std::uint64_t StepCounts::CountLongerThan(std::uint64_t limit) const {
    std::uint64_t longer = 0;
    if (m_bins) {
        for (std::size_t bin = 0; bin < kBinCount; ++bin) {
            if (MiddleOf(bin) > limit) longer += m_bins[bin];
        }
    } else {
        for (std::size_t slot = 0; slot < kSlots; ++slot) {
            if (m_steps[slot] > limit) longer += m_counts[slot];
        }
    }
    return longer;
}
