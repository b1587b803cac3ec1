// Per-input runs of `tressel wire` (see WireInputs.h). Linear in the inputs,
// plus a sort of their output names to find clashes.
#include "cli/WireInputs.h"

#include <algorithm>
#include <filesystem>

#include "cli/WireOptions.h"

namespace cli {

namespace {

// Every input's name from `pattern`; a clash names both inputs.
bool ExpandAll(const CRunRequest& request, const std::string& flag, const std::string& pattern,
               std::vector<std::string>* names, std::string* error) {
  std::vector<std::pair<std::string, std::string>> byName;  // normalised name, input
  for (const std::string& mesh : request.meshes) {
    std::string name;
    if (!ExpandStem(pattern, std::filesystem::path(mesh).stem().string(), request.frames, &name, error)) {
      *error = flag + ": " + *error;
      return false;
    }
    names->push_back(name);
    byName.emplace_back(std::filesystem::path(name).lexically_normal().string(), mesh);
  }
  std::stable_sort(byName.begin(), byName.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t k = 1; k < byName.size(); ++k) {
    if (byName[k].first == byName[k - 1].first) {
      *error = flag + ": " + byName[k - 1].second + " and " + byName[k].second + " would both write " +
               byName[k].first;
      return false;
    }
  }
  return true;
}

}  // namespace

bool RunsPerInput(const CRunRequest& request) {
  return request.each || (request.outputGiven && HasStemField(request.output)) ||
         (request.previewGiven && HasStemField(request.preview));
}

bool SplitRuns(const CRunRequest& request, std::vector<CInputRun>* runs, std::string* error) {
  runs->clear();
  if (!RunsPerInput(request)) {
    std::string unused;
    if (request.outputGiven && !ExpandStem(request.output, "", false, &unused, error)) {
      *error = "-o: " + *error;
      return false;
    }
    if (request.previewGiven && !ExpandStem(request.preview, "", false, &unused, error)) {
      *error = "--preview: " + *error;
      return false;
    }
    CInputRun run;
    run.meshes = request.meshes;
    if (request.outputGiven) run.output = request.output;
    if (request.previewGiven) run.preview = request.preview;
    runs->push_back(run);
    return true;
  }
  const std::string why = request.each ? "--each" : "{stem}";
  if (request.meshes.empty()) {
    *error = why + ": one output per input needs MESH files";
    return false;
  }
  const std::string output = request.outputGiven ? request.output : kDefaultEachOutput;
  if (request.meshes.size() > 1 && !HasStemField(output)) {
    *error = "-o: with one output per input, " + output + " needs {stem} (for example -o 'out/{stem}.obj')";
    return false;
  }
  if (request.previewGiven && request.meshes.size() > 1 && !HasStemField(request.preview)) {
    *error = "--preview: with one output per input, " + request.preview + " needs {stem}";
    return false;
  }
  std::vector<std::string> outputs, previews;
  if (!ExpandAll(request, "-o", output, &outputs, error)) return false;
  if (request.previewGiven && !ExpandAll(request, "--preview", request.preview, &previews, error)) return false;
  for (size_t k = 0; k < request.meshes.size(); ++k) {
    CInputRun run;
    run.meshes = {request.meshes[k]};
    run.output = outputs[k];
    if (request.previewGiven) run.preview = previews[k];
    runs->push_back(run);
  }
  return true;
}

}  // namespace cli
