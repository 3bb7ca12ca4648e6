// Memory for the large buffers a frame fills (the picture, the ring of
// solved rows): taken from the system in 2 MiB-aligned blocks marked for
// huge pages, so that the first touch of two megabytes costs one page fault
// rather than 512. A fault is dear (about 10 microseconds each on a virtual
// machine), and a basinshot run would otherwise spend several milliseconds
// of its one frame on them.
//
// Requests under half a megabyte, systems without huge pages and address-
// sanitized builds (whose checks only cover the ordinary heap) get ordinary
// memory. Either way the memory is usable as any allocator's: the standard
// containers value-initialise what they hand out.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace basin {

// `bytes` of memory, aligned for any type; throws std::bad_alloc when the
// system has none. Give it back with releaseLarge and the same size.
void* allocateLarge(std::size_t bytes);
void releaseLarge(void* memory, std::size_t bytes);

// An allocator for std::vector that takes large blocks through allocateLarge.
template <class T>
struct LargeBufferAllocator {
  using value_type = T;

  LargeBufferAllocator() = default;
  template <class U>
  explicit LargeBufferAllocator(const LargeBufferAllocator<U>&) {}

  T* allocate(std::size_t n) {
    if (n > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(allocateLarge(n * sizeof(T)));
  }
  void deallocate(T* memory, std::size_t n) { releaseLarge(memory, n * sizeof(T)); }

  friend bool operator==(const LargeBufferAllocator&, const LargeBufferAllocator&) { return true; }
  friend bool operator!=(const LargeBufferAllocator&, const LargeBufferAllocator&) { return false; }
};

template <class T>
using LargeBuffer = std::vector<T, LargeBufferAllocator<T>>;

}  // namespace basin
