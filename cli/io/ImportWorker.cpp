// The command's side of the import worker: finding the helper, starting it
// clean, reading its answer with cancellation checks, and naming how it ended
// when it did not answer.
#include "cli/io/ImportWorker.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/io/ImportStream.h"

namespace cliio {

namespace {

bool gInProcess = false;

std::string ErrorText(int error) { return std::error_code(error, std::generic_category()).message(); }

// A descriptor closed with its owner.
class CDescriptor {
 public:
  CDescriptor() = default;
  explicit CDescriptor(int descriptor) : mDescriptor(descriptor) {}
  CDescriptor(const CDescriptor&) = delete;
  CDescriptor& operator=(const CDescriptor&) = delete;
  ~CDescriptor() { Close(); }
  int Get() const { return mDescriptor; }
  bool Valid() const { return mDescriptor >= 0; }
  void Close() { Reset(-1); }
  void Reset(int descriptor) {
    if (mDescriptor >= 0) ::close(mDescriptor);
    mDescriptor = descriptor;
  }
  // Moves the descriptor to 10 or above, close-on-exec, so that it never
  // stands where the worker's standard descriptors are put.
  bool Raise() {
    if (mDescriptor < 0) return false;
    const int raised = ::fcntl(mDescriptor, F_DUPFD_CLOEXEC, 10);
    if (raised < 0) return false;
    ::close(mDescriptor);
    mDescriptor = raised;
    return true;
  }

 private:
  int mDescriptor = -1;
};

bool Executable(const std::filesystem::path& file) {
  struct stat status;
  return ::stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(file.c_str(), X_OK) == 0;
}

bool FindWorker(std::string* found, std::string* detail) {
  const char* chosen = std::getenv("TRESSEL_IMPORT_WORKER");
  if (chosen && *chosen) {
    *found = chosen;
    if (Executable(chosen)) return true;
    *detail = std::string("the importer helper named by TRESSEL_IMPORT_WORKER (") + chosen + ") is not an executable file";
    return false;
  }
  std::error_code failure;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failure);
  if (failure) {
    *detail = "the importer helper cannot be found: /proc/self/exe cannot be read (" + failure.message() + ")";
    return false;
  }
  const std::filesystem::path folder = self.parent_path();
  for (const std::filesystem::path& candidate :
       {folder / kImportWorkerName, folder / ".." / "lib" / "tressel" / kImportWorkerName}) {
    if (Executable(candidate)) {
      *found = candidate.string();
      return true;
    }
  }
  *detail = std::string("needs the importer helper '") + kImportWorkerName + "', which is neither in " + folder.string() +
            " nor in " + (folder / ".." / "lib" / "tressel").lexically_normal().string() + " (an incomplete installation)";
  return false;
}

// The bytes as a file the worker can map: a memory file (bytes from standard
// input or from memory).
bool MemoryFile(std::string_view bytes, CDescriptor* file, std::string* detail) {
  file->Reset(int(::syscall(SYS_memfd_create, "tressel-import-input", unsigned(MFD_CLOEXEC))));
  if (!file->Valid()) {
    *detail = "cannot be handed to the importer (a memory file: " + ErrorText(errno) + ")";
    return false;
  }
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = ::write(file->Get(), bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      *detail = "cannot be handed to the importer (a memory file: " + ErrorText(errno) + ")";
      return false;
    }
    done += size_t(wrote);
  }
  return ::lseek(file->Get(), 0, SEEK_SET) == 0;
}

std::string SignalName(int signal) {
  const char* abbreviation = ::sigabbrev_np(signal);
  const char* description = ::strsignal(signal);
  std::string name = abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
  if (description) name += std::string(": ") + description;
  return name;
}

// A running worker: waited for on every path, killed first unless it ended.
class CWorker {
 public:
  CWorker() = default;
  CWorker(const CWorker&) = delete;
  CWorker& operator=(const CWorker&) = delete;
  ~CWorker() {
    if (mPid > 0) Kill();
  }

  bool Start(const std::string& program, const std::vector<std::string>& arguments, int input, std::string* detail) {
    CDescriptor nothing(::open("/dev/null", O_RDWR | O_CLOEXEC));
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
      *detail = "cannot start the importer (a pipe: " + ErrorText(errno) + ")";
      return false;
    }
    mStream.Reset(ends[0]);
    CDescriptor write(ends[1]);
    if (!nothing.Raise() || !mStream.Raise() || !write.Raise()) {
      *detail = "cannot start the importer (" + ErrorText(errno) + ")";
      return false;
    }
    // Everything the child needs is made here: between fork and exec it may
    // only make system calls.
    std::vector<char*> argv;
    std::vector<std::string> held;
    held.push_back(program);
    held.insert(held.end(), arguments.begin(), arguments.end());
    for (std::string& argument : held) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    sigset_t all, before;
    sigfillset(&all);
    // Blocked across fork, so no handler of the command runs in the child
    // (one removes the command's temporaries).
    pthread_sigmask(SIG_SETMASK, &all, &before);
    const pid_t pid = ::fork();
    if (pid == 0) {
      for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action;
        if (::sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN && action.sa_handler != SIG_DFL) {
          action.sa_handler = SIG_DFL;
          action.sa_flags = 0;
          ::sigaction(signal, &action, nullptr);
        }
      }
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(127);
      if (::dup2(input, 0) < 0 || ::dup2(nothing.Get(), 1) < 0 || ::dup2(write.Get(), 3) < 0) ::_exit(127);
      ::syscall(SYS_close_range, 4u, ~0u, 0u);
      const struct rlimit noCore = {0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      pthread_sigmask(SIG_SETMASK, &before, nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    const int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (pid < 0) {
      *detail = forkError == ENOMEM || forkError == EAGAIN ? "not enough memory to start the importer"
                                                            : "cannot start the importer (" + ErrorText(forkError) + ")";
      return false;
    }
    mPid = pid;
    mProgram = program;
    return true;
  }

  int Stream() const { return mStream.Get(); }

  // Waits for the worker to end; `stop` is asked whenever a signal
  // interrupts the wait and answers whether to kill it instead.
  template <typename Stop>
  int Wait(Stop stop) {
    int status = 0;
    while (::waitpid(mPid, &status, 0) < 0) {
      if (errno != EINTR) {
        status = 0;
        break;
      }
      if (stop()) ::kill(mPid, SIGKILL);
    }
    mPid = -1;
    return status;
  }

  void Kill() {
    ::kill(mPid, SIGKILL);
    Wait([] { return false; });
  }

  // How a worker that gave no whole answer ended, as the end of a sentence.
  std::string Ending(int status) const {
    if (WIFSIGNALED(status)) {
      const int signal = WTERMSIG(status);
      if (signal == SIGKILL)
        return "the importer was killed (" + SignalName(signal) + "), perhaps by the system for want of memory";
      return "the importer crashed on it (" + SignalName(signal) + ")";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return "the importer helper " + mProgram + " could not be run";
    if (WIFEXITED(status)) return "the importer stopped with exit status " + std::to_string(WEXITSTATUS(status));
    return "the importer ended abnormally";
  }

 private:
  pid_t mPid = -1;
  std::string mProgram;
  CDescriptor mStream;
};

// The worker's answer, read through a buffer. Waits in poll so that a signal
// (or, for the race where it arrives just before, a second's timeout) leads
// to asking whether to stop.
class CPipeSource : public CStreamSource {
 public:
  CPipeSource(int descriptor, CReadProgress* progress) : mDescriptor(descriptor), mProgress(progress) {}

  bool Read(void* into, size_t size) override {
    char* to = static_cast<char*>(into);
    while (size > 0) {
      if (mAt == mEnd && !Fill()) return false;
      const size_t part = std::min(size, mEnd - mAt);
      std::memcpy(to, mBuffer + mAt, part);
      mAt += part, to += part, size -= part;
    }
    return true;
  }
  bool MoreFollows() override { return mAt < mEnd || Fill(); }

  bool Stopped() const { return mStopped; }
  void NoteOffset(size_t offset) { mOffset = offset; }
  // Asks the progress callback (which answers false once the run is
  // cancelled) at the last offset reported.
  bool AskStop() {
    mStopped = mStopped || !mProgress->Report(mOffset);
    return mStopped;
  }

 private:
  bool Fill() {
    for (;;) {
      if (mStopped) return false;
      struct pollfd wait = {mDescriptor, POLLIN, 0};
      const int ready = ::poll(&wait, 1, 1000);
      if (ready < 0 && errno != EINTR) return false;
      if (ready <= 0) {
        AskStop();
        continue;
      }
      const ssize_t got = ::read(mDescriptor, mBuffer, sizeof mBuffer);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got <= 0) return false;
      mAt = 0, mEnd = size_t(got);
      return true;
    }
  }

  int mDescriptor;
  CReadProgress* mProgress;
  size_t mOffset = 0;
  bool mStopped = false;
  size_t mAt = 0, mEnd = 0;
  char mBuffer[64 * 1024];
};

}  // namespace

void SetLibraryReadInProcess(bool inProcess) { gInProcess = inProcess; }
bool LibraryReadInProcess() { return gInProcess; }

bool ReadWithAssimpInWorker(const CReadInput& input, const std::string& format, std::vector<CImportedMesh>* meshes,
                            std::string* detail) {
  std::string program;
  if (!FindWorker(&program, detail)) return false;
  CDescriptor bytes;
  if (input.path.empty()) {
    if (!MemoryFile(input.bytes, &bytes, detail)) return false;
  } else {
    bytes.Reset(::open(input.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!bytes.Valid()) {
      *detail = "cannot be opened for the importer (" + ErrorText(errno) + ")";
      return false;
    }
  }
  if (!bytes.Raise()) {
    *detail = "cannot be handed to the importer (" + ErrorText(errno) + ")";
    return false;
  }
  CWorker worker;
  if (!worker.Start(program, {format, input.stem, input.path.string()}, bytes.Get(), detail)) return false;
  bytes.Close();

  CPipeSource source(worker.Stream(), input.progress);
  const size_t total = input.bytes.size();
  const auto progress = [&](double fraction) {
    const size_t offset = size_t(fraction * double(total));
    source.NoteOffset(offset);
    return input.progress->At(offset);
  };
  std::string text;
  const size_t first = meshes->size();
  EStreamOutcome outcome;
  try {
    outcome = ReadImportStream(&source, progress, input.warnings, meshes, &text);
  } catch (...) {
    worker.Kill();
    throw;
  }
  const auto cancelled = [&]() {
    meshes->erase(meshes->begin() + std::ptrdiff_t(first), meshes->end());
    *detail = kCancelledDetail;
    return false;
  };
  if (outcome == EStreamOutcome::kStopped || source.Stopped()) {
    worker.Kill();
    return cancelled();
  }
  if (outcome == EStreamOutcome::kMalformed) {
    worker.Kill();
    *detail = "the importer's answer " + text;
    return false;
  }
  // The worker has closed its end (it ended, or is ending): its status tells
  // the rest.
  const int status = worker.Wait([&] { return source.AskStop(); });
  if (source.Stopped()) return cancelled();
  const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (clean && outcome == EStreamOutcome::kMeshes) return true;
  meshes->erase(meshes->begin() + std::ptrdiff_t(first), meshes->end());
  if (clean && outcome == EStreamOutcome::kFailure) {
    *detail = text;
    return false;
  }
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    // Ctrl-C reaches the whole process group: the worker may end of it
    // before the command's own flag is seen.
    if ((signal == SIGINT || signal == SIGTERM || signal == SIGHUP) && source.AskStop()) return cancelled();
  }
  if (clean) {
    *detail = "the importer's answer " + text;
    return false;
  }
  *detail = worker.Ending(status);
  return false;
}

}  // namespace cliio
