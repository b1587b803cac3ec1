// The tressel command: parses the arguments, runs the chosen subcommand, and
// exits with its status (2 for usage errors, with a usage message on stderr).
#include <cstring>
#include <iostream>
#include <string>
#include <new>

#include "cli/Commands.h"
#include "cli/HeapReuse.h"
#include "cli/OutOfMemory.h"
#include "cli/io/Printable.h"
#include "cli/Session.h"

namespace {

// The first word that is not an option of the command itself: the subcommand
// the user meant, or empty when there is none.
std::string NamedSubcommand(int argc, char** argv) {
  for (int k = 1; k < argc; ++k) {
    const char* word = argv[k];
    if (std::strcmp(word, "--") == 0) return k + 1 < argc ? argv[k + 1] : "";
    if (std::strcmp(word, "--module") == 0) {
      ++k;  // its value
      continue;
    }
    if (word[0] == '-') continue;
    return word;
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  cli::KeepFreedHeapForReuse();
  CLI::App app{"tressel: runs the Tressel module in a substitute host"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "tressel " TRESSEL_VERSION);
  cli::CGlobalOptions options;
  app.add_option("--module", options.modulePath,
                 "the module to load (default: $TRESSEL_MODULE, else Tressel.plm beside tressel or in ../lib/tressel)");
  cli::Action action;
  cli::AddInfoCommand(app, &action);
  cli::AddDescribeCommand(app, &action);
  cli::AddWireCommand(app, &action);
  cli::AddSettingsCommand(app, &action);
  cli::AddValidateCommand(app, &action);

  // CLI11 would take an unknown word for a stray argument and only say that a
  // subcommand is required; name the word instead.
  const std::string named = NamedSubcommand(argc, argv);
  if (!named.empty()) {
    std::string known;
    bool found = false;
    for (const CLI::App* command : app.get_subcommands({})) {
      known += (known.empty() ? "" : ", ") + command->get_name();
      found = found || command->check_name(named);
    }
    if (!found) {
      std::cerr << "tressel: unknown subcommand '" << cliio::Printable(named) << "' (subcommands: " << known
                << ")\n" << app.help();
      return cli::kExitUsage;
    }
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {  // --help, --version
    return app.exit(done);
  } catch (const CLI::ParseError& error) {
    std::cerr << "tressel: " << error.what() << "\n" << app.help();
    return cli::kExitUsage;
  }
  try {
    return action ? action(options) : cli::kExitUsage;
  } catch (const std::bad_alloc&) {
    std::cerr << "tressel: " << cliio::Printable(cli::OutOfMemoryLine()) << "\n";
    return cli::kExitUsage;
  }
}
