// The rendering worker's small-block heap (see WorkerHeap.h).
#include "pdfcontrol/WorkerHeap.h"

#include <windows.h>

#include <array>
#include <cstring>

namespace pdfworker {

static_assert(sizeof(void*) == 4, "the ownership table covers a 32-bit address space");

namespace {

// Four classes a doubling from 128 on: a block wastes at most a fifth of itself.
constexpr uint16_t kClassBytes[] = {16,  32,  48,  64,  80,  96,   112,  128,  160,  192,  224,  256,  320,  384,
                                    448, 512, 640, 768, 896, 1024, 1280, 1536, 1792, 2048, 2560, 3072, 3584, 4096};

// The class of each size, by 16-byte steps.
constexpr std::array<uint8_t, SmallBlockHeap::kLargest / 16 + 1> kClassOfStep = [] {
  std::array<uint8_t, SmallBlockHeap::kLargest / 16 + 1> table{};
  uint8_t c = 0;
  for (size_t step = 0; step < table.size(); ++step) {
    while (kClassBytes[c] < step * 16) ++c;
    table[step] = c;
  }
  return table;
}();

constexpr uint8_t ClassOf(size_t size) { return kClassOfStep[(size + 15) / 16]; }

struct FreeBlock {
  FreeBlock* next;
};

}  // namespace

static_assert(sizeof kClassBytes / sizeof kClassBytes[0] == SmallBlockHeap::kClasses);
static_assert(kClassBytes[SmallBlockHeap::kClasses - 1] == SmallBlockHeap::kLargest);

// The head of each run, in its first bytes: blocks follow it at a 16-byte boundary.
struct SmallBlockHeap::Run {
  FreeBlock* free;  // blocks given back
  char* fresh;      // blocks never handed out begin here
  char* end;
  Run* next;  // among the runs of its class with room
  Run* prev;
  uint32_t live;
  uint16_t blockBytes;
  uint8_t sizeClass;
  bool listed;
};

class SmallBlockHeap::Lock {
 public:
  explicit Lock(std::atomic_flag& flag) : flag_(flag) {
    while (flag_.test_and_set(std::memory_order_acquire)) SwitchToThread();
  }
  ~Lock() { flag_.clear(std::memory_order_release); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  std::atomic_flag& flag_;
};

void* SmallBlockHeap::Allocate(size_t size) {
  {
    Lock lock(busy_);
    if (size <= kLargest) {
      if (void* block = AllocateLocked(size)) return block;
    }
    // Past the heap's bound its blocks' share of the work is the platform's again.
    ++stats_.passedOn;
  }
  return backing_.allocate(size ? size : 1);
}

void* SmallBlockHeap::AllocateZeroed(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  void* block = Allocate(count * size);
  if (block) std::memset(block, 0, count * size);
  return block;
}

void* SmallBlockHeap::Reallocate(void* block, size_t size) {
  if (!block) return Allocate(size);
  if (size == 0) {
    Free(block);
    return nullptr;
  }
  if (!Owns(block)) {
    // The allocator behind does not say how large its block is: it keeps it.
    {
      Lock lock(busy_);
      ++stats_.passedOn;
    }
    return backing_.reallocate(block, size);
  }
  const size_t old = BlockSize(block);
  if (size <= old && ClassOf(size) == ClassOf(old)) return block;
  void* moved = Allocate(size);
  if (!moved) return nullptr;
  std::memcpy(moved, block, size < old ? size : old);
  Free(block);
  return moved;
}

void SmallBlockHeap::Free(void* block) {
  if (!block) return;
  if (!Owns(block)) {
    backing_.release(block);
    return;
  }
  Lock lock(busy_);
  FreeLocked(block);
}

bool SmallBlockHeap::Owns(const void* block) const { return owned_[uintptr_t(block) >> 16] != 0; }

size_t SmallBlockHeap::BlockSize(const void* block) const {
  const auto* run = reinterpret_cast<const Run*>(uintptr_t(block) & ~uintptr_t(kRunBytes - 1));
  return run->blockBytes;
}

SmallBlockHeap::Stats SmallBlockHeap::Statistics() {
  Lock lock(busy_);
  return stats_;
}

void* SmallBlockHeap::AllocateLocked(size_t size) {
  const uint8_t sizeClass = ClassOf(size);
  Run* run = available_[sizeClass];
  if (!run) {
    run = NewRun(sizeClass);
    if (!run) return nullptr;
  }
  void* block;
  if (run->free) {
    block = run->free;
    run->free = run->free->next;
  } else {
    block = run->fresh;
    run->fresh += run->blockBytes;
  }
  ++run->live;
  if (!run->free && run->fresh + run->blockBytes > run->end) Unlink(run);
  ++stats_.served;
  return block;
}

void SmallBlockHeap::FreeLocked(void* block) {
  auto* run = reinterpret_cast<Run*>(uintptr_t(block) & ~uintptr_t(kRunBytes - 1));
  auto* freed = static_cast<FreeBlock*>(block);
  freed->next = run->free;
  run->free = freed;
  --run->live;
  if (!run->listed) Link(run);
  // The last run of a class with room stays, so that one block made and dropped over and
  // over does not take and give back a run each time.
  if (run->live == 0 && (run->next || run->prev)) RetireRun(run);
}

// A run's 64 KB, committed: an emptied one kept, one given back earlier, or the next of the
// newest region, reserved when it is used up.
char* SmallBlockHeap::TakeRun() {
  if (spare_) {
    Run* run = spare_;
    spare_ = run->next;
    --spareCount_;
    return reinterpret_cast<char*>(run);
  }
  const bool reused = decommittedCount_ > 0;
  char* memory = nullptr;
  if (reused) {
    memory = reinterpret_cast<char*>(uintptr_t(decommitted_[decommittedCount_ - 1]) << 16);
  } else {
    if (regionNext_ == regionEnd_) {
      if (regions_ >= maxRegions_) return nullptr;
      void* region = VirtualAlloc(nullptr, kRegionBytes, MEM_RESERVE, PAGE_NOACCESS);
      if (!region) return nullptr;
      ++regions_;
      stats_.reservedBytes += kRegionBytes;
      regionNext_ = static_cast<char*>(region);
      regionEnd_ = regionNext_ + kRegionBytes;
    }
    memory = regionNext_;
  }
  // Committing fails at the job's memory limit: the caller then hears of no memory.
  if (!VirtualAlloc(memory, kRunBytes, MEM_COMMIT, PAGE_READWRITE)) return nullptr;
  if (reused) {
    --decommittedCount_;
  } else {
    regionNext_ += kRunBytes;
  }
  stats_.committedBytes += kRunBytes;
  return memory;
}

SmallBlockHeap::Run* SmallBlockHeap::NewRun(uint8_t sizeClass) {
  constexpr size_t kHeadBytes = (sizeof(Run) + 15) / 16 * 16;
  char* memory = TakeRun();
  if (!memory) return nullptr;
  auto* run = reinterpret_cast<Run*>(memory);
  run->free = nullptr;
  run->fresh = memory + kHeadBytes;
  run->end = memory + kRunBytes;
  run->next = run->prev = nullptr;
  run->live = 0;
  run->blockBytes = kClassBytes[sizeClass];
  run->sizeClass = sizeClass;
  run->listed = false;
  owned_[uintptr_t(memory) >> 16] = 1;
  Link(run);
  return run;
}

void SmallBlockHeap::RetireRun(Run* run) {
  Unlink(run);
  owned_[uintptr_t(run) >> 16] = 0;
  if (spareCount_ < kSpareRuns) {
    run->next = spare_;
    spare_ = run;
    ++spareCount_;
    return;
  }
  // Given back, but its address space stays the heap's, for a run later.
  VirtualFree(run, kRunBytes, MEM_DECOMMIT);
  stats_.committedBytes -= kRunBytes;
  decommitted_[decommittedCount_++] = uint16_t(uintptr_t(run) >> 16);
}

void SmallBlockHeap::Link(Run* run) {
  Run*& head = available_[run->sizeClass];
  run->prev = nullptr;
  run->next = head;
  if (head) head->prev = run;
  head = run;
  run->listed = true;
}

void SmallBlockHeap::Unlink(Run* run) {
  if (run->prev) {
    run->prev->next = run->next;
  } else {
    available_[run->sizeClass] = run->next;
  }
  if (run->next) run->next->prev = run->prev;
  run->next = run->prev = nullptr;
  run->listed = false;
}

}  // namespace pdfworker
