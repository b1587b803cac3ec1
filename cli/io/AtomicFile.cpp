// Temporaries beside their destinations, renamed into place only when
// complete. The temporary lives in the target's folder because a rename is
// only atomic within one file system. Cost: one write and one fsync of the
// bytes. The registry is a list that only grows at its head; a removed entry
// is marked dead and reused later, so a signal handler can walk it at any
// moment without a lock.
#include "cli/io/AtomicFile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <vector>

namespace cliio {

namespace {

// --- registry

struct CListing {
  char* name = nullptr;
  size_t capacity = 0;
  std::atomic<bool> live{false};
  CListing* next = nullptr;
};

std::atomic<CListing*> gHead{nullptr};
std::vector<CListing*>* gFree = nullptr;  // dead entries, reused by List

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<CListing*>::is_always_lock_free,
              "the signal handler reads the registry without a lock");

CListing* List(const std::string& name) {
  if (!gFree) gFree = new std::vector<CListing*>;
  CListing* listing = nullptr;
  if (!gFree->empty()) {
    listing = gFree->back();
    gFree->pop_back();
  } else {
    listing = new CListing;
    listing->next = gHead.load();
    gHead.store(listing);
  }
  if (listing->capacity < name.size() + 1) {
    // Dead, so the handler does not read the old buffer while it is replaced.
    char* buffer = new char[name.size() + 1];
    delete[] listing->name;
    listing->name = buffer;
    listing->capacity = name.size() + 1;
  }
  memcpy(listing->name, name.c_str(), name.size() + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  listing->live.store(true);
  return listing;
}

void Unlist(void* entry) {
  if (!entry) return;
  CListing* listing = static_cast<CListing*>(entry);
  listing->live.store(false);
  gFree->push_back(listing);
}

// --- helpers

mode_t NewFileMode() {
  const mode_t mask = umask(0);  // the command runs on one thread; reading the mask means setting it
  umask(mask);
  return 0666 & ~mask;
}

constexpr size_t kMaxKeptExtension = 16;  // longer "extensions" are left off the temporary's name

}  // namespace

void RemoveListedTemporaries() {
  for (CListing* listing = gHead.load(); listing; listing = listing->next)
    if (listing->live.load()) unlink(listing->name);
}

size_t ListedTemporaryCount() {
  size_t count = 0;
  for (CListing* listing = gHead.load(); listing; listing = listing->next) count += listing->live.load() ? 1 : 0;
  return count;
}

bool ResolveWriteTarget(const std::filesystem::path& file, std::filesystem::path* target, std::string* error) {
  std::filesystem::path current = file;
  for (int hops = 0; hops <= 40; ++hops) {
    struct stat status;
    if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
      *target = current;
      return true;
    }
    std::vector<char> text(size_t(status.st_size > 0 ? status.st_size : PATH_MAX) + 1);
    const ssize_t length = readlink(current.c_str(), text.data(), text.size());
    if (length < 0 || size_t(length) >= text.size()) {
      *error = file.string() + ": the symbolic link cannot be read (" + strerror(length < 0 ? errno : ENAMETOOLONG) + ")";
      return false;
    }
    const std::filesystem::path link(std::string(text.data(), size_t(length)));
    current = link.is_absolute() ? link : current.parent_path() / link;
  }
  *error = file.string() + ": cannot be written: the symbolic links form a loop (" + strerror(ELOOP) + ")";
  return false;
}

// --- CStagedFile

CStagedFile::~CStagedFile() { Abandon(); }

CStagedFile::CStagedFile(CStagedFile&& other) noexcept { *this = std::move(other); }

CStagedFile& CStagedFile::operator=(CStagedFile&& other) noexcept {
  if (this == &other) return *this;
  Abandon();
  mDestination = std::move(other.mDestination);
  mTarget = std::move(other.mTarget);
  mTemporary = std::move(other.mTemporary);
  mListing = other.mListing;
  mDescriptor = other.mDescriptor;
  mMode = other.mMode;
  mBehind = other.mBehind;
  other.mListing = nullptr;
  other.mDescriptor = -1;
  other.mTemporary.clear();
  return *this;
}

bool CStagedFile::Fail(const std::string& what, int code, std::string* error) {
  *error = mDestination.string() + ": " + what + (code ? std::string(" (") + strerror(code) + ")" : std::string());
  Abandon();
  return false;
}

bool CStagedFile::Open(const std::filesystem::path& destination, std::string* error) {
  Abandon();
  mDestination = destination;
  if (destination.filename().empty()) return Fail("is not a file name", 0, error);
  if (!ResolveWriteTarget(destination, &mTarget, error)) return false;
  mMode = NewFileMode();
  struct stat existing;
  if (stat(mTarget.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return Fail("cannot be written: a folder is in the way", 0, error);
    if (!S_ISREG(existing.st_mode)) return Fail("cannot be written: it is not a regular file", 0, error);
    mMode = existing.st_mode & 07777;
  }
  const std::filesystem::path folder = mTarget.has_parent_path() ? mTarget.parent_path() : std::filesystem::path(".");
  std::string extension = mTarget.extension().string();
  if (extension.size() > kMaxKeptExtension) extension.clear();
  std::string pattern = (folder / ".tr.XXXXXX").string() + extension;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // Signals are held while the name is made and listed: a handler running in
  // between would miss a file that already exists.
  sigset_t all, previous;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &previous);
  mDescriptor = mkostemps(name.data(), int(extension.size()), O_CLOEXEC);
  const int code = errno;
  if (mDescriptor >= 0) {
    mTemporary = name.data();
    mListing = List(mTemporary.string());
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (mDescriptor < 0) return Fail("cannot be written", code, error);
  mBehind = CWriteBehind();
  return true;
}

bool CStagedFile::Write(std::string_view bytes, std::string* error) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = write(mDescriptor, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return Fail("could not be written completely", count < 0 ? errno : EIO, error);
    written += static_cast<size_t>(count);
  }
  int code = 0;
  if (!mBehind.Appended(mDescriptor, bytes.size(), &code)) return Fail("could not be written completely", code, error);
  return true;
}

bool CStagedFile::Finish(std::string* error) {
  if (mDescriptor < 0) return true;
  if (fchmod(mDescriptor, mMode) != 0) return Fail("cannot be given its permissions", errno, error);
  if (fsync(mDescriptor) != 0) return Fail("could not be flushed to disk", errno, error);
  const int descriptor = mDescriptor;
  mDescriptor = -1;
  if (close(descriptor) != 0) return Fail("could not be written completely", errno, error);
  return true;
}

bool CStagedFile::Replaced(std::string* error) {
  if (mDescriptor >= 0) close(mDescriptor);
  mDescriptor = -1;
  if (chmod(mTemporary.c_str(), mMode) != 0) return Fail("cannot be given its permissions", errno, error);
  return true;
}

bool CStagedFile::Commit(std::string* error) {
  if (!Finish(error)) return false;
  if (mTemporary.empty()) return Fail("has nothing to be replaced with", 0, error);
  if (rename(mTemporary.c_str(), mTarget.c_str()) != 0) return Fail("cannot be replaced", errno, error);
  Unlist(mListing);
  mListing = nullptr;
  mTemporary.clear();
  return true;
}

void CStagedFile::Abandon() {
  if (mDescriptor >= 0) close(mDescriptor);
  mDescriptor = -1;
  if (!mTemporary.empty()) unlink(mTemporary.c_str());
  Unlist(mListing);
  mListing = nullptr;
  mTemporary.clear();
}

// --- CStagedFileSink

bool CStagedFileSink::Put(std::string_view bytes, std::string* error) {
  if (mFile.Write(bytes, &mError)) {
    if (mAfterWrite) mAfterWrite();
    return true;
  }
  const std::string named = mFile.Destination().string() + ": ";
  *error = mError.compare(0, named.size(), named) == 0 ? mError.substr(named.size()) : mError;
  return false;
}

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes, std::string* error) {
  CStagedFile staged;
  return staged.Open(file, error) && staged.Write(bytes, error) && staged.Commit(error);
}

}  // namespace cliio
