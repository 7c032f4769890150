#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// How often each positive step between consecutive stamps occurs, in bounded memory: exactly
// while there are at most kExactSteps distinct steps, which covers regular recordings and their
// jitter, and past that in a histogram of 128 bins per power of two, so that the median is off
// by less than 1%.
class StepCounts {
public:
    static constexpr std::size_t kExactSteps = 4096;

    StepCounts();

    // Counts count more steps of this length.
    void Add(std::uint64_t step, std::uint64_t count);

    bool Exact() const { return !m_bins; }
    std::uint64_t Total() const;

    // The middle step, the lower of the two middle ones for an even count; 0 when there are none.
    std::uint64_t Median() const;

    // How many steps are longer than limit.
    std::uint64_t CountLongerThan(std::uint64_t limit) const;

private:
    std::uint64_t& Slot(std::uint64_t step);  // the exact count for step, made if new
    void SwitchToBins();

    static constexpr std::size_t kSlots = 2 * kExactSteps;  // open addressing, at most half full
    std::unique_ptr<std::uint64_t[]> m_steps;               // 0: an empty slot
    std::unique_ptr<std::uint64_t[]> m_counts;
    std::size_t m_distinct = 0;
    std::unique_ptr<std::uint64_t[]> m_bins;  // once there are too many distinct steps
};
