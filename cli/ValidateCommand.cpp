// `tressel validate [--mesh FILE...] [--verbose] [--json]`: runs the
// validation battery (cli/ValidateChecks.h) on the module and reports one line
// per check and a summary, or one JSON document. Exit status 0 when no check
// failed, 1 when any did, 2 when the module or a mesh cannot be loaded.
#include <iostream>
#include <memory>

#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/ExampleMesh.h"
#include "cli/Session.h"
#include "cli/ValidateChecks.h"
#include "cli/io/MeshImport.h"

namespace cli {
namespace {

// Long enough for the memory sweeps on a mesh of some hundred thousand facets.
constexpr int kCheckTimeoutSeconds = 600;

struct CValidateArguments {
  std::string modulePath;  // also accepted after the subcommand; wins over the global one
  std::vector<std::string> meshes;
  bool verbose = false;
  bool json = false;
};

const char* OutcomeName(CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::kPassed: return "passed";
    case CheckOutcome::kFailed: return "failed";
    case CheckOutcome::kSkipped: return "skipped";
  }
  return "?";
}

// Meshes named on the command line, else the bundled example when it can be
// found (without it, the checks that need a mesh report themselves skipped).
bool LoadMeshes(const CValidateArguments& arguments, CValidateSubject* subject) {
  std::vector<std::filesystem::path> files(arguments.meshes.begin(), arguments.meshes.end());
  if (files.empty()) {
    std::filesystem::path folder = ExamplesFolder();
    if (!folder.empty()) files.push_back(folder / kExampleMesh);
  }
  for (const std::filesystem::path& file : files) {
    std::string error;
    std::vector<cliio::CImportedMesh> imported = cliio::ImportMeshFile(file, &error);
    if (imported.empty()) {
      std::cerr << "tressel: validate: " << (error.empty() ? file.string() + ": no mesh in the file" : error) << "\n";
      return false;
    }
    for (cliio::CImportedMesh& mesh : imported) subject->meshes.push_back(std::move(mesh));
  }
  return true;
}

int RunValidate(const CValidateArguments& arguments, const CGlobalOptions& options) {
  CValidateSubject subject;
  subject.module = ModulePath(arguments.modulePath.empty() ? options.modulePath : arguments.modulePath);
  {
    // Loaded once here only to refuse a module that cannot be loaded at all
    // with one line, instead of failing every check.
    CSession probe;
    if (!probe.Open(subject.module)) return kExitUsage;
  }
  if (!LoadMeshes(arguments, &subject)) return kExitUsage;

  int passed = 0, failed = 0, skipped = 0;
  nlohmann::json checks = nlohmann::json::array();
  for (const CCheck& check : ValidationChecks()) {
    CCheckResult result = RunIsolated(check, subject, kCheckTimeoutSeconds);
    switch (result.outcome) {
      case CheckOutcome::kPassed: ++passed; break;
      case CheckOutcome::kFailed: ++failed; break;
      case CheckOutcome::kSkipped: ++skipped; break;
    }
    if (arguments.json) {
      checks.push_back({{"name", check.name}, {"outcome", OutcomeName(result.outcome)}, {"detail", result.detail}});
      continue;
    }
    switch (result.outcome) {
      case CheckOutcome::kPassed:
        std::cout << "ok   " << check.name;
        if (arguments.verbose) std::cout << ": " << result.detail;
        break;
      case CheckOutcome::kFailed: std::cout << "FAIL " << check.name << ": " << result.detail; break;
      case CheckOutcome::kSkipped: std::cout << "skip " << check.name << ": " << result.detail; break;
    }
    std::cout << std::endl;
  }
  if (arguments.json) {
    nlohmann::json report = {{"module", subject.module.string()}, {"checks", checks},
                             {"passed", passed},                  {"failed", failed},
                             {"skipped", skipped}};
    std::cout << report.dump(2) << "\n";
  } else {
    std::cout << "validate: " << passed << " passed, " << failed << " failed";
    if (skipped) std::cout << ", " << skipped << " skipped";
    std::cout << "\n";
  }
  return failed ? kExitCommandFailed : kExitOk;
}

}  // namespace

void AddValidateCommand(CLI::App& app, Action* action) {
  CLI::App* command = app.add_subcommand("validate", "Check the module against the host protocol, with faults injected");
  auto arguments = std::make_shared<CValidateArguments>();
  command->add_option("--module", arguments->modulePath, "the module to validate (as the global --module)")->type_name("PATH");
  command->add_option("--mesh", arguments->meshes, "mesh files to generate on (default: the bundled example)")->type_name("FILE");
  command->add_flag("--verbose", arguments->verbose, "also say what each passed check verified");
  command->add_flag("--json", arguments->json, "print the results as one JSON document");
  command->callback([action, arguments] {
    *action = [arguments](const CGlobalOptions& options) { return RunValidate(*arguments, options); };
  });
}

}  // namespace cli
