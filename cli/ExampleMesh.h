// The bundled example mesh the subcommands fall back on when given no mesh.
#ifndef TRESSEL_CLI_EXAMPLEMESH_H
#define TRESSEL_CLI_EXAMPLEMESH_H

#include <filesystem>

namespace cli {

constexpr const char* kExampleMesh = "example.obj";

// Where the bundled example lives: $TRESSEL_EXAMPLES, else examples/ of the
// source tree beside build/<preset>/bin, else examples/ beside the command (the
// unpacked package), else share/tressel/examples of a prefix installation.
// Empty when none holds the example mesh.
std::filesystem::path ExamplesFolder();

}  // namespace cli

#endif  // TRESSEL_CLI_EXAMPLEMESH_H
