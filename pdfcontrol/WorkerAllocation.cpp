// The rendering worker's allocation functions: C's malloc family and C++'s operator new and
// delete family, which Poppler, FreeType and the worker's own code call, are served by the
// small-block heap (WorkerHeap.h). Linked into the worker alone.
//
// Blocks that the C runtime makes inside its own functions (strdup, stdio buffers) are freed
// through these functions too: the heap knows its own blocks and hands the others back to the
// runtime's free. The worker runs its requests on one thread; the heap locks all the same.
#include "pdfcontrol/WorkerHeap.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

using Malloc = void*(__cdecl*)(size_t);
using Realloc = void*(__cdecl*)(void*, size_t);
using Free = void(__cdecl*)(void*);
using AlignedMalloc = void*(__cdecl*)(size_t, size_t);

// The runtime's own functions, looked up on first use: a replaced name no longer leads there.
template <typename F>
F Runtime(const char* name) {
  static HMODULE runtime = nullptr;
  if (!runtime) runtime = GetModuleHandleW(L"msvcrt.dll");
  return runtime ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(runtime, name))) : nullptr;
}

void* RuntimeMalloc(size_t size) {
  static Malloc f = nullptr;
  if (!f) f = Runtime<Malloc>("malloc");
  return f ? f(size) : nullptr;
}

void* RuntimeRealloc(void* block, size_t size) {
  static Realloc f = nullptr;
  if (!f) f = Runtime<Realloc>("realloc");
  return f ? f(block, size) : nullptr;
}

void RuntimeFree(void* block) {
  static Free f = nullptr;
  if (!f) f = Runtime<Free>("free");
  if (f) f(block);
}

// Constant-initialized: the runtime's start-up allocates before any constructor runs, and
// blocks freed after the last destructor still find it.
constinit pdfworker::SmallBlockHeap heap({RuntimeMalloc, RuntimeRealloc, RuntimeFree},
                                         pdfworker::SmallBlockHeap::kMaxBytes);

// Alignments above what every block has go to the runtime's aligned functions, and come back
// there by the alignment that their delete is given.
constexpr size_t kBlockAlignment = 16;

void* AlignedAllocate(size_t size, size_t alignment) {
  static AlignedMalloc f = nullptr;
  if (!f) f = Runtime<AlignedMalloc>("_aligned_malloc");
  return f ? f(size ? size : 1, alignment) : nullptr;
}

void AlignedFree(void* block) {
  static Free f = nullptr;
  if (!f) f = Runtime<Free>("_aligned_free");
  if (f && block) f(block);
}

void* Allocate(size_t size, size_t alignment) {
  return alignment <= kBlockAlignment ? heap.Allocate(size) : AlignedAllocate(size, alignment);
}

void Release(void* block, size_t alignment) {
  if (alignment <= kBlockAlignment) {
    heap.Free(block);
  } else {
    AlignedFree(block);
  }
}

// As the standard's operator new: the new-handler is asked for memory until it gives up.
void* AllocateOrThrow(size_t size, size_t alignment) {
  for (;;) {
    if (void* block = Allocate(size, alignment)) return block;
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* AllocateOrNull(size_t size, size_t alignment) noexcept {
  try {
    return AllocateOrThrow(size, alignment);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

extern "C" {

void* __cdecl malloc(size_t size) { return heap.Allocate(size); }
void* __cdecl calloc(size_t count, size_t size) { return heap.AllocateZeroed(count, size); }
void* __cdecl realloc(void* block, size_t size) { return heap.Reallocate(block, size); }
void __cdecl free(void* block) { heap.Free(block); }

}  // extern "C"

void* operator new(size_t size) { return AllocateOrThrow(size, 0); }
void* operator new[](size_t size) { return AllocateOrThrow(size, 0); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size, 0); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size, 0); }
void* operator new(size_t size, std::align_val_t a) { return AllocateOrThrow(size, size_t(a)); }
void* operator new[](size_t size, std::align_val_t a) { return AllocateOrThrow(size, size_t(a)); }
void* operator new(size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, size_t(a));
}
void* operator new[](size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, size_t(a));
}

void operator delete(void* block) noexcept { Release(block, 0); }
void operator delete[](void* block) noexcept { Release(block, 0); }
void operator delete(void* block, size_t) noexcept { Release(block, 0); }
void operator delete[](void* block, size_t) noexcept { Release(block, 0); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block, 0); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block, 0); }
void operator delete(void* block, std::align_val_t a) noexcept { Release(block, size_t(a)); }
void operator delete[](void* block, std::align_val_t a) noexcept { Release(block, size_t(a)); }
void operator delete(void* block, size_t, std::align_val_t a) noexcept { Release(block, size_t(a)); }
void operator delete[](void* block, size_t, std::align_val_t a) noexcept { Release(block, size_t(a)); }
void operator delete(void* block, std::align_val_t a, const std::nothrow_t&) noexcept { Release(block, size_t(a)); }
void operator delete[](void* block, std::align_val_t a, const std::nothrow_t&) noexcept { Release(block, size_t(a)); }
