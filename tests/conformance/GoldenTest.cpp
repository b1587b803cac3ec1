// Today's wires, held: the native module's dump of every corpus case hashed
// and compared with tests/conformance/golden-hashes.txt. Any change of any
// sent number, segment or answer fails and names the case. A deliberate
// change regenerates the file (tests/conformance/update-golden.sh) in the
// same commit, with the reason in its message.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// "<hash> <case>" lines; '#' starts a comment line.
std::map<std::string, std::string> ReadHashes(const fs::path& path, std::vector<std::string>* order) {
  std::map<std::string, std::string> hashes;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string hash, name;
    words >> hash >> name;
    if (order) order->push_back(name);
    hashes[name] = hash;
  }
  return hashes;
}

TEST(GoldenWires, EveryCaseSendsWhatItSentWhenTheHashesWereStored) {
  const fs::path stored = fs::path(TRESSEL_SOURCE_DIR) / "tests/conformance/golden-hashes.txt";
  const fs::path fresh = fs::temp_directory_path() / ("tressel-golden-" + std::to_string(getpid()));
  const std::string command = std::string("'") + TRESSEL_CONFORMANCE_TOOL + "' '" + TRESSEL_MODULE_PATH +
                              "' hashes '" + TRESSEL_SOURCE_DIR + "/examples/example.obj' '" + fresh.string() + "'";
  ASSERT_EQ(system(command.c_str()), 0) << command;
  std::vector<std::string> order;
  const std::map<std::string, std::string> expected = ReadHashes(stored, &order);
  const std::map<std::string, std::string> actual = ReadHashes(fresh, nullptr);
  fs::remove(fresh);
  ASSERT_GT(expected.size(), 100u) << stored << " is missing or short";
  std::string changed;
  int count = 0;
  for (const std::string& name : order) {
    const auto found = actual.find(name);
    if (found == actual.end()) {
      changed += "  " + name + " (no longer run)\n";
      ++count;
    } else if (found->second != expected.at(name)) {
      changed += "  " + name + "\n";
      ++count;
    }
  }
  for (const auto& entry : actual)
    if (!expected.count(entry.first)) {
      changed += "  " + entry.first + " (new, no stored hash)\n";
      ++count;
    }
  EXPECT_EQ(count, 0) << count << " of " << expected.size() << " cases differ from the stored wires:\n"
                      << changed
                      << "The dump of one case: tressel_conformance Tressel.plm corpus examples/example.obj OUT CASE.\n"
                         "A deliberate change: tests/conformance/update-golden.sh, committed with the reason.";
}

}  // namespace
