// Memory for a large working buffer that is filled before it is read: the
// depth order of a picture's wires, its pixels. Such a buffer is new memory,
// and the system maps new memory in a page at a time as it is first touched;
// at 4 KiB a page that cost as much as drawing a quarter of the wires. Asked
// for 2 MiB pages where the system offers them (Linux's transparent large
// pages), a buffer of megabytes is mapped in a few steps. Elements made
// without a value are left unset, not cleared.
#ifndef TRESSEL_CLI_IO_SCRATCHBUFFER_H
#define TRESSEL_CLI_IO_SCRATCHBUFFER_H

#include <stddef.h>

#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace cliio {

// At least `bytes` bytes from operator new, suitably aligned for any object;
// memory of 2 MiB or more is aligned to and rounded up to whole large pages.
// Never null: throws std::bad_alloc. Freed by FreeScratch.
void* AllocateScratch(size_t bytes);
void FreeScratch(void* memory) noexcept;

template <typename T>
struct CScratchAllocator {
  using value_type = T;
  CScratchAllocator() = default;
  template <typename U>
  CScratchAllocator(const CScratchAllocator<U>&) {}
  T* allocate(size_t count) {
    if (count > size_t(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(AllocateScratch(count * sizeof(T)));
  }
  void deallocate(T* memory, size_t) noexcept { FreeScratch(memory); }
  template <typename U>
  void construct(U* at) {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... TArgs>
  void construct(U* at, TArgs&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<TArgs>(args)...);
  }
  template <typename U>
  bool operator==(const CScratchAllocator<U>&) const { return true; }
  template <typename U>
  bool operator!=(const CScratchAllocator<U>&) const { return false; }
};

template <typename T>
using CScratchVector = std::vector<T, CScratchAllocator<T>>;

}  // namespace cliio

#endif
