// A mesh file read again while the run needs it, through a small window of
// its bytes, instead of copied whole into memory: a binary STL soup's
// positions and normals are the file's records as they stand, so the host
// serves them from there and a million triangles cost 256 KB, not 48 MB.
//
// The window is taken over from the descriptor the import read the file
// through, so a file renamed or replaced meanwhile is still the one read.
// A file changed in place (another size or modification time, or a read that
// fails or comes short) is noticed: Changed() says so and the bytes it no
// longer holds read as zeros, never as something else or a crash. Reading is
// constant time while it moves forward (the usual order: vertex after vertex),
// one read call per window otherwise. Not for use from two threads at once.
#ifndef TRESSEL_CLI_IO_FILEWINDOW_H
#define TRESSEL_CLI_IO_FILEWINDOW_H

#include <stddef.h>
#include <stdint.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

namespace cliio {

class CFileWindow {
 public:
  static constexpr size_t kWindowBytes = 256 * 1024;

  // Takes `descriptor` (closed with the window). Null, with *detail set, when
  // the file's size cannot be learnt.
  static std::shared_ptr<CFileWindow> Take(int descriptor, std::string* detail);
  ~CFileWindow();
  CFileWindow(const CFileWindow&) = delete;
  CFileWindow& operator=(const CFileWindow&) = delete;

  // The `length` bytes at `offset`, valid until the next call of At.
  // REQUIRES: length <= kWindowBytes / 2.
  const unsigned char* At(uint64_t offset, size_t length) const {
    if (offset >= mStart && offset + length <= mStart + mFilled) return mBytes.data() + (offset - mStart);
    return Refill(offset, length);
  }
  uint64_t Size() const { return mSize; }
  // Whether the file is no longer what the import read: a read came short or
  // failed, or its size or modification time differs now.
  bool Changed() const;

 private:
  CFileWindow(int descriptor, uint64_t size, const timespec& modified);
  const unsigned char* Refill(uint64_t offset, size_t length) const;

  int mDescriptor;
  uint64_t mSize;
  timespec mModified;
  mutable std::vector<unsigned char> mBytes;
  mutable uint64_t mStart = 0;
  mutable size_t mFilled = 0;
  mutable bool mShort = false;
};

}  // namespace cliio

#endif
