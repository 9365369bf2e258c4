// Every `new` and `delete` of the agent goes through a block pool (one per
// thread): a run builds and frees trees of a few hundred thousand small
// blocks, which the pool serves far faster than malloc does. Memory from C
// code (malloc) and over-aligned `new` is untouched.
#include "util/BlockPool.h"

#include <new>

namespace {

thread_local qz::BlockPool pool;

void* allocateOrThrow(std::size_t size) {
  for (;;) {
    if (void* block = pool.allocate(size == 0 ? 1 : size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* allocateOrNull(std::size_t size) noexcept {
  try {
    return allocateOrThrow(size);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }

void operator delete(void* block) noexcept { pool.deallocate(block); }
void operator delete[](void* block) noexcept { pool.deallocate(block); }
void operator delete(void* block, std::size_t) noexcept { pool.deallocate(block); }
void operator delete[](void* block, std::size_t) noexcept { pool.deallocate(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { pool.deallocate(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { pool.deallocate(block); }
