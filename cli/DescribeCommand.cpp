// `tressel describe CODE`: the module's text for an error code.
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "host/MacRoman.h"

namespace cli {
namespace {

// Decimal or 0x-hexadecimal; from INT32_MIN up to UINT32_MAX (taken as its
// 32-bit pattern, so 4294967295 is -1).
bool ParseCode(const std::string& text, int32_t* code) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value < INT32_MIN || value > int64_t(UINT32_MAX)) return false;
  *code = int32_t(uint32_t(value));
  return true;
}

}  // namespace

void AddDescribeCommand(CLI::App& app, Action* action) {
  CLI::App* command = app.add_subcommand("describe", "Print the module's text for an error code");
  auto codeText = std::make_shared<std::string>();
  command->add_option("CODE", *codeText, "error code (decimal or 0x hexadecimal, negative allowed)")->required();
  command->callback([action, codeText] {
    int32_t code = 0;
    if (!ParseCode(*codeText, &code))
      throw CLI::ValidationError("CODE", "'" + *codeText + "' is not a 32-bit number");
    *action = [code](const CGlobalOptions& options) {
      CSession session;
      if (!session.Open(ModulePath(options.modulePath))) return int(kExitUsage);
      std::string text;
      int32_t result = session.Host().Describe(code, &text);
      if (result == 0) std::cout << host::MacRomanToUtf8(text) << "\n";
      return session.Finish(Selector::kDescribe, result);
    };
  });
}

}  // namespace cli
