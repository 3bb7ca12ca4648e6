#include "core/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

#include "core/speed.h"

namespace basin {

namespace {

constexpr std::size_t HUGE_PAGE = std::size_t(2) << 20;
constexpr std::size_t SMALLEST_LARGE = std::size_t(512) << 10;

#if defined(__SANITIZE_ADDRESS__) || !defined(MADV_HUGEPAGE)
constexpr bool HUGE_PAGES = false;
#else
constexpr bool HUGE_PAGES = true;
#endif

// Whether large buffers come in huge pages, decided once, at the first of
// them, so that each is given back the way it was taken.
bool hugePages() {
  static const bool chosen = HUGE_PAGES && speedMeasures().hugePages;
  return chosen;
}

bool fromTheSystem(std::size_t bytes) { return bytes >= SMALLEST_LARGE && hugePages(); }

std::size_t wholePages(std::size_t bytes) {
  return (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
}

// A mapping one huge page longer than asked, trimmed at both ends to the
// aligned block inside it.
void* alignedMapping(std::size_t length) {
  const std::size_t mapped = length + HUGE_PAGE;
  void* const raw =
      mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + HUGE_PAGE - 1) & ~std::uintptr_t(HUGE_PAGE - 1);
  const std::size_t head = aligned - start;
  if (head > 0) munmap(raw, head);
  munmap(reinterpret_cast<void*>(aligned + length), HUGE_PAGE - head);  // never empty
  return reinterpret_cast<void*>(aligned);
}

}  // namespace

void* allocateLarge(std::size_t bytes) {
  if (!fromTheSystem(bytes)) return ::operator new(bytes);
  if (bytes > std::size_t(-1) - 2 * HUGE_PAGE) throw std::bad_alloc();
  const std::size_t length = wholePages(bytes);
  void* const memory = alignedMapping(length);
  // Only a hint: without huge pages the block is ordinary memory.
  madvise(memory, length, MADV_HUGEPAGE);
  return memory;
}

void releaseLarge(void* memory, std::size_t bytes) {
  if (!fromTheSystem(bytes)) return ::operator delete(memory);
  munmap(memory, wholePages(bytes));
}

}  // namespace basin
