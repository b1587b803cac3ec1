// One output per input: `tressel wire --each A B ...` or an output name with
// {stem} runs the module once per input mesh file, each run with its own
// output (and preview) name. Everything is decided before the first run, so a
// clash between two inputs' names is refused before anything is written.
#ifndef TRESSEL_CLI_WIREINPUTS_H
#define TRESSEL_CLI_WIREINPUTS_H

#include <string>
#include <vector>

namespace cli {

// Without -o, each input's wires go to this name in the working folder.
constexpr const char* kDefaultEachOutput = "{stem}-wires.obj";

struct CInputRun {
  std::vector<std::string> meshes;
  std::string output;   // empty: the run's default
  std::string preview;  // empty: no preview
};

struct CRunRequest {
  std::vector<std::string> meshes;
  bool each = false;
  bool outputGiven = false, previewGiven = false;
  std::string output, preview;
  bool frames = false;  // the names are frame patterns too: a stem's '%' is doubled
};

// True when the request asks for one run per input (--each, or {stem} in a name).
bool RunsPerInput(const CRunRequest& request);

// The runs of a request: one run of every mesh when not RunsPerInput, else one
// run per mesh with {stem} expanded. False with *error, one line naming the
// flag, when per-input runs lack meshes, when several inputs would share one
// output or preview (no {stem}, or equal stems), or on a bad {field}.
bool SplitRuns(const CRunRequest& request, std::vector<CInputRun>* runs, std::string* error);

}  // namespace cli

#endif  // TRESSEL_CLI_WIREINPUTS_H
