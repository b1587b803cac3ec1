// Writes wire groups as glTF 2.0: one node, one mesh and one material (the
// group's colour, WireColours.h) per group; a LINES primitive (mode 1) with
// POSITION (float32, with min/max), TEXCOORD_0 = (u, 0) and uint32 indices; a
// group without segments keeps its vertices as POINTS and a group without
// vertices is a node only. The buffer is embedded as a base64 data URI
// (.gltf) or carried in the BIN chunk (.glb). All binary data is
// little-endian. Two passes: the bounds and the layout first, so the JSON can
// go out before the buffer streams behind it. Linear in the number of
// vertices and segments.
#include <float.h>
#include <stdint.h>
#include <string.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "cli/io/WireColours.h"
#include "cli/io/WireWriters.h"

namespace cliio {

namespace {

using nlohmann::json;

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;
constexpr const char* kDataUri = "data:application/octet-stream;base64,";

// Adds a buffer view over [offset, offset + length) and an accessor on it.
int AddAccessor(json* document, size_t offset, size_t length, int target, int componentType, const char* type,
                size_t count) {
  json& views = (*document)["bufferViews"];
  views.push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}, {"target", target}});
  json& accessors = (*document)["accessors"];
  accessors.push_back(
      {{"bufferView", views.size() - 1}, {"componentType", componentType}, {"count", count}, {"type", type}});
  return static_cast<int>(accessors.size() - 1);
}

// Hands buffer bytes on as they are (GLB) or as base64 text (.gltf). Values
// gather in a block of whole byte triples that is passed on (or encoded
// straight into the writer's buffer) when full.
class CBufferOut {
 public:
  CBufferOut(CBufferedWriter& out, bool base64) : mOut(out), mBase64(base64) {}
  void Uint32(uint32_t value) {
    if (mUsed + 4 > kBlock) Pass();
    for (int i = 0; i < 4; ++i) mBlock[mUsed + size_t(i)] = uint8_t(value >> (8 * i));
    mUsed += 4;
  }
  void Float(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    Uint32(bits);
  }
  // Passes on what is left; base64 text is padded to whole quads.
  void End() {
    const size_t whole = mUsed / 3 * 3;
    const size_t rest = mUsed - whole;
    mUsed = whole;
    Pass();
    if (rest == 0) return;
    const uint32_t chunk = uint32_t(mBlock[whole]) << 16 | (rest > 1 ? uint32_t(mBlock[whole + 1]) << 8 : 0);
    if (!mBase64) return mOut.Bytes(mBlock + whole, rest);
    const char quad[4] = {kAlphabet[(chunk >> 18) & 63], kAlphabet[(chunk >> 12) & 63],
                          rest > 1 ? kAlphabet[(chunk >> 6) & 63] : '=', '='};
    mOut.Bytes(quad, 4);
  }

 private:
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  static constexpr size_t kBlock = 3 * 1024;  // whole triples: base64 carries no state between blocks

  // Passes on the whole triples of the block and keeps the rest (at most two
  // bytes) at its start.
  void Pass() {
    const size_t whole = mUsed / 3 * 3;
    if (!mBase64) {
      mOut.Bytes(mBlock, whole);
    } else {
      char* at = mOut.Reserve(whole / 3 * 4);
      for (size_t k = 0; k < whole; k += 3) {
        const uint32_t chunk = uint32_t(mBlock[k]) << 16 | uint32_t(mBlock[k + 1]) << 8 | mBlock[k + 2];
        at[0] = kAlphabet[chunk >> 18];
        at[1] = kAlphabet[(chunk >> 12) & 63];
        at[2] = kAlphabet[(chunk >> 6) & 63];
        at[3] = kAlphabet[chunk & 63];
        at += 4;
      }
      mOut.Commit(at);
    }
    memmove(mBlock, mBlock + whole, mUsed - whole);
    mUsed -= whole;
  }

  CBufferedWriter& mOut;
  bool mBase64;
  uint8_t mBlock[kBlock];
  size_t mUsed = 0;
};

void WriteBuffer(const CWireSources& groups, CBufferOut& buffer, CBufferedWriter& out) {
  for (const CWireSource* group : groups) {
    ForEachVertex(*group, [&](size_t, const CWireVertex& vertex) {
      for (int i = 0; i < 3; ++i) buffer.Float(static_cast<float>(vertex.position[i]));
      return true;
    });
    ForEachVertex(*group, [&](size_t, const CWireVertex& vertex) {
      buffer.Float(static_cast<float>(vertex.u));
      buffer.Float(0.0f);
      out.Advance(1);
      return true;
    });
    ForEachSegment(*group, [&](size_t, const CWireSegment& segment) {
      buffer.Uint32(static_cast<uint32_t>(segment.a));
      buffer.Uint32(static_cast<uint32_t>(segment.b));
      out.Advance(1);
      return true;
    });
    if (!out.Ok()) return;
  }
  buffer.End();
}

}  // namespace

bool WriteGltf(const CWireSources& groups, bool binary, CByteSink& sink, std::string* detail,
               const WriteProgress& progress) {
  json document;
  document["asset"] = {{"version", "2.0"}, {"generator", "tressel wire"}};
  document["accessors"] = json::array();
  document["bufferViews"] = json::array();
  document["materials"] = json::array();
  document["meshes"] = json::array();
  document["nodes"] = json::array();
  const std::vector<CRgb> colours = GroupColours(groups.size());
  size_t bufferSize = 0;
  uint64_t work = 0;
  for (size_t g = 0; g < groups.size(); ++g) {
    const CWireSource& group = *groups[g];
    const size_t count = group.VertexCount(), segments = group.SegmentCount();
    work += count + segments;
    json node = {{"name", group.Name()}};
    if (count) {
      float low[3] = {FLT_MAX, FLT_MAX, FLT_MAX}, high[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
      const bool inRange = ForEachVertex(group, [&](size_t v, const CWireVertex& vertex) {
        for (int i = 0; i < 3; ++i) {
          const double coordinate = vertex.position[i];
          if (std::fabs(coordinate) > FLT_MAX) {
            *detail = "group " + std::to_string(g + 1) + " vertex " + std::to_string(v) +
                      " lies beyond the range of glTF's 32-bit floats";
            return false;
          }
          const float value = static_cast<float>(coordinate);
          low[i] = std::fmin(low[i], value);
          high[i] = std::fmax(high[i], value);
        }
        return true;
      });
      if (!inRange) return false;
      json attributes;
      attributes["POSITION"] = AddAccessor(&document, bufferSize, 12 * count, kArrayBuffer, kFloat, "VEC3", count);
      bufferSize += 12 * count;
      document["accessors"].back()["min"] = {low[0], low[1], low[2]};
      document["accessors"].back()["max"] = {high[0], high[1], high[2]};
      attributes["TEXCOORD_0"] = AddAccessor(&document, bufferSize, 8 * count, kArrayBuffer, kFloat, "VEC2", count);
      bufferSize += 8 * count;
      const CRgb& colour = colours[g];
      document["materials"].push_back(
          {{"name", group.Name()},
           {"pbrMetallicRoughness",
            {{"baseColorFactor",
              {LinearFromSrgb(colour.red), LinearFromSrgb(colour.green), LinearFromSrgb(colour.blue), 1.0}},
             {"metallicFactor", 0.0},
             {"roughnessFactor", 1.0}}}});
      json primitive = {{"attributes", attributes},
                        {"mode", segments == 0 ? 0 : 1},
                        {"material", document["materials"].size() - 1}};
      if (segments) {
        const size_t length = 8 * segments;
        primitive["indices"] = AddAccessor(&document, bufferSize, length, kElementArrayBuffer, kUnsignedInt, "SCALAR",
                                           segments * 2);
        bufferSize += length;
      }
      document["meshes"].push_back({{"name", group.Name()}, {"primitives", json::array({primitive})}});
      node["mesh"] = document["meshes"].size() - 1;
    }
    document["nodes"].push_back(node);
  }
  // Empty arrays are not allowed by the format's schema.
  for (const char* key : {"accessors", "bufferViews", "materials", "meshes", "nodes"})
    if (document[key].empty()) document.erase(key);
  json scene = json::object();
  if (document.contains("nodes")) {
    scene["nodes"] = json::array();
    for (size_t i = 0; i < groups.size(); ++i) scene["nodes"].push_back(i);
  }
  document["scenes"] = json::array({scene});
  document["scene"] = 0;
  if (bufferSize) {
    json entry = {{"byteLength", bufferSize}};
    if (!binary) entry["uri"] = kDataUri;
    document["buffers"] = json::array({entry});
  }
  // Names come from mesh files and need not be UTF-8; invalid bytes become U+FFFD.
  std::string text = document.dump(-1, ' ', false, json::error_handler_t::replace);

  CBufferedWriter out(sink, progress, work);
  if (!binary) {
    // The keys are written in sorted order, so the first data URI in the text
    // is the buffer's: "buffers" sorts before the named "materials",
    // "meshes" and "nodes". The base64 text goes between it and its quote.
    const size_t split = bufferSize ? text.find(kDataUri) + strlen(kDataUri) : text.size();
    out.Text(std::string_view(text).substr(0, split));
    CBufferOut buffer(out, true);
    WriteBuffer(groups, buffer, out);
    out.Text(std::string_view(text).substr(split));
    out.Char('\n');
    return out.Finish(detail);
  }
  while (text.size() % 4) text += ' ';
  const size_t paddedBuffer = (bufferSize + 3) / 4 * 4;
  const uint64_t total = 12 + 8 + uint64_t(text.size()) + (bufferSize ? 8 + paddedBuffer : 0);
  if (total > UINT32_MAX) {
    *detail = "the wires are too large for a .glb file";
    return false;
  }
  out.Uint32(0x46546C67u);  // "glTF"
  out.Uint32(2);
  out.Uint32(static_cast<uint32_t>(total));
  out.Uint32(static_cast<uint32_t>(text.size()));
  out.Uint32(0x4E4F534Au);  // "JSON"
  out.Text(text);
  if (bufferSize) {
    out.Uint32(static_cast<uint32_t>(paddedBuffer));
    out.Uint32(0x004E4942u);  // "BIN\0"
    CBufferOut buffer(out, false);
    WriteBuffer(groups, buffer, out);
    for (size_t pad = bufferSize; pad < paddedBuffer; ++pad) out.Char('\0');
  }
  return out.Finish(detail);
}

}  // namespace cliio
