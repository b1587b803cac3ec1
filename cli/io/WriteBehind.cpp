// Write-behind through sync_file_range(2) and posix_fadvise(2). Cost: three
// system calls a window (32 MiB by default), and the wait for a window's
// writeback one window later, which the disk has mostly done by then.
#include "cli/io/WriteBehind.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace cliio {

#if defined(__linux__)

namespace {

// The errors that say ranges cannot be written back here (rather than that
// the disk failed): the caller goes on without write-behind.
bool Unsupported(int code) { return code == EINVAL || code == ESPIPE || code == ENOSYS || code == EOPNOTSUPP; }

}  // namespace

bool CWriteBehind::Appended(int descriptor, size_t bytes, int* code) {
  mWritten += bytes;
  if (!mActive || mWritten - mStarted < mWindow) return true;
  // Windows end on a page: the cache drops only whole pages, and a page
  // split between two windows would stay in it.
  static const uint64_t page = uint64_t(sysconf(_SC_PAGESIZE));
  const uint64_t end = mWritten / page * page;
  if (end <= mStarted) return true;  // a window shorter than a page
  // The full window goes to the disk now, without waiting for it.
  if (sync_file_range(descriptor, off64_t(mStarted), off64_t(end - mStarted), SYNC_FILE_RANGE_WRITE) != 0) {
    if (Unsupported(errno)) {
      mActive = false;
      return true;
    }
    *code = errno;
    return false;
  }
  // The window before it: waited for (an error of the disk is reported here,
  // and only once, so it is the caller's) and dropped from the cache.
  if (mStarted > mDropped) {
    const unsigned flags = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (sync_file_range(descriptor, off64_t(mDropped), off64_t(mStarted - mDropped), flags) != 0) {
      *code = errno;
      return false;
    }
    // Only advice: a file system that keeps the pages keeps them.
    posix_fadvise(descriptor, off_t(mDropped), off_t(mStarted - mDropped), POSIX_FADV_DONTNEED);
    mDropped = mStarted;
  }
  mStarted = end;
  return true;
}

#else

bool CWriteBehind::Appended(int, size_t bytes, int*) {
  mWritten += bytes;
  mActive = false;
  return true;
}

#endif

}  // namespace cliio
