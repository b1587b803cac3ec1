// One run of the command: finds and loads the module, owns the host, and turns
// what happened into the exit status.
#ifndef TRESSEL_CLI_SESSION_H
#define TRESSEL_CLI_SESSION_H

#include <filesystem>
#include <string>

#include "host/Host.h"

namespace cli {

// Exit statuses of the command.
enum ExitStatus : int {
  kExitOk = 0,
  kExitCommandFailed = 1,  // the module answered a command with a nonzero code
  kExitUsage = 2,          // bad arguments, or the module cannot be loaded
  kExitViolation = 3,      // the module broke the host protocol (a leak included)
};

// The module to load: `option` when given, else $TRESSEL_MODULE when set and
// not empty, else Tressel.plm in the folder of this executable, else (when
// only that exists) ../lib/tressel/Tressel.plm from it, as installed.
// A bare file name given either way names the file in the working folder.
std::filesystem::path ModulePath(const std::string& option);

class CSession {
 public:
  // The command's host serves results, not fault finding: fresh blocks are not
  // filled (`tressel validate` checks with hosts of its own that fill them).
  CSession() { mHost.FillFreshBlocks(false); }
  // Loads the module; on failure prints one line naming the path to stderr.
  bool Open(const std::filesystem::path& modulePath);
  host::CHost& Host() { return mHost; }
  // Prints every host violation to stderr and gives the exit status: kExitViolation
  // when there were any, else kExitCommandFailed for a nonzero result (with the
  // module's own text for it), else kExitOk.
  // Requests the host itself could not serve are printed first.
  int Finish(uint32_t selector, int32_t result);

 private:
  host::CHost mHost;
};

// Text of a four-char code for people: its characters (Mac Roman, converted)
// when printable, dots for the others.
std::string CodeCharacters(uint32_t code);

}  // namespace cli

#endif  // TRESSEL_CLI_SESSION_H
