#include "bench/allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Any thread may allocate: the row solver's workers start with the first frame.
std::atomic<long> COUNT{0};

}  // namespace

namespace basin {

long allocations() { return COUNT.load(std::memory_order_relaxed); }

}  // namespace basin

void* operator new(std::size_t size) {
  COUNT.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
// The forms that return null rather than throw (std::stable_sort takes its
// buffer so) must come from the same allocator as the deletes below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  COUNT.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
