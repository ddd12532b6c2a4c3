// The worker's small-block heap, with the C runtime behind it as in the worker, or behind a
// counting or a failing allocator where a test needs to see what reaches it.
#include "pdfcontrol/WorkerHeap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

using pdfworker::SmallBlockHeap;

namespace {

int allocations = 0, reallocations = 0, releases = 0;

void* CountedAllocate(size_t size) { return ++allocations, std::malloc(size); }
void* CountedReallocate(void* block, size_t size) { return ++reallocations, std::realloc(block, size); }
void CountedRelease(void* block) { ++releases, std::free(block); }
void* Fail(size_t) { return nullptr; }
void* FailResize(void*, size_t) { return nullptr; }

std::unique_ptr<SmallBlockHeap> CountingHeap(size_t maxBytes = SmallBlockHeap::kMaxBytes) {
  allocations = reallocations = releases = 0;
  return std::make_unique<SmallBlockHeap>(
      pdfworker::BackingAllocator{CountedAllocate, CountedReallocate, CountedRelease}, maxBytes);
}

void Fill(void* block, size_t size, uint8_t seed) {
  for (size_t i = 0; i < size; ++i) static_cast<uint8_t*>(block)[i] = uint8_t(seed + i * 7);
}

bool Holds(const void* block, size_t size, uint8_t seed) {
  for (size_t i = 0; i < size; ++i) {
    if (static_cast<const uint8_t*>(block)[i] != uint8_t(seed + i * 7)) return false;
  }
  return true;
}

TEST(WorkerHeap, ServesEachSizeFromItsClassOrFromBehind) {
  struct Case {
    size_t size;
    bool own;
    size_t blockBytes;  // the class's, for the heap's own blocks
  };
  const Case cases[] = {{0, true, 16},      {1, true, 16},    {16, true, 16},     {17, true, 32},
                        {128, true, 128},   {129, true, 160}, {1000, true, 1024}, {2049, true, 2560},
                        {4096, true, 4096}, {4097, false, 0}, {1 << 20, false, 0}};
  auto heap = CountingHeap();
  std::vector<void*> blocks;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    void* block = heap->Allocate(c.size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(heap->Owns(block), c.own);
    if (c.own) {
      EXPECT_EQ(uintptr_t(block) % 16, 0u);
      EXPECT_EQ(heap->BlockSize(block), c.blockBytes);
    }
    Fill(block, c.size, uint8_t(blocks.size()));
    blocks.push_back(block);
  }
  // Blocks held together do not overlap.
  for (size_t i = 0; i < blocks.size(); ++i) EXPECT_TRUE(Holds(blocks[i], cases[i].size, uint8_t(i))) << i;
  EXPECT_EQ(allocations, 2);
  for (void* block : blocks) heap->Free(block);
  EXPECT_EQ(releases, 2);
}

TEST(WorkerHeap, ReallocationKeepsContentsAndTheBlocksOwner) {
  struct Step {
    size_t size;
    bool own;
    bool kept;          // the same block, for one of the heap's own
    int reallocations;  // reaching the allocator behind, so far
  };
  // A block keeps its place within its class and moves to another class, shrinking too; past
  // the largest class it moves behind, and a block held behind stays there whatever its size,
  // since only that allocator knows its size.
  const Step steps[] = {{1, true, false, 0},      {12, true, true, 0},   {40, true, false, 0},  {300, true, false, 0},
                        {4096, true, false, 0},   {3600, true, true, 0}, {200, true, false, 0}, {9000, false, false, 0},
                        {20000, false, false, 1}, {100, false, false, 2}};
  auto heap = CountingHeap();
  void* block = nullptr;
  size_t size = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.size);
    void* previous = block;
    block = heap->Reallocate(block, step.size);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(Holds(block, std::min(size, step.size), 3));
    EXPECT_EQ(heap->Owns(block), step.own);
    if (step.own) {
      EXPECT_EQ(block == previous, step.kept);
    }
    EXPECT_EQ(reallocations, step.reallocations);
    Fill(block, step.size, 3);
    size = step.size;
  }
  EXPECT_EQ(heap->Reallocate(block, 0), nullptr);
  EXPECT_EQ(releases, 1);
}

TEST(WorkerHeap, HandsForeignBlocksBackAndFailsWithoutCrashing) {
  {
    // A block the runtime made in a function of its own, as strdup's.
    auto heap = CountingHeap();
    char* foreign = static_cast<char*>(std::malloc(6));
    std::strcpy(foreign, "hello");
    EXPECT_FALSE(heap->Owns(foreign));
    foreign = static_cast<char*>(heap->Reallocate(foreign, 64));
    EXPECT_STREQ(foreign, "hello");
    EXPECT_EQ(reallocations, 1);
    void* own = heap->Allocate(64);
    heap->Free(own);
    EXPECT_EQ(releases, 0);
    heap->Free(foreign);
    EXPECT_EQ(releases, 1);
  }
  // One region, and nothing behind it.
  auto heap = std::make_unique<SmallBlockHeap>(pdfworker::BackingAllocator{Fail, FailResize, CountedRelease},
                                               SmallBlockHeap::kRegionBytes);
  std::vector<void*> blocks;
  while (void* block = heap->Allocate(1024)) blocks.push_back(block);
  EXPECT_GT(blocks.size(), SmallBlockHeap::kRegionBytes / 1024 * 9 / 10);
  EXPECT_LE(blocks.size(), SmallBlockHeap::kRegionBytes / 1024);
  EXPECT_EQ(heap->Allocate(8), nullptr);
  Fill(blocks.back(), 1024, 9);
  EXPECT_EQ(heap->Reallocate(blocks.back(), 8000), nullptr);
  EXPECT_TRUE(Holds(blocks.back(), 1024, 9)) << "a block that cannot grow stays as it was";
  EXPECT_EQ(heap->AllocateZeroed(SIZE_MAX / 2, 4), nullptr);
  heap->Free(blocks.back());
  blocks.pop_back();
  void* again = heap->AllocateZeroed(1000, 1);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(static_cast<char*>(again)[999], 0);
}

TEST(WorkerHeap, GivesEmptiedRunsBackAndServesTwoThreads) {
  auto heap = CountingHeap();
  size_t firstReserved = 0;
  for (int round = 0; round < 2; ++round) {
    std::vector<void*> blocks;
    for (size_t i = 0; i < 60000; ++i) blocks.push_back(heap->Allocate(16 + i % 2000));
    for (void* block : blocks) heap->Free(block);
    const SmallBlockHeap::Stats stats = heap->Statistics();
    // Each class keeps one run, and a few spare runs stay committed.
    EXPECT_LE(stats.committedBytes,
              (SmallBlockHeap::kClasses + SmallBlockHeap::kSpareRuns) * SmallBlockHeap::kRunBytes);
    if (round == 0) {
      EXPECT_GT(stats.reservedBytes, SmallBlockHeap::kRegionBytes);
      firstReserved = stats.reservedBytes;
    }
    EXPECT_EQ(stats.reservedBytes, firstReserved) << "the second round takes no new address space";
  }
  std::atomic<int> started{0};
  auto work = [&heap, &started](uint8_t seed) {
    // Both at once, not one after the other.
    for (++started; started < 2;) std::this_thread::yield();
    bool intact = true;
    std::vector<void*> held(64, nullptr);
    for (size_t i = 0; i < 300000; ++i) {
      void*& slot = held[i % held.size()];
      if (slot) {
        intact = intact && Holds(slot, 24, seed);
        heap->Free(slot);
      }
      slot = heap->Allocate(24);  // one class: both threads take from the same runs
      Fill(slot, 24, seed);
    }
    for (void* block : held) heap->Free(block);
    return intact;
  };
  bool first = false, second = false;
  std::thread other([&] { first = work(1); });
  second = work(2);
  other.join();
  EXPECT_TRUE(first && second);
}

}  // namespace
