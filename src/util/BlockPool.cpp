#include "util/BlockPool.h"

#include <sys/mman.h>

#include <cstdlib>

namespace qz {

namespace {

constexpr std::uint64_t kFromMalloc = ~std::uint64_t{0};
constexpr std::uint64_t kMapped = ~std::uint64_t{0} - 1;
constexpr std::size_t kHeader = BlockPool::kHeader;

std::uint64_t& header(void* block) { return *(static_cast<std::uint64_t*>(block) - 1); }
std::uint64_t header(const void* block) { return *(static_cast<const std::uint64_t*>(block) - 1); }

std::size_t roundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

// `length` bytes of fresh memory starting on a multiple of `alignment`
// (a multiple of the page size), or null.
char* mapAligned(std::size_t length, std::size_t alignment) {
  const std::size_t mapped = length + alignment;
  void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANON, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  char* first = static_cast<char*>(raw);
  char* start = first + (alignment - reinterpret_cast<std::uintptr_t>(first) % alignment) % alignment;
  if (start != first) munmap(first, static_cast<std::size_t>(start - first));
  char* end = start + length;
  if (first + mapped != end) munmap(end, static_cast<std::size_t>(first + mapped - end));
#ifdef MADV_HUGEPAGE
  // One fault then fills 2 MiB instead of 4 KiB; without it nothing changes.
  madvise(start, length, MADV_HUGEPAGE);
#endif
  return start;
}

// Marks a mapping of `length` bytes at `start` as one block.
void* mappedBlock(char* start, std::size_t length) {
  *reinterpret_cast<std::size_t*>(start) = length;
  void* block = start + 2 * kHeader;
  header(block) = kMapped;
  return block;
}

void* allocateFromMalloc(std::size_t size) {
  void* raw = std::malloc(size + 2 * kHeader);
  if (raw == nullptr) return nullptr;
  void* block = static_cast<char*>(raw) + 2 * kHeader;
  *static_cast<std::size_t*>(raw) = size;
  header(block) = kFromMalloc;
  return block;
}

}  // namespace

void* BlockPool::allocateLarge(std::size_t size) {
  return size >= kSmallestMapped ? allocateMapped(size) : allocateFromMalloc(size);
}

// A kept mapping that is large enough, else a new one.
void* BlockPool::allocateMapped(std::size_t size) {
  if (size > ~std::size_t{0} - 2 * kRegionSize) return nullptr;
  const std::size_t length = roundUp(size + 2 * kHeader, kRegionSize);
  for (Mapping& kept : kept_) {
    if (kept.start != nullptr && kept.length >= length) {
      const Mapping reused = kept;
      kept = Mapping{};
      return mappedBlock(reused.start, reused.length);
    }
  }
  char* start = mapAligned(length, kRegionSize);
  return start == nullptr ? nullptr : mappedBlock(start, length);
}

// A new block from the current region, opening a new region when it is used
// up (the few bytes left at its end stay unused).
void* BlockPool::carve(std::size_t sizeClass) {
  const std::size_t blockSize = sizeClass * kAlignment;
  if (regionNext_ == nullptr || static_cast<std::size_t>(regionEnd_ - regionNext_) < blockSize) {
    char* region = mapAligned(kRegionSize, kRegionSize);
    if (region == nullptr) return nullptr;
    // Block headers sit 8 bytes before a 16-byte boundary.
    regionNext_ = region + kAlignment - kHeader;
    regionEnd_ = region + kRegionSize;
  }
  void* block = regionNext_ + kHeader;
  regionNext_ += blockSize;
  headerOf(block) = sizeClass;
  return block;
}

void BlockPool::releaseLarge(void* block) {
  char* start = static_cast<char*>(block) - 2 * kHeader;
  if (header(block) == kFromMalloc) {
    std::free(start);
    return;
  }
  const Mapping freed{start, *reinterpret_cast<std::size_t*>(start)};
  for (Mapping& kept : kept_) {
    if (kept.start == nullptr) {
      kept = freed;
      return;
    }
  }
  munmap(freed.start, freed.length);
}

std::size_t BlockPool::capacity(const void* block) {
  const std::uint64_t kind = header(block);
  const char* start = static_cast<const char*>(block) - 2 * kHeader;
  if (kind == kFromMalloc) return *reinterpret_cast<const std::size_t*>(start);
  if (kind == kMapped) return *reinterpret_cast<const std::size_t*>(start) - 2 * kHeader;
  return kind * kAlignment - kHeader;
}

}  // namespace qz
