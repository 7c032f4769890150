#include "FailingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocationsLeft{-1};  // negative: never fail
std::atomic<std::size_t> g_failFrom{0};   // 0: no size fails
std::atomic<std::size_t> g_inUse{0};

// Each block carries its size in front, aligned as operator new must align.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
    if (g_allocationsLeft >= 0 && g_allocationsLeft-- == 0) throw std::bad_alloc();
    if (g_failFrom != 0 && size >= g_failFrom) throw std::bad_alloc();
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    g_inUse += size;
    return block + kHeader;
}

void Release(void* pointer) noexcept {
    if (!pointer) return;
    unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
    g_inUse -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}

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

std::size_t BytesInUse() {
    return g_inUse;
}

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* block) noexcept {
    Release(block);
}
void operator delete[](void* block) noexcept {
    Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Release(block);
}
