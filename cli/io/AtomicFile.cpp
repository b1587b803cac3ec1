// Writes a file through a temporary sibling and a rename, so that a failure at
// any step (open, write, flush, rename) leaves the destination untouched. The
// sibling lives in the destination's folder because a rename is only atomic
// within one file system. Cost: one write and one fsync of the bytes.
#include "cli/io/AtomicFile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace cliio {

namespace {

bool Fail(const std::filesystem::path& file, const std::string& what, int code, std::string* error) {
  *error = file.string() + ": " + what + (code ? std::string(" (") + strerror(code) + ")" : std::string());
  return false;
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);  // the command runs on one thread; reading the mask means setting it
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes, std::string* error) {
  if (file.filename().empty()) return Fail(file, "is not a file name", 0, error);
  struct stat existing;
  mode_t mode = NewFileMode();
  if (stat(file.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return Fail(file, "cannot be written: a folder is in the way", 0, error);
    mode = existing.st_mode & 07777;
  }
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  std::string pattern = (folder / ("." + file.filename().string() + ".tmp-XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int descriptor = mkstemp(name.data());
  if (descriptor < 0) return Fail(file, "cannot be written", errno, error);
  const std::string temporary(name.data());
  auto abandon = [&](const std::string& what, int code) {
    close(descriptor);
    unlink(temporary.c_str());
    return Fail(file, what, code, error);
  };

  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = write(descriptor, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return abandon("could not be written completely", count < 0 ? errno : EIO);
    written += static_cast<size_t>(count);
  }
  if (fchmod(descriptor, mode) != 0) return abandon("cannot be given its permissions", errno);
  if (fsync(descriptor) != 0) return abandon("could not be flushed to disk", errno);
  if (close(descriptor) != 0) {
    const int code = errno;
    unlink(temporary.c_str());
    return Fail(file, "could not be written completely", code, error);
  }
  if (rename(temporary.c_str(), file.c_str()) != 0) {
    const int code = errno;
    unlink(temporary.c_str());
    return Fail(file, "cannot be replaced", code, error);
  }
  return true;
}

}  // namespace cliio
