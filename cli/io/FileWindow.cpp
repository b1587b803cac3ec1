#include "cli/io/FileWindow.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <system_error>

namespace cliio {

std::shared_ptr<CFileWindow> CFileWindow::Take(int descriptor, std::string* detail) {
  struct stat status;
  if (::fstat(descriptor, &status) != 0) {
    *detail = std::error_code(errno, std::generic_category()).message();
    ::close(descriptor);
    return nullptr;
  }
  return std::shared_ptr<CFileWindow>(new CFileWindow(descriptor, uint64_t(status.st_size), status.st_mtim));
}

CFileWindow::CFileWindow(int descriptor, uint64_t size, const timespec& modified)
    : mDescriptor(descriptor), mSize(size), mModified(modified) {}

CFileWindow::~CFileWindow() { ::close(mDescriptor); }

const unsigned char* CFileWindow::Refill(uint64_t offset, size_t length) const {
  if (mBytes.empty()) mBytes.resize(kWindowBytes);
  // Start on a page a little before the offset, so that a reader stepping
  // back a few records stays inside.
  constexpr uint64_t kPage = 4096;
  const uint64_t back = offset > kPage ? kPage : 0;
  mStart = (offset - back) / kPage * kPage;
  mFilled = 0;
  while (mFilled < kWindowBytes) {
    const ssize_t got = ::pread(mDescriptor, mBytes.data() + mFilled, kWindowBytes - mFilled, off_t(mStart + mFilled));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    mFilled += size_t(got);
  }
  if (offset + length > mStart + mFilled) {
    // The file ends before bytes the import read: they read as zeros.
    if (offset + length <= mSize) mShort = true;
    std::memset(mBytes.data() + mFilled, 0, kWindowBytes - mFilled);
    mFilled = kWindowBytes;
  }
  return mBytes.data() + (offset - mStart);
}

bool CFileWindow::Changed() const {
  if (mShort) return true;
  struct stat status;
  if (::fstat(mDescriptor, &status) != 0) return true;
  return uint64_t(status.st_size) != mSize || status.st_mtim.tv_sec != mModified.tv_sec ||
         status.st_mtim.tv_nsec != mModified.tv_nsec;
}

}  // namespace cliio
