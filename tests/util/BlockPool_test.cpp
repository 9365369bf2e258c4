// The pool must hand out aligned, non-overlapping blocks of at least the size
// asked for, reuse freed blocks of the same size, and take back blocks of
// every kind (pooled, from malloc, mapped) without their size.
#include "util/BlockPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

namespace {

bool aligned(const void* block) { return reinterpret_cast<std::uintptr_t>(block) % qz::BlockPool::kAlignment == 0; }

}  // namespace

TEST(BlockPool, BlocksOfEverySizeAreAlignedLargeEnoughAndDisjoint) {
  qz::BlockPool pool;
  std::vector<std::pair<unsigned char*, std::size_t>> blocks;
  const std::size_t sizes[] = {1, 7, 8, 9, 15, 16, 17, 24, 40, 72, 100, 1023, 1024, 1025, 4096,
                               qz::BlockPool::kSmallestMapped - 1, qz::BlockPool::kSmallestMapped, 3 << 20};
  for (std::size_t size : sizes) {
    auto* block = static_cast<unsigned char*>(pool.allocate(size));
    ASSERT_NE(nullptr, block) << size;
    EXPECT_TRUE(aligned(block)) << size;
    EXPECT_GE(qz::BlockPool::capacity(block), size);
    std::memset(block, static_cast<int>(size & 0xFF), size);
    blocks.emplace_back(block, size);
  }
  // Filling each block whole must not have touched any other block.
  for (const auto& [block, size] : blocks) {
    EXPECT_EQ(static_cast<unsigned char>(size & 0xFF), block[0]) << size;
    EXPECT_EQ(static_cast<unsigned char>(size & 0xFF), block[size - 1]) << size;
  }
  for (const auto& entry : blocks) pool.deallocate(entry.first);
}

TEST(BlockPool, FreedBlocksAreReusedForTheSameSizeOnly) {
  qz::BlockPool pool;
  void* first = pool.allocate(40);
  void* second = pool.allocate(40);
  pool.deallocate(first);
  EXPECT_NE(first, pool.allocate(200));  // another size class
  EXPECT_EQ(first, pool.allocate(33));   // the same 48-byte class
  pool.deallocate(second);
  pool.deallocate(nullptr);
}

TEST(BlockPool, ManyBlocksSpanSeveralRegionsWithoutOverlap) {
  qz::BlockPool pool;
  const std::size_t count = 3 * qz::BlockPool::kRegionSize / 64;
  std::vector<std::uint32_t*> blocks;
  for (std::size_t i = 0; i < count; ++i) {
    auto* block = static_cast<std::uint32_t*>(pool.allocate(48));
    ASSERT_NE(nullptr, block);
    *block = static_cast<std::uint32_t>(i);
    blocks.push_back(block);
  }
  for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(i, *blocks[i]);
  EXPECT_EQ(count, std::set<std::uint32_t*>(blocks.begin(), blocks.end()).size());
  for (std::uint32_t* block : blocks) pool.deallocate(block);
}

TEST(BlockPool, BlocksMayBeFreedThroughAnotherPool) {
  qz::BlockPool owner;
  qz::BlockPool other;
  void* block = owner.allocate(24);
  other.deallocate(block);
  EXPECT_EQ(block, other.allocate(24));
  other.deallocate(block);
}

TEST(BlockPool, ImpossibleSizesGiveNull) {
  qz::BlockPool pool;
  EXPECT_EQ(nullptr, pool.allocate(~std::size_t{0}));
  EXPECT_EQ(nullptr, pool.allocate(~std::size_t{0} - qz::BlockPool::kRegionSize));
}

TEST(BlockPool, FreedMappingsAreKeptForTheNextLargeBlockThatFits) {
  qz::BlockPool pool;
  void* file = pool.allocate(3 << 20);  // a 4 MiB mapping
  static_cast<char*>(file)[(3 << 20) - 1] = 'x';
  pool.deallocate(file);
  void* larger = pool.allocate(5 << 20);
  EXPECT_NE(file, larger);
  void* list = pool.allocate(qz::BlockPool::kSmallestMapped);
  EXPECT_EQ(file, list);
  EXPECT_GE(qz::BlockPool::capacity(list), std::size_t{3} << 20);
  pool.deallocate(list);
  pool.deallocate(larger);
}
