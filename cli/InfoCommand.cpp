// `tressel info`: the module's 'INFO' reply, one field a line.
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "host/MacRoman.h"

namespace cli {
namespace {

int RunInfo(const CGlobalOptions& options) {
  CSession session;
  if (!session.Open(ModulePath(options.modulePath))) return kExitUsage;
  PluginInfoRec reply{};
  int32_t result = session.Host().Information(&reply);
  if (result == 0) {
    char hex[32];
    auto text = [](const uint8_t (&field)[256]) { return host::MacRomanToUtf8(host::PascalBytes(field)); };
    std::snprintf(hex, sizeof hex, "0x%08X", reply.vendor);
    std::cout << "vendor:      " << CodeCharacters(reply.vendor) << " (" << hex << ")\n";
    std::cout << "product:     " << text(reply.product) << "\n";
    std::cout << "rights:      " << text(reply.rights) << "\n";
    std::cout << "maker:       " << text(reply.maker) << "\n";
    std::cout << "description: " << text(reply.description) << "\n";
    std::snprintf(hex, sizeof hex, "0x%08X", reply.flags);
    std::cout << "flags:       " << hex << "\n";
  }
  return session.Finish(Selector::kInformation, result);
}

}  // namespace

void AddInfoCommand(CLI::App& app, Action* action) {
  CLI::App* command = app.add_subcommand("info", "Print the module's product information");
  command->callback([action] { *action = RunInfo; });
}

}  // namespace cli
