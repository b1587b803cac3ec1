// Writing an output file so that it is either complete or not there at all.
#ifndef TRESSEL_CLI_IO_ATOMICFILE_H
#define TRESSEL_CLI_IO_ATOMICFILE_H

#include <filesystem>
#include <string>
#include <string_view>

namespace cliio {

// Writes `bytes` to a temporary file beside `file`, flushes it to disk and
// renames it over `file`. On failure `file` is exactly as it was before (absent
// or with its old contents), no temporary file remains, and *error is one line
// that begins with `file`. A new file gets the permissions the umask allows;
// a replaced file keeps its own. REQUIRES: error != nullptr.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes, std::string* error);

}  // namespace cliio

#endif
