#include "bench/allocations.h"

#include <cstdlib>
#include <new>

namespace {

long COUNT = 0;  // one thread allocates in the programs that link this

}  // namespace

namespace basin {

long allocations() { return COUNT; }

}  // namespace basin

void* operator new(std::size_t size) {
  ++COUNT;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
