#pragma once

#include <cstddef>

// Replaces the global operator new for the test program that links FailingAllocator.cpp.
// Arms a failure: the allocation after `successes` more successful ones throws std::bad_alloc.
void FailAllocationAfter(long successes);
// Makes every allocation of at least `bytes` fail, as a recording too large for memory does.
void FailAllocationsOfAtLeast(std::size_t bytes);
void StopFailingAllocations();
