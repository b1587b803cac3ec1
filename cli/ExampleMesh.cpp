// Finding the bundled example: a few candidate folders, first match wins.
#include "cli/ExampleMesh.h"

#include <cstdlib>
#include <system_error>
#include <vector>

namespace cli {

std::filesystem::path ExamplesFolder() {
  std::vector<std::filesystem::path> candidates;
  const char* chosen = std::getenv("TRESSEL_EXAMPLES");
  if (chosen && *chosen) candidates.push_back(chosen);
  std::error_code failure;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failure);
  if (!failure) {
    candidates.push_back(self.parent_path() / ".." / ".." / ".." / "examples");
    candidates.push_back(self.parent_path() / "examples");
    candidates.push_back(self.parent_path() / ".." / "share" / "tressel" / "examples");
  }
  for (const std::filesystem::path& folder : candidates)
    if (std::filesystem::is_regular_file(folder / kExampleMesh, failure)) return folder.lexically_normal();
  return {};
}

}  // namespace cli
