// The subcommands: each file adds one to the application. A subcommand's
// action runs after parsing and returns the exit status.
#ifndef TRESSEL_CLI_COMMANDS_H
#define TRESSEL_CLI_COMMANDS_H

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

namespace cli {

struct CGlobalOptions {
  std::string modulePath;  // --module; empty: the default location
};

using Action = std::function<int(const CGlobalOptions&)>;

// Each registers its subcommand on app; *action is set when it is chosen.
void AddInfoCommand(CLI::App& app, Action* action);
void AddDescribeCommand(CLI::App& app, Action* action);
void AddWireCommand(CLI::App& app, Action* action);
void AddSettingsCommand(CLI::App& app, Action* action);
void AddValidateCommand(CLI::App& app, Action* action);

}  // namespace cli

#endif  // TRESSEL_CLI_COMMANDS_H
