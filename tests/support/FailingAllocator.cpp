#include "FailingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocationsLeft{-1};  // negative: never fail
std::atomic<std::size_t> g_failFrom{0};   // 0: no size fails

}  // namespace

void FailAllocationAfter(long successes) {
    g_allocationsLeft = successes;
}

void FailAllocationsOfAtLeast(std::size_t bytes) {
    g_failFrom = bytes;
}

void StopFailingAllocations() {
    g_allocationsLeft = -1;
    g_failFrom = 0;
}

// The array and sized forms of new and delete call these.
void* operator new(std::size_t size) {
    const bool fail = (g_allocationsLeft >= 0 && g_allocationsLeft-- == 0) ||
                      (g_failFrom != 0 && size >= g_failFrom);
    void* block = fail ? nullptr : std::malloc(size);
    if (!block) throw std::bad_alloc();
    return block;
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
