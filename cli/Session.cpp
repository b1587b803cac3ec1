// Locating the module, loading it, and the exit status of a run.
#include "cli/Session.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/io/Printable.h"
#include "host/MacRoman.h"

namespace cli {

namespace {

// A bare file name means the file in the working folder: the loader would
// otherwise search the system's library folders for it instead.
std::filesystem::path AsGiven(const std::filesystem::path& path) {
  return path.has_parent_path() ? path : std::filesystem::path(".") / path;
}

}  // namespace

std::filesystem::path ModulePath(const std::string& option) {
  if (!option.empty()) return AsGiven(option);
  const char* environment = std::getenv("TRESSEL_MODULE");
  if (environment && *environment) return AsGiven(environment);
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "Tressel.plm";
  // A build tree and an unpacked folder hold it beside the command; an
  // installation (bin/tressel) under lib/tressel of the same prefix.
  const std::filesystem::path beside = self.parent_path() / "Tressel.plm";
  const std::filesystem::path installed = self.parent_path().parent_path() / "lib" / "tressel" / "Tressel.plm";
  if (!std::filesystem::exists(beside, error) && std::filesystem::exists(installed, error)) return installed;
  return beside;
}

bool CSession::Open(const std::filesystem::path& modulePath) {
  std::string error;
  if (mHost.LoadModule(modulePath, &error)) return true;
  std::cerr << "tressel: " << cliio::Printable(error) << "\n";
  return false;
}

int CSession::Finish(uint32_t selector, int32_t result) {
  if (!mHost.Clean()) {
    for (const host::CViolation& violation : mHost.Violations())
      std::cerr << "tressel: host violation: " << violation.Text() << "\n";
    return kExitViolation;
  }
  for (const std::string& failure : mHost.ServiceFailures()) std::cerr << "tressel: host: " << failure << "\n";
  if (result == 0) return kExitOk;
  std::string text;
  // The explanation is itself a command; its violations count like any other.
  int32_t described = mHost.Describe(result, &text);
  std::cerr << "tressel: the module answered " << host::CodeText(selector) << " with " << result;
  if (described == 0) std::cerr << ": " << cliio::Printable(host::MacRomanToUtf8(text));
  std::cerr << "\n";
  if (!mHost.Clean()) return Finish(selector, 0);
  return kExitCommandFailed;
}

std::string CodeCharacters(uint32_t code) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) {
    unsigned char c = (code >> shift) & 0xFF;
    bytes += (c >= 0x20 && c != 0x7F) ? char(c) : '.';
  }
  return host::MacRomanToUtf8(bytes);
}

}  // namespace cli
