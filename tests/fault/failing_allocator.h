// An allocator that fails on request: the process's malloc, calloc, realloc,
// the aligned forms and C++ operator new are replaced by counting versions
// that hand the call on to the real allocator (the C library's, or the
// address sanitizer's in a sanitized build) unless armed to fail.
#ifndef MORPHEL_TESTS_FAULT_FAILING_ALLOCATOR_H
#define MORPHEL_TESTS_FAULT_FAILING_ALLOCATOR_H

#include <cstddef>

namespace morphel::fault {

// Which allocations count towards the failure point.
enum class FaultModel {
  kEvery,  // every allocation
  kLarge,  // only allocations of kLargeAllocation bytes or more
};
inline constexpr size_t kLargeAllocation = 16 * 1024;

// Arms the allocator: the failAt-th counted allocation from now on fails (0:
// none fails, the allocations are only counted).
void Arm(FaultModel model, long failAt);
// Disarms it; returns how many allocations were counted while armed.
long Disarm();
// Whether the armed failure point was reached (an allocation was refused).
bool FaultHappened();
// Allocations made and not yet freed, over the whole process.
long long LiveAllocations();
// Called at every refused allocation (a debugger's breakpoint).
void OnRefused();

}  // namespace morphel::fault

#endif  // MORPHEL_TESTS_FAULT_FAILING_ALLOCATOR_H
