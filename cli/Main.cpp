// The tressel command: parses the arguments, runs the chosen subcommand, and
// exits with its status (2 for usage errors, with a usage message on stderr).
#include <iostream>
#include <new>

#include "cli/Commands.h"
#include "cli/OutOfMemory.h"
#include "cli/Printable.h"
#include "cli/Session.h"

int main(int argc, char** argv) {
  CLI::App app{"tressel: runs the Tressel module in a substitute host"};
  app.require_subcommand(1);
  cli::CGlobalOptions options;
  app.add_option("--module", options.modulePath, "the module to load (default: $TRESSEL_MODULE, else Tressel.plm beside tressel)");
  cli::Action action;
  cli::AddInfoCommand(app, &action);
  cli::AddDescribeCommand(app, &action);
  cli::AddWireCommand(app, &action);
  cli::AddSettingsCommand(app, &action);
  cli::AddValidateCommand(app, &action);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {  // --help
    return app.exit(done);
  } catch (const CLI::ParseError& error) {
    std::cerr << "tressel: " << error.what() << "\n" << app.help();
    return cli::kExitUsage;
  }
  try {
    return action ? action(options) : cli::kExitUsage;
  } catch (const std::bad_alloc&) {
    std::cerr << "tressel: " << cli::Printable(cli::OutOfMemoryLine()) << "\n";
    return cli::kExitUsage;
  }
}
