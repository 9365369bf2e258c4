// A memory pool for the many small blocks of a large property-list tree.
//
// A report of five thousand applications becomes a few hundred thousand map
// nodes, value holders and strings, allocated one by one and freed together.
// General-purpose allocators spend a third of such a run merging and
// splitting free chunks. This pool instead cuts blocks of a few fixed sizes
// from large mapped regions and keeps every freed block on a list for its
// size, so allocating and freeing are a handful of instructions each.
//
// - Small blocks (up to kLargestPooled bytes) come from 2 MiB regions that are
//   never returned to the system; on Linux the regions are marked for huge
//   pages, which saves hundreds of page faults per megabyte.
// - Blocks from kLargestPooled up to kSmallestMapped bytes come from malloc.
// - Larger blocks (a whole collected file read into memory, a long list) are
//   mapped on their own, in whole regions with huge pages where the system
//   offers them. A freed mapping is kept for the next large block that fits
//   (up to kKeptMappings of them), since fresh memory must first be cleared
//   by the system; more are unmapped.
//
// Every block carries an 8-byte header with its kind, so a block can be
// freed without its size. Blocks are aligned to 16 bytes. A pool is not
// synchronised: give each thread its own (a block may be freed through any
// pool, as regions are never unmapped).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

class BlockPool {
 public:
  static constexpr std::size_t kAlignment = 16;
  static constexpr std::size_t kLargestPooled = 1024;
  static constexpr std::size_t kSmallestMapped = std::size_t{256} << 10;
  static constexpr std::size_t kRegionSize = std::size_t{2} << 20;
  static constexpr std::size_t kKeptMappings = 2;
  // The header word before each block: its size class, or one of two
  // markers above every class for blocks from malloc or mapped on their own.
  static constexpr std::size_t kHeader = 8;

  constexpr BlockPool() = default;

  // A block of at least `size` bytes, or null when the system has no memory.
  void* allocate(std::size_t size) {
    if (size <= kLargestPooled) {
      const std::size_t sizeClass = (size + kHeader + kAlignment - 1) / kAlignment;
      if (void* block = freeLists_[sizeClass]) {
        freeLists_[sizeClass] = *static_cast<void**>(block);
        headerOf(block) = sizeClass;
        return block;
      }
      return carve(sizeClass);
    }
    return allocateLarge(size);
  }

  // Returns a block of any pool (or null, which is ignored).
  void deallocate(void* block) {
    if (block == nullptr) return;
    const std::uint64_t sizeClass = headerOf(block);
    if (sizeClass >= kClasses) return releaseLarge(block);
    *static_cast<void**>(block) = freeLists_[sizeClass];
    freeLists_[sizeClass] = block;
  }

  // The usable bytes of a block, at least the size it was asked for.
  static std::size_t capacity(const void* block);

 private:
  static constexpr std::size_t kClasses = (kLargestPooled + kHeader + kAlignment - 1) / kAlignment + 1;

  static std::uint64_t& headerOf(void* block) { return *(static_cast<std::uint64_t*>(block) - 1); }

  struct Mapping {
    char* start;
    std::size_t length;
  };

  void* carve(std::size_t sizeClass);
  void* allocateLarge(std::size_t size);
  void* allocateMapped(std::size_t size);
  void releaseLarge(void* block);

  void* freeLists_[kClasses] = {};
  Mapping kept_[kKeptMappings] = {};
  char* regionNext_ = nullptr;
  char* regionEnd_ = nullptr;
};

}  // namespace qz
