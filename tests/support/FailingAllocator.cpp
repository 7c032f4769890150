#include "FailingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocationsLeft{-1};  // negative: never fail

}  // namespace

void FailAllocationAfter(long successes) {
    g_allocationsLeft = successes;
}
void StopFailingAllocations() {
    g_allocationsLeft = -1;
}

void* operator new(std::size_t size) {
    if (g_allocationsLeft >= 0 && g_allocationsLeft-- == 0) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
