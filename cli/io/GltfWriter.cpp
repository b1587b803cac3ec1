// Writes wire groups as glTF 2.0: one node and one mesh per group, a LINES
// primitive (mode 1) with POSITION (float32, with min/max), TEXCOORD_0 = (u, 0)
// and uint32 indices; a group without segments keeps its vertices as POINTS
// and a group without vertices is a node only. The buffer is embedded as a
// base64 data URI (.gltf) or carried in the BIN chunk (.glb). All binary data
// is little-endian. Linear in the number of vertices and segments.
#include <float.h>
#include <stdint.h>
#include <string.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "cli/io/WireWriters.h"

namespace cliio {

namespace {

using nlohmann::json;

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;

void AppendUint32(std::string* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

void AppendFloat(std::string* out, float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  AppendUint32(out, bits);
}

std::string Base64(const std::string& data) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  for (size_t i = 0; i < data.size(); i += 3) {
    const size_t left = data.size() - i;
    uint32_t chunk = static_cast<uint8_t>(data[i]) << 16;
    if (left > 1) chunk |= static_cast<uint8_t>(data[i + 1]) << 8;
    if (left > 2) chunk |= static_cast<uint8_t>(data[i + 2]);
    out += kAlphabet[(chunk >> 18) & 63];
    out += kAlphabet[(chunk >> 12) & 63];
    out += left > 1 ? kAlphabet[(chunk >> 6) & 63] : '=';
    out += left > 2 ? kAlphabet[chunk & 63] : '=';
  }
  return out;
}

// Adds a buffer view over bytes [offset, end of buffer) and an accessor on it.
int AddAccessor(json* document, const std::string& buffer, size_t offset, int target, int componentType,
                const char* type, size_t count) {
  json& views = (*document)["bufferViews"];
  views.push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", buffer.size() - offset}, {"target", target}});
  json& accessors = (*document)["accessors"];
  accessors.push_back(
      {{"bufferView", views.size() - 1}, {"componentType", componentType}, {"count", count}, {"type", type}});
  return static_cast<int>(accessors.size() - 1);
}

}  // namespace

bool SerializeGltf(const std::vector<CWireGroup>& groups, bool binary, std::string* bytes, std::string* detail) {
  json document;
  document["asset"] = {{"version", "2.0"}, {"generator", "tressel wire"}};
  document["accessors"] = json::array();
  document["bufferViews"] = json::array();
  document["meshes"] = json::array();
  document["nodes"] = json::array();
  std::string buffer;
  for (size_t g = 0; g < groups.size(); ++g) {
    const CWireGroup& group = groups[g];
    json node = {{"name", group.name}};
    if (!group.vertices.empty()) {
      float low[3] = {FLT_MAX, FLT_MAX, FLT_MAX}, high[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
      const size_t positionsAt = buffer.size();
      for (size_t v = 0; v < group.vertices.size(); ++v) {
        for (int i = 0; i < 3; ++i) {
          const double coordinate = group.vertices[v].position[i];
          if (std::fabs(coordinate) > FLT_MAX) {
            *detail = "group " + std::to_string(g + 1) + " vertex " + std::to_string(v) +
                      " lies beyond the range of glTF's 32-bit floats";
            return false;
          }
          const float value = static_cast<float>(coordinate);
          low[i] = std::fmin(low[i], value);
          high[i] = std::fmax(high[i], value);
          AppendFloat(&buffer, value);
        }
      }
      json attributes;
      attributes["POSITION"] =
          AddAccessor(&document, buffer, positionsAt, kArrayBuffer, kFloat, "VEC3", group.vertices.size());
      document["accessors"].back()["min"] = {low[0], low[1], low[2]};
      document["accessors"].back()["max"] = {high[0], high[1], high[2]};
      const size_t texturesAt = buffer.size();
      for (const CWireVertex& vertex : group.vertices) {
        AppendFloat(&buffer, static_cast<float>(vertex.u));
        AppendFloat(&buffer, 0.0f);
      }
      attributes["TEXCOORD_0"] =
          AddAccessor(&document, buffer, texturesAt, kArrayBuffer, kFloat, "VEC2", group.vertices.size());
      json primitive = {{"attributes", attributes}, {"mode", group.segments.empty() ? 0 : 1}};
      if (!group.segments.empty()) {
        const size_t indicesAt = buffer.size();
        for (const CWireSegment& segment : group.segments) {
          AppendUint32(&buffer, static_cast<uint32_t>(segment.a));
          AppendUint32(&buffer, static_cast<uint32_t>(segment.b));
        }
        primitive["indices"] = AddAccessor(&document, buffer, indicesAt, kElementArrayBuffer, kUnsignedInt, "SCALAR",
                                           group.segments.size() * 2);
      }
      document["meshes"].push_back({{"name", group.name}, {"primitives", json::array({primitive})}});
      node["mesh"] = document["meshes"].size() - 1;
    }
    document["nodes"].push_back(node);
  }
  // Empty arrays are not allowed by the format's schema.
  for (const char* key : {"accessors", "bufferViews", "meshes", "nodes"})
    if (document[key].empty()) document.erase(key);
  json scene = json::object();
  if (document.contains("nodes")) {
    scene["nodes"] = json::array();
    for (size_t i = 0; i < groups.size(); ++i) scene["nodes"].push_back(i);
  }
  document["scenes"] = json::array({scene});
  document["scene"] = 0;
  if (!buffer.empty()) {
    json entry = {{"byteLength", buffer.size()}};
    if (!binary) entry["uri"] = "data:application/octet-stream;base64," + Base64(buffer);
    document["buffers"] = json::array({entry});
  }
  // Names come from mesh files and need not be UTF-8; invalid bytes become U+FFFD.
  std::string text = document.dump(-1, ' ', false, json::error_handler_t::replace);
  if (!binary) {
    *bytes = std::move(text) + "\n";
    return true;
  }
  while (text.size() % 4) text += ' ';
  while (buffer.size() % 4) buffer += '\0';
  std::string out;
  const size_t total = 12 + 8 + text.size() + (buffer.empty() ? 0 : 8 + buffer.size());
  if (total > UINT32_MAX) {
    *detail = "the wires are too large for a .glb file";
    return false;
  }
  out.reserve(total);
  AppendUint32(&out, 0x46546C67u);  // "glTF"
  AppendUint32(&out, 2);
  AppendUint32(&out, static_cast<uint32_t>(total));
  AppendUint32(&out, static_cast<uint32_t>(text.size()));
  AppendUint32(&out, 0x4E4F534Au);  // "JSON"
  out += text;
  if (!buffer.empty()) {
    AppendUint32(&out, static_cast<uint32_t>(buffer.size()));
    AppendUint32(&out, 0x004E4942u);  // "BIN\0"
    out += buffer;
  }
  *bytes = std::move(out);
  return true;
}

}  // namespace cliio
