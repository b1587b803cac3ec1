// The command's heap keeps a freed large block for the next one. Checked in a
// child process, so that the settings do not reach the other tests.
#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>

#include "cli/HeapReuse.h"

namespace {

#if defined(__GLIBC__)
// Exits 0 when a 64 MB block comes from the heap, not a mapping of its own,
// stays in the heap once freed, and is there for a second block of that size.
[[noreturn]] void AllocateFreeAndReuse() {
  cli::KeepFreedHeapForReuse();
  constexpr size_t kBytes = size_t(64) << 20;
  const struct mallinfo2 before = mallinfo2();
  char* volatile first = static_cast<char*>(malloc(kBytes));
  if (!first) _exit(10);
  memset(first, 1, kBytes);
  const struct mallinfo2 held = mallinfo2();
  if (held.hblkhd != before.hblkhd) _exit(11);  // mapped on its own
  if (held.arena < before.arena + kBytes) _exit(12);
  free(first);
  const struct mallinfo2 freed = mallinfo2();
  if (freed.arena != held.arena) _exit(13);  // given back to the system
  char* volatile second = static_cast<char*>(malloc(kBytes));
  if (!second) _exit(14);
  second[0] = 1;
  if (mallinfo2().arena != held.arena) _exit(15);  // the heap grew again
  free(second);
  _exit(0);
}

TEST(HeapReuse, AFreedLargeBlockStaysForTheNext) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's allocator replaces the C library's";
#endif
  EXPECT_EXIT(AllocateFreeAndReuse(), testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
