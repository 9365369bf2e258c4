// The agent's replacement of the global new and delete: it must keep every
// promise of the standard operators, since all C++ code in the process (the
// standard library, Boost, the plugin) allocates through it.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

// Too large for any system; the size is opaque to the compiler so the call is made.
std::size_t impossibleSize() {
  volatile std::size_t size = ~std::size_t{0} / 2;
  return size;
}

int handlerCalls = 0;

void countingHandler() {
  ++handlerCalls;
  std::set_new_handler(nullptr);  // the next failure throws
}

}  // namespace

TEST(GlobalAllocator, ContainersOfEverySizeKeepTheirContents) {
  std::map<std::string, std::vector<std::string>> tree;
  for (int i = 0; i < 20000; ++i) {
    std::string key = "key " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 300), 'k');
    tree[key].assign(static_cast<std::size_t>(i % 7), std::string(static_cast<std::size_t>(i % 2000), 'v'));
  }
  std::vector<char> large(3 << 20, 'L');
  for (int i = 0; i < 20000; i += 997) {
    const auto& values = tree.at("key " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 300), 'k'));
    ASSERT_EQ(static_cast<std::size_t>(i % 7), values.size());
    for (const std::string& value : values) ASSERT_EQ(std::string(static_cast<std::size_t>(i % 2000), 'v'), value);
  }
  EXPECT_EQ('L', large.back());
  const auto address = reinterpret_cast<std::uintptr_t>(new long double(1.5L));
  EXPECT_EQ(0u, address % alignof(std::max_align_t));
  delete reinterpret_cast<long double*>(address);
}

TEST(GlobalAllocator, FailureThrowsOrGivesNullAfterTheNewHandler) {
  // Called as functions: a new-expression whose result is unused may be left out.
  EXPECT_THROW(static_cast<void>(::operator new[](impossibleSize())), std::bad_alloc);
  EXPECT_EQ(nullptr, ::operator new(impossibleSize(), std::nothrow));
  EXPECT_EQ(nullptr, ::operator new[](impossibleSize(), std::nothrow));
  handlerCalls = 0;
  std::set_new_handler(countingHandler);
  EXPECT_THROW(static_cast<void>(::operator new(impossibleSize())), std::bad_alloc);
  EXPECT_EQ(1, handlerCalls);
  void* empty = ::operator new(0);  // a unique block even for no bytes
  void* other = ::operator new(0);
  EXPECT_NE(nullptr, empty);
  EXPECT_NE(empty, other);
  ::operator delete(empty);
  ::operator delete(other);
}

TEST(GlobalAllocator, BlocksMayBeFreedOnAnotherThread) {
  std::vector<std::string*> made;
  std::thread worker([&made] {
    for (int i = 0; i < 1000; ++i) made.push_back(new std::string(64, 'w'));
  });
  worker.join();
  for (std::string* text : made) {
    ASSERT_EQ(std::string(64, 'w'), *text);
    delete text;
  }
  std::string* reused = new std::string(64, 'm');
  EXPECT_EQ('m', reused->back());
  delete reused;
}
