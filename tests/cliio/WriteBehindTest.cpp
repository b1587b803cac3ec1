// Write-behind: a file written in uneven pieces across many windows holds
// exactly its bytes, what lies behind the last two windows has left the
// cache, and a descriptor that cannot be written back in ranges is written
// all the same while a real failure is reported.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/io/WriteBehind.h"
#include "tests/cliio/TestFiles.h"

namespace {

using cliio_test::CScratchFolder;
using cliio_test::ReadAll;

constexpr unsigned long kTmpfsMagic = 0x01021994;

// Pages of `file`'s first `bytes` that are in the page cache.
size_t ResidentPages(const std::string& file, size_t bytes) {
  const int descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return SIZE_MAX;
  void* map = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, descriptor, 0);
  close(descriptor);
  if (map == MAP_FAILED) return SIZE_MAX;
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((bytes + page - 1) / page);
  size_t count = SIZE_MAX;
  if (mincore(map, bytes, resident.data()) == 0) {
    count = 0;
    for (unsigned char flag : resident) count += flag & 1;
  }
  munmap(map, bytes);
  return count;
}

TEST(WriteBehind, AFileWrittenInWindowsKeepsItsBytesAndLeavesTheCacheBehindIt) {
  CScratchFolder folder;
  const std::string file = (folder.path() / "long.obj").string();
  const int descriptor = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(descriptor, 0);
  constexpr uint64_t kWindow = 64 << 10;
  cliio::CWriteBehind behind(kWindow);
  // Pieces of a size prime to the window and the page, so windows end inside them.
  std::string expected;
  for (int piece = 0; piece < 160; ++piece) {
    std::string bytes(7001, char('a' + piece % 26));
    bytes.back() = '\n';
    ASSERT_EQ(write(descriptor, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    int code = 0;
    ASSERT_TRUE(behind.Appended(descriptor, bytes.size(), &code)) << code;
    expected += bytes;
  }
  ASSERT_EQ(fsync(descriptor), 0);
  close(descriptor);
  EXPECT_TRUE(behind.Active());
  // 1.1 MB in 64 KiB windows: all but the last two or three windows dropped.
  EXPECT_GE(behind.Dropped(), expected.size() - 3 * kWindow);
  EXPECT_LE(behind.Dropped(), expected.size());
  struct statfs system;
  ASSERT_EQ(statfs(folder.path().c_str(), &system), 0);
  if (static_cast<unsigned long>(system.f_type) != kTmpfsMagic) {  // tmpfs has no disk to drop pages to
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    EXPECT_EQ(ResidentPages(file, behind.Dropped() / page * page), 0u);
  }
  EXPECT_EQ(ReadAll(file), expected);
}

TEST(WriteBehind, APipeIsWrittenWithoutItAndAFailureOfTheDescriptorIsReported) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  cliio::CWriteBehind behind(4096);
  int code = 0;
  // Ranges of a pipe cannot be written back: nothing is done, nothing fails.
  EXPECT_TRUE(behind.Appended(ends[1], 8192, &code));
  EXPECT_FALSE(behind.Active());
  EXPECT_TRUE(behind.Appended(ends[1], 8192, &code));
  EXPECT_EQ(behind.Dropped(), 0u);
  close(ends[0]);
  close(ends[1]);
  // A descriptor that is not open is an error of the write, not a reason to stop quietly.
  cliio::CWriteBehind closed(4096);
  EXPECT_FALSE(closed.Appended(ends[1], 8192, &code));
  EXPECT_EQ(code, EBADF);
}

}  // namespace
#endif  // __linux__
