// Write-behind for long output files. A file of gigabytes written through the
// page cache holds all of it there as dirty pages until the final flush, and
// every one of those pages is memory the kernel has to find first: on a
// machine whose free memory is handed back to its hypervisor that costs the
// writer about ten times what the copy itself costs, so writing grew faster
// than the file. Written in windows instead, each window's writeback is
// started as soon as it is full, and the window before it (by then mostly on
// disk) is waited for and dropped from the cache; the pages it frees are
// taken again by the next windows. At most two windows are cached at a time,
// the disk works while the writer formats, and the final flush finds little
// left to do. A file shorter than one window is never touched.
#ifndef TRESSEL_CLI_IO_WRITEBEHIND_H
#define TRESSEL_CLI_IO_WRITEBEHIND_H

#include <stddef.h>
#include <stdint.h>

namespace cliio {

class CWriteBehind {
 public:
  static constexpr uint64_t kDefaultWindow = uint64_t(32) << 20;

  // A step of at least `window` bytes (> 0), ending on a page boundary.
  explicit CWriteBehind(uint64_t window = kDefaultWindow) : mWindow(window) {}

  // Notes that `bytes` more were appended to the regular file open at
  // `descriptor` (which was empty when this object began) and starts or
  // finishes a window's writeback when one is due. False with *code (an
  // errno value) when the disk refused bytes already written: the file is not
  // what was written, exactly as a failed write. Where the file cannot be
  // written back in ranges (not Linux, a file system or file kind without
  // it) this does nothing from then on and the final flush does all.
  // REQUIRES: code != nullptr.
  bool Appended(int descriptor, size_t bytes, int* code);

  // Bytes dropped from the cache so far (for the tests).
  uint64_t Dropped() const { return mDropped; }
  bool Active() const { return mActive; }

 private:
  uint64_t mWindow;
  uint64_t mWritten = 0;  // bytes appended
  uint64_t mStarted = 0;  // [mDropped, mStarted) is being written back
  uint64_t mDropped = 0;  // [0, mDropped) is on disk and out of the cache
  bool mActive = true;
};

}  // namespace cliio

#endif  // TRESSEL_CLI_IO_WRITEBEHIND_H
