#include "engine/large_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <exception>

namespace corvane::engine {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Transparent huge pages for the whole 2 MiB pages inside [data, data + size).
// Only advice: where the kernel has none to give, nothing changes.
void advise_huge_pages(void* data, std::size_t size) {
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
  if (end > first) (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace

Bytes reserve_bytes(std::size_t capacity) {
  Bytes bytes;
  try {
    bytes.reserve(capacity);
  } catch (const std::exception&) {
    return bytes;  // too much to reserve at once; the caller grows as it writes
  }
  if (capacity >= 2 * kHugePage) advise_huge_pages(bytes.data(), bytes.capacity());
  return bytes;
}

}  // namespace corvane::engine
