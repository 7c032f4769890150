#pragma once

#include <cstddef>

// Replaces the global operator new for the test program that links FailingAllocator.cpp: it can
// be made to fail, and it counts the bytes in use, to show that a path returns all it took.

// Arms a failure: the allocation after `successes` more successful ones throws std::bad_alloc.
void FailAllocationAfter(long successes);
// Makes every allocation of at least `bytes` fail, as a recording too large for memory does.
void FailAllocationsOfAtLeast(std::size_t bytes);
void StopFailingAllocations();

// Bytes allocated with operator new and not yet deleted.
std::size_t BytesInUse();
