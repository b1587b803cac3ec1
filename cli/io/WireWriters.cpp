// Writes wire groups as OBJ or ASCII PLY through a fixed buffer.
//
// OBJ: one `o` per group; `v x y z` and `vt u 0` per vertex; one two-corner
// `l v/vt v/vt` per segment (importers that read only the first segment of a
// longer `l` read these in full). A closed ring, whose last vertex lies where
// its first does, is closed in the file: its last corner names the first
// vertex's `v` and a `vt` of its own when u differs (the ring's u runs 0 to 1;
// ObjNumbers.h). OBJ numbers run across the whole file.
// PLY: vertex x y z u and the group's colour, edge vertex1 vertex2, the groups
// one after the other, each named by a comment; the coordinates are declared
// float when every number is a float widened to double, double otherwise.
// Numbers are written in their shortest form that reads back to the value sent.
// Each line is formatted straight into the buffer. Linear in the number of
// vertices and segments; about 3 bits per vertex of the largest group beyond
// the buffer (OBJ numbering).
#include "cli/io/WireWriters.h"

#include <string.h>

#include <algorithm>
#include <cctype>

#include "cli/io/AtomicFile.h"
#include "cli/io/ObjNumbers.h"
#include "cli/io/WireColours.h"

namespace cliio {

namespace {

// Room reserved for one line: up to four numbers and some words.
constexpr size_t kLineRoom = 4 * CBufferedWriter::kMaxNumber + 32;
// Room for the text of one OBJ corner, `v/vt`: two indices and a slash, and
// the bytes WriteDecimal may store past the second one's end.
constexpr size_t kCornerRoom = 2 * kMaxNumberText + 8;
static_assert(2 + 2 * kCornerRoom + 2 <= kLineRoom, "an `l` line of two copied corners fits its room");

// Group names go into one-line fields: line breaks become spaces and an empty
// name is replaced by the group's number.
std::string LineSafeName(const std::string& name, size_t index) {
  std::string safe = name;
  std::replace_if(safe.begin(), safe.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  if (safe.find_first_not_of(" \t") == std::string::npos) safe = "group " + std::to_string(index + 1);
  return safe;
}

uint64_t WorkOf(const CWireSources& groups) {
  uint64_t work = 0;
  for (const CWireSource* group : groups) work += group->VertexCount() + group->SegmentCount();
  return work;
}

// The text of the latest numbers written, for values that come back again
// and again: the u of rings (0, 1/3, 2/3 and 1 in every ring of three
// corners). Found by their bits, so the text is exactly what formatting the
// number again would give.
class CRecentNumbers {
 public:
  // Writes `value` as CBufferedWriter::PutNumber does; REQUIRES room for
  // kMaxNumber bytes at `at`.
  char* Put(char* at, double value) {
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    for (const CEntry& entry : mEntries) {
      if (entry.bits == bits && entry.length) {
        memcpy(at, entry.text, sizeof entry.text);
        return at + entry.length;
      }
    }
    char* end = CBufferedWriter::PutNumber(at, value);
    CEntry& entry = mEntries[mNext];
    mNext = (mNext + 1) % kEntries;
    entry.bits = bits;
    entry.length = uint8_t(end - at);
    memcpy(entry.text, at, entry.length);
    return end;
  }

 private:
  static constexpr size_t kEntries = 8;  // a ring of up to seven corners stays in
  struct CEntry {
    uint64_t bits = 0;
    uint8_t length = 0;  // 0: unused
    char text[CBufferedWriter::kMaxNumber];
  };
  CEntry mEntries[kEntries];
  size_t mNext = 0;
};

char* PutText(char* at, const char* text, size_t length) {
  memcpy(at, text, length);
  return at + length;
}

bool WriteObj(const CWireSources& groups, CByteSink& sink, std::string* detail, const WriteProgress& progress) {
  CBufferedWriter out(sink, progress, WorkOf(groups));
  out.Text("# wires written by tressel wire\n");
  CRecentNumbers recentU;
  uint64_t vBase = 1, vtBase = 1;
  for (size_t g = 0; g < groups.size() && out.Ok(); ++g) {
    const CWireSource& group = *groups[g];
    const CObjNumbers numbers(group);
    out.Text("o ");
    out.Text(LineSafeName(group.Name(), g));
    out.Char('\n');
    ForEachVertex(group, [&](size_t i, const CWireVertex& vertex) {
      char* at = out.Reserve(kLineRoom);
      if (numbers.HasV(i)) {
        at = PutText(at, "v ", 2);
        at = CBufferedWriter::PutNumber(at, vertex.position[0]);
        *at++ = ' ';
        at = CBufferedWriter::PutNumber(at, vertex.position[1]);
        *at++ = ' ';
        at = CBufferedWriter::PutNumber(at, vertex.position[2]);
        *at++ = '\n';
      }
      if (numbers.HasVt(i)) {
        at = PutText(at, "vt ", 3);
        at = recentU.Put(at, vertex.u);
        at = PutText(at, " 0\n", 3);
      }
      out.Commit(at);
      out.Advance(1);
      return out.Ok();
    });
    auto corner = [&](char* at, int32_t index) {
      at = WriteDecimal(at, vBase + numbers.V(size_t(index)));
      *at++ = '/';
      return WriteDecimal(at, vtBase + numbers.Vt(size_t(index)));
    };
    // A polyline's segments share their corners: the corner that ends one
    // line begins the next, and its text is kept rather than numbered again.
    // The text is copied as a whole block (kCornerRoom bytes) whatever its length.
    char latest[kCornerRoom] = {};
    size_t latestLength = 0;
    int32_t latestIndex = -1;
    ForEachSegment(group, [&](size_t, const CWireSegment& segment) {
      char* at = PutText(out.Reserve(kLineRoom), "l ", 2);
      if (segment.a == latestIndex) {
        memcpy(at, latest, kCornerRoom);
        at += latestLength;
      } else {
        at = corner(at, segment.a);
      }
      *at++ = ' ';
      latestLength = size_t(corner(latest, segment.b) - latest);
      latestIndex = segment.b;
      memcpy(at, latest, kCornerRoom);
      at += latestLength;
      *at++ = '\n';
      out.Commit(at);
      out.Advance(1);
      return out.Ok();
    });
    vBase += numbers.VCount();
    vtBase += numbers.VtCount();
  }
  return out.Finish(detail);
}

bool WritePly(const CWireSources& groups, CByteSink& sink, std::string* detail, const WriteProgress& progress) {
  size_t vertexCount = 0, edgeCount = 0;
  bool floats = true;
  for (const CWireSource* group : groups) {
    vertexCount += group->VertexCount();
    edgeCount += group->SegmentCount();
    if (floats)
      floats = ForEachVertex(*group, [](size_t, const CWireVertex& vertex) {
        return IsWidenedFloat(vertex.position[0]) && IsWidenedFloat(vertex.position[1]) &&
               IsWidenedFloat(vertex.position[2]) && IsWidenedFloat(vertex.u);
      });
  }
  const std::vector<CRgb> colours = GroupColours(groups.size());
  CBufferedWriter out(sink, progress, WorkOf(groups));
  out.Text("ply\nformat ascii 1.0\ncomment wires written by tressel wire\n");
  size_t firstVertex = 0, firstEdge = 0;
  for (size_t g = 0; g < groups.size(); ++g) {
    const CWireSource& group = *groups[g];
    out.Text("comment group " + std::to_string(g + 1) + " vertices " + std::to_string(firstVertex) + " " +
             std::to_string(group.VertexCount()) + " edges " + std::to_string(firstEdge) + " " +
             std::to_string(group.SegmentCount()) + " name " + LineSafeName(group.Name(), g) + "\n");
    firstVertex += group.VertexCount();
    firstEdge += group.SegmentCount();
  }
  const std::string type = floats ? "float" : "double";
  out.Text("element vertex " + std::to_string(vertexCount) + "\nproperty " + type + " x\nproperty " + type +
           " y\nproperty " + type + " z\nproperty " + type +
           " u\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
           "element edge " + std::to_string(edgeCount) + "\nproperty int vertex1\nproperty int vertex2\nend_header\n");
  CRecentNumbers recentU;
  for (size_t g = 0; g < groups.size() && out.Ok(); ++g) {
    char colour[16];
    const int length = snprintf(colour, sizeof colour, " %u %u %u\n", colours[g].red, colours[g].green, colours[g].blue);
    ForEachVertex(*groups[g], [&](size_t, const CWireVertex& vertex) {
      char* at = out.Reserve(kLineRoom);
      for (int i = 0; i < 3; ++i) {
        at = CBufferedWriter::PutNumber(at, vertex.position[i]);
        *at++ = ' ';
      }
      at = recentU.Put(at, vertex.u);
      at = PutText(at, colour, size_t(length));
      out.Commit(at);
      out.Advance(1);
      return out.Ok();
    });
  }
  size_t base = 0;
  for (const CWireSource* group : groups) {
    const bool whole = ForEachSegment(*group, [&](size_t, const CWireSegment& segment) {
      char* at = WriteDecimal(out.Reserve(kLineRoom), base + static_cast<size_t>(segment.a));
      *at++ = ' ';
      at = WriteDecimal(at, base + static_cast<size_t>(segment.b));
      *at++ = '\n';
      out.Commit(at);
      out.Advance(1);
      return out.Ok();
    });
    if (!whole || !out.Ok()) break;
    base += group->VertexCount();
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

bool WriteWires(const CWireSources& groups, WireFormat format, CByteSink& sink, std::string* detail,
                const WriteProgress& progress, bool checked) {
  if (!checked && !CheckWireGroups(groups, detail)) return false;
  switch (format) {
    case WireFormat::kObj: return WriteObj(groups, sink, detail, progress);
    case WireFormat::kPly: return WritePly(groups, sink, detail, progress);
    case WireFormat::kGltf: return WriteGltf(groups, false, sink, detail, progress);
    case WireFormat::kGlb: return WriteGltf(groups, true, sink, detail, progress);
  }
  return false;
}

bool WriteWires(const std::vector<CWireGroup>& groups, WireFormat format, CByteSink& sink, std::string* detail,
                const WriteProgress& progress) {
  std::vector<CWireGroupSource> views;
  return WriteWires(SourcesOf(groups, &views), format, sink, detail, progress);
}

bool SerializeWires(const std::vector<CWireGroup>& groups, WireFormat format, std::string* bytes, std::string* detail) {
  bytes->clear();
  CStringSink sink(bytes);
  return WriteWires(groups, format, sink, detail);
}

bool WriteWireFile(const std::filesystem::path& file, const std::vector<CWireGroup>& groups, std::string* error,
                   const WriteProgress& progress) {
  WireFormat format;
  if (!WireFormatFor(file, &format)) {
    *error = file.string() + ": unknown output format (use .obj, .ply, .gltf or .glb)";
    return false;
  }
  std::vector<CWireGroupSource> views;
  const CWireSources sources = SourcesOf(groups, &views);
  std::string detail;
  if (!CheckWireGroups(sources, &detail)) {
    *error = file.string() + ": not written: " + detail;
    return false;
  }
  CStagedFile staged;
  if (!staged.Open(file, error)) return false;
  CStagedFileSink sink(staged);
  if (!WriteWires(sources, format, sink, &detail, progress)) {
    *error = sink.Failed() ? sink.Error() : file.string() + ": not written: " + detail;
    staged.Abandon();
    return false;
  }
  return staged.Commit(error);
}

}  // namespace cliio
