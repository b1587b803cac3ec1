// Reading and writing scene files (docs/scene-file.md): JSON through
// nlohmann-json on the way in with every member checked, a fixed hand-made
// layout on the way out. Linear in the file's size.
#include "cli/SceneFile.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/StoredSettings.h"
#include "cli/io/AtomicFile.h"

namespace cli {
namespace {

using nlohmann::json;

struct CParseFailure {
  std::string what;
};

[[noreturn]] void Fail(const std::string& what) { throw CParseFailure{what}; }

double FiniteNumber(const json& value, const std::string& where) {
  if (!value.is_number()) Fail(where + " is not a number");
  double number = value.get<double>();
  if (!std::isfinite(number)) Fail(where + " is not finite");
  return number;
}

int32_t Time(const json& value, const std::string& where) {
  if (!value.is_number_integer()) Fail(where + " is not a whole number");
  if (value.is_number_unsigned() ? value.get<uint64_t>() > uint64_t(INT32_MAX)
                                 : (value.get<int64_t>() < INT32_MIN || value.get<int64_t>() > INT32_MAX))
    Fail(where + " does not fit a 32-bit time");
  return int32_t(value.get<int64_t>());
}

void CheckMembers(const json& object, std::initializer_list<const char*> known, const std::string& where) {
  for (auto member = object.begin(); member != object.end(); ++member) {
    bool found = false;
    for (const char* name : known) found = found || member.key() == name;
    if (!found) Fail(where + "unknown member \"" + member.key() + "\"");
  }
}

void ReadSetup(const json& setup, CScene* scene) {
  if (!setup.is_object()) Fail("\"setup\" is not an object");
  CheckMembers(setup, {"time", "matrices"}, "\"setup\": ");
  if (setup.contains("time")) scene->setup.setupTime = Time(setup["time"], "\"setup\".\"time\"");
  if (!setup.contains("matrices")) return;
  const json& matrices = setup["matrices"];
  if (!matrices.is_array() || matrices.size() != 6) Fail("\"setup\".\"matrices\" is not a list of 6 matrices");
  for (size_t m = 0; m < 6; ++m) {
    const json& matrix = matrices[m];
    std::string where = "matrix " + std::to_string(m + 1);
    if (!matrix.is_array() || matrix.size() != 16) Fail(where + " is not a list of 16 numbers");
    for (size_t i = 0; i < 16; ++i)
      scene->setup.matrices[m][i] = FiniteNumber(matrix[i], where + " element " + std::to_string(i + 1));
  }
}

void ReadChannels(const json& channels, CScene* scene) {
  if (!channels.is_object()) Fail("\"channels\" is not an object");
  for (auto channel = channels.begin(); channel != channels.end(); ++channel) {
    std::string where = "channel \"" + channel.key() + "\"";
    if (channel.key().empty() || channel.key().size() > 255) Fail(where + ": a name has 1 to 255 bytes");
    if (!channel.value().is_array()) Fail(where + " is not a list of [time, value] keys");
    std::map<int32_t, double>& keys = scene->channels[channel.key()];
    for (const json& key : channel.value()) {
      if (!key.is_array() || key.size() != 2) Fail(where + ": a key is not [time, value]");
      int32_t time = Time(key[0], where + " key time");
      if (keys.count(time)) Fail(where + ": two keys at time " + std::to_string(time));
      keys[time] = FiniteNumber(key[1], where + " key value");
    }
  }
}

void ReadScene(const json& document, CScene* scene) {
  if (!document.is_object()) Fail("not a scene (the document is not a JSON object)");
  if (!document.contains("tressel-scene")) Fail("not a scene (no \"tressel-scene\" member)");
  const json& format = document["tressel-scene"];
  if (!format.is_number_integer() || format.get<int64_t>() != kSceneFormatVersion)
    Fail("scene format " + format.dump() + " is not supported (this command reads format 1)");
  CheckMembers(document, {"tressel-scene", "meshes", "settings", "setup", "channels"}, "");
  if (document.contains("meshes")) {
    const json& meshes = document["meshes"];
    if (!meshes.is_array()) Fail("\"meshes\" is not a list of paths");
    for (const json& mesh : meshes) {
      if (!mesh.is_string() || mesh.get<std::string>().empty()) Fail("\"meshes\" holds something that is not a path");
      scene->meshes.push_back(mesh.get<std::string>());
    }
  }
  if (document.contains("settings")) {
    const json& settings = document["settings"];
    if (!settings.is_string() || !FromHex(settings.get<std::string>(), &scene->settings))
      Fail("\"settings\" is not a string of hexadecimal byte pairs");
    scene->hasSettings = true;
  }
  if (document.contains("setup")) ReadSetup(document["setup"], scene);
  if (document.contains("channels")) ReadChannels(document["channels"], scene);
}

std::string Number(double value) { return json(value).dump(); }

}  // namespace

bool LoadScene(const std::filesystem::path& file, CScene* scene, std::string* error) {
  std::error_code failure;
  if (std::filesystem::is_directory(file, failure)) {
    *error = file.string() + ": is a folder, not a scene file";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = file.string() + ": cannot open the scene file";
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    *error = file.string() + ": cannot read the scene file";
    return false;
  }
  json document = json::parse(text.str(), nullptr, false);
  if (document.is_discarded()) {
    *error = file.string() + ": not a scene (not valid JSON)";
    return false;
  }
  CScene loaded;
  try {
    ReadScene(document, &loaded);
  } catch (const CParseFailure& failure) {
    *error = file.string() + ": " + failure.what;
    return false;
  } catch (const json::exception& failure) {
    *error = file.string() + ": " + failure.what();
    return false;
  }
  *scene = std::move(loaded);
  error->clear();
  return true;
}

std::string SceneText(const CScene& scene) {
  std::string out = "{\n  \"tressel-scene\": " + std::to_string(kSceneFormatVersion) + ",\n  \"meshes\": [";
  for (size_t i = 0; i < scene.meshes.size(); ++i) out += (i ? ", " : "") + json(scene.meshes[i]).dump();
  out += "],\n";
  if (scene.hasSettings) out += "  \"settings\": \"" + ToHex(scene.settings) + "\",\n";
  out += "  \"setup\": {\n    \"time\": " + std::to_string(scene.setup.setupTime) + ",\n    \"matrices\": [\n";
  for (int m = 0; m < 6; ++m) {
    out += "      [";
    for (int i = 0; i < 16; ++i) out += (i ? ", " : "") + Number(scene.setup.matrices[m][i]);
    out += m < 5 ? "],\n" : "]\n";
  }
  out += "    ]\n  },\n  \"channels\": {";
  bool firstChannel = true;
  for (const auto& [name, keys] : scene.channels) {
    out += (firstChannel ? "\n    " : ",\n    ") + json(name).dump(-1, ' ', false, json::error_handler_t::replace) + ": [";
    firstChannel = false;
    bool firstKey = true;
    for (const auto& [time, value] : keys) {
      out += (firstKey ? "[" : ", [") + std::to_string(time) + ", " + Number(value) + "]";
      firstKey = false;
    }
    out += "]";
  }
  out += firstChannel ? "}\n}\n" : "\n  }\n}\n";
  return out;
}

bool SaveScene(const std::filesystem::path& file, const CScene& scene, std::string* error) {
  return cliio::WriteFileAtomically(file, SceneText(scene), error);
}

std::filesystem::path ResolveMeshPath(const std::filesystem::path& sceneFile, const std::string& stored) {
  std::filesystem::path path(stored);
  if (path.is_absolute()) return path;
  return sceneFile.parent_path() / path;
}

std::string StoredMeshPath(const std::filesystem::path& sceneFile, const std::filesystem::path& mesh) {
  std::error_code failure;
  std::filesystem::path absoluteMesh = std::filesystem::absolute(mesh, failure);
  if (failure) return mesh.string();
  std::filesystem::path folder = std::filesystem::absolute(sceneFile, failure).parent_path();
  if (failure) return absoluteMesh.lexically_normal().string();
  std::filesystem::path relative = absoluteMesh.lexically_normal().lexically_relative(folder.lexically_normal());
  // A path that climbs out of the scene's folder would break when the folder
  // moves; an absolute one at least keeps naming the same file.
  if (relative.empty() || *relative.begin() == "..") return absoluteMesh.lexically_normal().string();
  return relative.string();
}

}  // namespace cli
