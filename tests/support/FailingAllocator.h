#pragma once

// Replaces the global operator new for the test program that links FailingAllocator.cpp.
// Arms a failure: the allocation after `successes` more successful ones throws std::bad_alloc.
void FailAllocationAfter(long successes);
void StopFailingAllocations();
