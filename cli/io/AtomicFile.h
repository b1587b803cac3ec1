// Writing output files so that each is either complete or not there at all,
// through temporaries that a signal handler can still remove.
#ifndef TRESSEL_CLI_IO_ATOMICFILE_H
#define TRESSEL_CLI_IO_ATOMICFILE_H

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "cli/io/ByteSink.h"
#include "cli/io/WriteBehind.h"

namespace cliio {

// --- The registry of temporaries. Every temporary this file makes is listed
// from its creation until it is renamed into place or removed, so that a
// fatal signal can remove what a run leaves half written.

// Unlinks every listed temporary. Async-signal-safe: only unlink(2) and reads
// of the list, which the main thread changes with single atomic stores.
void RemoveListedTemporaries();
// How many temporaries are listed now (for the tests).
size_t ListedTemporaryCount();

// Where a write to `file` has to go: `file` itself, or the file a symbolic
// link (or a chain of them) points to, so that writing through a link keeps
// the link. False with *error, one line naming `file`, for a link loop or a
// link that cannot be read. REQUIRES: target and error != nullptr.
bool ResolveWriteTarget(const std::filesystem::path& file, std::filesystem::path* target, std::string* error);

// A temporary beside a destination, named ".tr.XXXXXX" plus the destination's
// extension (so a file name of any valid length still leaves room for it),
// listed while it exists. Writing goes to the temporary; Commit renames it
// over the destination's target (ResolveWriteTarget). The destructor removes
// a temporary that was not committed.
class CStagedFile {
 public:
  CStagedFile() = default;
  ~CStagedFile();
  CStagedFile(const CStagedFile&) = delete;
  CStagedFile& operator=(const CStagedFile&) = delete;
  CStagedFile(CStagedFile&& other) noexcept;
  CStagedFile& operator=(CStagedFile&& other) noexcept;

  // Creates the temporary. False with *error (one line beginning with
  // `destination`) when the destination is a folder or cannot be created there.
  bool Open(const std::filesystem::path& destination, std::string* error);
  // Appends bytes to the open temporary. A long file goes to the disk as it
  // grows and leaves the cache behind it (WriteBehind.h).
  bool Write(std::string_view bytes, std::string* error);
  // Gives the temporary the destination's permissions (its own when it exists,
  // else what the umask allows), flushes it to disk and closes it.
  bool Finish(std::string* error);
  // Renames the finished temporary over the target. On failure the temporary
  // is removed and the destination is as it was.
  bool Commit(std::string* error);
  // For a writer that puts a whole file at Temporary() itself (renaming its
  // own temporary over it): closes this object's descriptor, which no longer
  // names that file, and gives the file the destination's permissions.
  bool Replaced(std::string* error);
  // Removes the temporary (when there is one).
  void Abandon();

  const std::filesystem::path& Destination() const { return mDestination; }
  const std::filesystem::path& Temporary() const { return mTemporary; }

 private:
  bool Fail(const std::string& what, int code, std::string* error);

  std::filesystem::path mDestination, mTarget, mTemporary;
  void* mListing = nullptr;
  int mDescriptor = -1;
  mode_t mMode = 0;
  CWriteBehind mBehind;
};

// Hands a writer's buffered bytes (ByteSink.h) to an open staged file. When a
// write fails, the staged file has removed its temporary, Failed() is true and
// Error() is the file's one-line error (which names the destination); Put's
// own *error is that line without the destination, as sinks report.
// `afterWrite`, when given, is called after every successful write.
// REQUIRES: `file` outlives the sink.
class CStagedFileSink final : public CByteSink {
 public:
  explicit CStagedFileSink(CStagedFile& file, void (*afterWrite)() = nullptr) : mFile(file), mAfterWrite(afterWrite) {}
  bool Put(std::string_view bytes, std::string* error) override;
  bool Failed() const { return !mError.empty(); }
  const std::string& Error() const { return mError; }

 private:
  CStagedFile& mFile;
  void (*mAfterWrite)();
  std::string mError;
};

// Writes `bytes` to a temporary beside `file` (through a link: beside its
// target), flushes it to disk and renames it over the target. On failure the
// file is exactly as it was before (absent or with its old contents), no
// temporary remains, and *error is one line that begins with `file`. A new
// file gets the permissions the umask allows; a replaced file keeps its own.
// REQUIRES: error != nullptr.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes, std::string* error);

}  // namespace cliio

#endif
