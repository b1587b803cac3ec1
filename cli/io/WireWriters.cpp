// Writes wire groups as OBJ or ASCII PLY through a fixed buffer.
//
// OBJ: one `o` per group; `v x y z` and `vt u 0` per vertex; one two-corner
// `l v/vt v/vt` per segment (importers that read only the first segment of a
// longer `l` read these in full). A closed ring, whose last vertex lies where
// its first does, is closed in the file: its last corner names the first
// vertex's `v` and a `vt` of its own when u differs (the ring's u runs 0 to 1).
// OBJ numbers run across the whole file.
// PLY: vertex x y z u and the group's colour, edge vertex1 vertex2, the groups
// one after the other, each named by a comment; the coordinates are declared
// float when every number is a float widened to double, double otherwise.
// Numbers are written in their shortest form that reads back to the value sent.
// Linear in the number of vertices and segments; 12 bytes per vertex of the
// largest group beyond the buffer (OBJ numbering).
#include "cli/io/WireWriters.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "cli/io/WireColours.h"

namespace cliio {

namespace {

// Group names go into one-line fields: line breaks become spaces and an empty
// name is replaced by the group's number.
std::string LineSafeName(const std::string& name, size_t index) {
  std::string safe = name;
  std::replace_if(safe.begin(), safe.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  if (safe.find_first_not_of(" \t") == std::string::npos) safe = "group " + std::to_string(index + 1);
  return safe;
}

uint64_t WorkOf(const std::vector<CWireGroup>& groups) {
  uint64_t work = 0;
  for (const CWireGroup& group : groups) work += group.vertices.size() + group.segments.size();
  return work;
}

bool SamePosition(const CWireVertex& a, const CWireVertex& b) {
  return a.position[0] == b.position[0] && a.position[1] == b.position[1] && a.position[2] == b.position[2];
}

bool SameBits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

constexpr uint32_t kNone = UINT32_MAX;

// The OBJ numbers of one group's corners: a vertex's `v` and `vt`, both
// 0-based within the group. A ring's closing vertex shares its first vertex's
// `v` (and `vt` when u is the same).
struct CObjNumbers {
  std::vector<uint32_t> v, vt;  // kNone: the closing vertex takes its first vertex's
  std::vector<int32_t> first;   // the ring's first vertex for a closing vertex, else -1
  uint32_t vCount = 0, vtCount = 0;

  uint32_t V(int32_t i) const { return first[size_t(i)] < 0 ? v[size_t(i)] : v[size_t(first[size_t(i)])]; }
  uint32_t Vt(int32_t i) const { return vt[size_t(i)] != kNone ? vt[size_t(i)] : vt[size_t(first[size_t(i)])]; }
};

// A polyline (a run of segments where each begins where the one before
// ended) of three or more segments is a closed ring when its last vertex lies
// exactly where its first does. Its last vertex is then merged onto its first,
// unless that would give a segment from a vertex to itself or chain merges
// (a merged vertex never receives another, a vertex receiving one is never
// merged itself).
CObjNumbers NumberObjCorners(const CWireGroup& group) {
  const std::vector<CWireSegment>& segments = group.segments;
  CObjNumbers numbers;
  numbers.first.assign(group.vertices.size(), -1);
  std::vector<uint8_t> receives(group.vertices.size(), 0);
  for (size_t start = 0; start < segments.size();) {
    size_t end = start;
    while (end + 1 < segments.size() && segments[end + 1].a == segments[end].b) ++end;
    const int32_t first = segments[start].a, last = segments[end].b;
    if (end - start >= 2 && last != first && segments[end].a != first && numbers.first[size_t(first)] < 0 &&
        numbers.first[size_t(last)] < 0 && !receives[size_t(last)] &&
        SamePosition(group.vertices[size_t(first)], group.vertices[size_t(last)])) {
      numbers.first[size_t(last)] = first;
      receives[size_t(first)] = 1;
    }
    start = end + 1;
  }
  numbers.v.assign(group.vertices.size(), kNone);
  numbers.vt.assign(group.vertices.size(), kNone);
  for (size_t i = 0; i < group.vertices.size(); ++i) {
    const int32_t first = numbers.first[i];
    if (first < 0) numbers.v[i] = numbers.vCount++;
    if (first < 0 || !SameBits(group.vertices[i].u, group.vertices[size_t(first)].u)) numbers.vt[i] = numbers.vtCount++;
  }
  return numbers;
}

bool WriteObj(const std::vector<CWireGroup>& groups, CByteSink& sink, std::string* detail, const WriteProgress& progress) {
  CBufferedWriter out(sink, progress, WorkOf(groups));
  out.Text("# wires written by tressel wire\n");
  uint64_t vBase = 1, vtBase = 1;
  for (size_t g = 0; g < groups.size() && out.Ok(); ++g) {
    const CWireGroup& group = groups[g];
    const CObjNumbers numbers = NumberObjCorners(group);
    out.Text("o ");
    out.Text(LineSafeName(group.name, g));
    out.Char('\n');
    for (size_t i = 0; i < group.vertices.size() && out.Ok(); ++i) {
      const CWireVertex& vertex = group.vertices[i];
      if (numbers.v[i] != kNone) {
        out.Text("v ");
        out.Number(vertex.position[0]);
        out.Char(' ');
        out.Number(vertex.position[1]);
        out.Char(' ');
        out.Number(vertex.position[2]);
        out.Char('\n');
      }
      if (numbers.vt[i] != kNone) {
        out.Text("vt ");
        out.Number(vertex.u);
        out.Text(" 0\n");
      }
      out.Advance(1);
    }
    auto corner = [&](int32_t index) {
      out.Index(vBase + numbers.V(index));
      out.Char('/');
      out.Index(vtBase + numbers.Vt(index));
    };
    for (size_t s = 0; s < group.segments.size() && out.Ok(); ++s) {
      out.Text("l ");
      corner(group.segments[s].a);
      out.Char(' ');
      corner(group.segments[s].b);
      out.Char('\n');
      out.Advance(1);
    }
    vBase += numbers.vCount;
    vtBase += numbers.vtCount;
  }
  return out.Finish(detail);
}

bool WritePly(const std::vector<CWireGroup>& groups, CByteSink& sink, std::string* detail, const WriteProgress& progress) {
  size_t vertexCount = 0, edgeCount = 0;
  bool floats = true;
  for (const CWireGroup& group : groups) {
    vertexCount += group.vertices.size();
    edgeCount += group.segments.size();
    for (const CWireVertex& vertex : group.vertices)
      floats = floats && IsWidenedFloat(vertex.position[0]) && IsWidenedFloat(vertex.position[1]) &&
               IsWidenedFloat(vertex.position[2]) && IsWidenedFloat(vertex.u);
  }
  const std::vector<CRgb> colours = GroupColours(groups.size());
  CBufferedWriter out(sink, progress, WorkOf(groups));
  out.Text("ply\nformat ascii 1.0\ncomment wires written by tressel wire\n");
  size_t firstVertex = 0, firstEdge = 0;
  for (size_t g = 0; g < groups.size(); ++g) {
    out.Text("comment group " + std::to_string(g + 1) + " vertices " + std::to_string(firstVertex) + " " +
             std::to_string(groups[g].vertices.size()) + " edges " + std::to_string(firstEdge) + " " +
             std::to_string(groups[g].segments.size()) + " name " + LineSafeName(groups[g].name, g) + "\n");
    firstVertex += groups[g].vertices.size();
    firstEdge += groups[g].segments.size();
  }
  const std::string type = floats ? "float" : "double";
  out.Text("element vertex " + std::to_string(vertexCount) + "\nproperty " + type + " x\nproperty " + type +
           " y\nproperty " + type + " z\nproperty " + type +
           " u\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
           "element edge " + std::to_string(edgeCount) + "\nproperty int vertex1\nproperty int vertex2\nend_header\n");
  for (size_t g = 0; g < groups.size() && out.Ok(); ++g) {
    char colour[16];
    const int length = snprintf(colour, sizeof colour, " %u %u %u\n", colours[g].red, colours[g].green, colours[g].blue);
    for (const CWireVertex& vertex : groups[g].vertices) {
      for (int i = 0; i < 3; ++i) {
        out.Number(vertex.position[i]);
        out.Char(' ');
      }
      out.Number(vertex.u);
      out.Text(std::string_view(colour, size_t(length)));
      out.Advance(1);
    }
  }
  size_t base = 0;
  for (const CWireGroup& group : groups) {
    for (const CWireSegment& segment : group.segments) {
      out.Index(base + static_cast<size_t>(segment.a));
      out.Char(' ');
      out.Index(base + static_cast<size_t>(segment.b));
      out.Char('\n');
      out.Advance(1);
    }
    if (!out.Ok()) break;
    base += group.vertices.size();
  }
  return out.Finish(detail);
}

}  // namespace

bool WireFormatNamed(const std::string& name, WireFormat* format) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "obj") *format = WireFormat::kObj;
  else if (lower == "ply") *format = WireFormat::kPly;
  else if (lower == "gltf") *format = WireFormat::kGltf;
  else if (lower == "glb") *format = WireFormat::kGlb;
  else return false;
  return true;
}

bool WireFormatFor(const std::filesystem::path& file, WireFormat* format) {
  const std::string extension = file.extension().string();
  return !extension.empty() && WireFormatNamed(extension.substr(1), format);
}

bool WriteWires(const std::vector<CWireGroup>& groups, WireFormat format, CByteSink& sink, std::string* detail,
                const WriteProgress& progress) {
  if (!CheckWireGroups(groups, detail)) return false;
  switch (format) {
    case WireFormat::kObj: return WriteObj(groups, sink, detail, progress);
    case WireFormat::kPly: return WritePly(groups, sink, detail, progress);
    case WireFormat::kGltf: return WriteGltf(groups, false, sink, detail, progress);
    case WireFormat::kGlb: return WriteGltf(groups, true, sink, detail, progress);
  }
  return false;
}

bool SerializeWires(const std::vector<CWireGroup>& groups, WireFormat format, std::string* bytes, std::string* detail) {
  bytes->clear();
  CStringSink sink(bytes);
  return WriteWires(groups, format, sink, detail);
}

namespace {

bool Fail(const std::filesystem::path& file, const std::string& what, int code, std::string* error) {
  *error = file.string() + ": " + what + (code ? std::string(" (") + strerror(code) + ")" : std::string());
  return false;
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);  // the command runs on one thread; reading the mask means setting it
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

// The wires stream into a temporary beside `file` (a rename is atomic only
// within one file system), which is flushed to disk and renamed over `file`;
// every failure removes it. The same steps as WriteFileAtomically, for bytes
// that are never held whole.
bool WriteWireFile(const std::filesystem::path& file, const std::vector<CWireGroup>& groups, std::string* error,
                   const WriteProgress& progress) {
  WireFormat format;
  if (!WireFormatFor(file, &format)) return Fail(file, "unknown output format (use .obj, .ply, .gltf or .glb)", 0, error);
  std::string detail;
  if (!CheckWireGroups(groups, &detail)) return Fail(file, "not written: " + detail, 0, error);
  if (file.filename().empty()) return Fail(file, "is not a file name", 0, error);
  struct stat existing;
  mode_t mode = NewFileMode();
  if (stat(file.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return Fail(file, "cannot be written: a folder is in the way", 0, error);
    mode = existing.st_mode & 07777;
  }
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  std::string name = (folder / ("." + file.filename().string() + ".tmp-XXXXXX")).string();
  const int descriptor = mkstemp(name.data());
  if (descriptor < 0) return Fail(file, "cannot be written", errno, error);
  auto abandon = [&](const std::string& what, int code) {
    close(descriptor);
    unlink(name.c_str());
    return Fail(file, what, code, error);
  };
  CDescriptorSink sink(descriptor);
  if (!WriteWires(groups, format, sink, &detail, progress))
    return abandon(detail.rfind("could not be written", 0) == 0 ? detail : "not written: " + detail, 0);
  if (fchmod(descriptor, mode) != 0) return abandon("cannot be given its permissions", errno);
  if (fsync(descriptor) != 0) return abandon("could not be flushed to disk", errno);
  if (close(descriptor) != 0) {
    const int code = errno;
    unlink(name.c_str());
    return Fail(file, "could not be written completely", code, error);
  }
  if (rename(name.c_str(), file.c_str()) != 0) {
    const int code = errno;
    unlink(name.c_str());
    return Fail(file, "cannot be replaced", code, error);
  }
  return true;
}

}  // namespace cliio
