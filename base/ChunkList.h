// CChunkList<T>: an append-only pool handing out elements from fixed-size
// chunks of host memory. Elements stay at fixed addresses until the whole list
// is released (Free or the destructor); they are never returned one by one.
//
// A chunk is one host block: the pointer to the next chunk, then chunkSize
// elements. REQUIRES: chunkSize >= 1 before the first Alloc.
#ifndef TRESSEL_BASE_CHUNKLIST_H
#define TRESSEL_BASE_CHUNKLIST_H

#include <stddef.h>
#include <stdint.h>

#include <type_traits>

#include "plugin/HostMemory.h"

template <typename T>
class CChunkList {
  static_assert(std::is_trivially_copyable<T>::value, "CChunkList holds plain records only");

  struct Chunk {
    Chunk* next;
  };
  // Elements start after the link, aligned for T.
  static constexpr size_t kHeader = (sizeof(Chunk) + alignof(T) - 1) / alignof(T) * alignof(T);
  static T* Elements(Chunk* c) {
    return reinterpret_cast<T*>(reinterpret_cast<char*>(c) + kHeader);
  }

 public:
  Chunk* first = nullptr;
  Chunk* last = nullptr;
  uint32_t chunkSize = 0;
  uint32_t usedInLast = 0;

  CChunkList() = default;
  explicit CChunkList(uint32_t size) : chunkSize(size) {}
  CChunkList(const CChunkList&) = delete;
  CChunkList& operator=(const CChunkList&) = delete;
  ~CChunkList() { Free(); }

  // An uninitialised element, or null when no chunk could be obtained.
  T* Alloc() {
    if (first && usedInLast < chunkSize) return Elements(last) + usedInLast++;
    if (chunkSize == 0) return nullptr;
    if (chunkSize > (SIZE_MAX - kHeader) / sizeof(T)) ThrowMemoryException();
    Chunk* c = static_cast<Chunk*>(MAlloc(kHeader + size_t(chunkSize) * sizeof(T)));
    if (!c) return nullptr;
    c->next = nullptr;
    if (!first) {
      first = c;
    } else {
      last->next = c;
    }
    last = c;
    usedInLast = 0;
    return Elements(last) + usedInLast++;
  }

  // Number of chunks held (for tests and statistics).
  size_t ChunkCount() const {
    size_t n = 0;
    for (Chunk* c = first; c; c = c->next) ++n;
    return n;
  }

  // Releases every chunk; every element handed out becomes invalid.
  void Free() {
    for (Chunk* c = first; c;) {
      Chunk* next = c->next;
      MFree(c);
      c = next;
    }
    first = last = nullptr;
    usedInLast = 0;
  }
};

#endif  // TRESSEL_BASE_CHUNKLIST_H
