// The battery of `tressel validate`: protocol conformance and fault-injection
// checks, each run on a host of its own with a fresh load of the module, so no
// check sees what another left behind.
#ifndef TRESSEL_CLI_VALIDATECHECKS_H
#define TRESSEL_CLI_VALIDATECHECKS_H

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/io/MeshData.h"

namespace cli {

enum class CheckOutcome { kPassed, kFailed, kSkipped };

struct CCheckResult {
  CheckOutcome outcome = CheckOutcome::kPassed;
  std::string detail;  // failed or skipped: why, one line; passed: what was verified
};

// What every check runs on. The meshes become the child groups of the model
// (one per imported mesh) for the generation and fault checks.
struct CValidateSubject {
  std::filesystem::path module;
  std::vector<cliio::CImportedMesh> meshes;
};

struct CCheck {
  std::string name;
  std::function<CCheckResult(const CValidateSubject&)> run;
};

// Every check, in the order they are reported.
std::vector<CCheck> ValidationChecks();

// Runs one check in a child process, so a module that crashes or hangs fails
// that check instead of ending the battery. A check still running after
// timeoutSeconds is killed and failed.
CCheckResult RunIsolated(const CCheck& check, const CValidateSubject& subject, int timeoutSeconds);

}  // namespace cli

#endif  // TRESSEL_CLI_VALIDATECHECKS_H
