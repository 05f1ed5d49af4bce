#pragma once
// Bytes this process holds through operator new, and the most it held since a meter was made:
// for tests that bound what an operation allocates. Counts every thread's allocations.
#include <cstddef>

namespace vlt::test {

class AllocationMeter {
 public:
  AllocationMeter();
  // The most held at once since construction, beyond what was held at construction.
  std::size_t PeakBytes() const;

 private:
  std::size_t start_;
};

}  // namespace vlt::test
