// The corpus replay: a main() for a fuzz target built without libFuzzer.
// Every argument is a file or a folder (its files, in name order); each file
// is handed to LLVMFuzzerTestOneInput once. A broken invariant aborts inside
// the target; an unreadable or empty argument list is an error too, so a
// replay that ran nothing never passes.
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  if (!stream) {
    fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return false;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  // A copy of exactly the file's size, so that a read past the input is seen.
  std::vector<uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.data(), input.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    std::error_code error;
    if (std::filesystem::is_directory(arg, error)) {
      std::vector<std::filesystem::path> inFolder;
      for (const auto& entry : std::filesystem::directory_iterator(arg, error))
        if (entry.is_regular_file()) inFolder.push_back(entry.path());
      std::sort(inFolder.begin(), inFolder.end());
      files.insert(files.end(), inFolder.begin(), inFolder.end());
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    fprintf(stderr, "usage: %s FILE|FOLDER... (no inputs found)\n", argv[0]);
    return 2;
  }
  size_t replayed = 0;
  for (const auto& file : files) {
    if (!Replay(file)) return 1;
    ++replayed;
  }
  printf("%zu inputs replayed\n", replayed);
  return 0;
}
