// Writes wire groups as OBJ (one `o` per group, `v` and `vt u 0` per vertex,
// one `l` per polyline with v/vt pairs; OBJ numbers run across the whole file)
// or ASCII PLY (vertex x y z u, edge vertex1 vertex2, the groups one after the
// other, each named by a comment). Doubles are written in their shortest form
// that reads back to the same value. Linear in the number of vertices and
// segments.
#include "cli/io/WireWriters.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "cli/io/AtomicFile.h"

namespace cliio {

namespace {

void AppendNumber(std::string* out, double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out->append(text, result.ptr);
}

void AppendIndex(std::string* out, size_t value) {
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out->append(text, result.ptr);
}

// Group names go into one-line fields: line breaks become spaces and an empty
// name is replaced by the group's number.
std::string LineSafeName(const std::string& name, size_t index) {
  std::string safe = name;
  std::replace_if(safe.begin(), safe.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  if (safe.find_first_not_of(" \t") == std::string::npos) safe = "group " + std::to_string(index + 1);
  return safe;
}

std::string SerializeObj(const std::vector<CWireGroup>& groups) {
  std::string out = "# wires written by tressel wire\n";
  size_t base = 1;
  for (size_t g = 0; g < groups.size(); ++g) {
    const CWireGroup& group = groups[g];
    out += "o " + LineSafeName(group.name, g) + "\n";
    for (const CWireVertex& vertex : group.vertices) {
      out += "v ";
      AppendNumber(&out, vertex.position[0]);
      out += ' ';
      AppendNumber(&out, vertex.position[1]);
      out += ' ';
      AppendNumber(&out, vertex.position[2]);
      out += "\nvt ";
      AppendNumber(&out, vertex.u);
      out += " 0\n";
    }
    // The polylines of JoinPolylines, walked in place: a segment that does not
    // continue the previous one starts a new `l` line.
    const std::vector<CWireSegment>& segments = group.segments;
    auto appendCorner = [&out, base](int32_t index) {
      const size_t number = base + static_cast<size_t>(index);
      out += ' ';
      AppendIndex(&out, number);
      out += '/';
      AppendIndex(&out, number);
    };
    for (size_t i = 0; i < segments.size(); ++i) {
      if (i == 0 || segments[i - 1].b != segments[i].a) {
        if (i != 0) out += '\n';
        out += 'l';
        appendCorner(segments[i].a);
      }
      appendCorner(segments[i].b);
    }
    if (!segments.empty()) out += '\n';
    base += group.vertices.size();
  }
  return out;
}

std::string SerializePly(const std::vector<CWireGroup>& groups) {
  size_t vertexCount = 0, edgeCount = 0;
  for (const CWireGroup& group : groups) {
    vertexCount += group.vertices.size();
    edgeCount += group.segments.size();
  }
  std::string out = "ply\nformat ascii 1.0\ncomment wires written by tressel wire\n";
  size_t firstVertex = 0, firstEdge = 0;
  for (size_t g = 0; g < groups.size(); ++g) {
    out += "comment group " + std::to_string(g + 1) + " vertices " + std::to_string(firstVertex) + " " +
           std::to_string(groups[g].vertices.size()) + " edges " + std::to_string(firstEdge) + " " +
           std::to_string(groups[g].segments.size()) + " name " + LineSafeName(groups[g].name, g) + "\n";
    firstVertex += groups[g].vertices.size();
    firstEdge += groups[g].segments.size();
  }
  out += "element vertex " + std::to_string(vertexCount) +
         "\nproperty double x\nproperty double y\nproperty double z\nproperty double u\n"
         "element edge " + std::to_string(edgeCount) + "\nproperty int vertex1\nproperty int vertex2\nend_header\n";
  for (const CWireGroup& group : groups) {
    for (const CWireVertex& vertex : group.vertices) {
      for (int i = 0; i < 3; ++i) {
        AppendNumber(&out, vertex.position[i]);
        out += ' ';
      }
      AppendNumber(&out, vertex.u);
      out += '\n';
    }
  }
  size_t base = 0;
  for (const CWireGroup& group : groups) {
    for (const CWireSegment& segment : group.segments) {
      AppendIndex(&out, base + static_cast<size_t>(segment.a));
      out += ' ';
      AppendIndex(&out, base + static_cast<size_t>(segment.b));
      out += '\n';
    }
    base += group.vertices.size();
  }
  return out;
}

}  // namespace

bool WireFormatFor(const std::filesystem::path& file, WireFormat* format) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".obj") *format = WireFormat::kObj;
  else if (extension == ".ply") *format = WireFormat::kPly;
  else if (extension == ".gltf") *format = WireFormat::kGltf;
  else if (extension == ".glb") *format = WireFormat::kGlb;
  else return false;
  return true;
}

bool SerializeWires(const std::vector<CWireGroup>& groups, WireFormat format, std::string* bytes, std::string* detail) {
  if (!CheckWireGroups(groups, detail)) return false;
  switch (format) {
    case WireFormat::kObj: *bytes = SerializeObj(groups); return true;
    case WireFormat::kPly: *bytes = SerializePly(groups); return true;
    case WireFormat::kGltf: return SerializeGltf(groups, false, bytes, detail);
    case WireFormat::kGlb: return SerializeGltf(groups, true, bytes, detail);
  }
  return false;
}

bool WriteWireFile(const std::filesystem::path& file, const std::vector<CWireGroup>& groups, std::string* error) {
  WireFormat format;
  if (!WireFormatFor(file, &format)) {
    *error = file.string() + ": unknown output format (use .obj, .ply, .gltf or .glb)";
    return false;
  }
  std::string bytes, detail;
  if (!SerializeWires(groups, format, &bytes, &detail)) {
    *error = file.string() + ": not written: " + detail;
    return false;
  }
  return WriteFileAtomically(file, bytes, error);
}

}  // namespace cliio
