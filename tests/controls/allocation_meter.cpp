// Replaces the global operator new and delete for the test program: each block carries its
// size in front so that delete can take it off the count.
#include "tests/controls/allocation_meter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_held{0};
std::atomic<std::size_t> g_peak{0};

// Keeps the block after the header aligned for any fundamental type.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) noexcept {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  *reinterpret_cast<std::size_t*>(block) = size;
  const std::size_t held = g_held.fetch_add(size) + size;
  std::size_t peak = g_peak.load();
  while (held > peak && !g_peak.compare_exchange_weak(peak, held)) {
  }
  return block + kHeader;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  g_held.fetch_sub(*reinterpret_cast<std::size_t*>(block));
  std::free(block);
}

void* AllocateOrThrow(std::size_t size) {
  if (void* p = Allocate(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
  return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Release(p);
}

namespace vlt::test {

AllocationMeter::AllocationMeter() : start_(g_held.load()) {
  g_peak.store(start_);
}

std::size_t AllocationMeter::PeakBytes() const {
  return g_peak.load() - start_;
}

}  // namespace vlt::test
