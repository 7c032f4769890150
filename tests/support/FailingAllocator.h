#pragma once

#include <cstddef>

// Replaces the global operator new for the test program that links FailingAllocator.cpp, so that
// allocations can be made to fail with std::bad_alloc.

// The allocation after `successes` more successful ones fails.
void FailAllocationAfter(long successes);
// Every allocation of at least `bytes` fails, as for a recording too large for memory.
void FailAllocationsOfAtLeast(std::size_t bytes);
void StopFailingAllocations();
