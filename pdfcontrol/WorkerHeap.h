// The rendering worker's small-block heap. Reading a page's text makes and drops tens of
// thousands of blocks of a few dozen bytes, and Wine's process heap, which has no
// low-fragmentation front end, spends more time on them than Poppler spends reading. Here a
// block up to kLargest bytes comes from a free list of its size class, in runs of 64 KB taken
// from the platform; larger blocks, and every block once the heap may take no more address
// space, come from the allocator behind it (the C runtime's), and a block that is not its own
// goes back there. WorkerAllocation.cpp makes it the worker's malloc and operator new.
//
// Bounds: at most maxBytes of address space in runs, committed only while runs hold blocks
// (and a few spare runs): freed runs are given back, so the worker's caches' budgets and its
// job's memory limit still hold; a request that neither the heap nor the allocator behind it
// can serve answers nullptr. Thread-safe: every call holds one short lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace pdfworker {

// The allocator behind the heap.
struct BackingAllocator {
  void* (*allocate)(size_t size);
  void* (*reallocate)(void* block, size_t size);
  void (*release)(void* block);
};

class SmallBlockHeap {
 public:
  static constexpr size_t kLargest = 4096;
  static constexpr size_t kRunBytes = size_t(64) << 10;
  static constexpr size_t kRegionBytes = size_t(4) << 20;  // address space reserved at a time
  static constexpr size_t kMaxBytes = size_t(1) << 30;
  static constexpr size_t kClasses = 28;
  static constexpr size_t kSpareRuns = 32;  // emptied runs kept committed, for the next page

  struct Stats {
    uint64_t served = 0;    // blocks handed out from runs
    uint64_t passedOn = 0;  // requests sent to the allocator behind
    size_t committedBytes = 0;
    size_t reservedBytes = 0;
  };

  // maxBytes is rounded down to whole regions and is at most kMaxBytes. Constant, so that a
  // heap made at namespace scope serves the runtime's first calls, before any constructor.
  constexpr SmallBlockHeap(BackingAllocator backing, size_t maxBytes)
      : backing_(backing), maxRegions_((maxBytes < kMaxBytes ? maxBytes : kMaxBytes) / kRegionBytes) {}
  SmallBlockHeap(const SmallBlockHeap&) = delete;
  SmallBlockHeap& operator=(const SmallBlockHeap&) = delete;

  // As malloc: at least one byte, 16-byte aligned from the runs; nullptr on failure.
  void* Allocate(size_t size);
  // As calloc: nullptr when count * size overflows.
  void* AllocateZeroed(size_t count, size_t size);
  // As realloc: a size of 0 frees the block and answers nullptr; on failure the block stays.
  void* Reallocate(void* block, size_t size);
  void Free(void* block);
  bool Owns(const void* block) const;
  // The usable size of a block of the heap's own.
  size_t BlockSize(const void* block) const;
  Stats Statistics();

 private:
  struct Run;
  class Lock;
  void* AllocateLocked(size_t size);
  void FreeLocked(void* block);
  char* TakeRun();
  Run* NewRun(uint8_t sizeClass);
  void RetireRun(Run* run);
  void Link(Run* run);
  void Unlink(Run* run);

  static constexpr size_t kMaxRuns = kMaxBytes / kRunBytes;

  BackingAllocator backing_;
  size_t maxRegions_;
  std::atomic_flag busy_;
  Run* available_[kClasses] = {};  // runs with room, by size class
  Run* spare_ = nullptr;           // emptied runs still committed
  size_t spareCount_ = 0;
  uint16_t decommitted_[kMaxRuns] = {};  // emptied runs given back, by 64 KB slot
  size_t decommittedCount_ = 0;
  char* regionNext_ = nullptr;  // runs never used yet, in the newest region
  char* regionEnd_ = nullptr;
  size_t regions_ = 0;
  Stats stats_;
  // Per 64 KB of the 32-bit address space: 1 where a run of the heap's holds blocks.
  uint8_t owned_[size_t(1) << 16] = {};
};

}  // namespace pdfworker
