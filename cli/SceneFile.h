// A scene file: what a host would save for one Tressel model (format in
// docs/scene-file.md). JSON with the mesh paths, the stored settings stream,
// the model setup and the keys of the animation channels.
#ifndef TRESSEL_CLI_SCENEFILE_H
#define TRESSEL_CLI_SCENEFILE_H

#include <stdint.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "host/Scene.h"

namespace cli {

constexpr int kSceneFormatVersion = 1;

struct CScene {
  // As stored: relative paths are relative to the scene file's folder
  // (ResolveMeshPath, StoredMeshPath).
  std::vector<std::string> meshes;
  // The instance data block after its tag slot; empty when hasSettings is false.
  bool hasSettings = false;
  std::vector<uint8_t> settings;
  host::CModelSetup setup;  // identity matrices and time 0 unless the file says otherwise
  // Channel name (bytes as the module sends them) -> keys (time -> value).
  std::map<std::string, std::map<int32_t, double>> channels;
};

// Reads `file`. False with *error, one line beginning with the file's name,
// when it cannot be read, is not JSON, or any member has the wrong shape
// (unknown members are refused too, so a typo is not silently lost on the
// next save). REQUIRES: scene and error != nullptr.
bool LoadScene(const std::filesystem::path& file, CScene* scene, std::string* error);

// The file's text: deterministic, one member a line, doubles exact.
std::string SceneText(const CScene& scene);

// Writes the scene atomically: on failure `file` is as it was and *error is
// one line beginning with its name. REQUIRES: error != nullptr.
bool SaveScene(const std::filesystem::path& file, const CScene& scene, std::string* error);

// A stored mesh path as a path to open: relative ones against the scene's folder.
std::filesystem::path ResolveMeshPath(const std::filesystem::path& sceneFile, const std::string& stored);
// A mesh path (relative to the working directory or absolute) as the scene
// stores it: relative to the scene's folder when the mesh lies inside it,
// else absolute.
std::string StoredMeshPath(const std::filesystem::path& sceneFile, const std::filesystem::path& mesh);

}  // namespace cli

#endif  // TRESSEL_CLI_SCENEFILE_H
