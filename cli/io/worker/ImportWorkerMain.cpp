// tressel-import: the import worker (ImportWorker.h). Not a command for
// people: `tressel-import FORMAT STEM PATH` reads the bytes on its standard
// input with the mesh library (PATH, empty for bytes from elsewhere, is where
// the files a model refers to are looked up) and answers on descriptor 3 in
// the import stream (ImportStream.h). It exits 0 once a whole answer (the
// meshes or the reason they could not be read) has been sent, 1 when the
// answer could not be sent, 64 when it was started wrongly.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <functional>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/OutOfMemory.h"
#include "cli/io/ImportStream.h"
#include "cli/io/ImportWorker.h"
#include "cli/io/MeshReaders.h"

// A crash here is meant to end the process by its signal, for the command to
// name it; the sanitizer builds would otherwise catch it, print a report and
// exit 1. Their checks of memory use stay on.
extern "C" const char* __asan_default_options() {
  return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0";
}

namespace {

constexpr int kStreamDescriptor = 3;

cliio::CImportStreamWriter gWriter(kStreamDescriptor);

// Room for the out-of-memory reason, made without allocating.
char gNoMemory[160];

void SayNoMemory() {
  const size_t failed = cli::LastFailedAllocation();
  int length;
  if (failed)
    length = snprintf(gNoMemory, sizeof gNoMemory, "not enough memory to hold the mesh (a request for %zu bytes failed)",
                      failed);
  else
    length = snprintf(gNoMemory, sizeof gNoMemory, "not enough memory to hold the mesh");
  gWriter.Failure(gNoMemory, size_t(length));
}

// Memory can also run out where no exception may pass (a destructor, a
// noexcept function of the library): said all the same, as the answer.
void OnTerminate() {
  std::exception_ptr current = std::current_exception();
  if (current) {
    try {
      std::rethrow_exception(current);
    } catch (const std::bad_alloc&) {
      SayNoMemory();
      _exit(0);
    } catch (...) {
    }
  }
  abort();
}

// The library does not survive every allocation it cannot make: it may then
// crash while it cleans up. A crash after a failed allocation is said as
// what it is, memory that ran out; any other crash ends the process by its
// signal, for the command to name.
void OnCrash(int signal) {
  if (cli::LastFailedAllocation() != 0) {
    SayNoMemory();
    _exit(0);
  }
  ::signal(signal, SIG_DFL);
  raise(signal);
}

// The input's bytes: standard input mapped (a regular file or a memory file).
bool MapInput(std::string_view* bytes, std::string* detail) {
  struct stat status;
  if (fstat(STDIN_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) {
    *detail = "cannot be read by the importer (its input is not a file)";
    return false;
  }
  if (status.st_size == 0) {
    *bytes = std::string_view();
    return true;
  }
  void* mapped = mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_PRIVATE, STDIN_FILENO, 0);
  if (mapped == MAP_FAILED) {
    *detail = "cannot be mapped by the importer";
    return false;
  }
  *bytes = std::string_view(static_cast<const char*>(mapped), size_t(status.st_size));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || fcntl(kStreamDescriptor, F_GETFD) < 0) {
    fprintf(stderr, "%s: a helper of the tressel command, started by it; not for use on its own\n", argv[0]);
    return 64;
  }
  std::set_terminate(OnTerminate);
  for (int signal : {SIGSEGV, SIGBUS, SIGABRT}) {
    struct sigaction action {};
    action.sa_handler = OnCrash;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
  cliio::SetLibraryReadInProcess(true);
  const std::string format = argv[1];
  const std::string stem = argv[2];
  const std::filesystem::path path = argv[3];
  if (!gWriter.Begin()) return 1;

  std::vector<cliio::CImportedMesh> meshes;
  std::vector<std::string> warnings;
  std::string detail;
  bool ok = false;
  try {
    std::string_view bytes;
    if (MapInput(&bytes, &detail)) {
      // Progress goes to the command, which stops a read by ending this process.
      const std::function<bool(double)> report = [](double fraction) { return gWriter.Progress(fraction); };
      cliio::CReadProgress progress(&report, bytes.size());
      cliio::CReadInput input;
      input.bytes = bytes;
      input.stem = stem;
      input.folder = path.empty() ? std::filesystem::path(".") : path.parent_path();
      input.path = path;
      input.progress = &progress;
      input.warnings = &warnings;
      ok = cliio::ReadWithAssimpInProcess(input, format, &meshes, &detail);
    }
    for (const std::string& warning : warnings) gWriter.Warning(warning);
    if (ok) {
      for (const cliio::CImportedMesh& mesh : meshes) {
        if (gWriter.Mesh(mesh)) continue;
        ok = false;
        detail = "holds a mesh the importer cannot pass on (" + mesh.name + ")";
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    SayNoMemory();
    _exit(0);
  } catch (const std::length_error&) {
    ok = false;
    detail = "the mesh is too large to hold";
  }
  const bool sent = ok ? gWriter.End(meshes.size()) : gWriter.Failure(detail);
  // The library leaks on its error paths, and on malformed files it reads
  // all the same: the process ends here, its memory with it, without the
  // leak check of the sanitizer builds (the command's reading code is
  // checked for leaks in the fuzz target, which reads in its own process).
  _exit(sent ? 0 : 1);
}
