// Reads PLY (ascii, binary_little_endian, binary_big_endian) whose elements
// are the common ones: a `vertex` element of x y z with optional nx ny nz,
// red green blue [alpha] and s t / u v / texture_u texture_v, and a `face`
// element of one vertex_indices (or vertex_index) list. Values are kept in
// single precision, colours of integer type scaled from their range. Any
// other well-formed layout (other properties or elements, triangle strips,
// materials) is left to the library (answer kNotMine); a malformed header is
// an error here. Faces keep the file's vertex
// numbering; a file without faces is a group of vertices and no facets.
// Linear in the file size.
#include <stdint.h>

#include <charconv>
#include <cmath>
#include <cstring>

#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

enum class Type { kNone, kInt8, kUInt8, kInt16, kUInt16, kInt32, kUInt32, kFloat32, kFloat64 };

Type TypeOf(std::string_view name) {
  if (name == "char" || name == "int8") return Type::kInt8;
  if (name == "uchar" || name == "uint8") return Type::kUInt8;
  if (name == "short" || name == "int16") return Type::kInt16;
  if (name == "ushort" || name == "uint16") return Type::kUInt16;
  if (name == "int" || name == "int32") return Type::kInt32;
  if (name == "uint" || name == "uint32") return Type::kUInt32;
  if (name == "float" || name == "float32") return Type::kFloat32;
  if (name == "double" || name == "float64") return Type::kFloat64;
  return Type::kNone;
}

size_t SizeOf(Type type) {
  switch (type) {
    case Type::kInt8: case Type::kUInt8: return 1;
    case Type::kInt16: case Type::kUInt16: return 2;
    case Type::kInt32: case Type::kUInt32: case Type::kFloat32: return 4;
    case Type::kFloat64: return 8;
    default: return 0;
  }
}

// The largest value of an integer colour type, by which it is scaled to 0..1.
float ColorRange(Type type) {
  switch (type) {
    case Type::kInt8: return 127.0f;
    case Type::kUInt8: return 255.0f;
    case Type::kInt16: return 32767.0f;
    case Type::kUInt16: return 65535.0f;
    case Type::kInt32: return 2147483647.0f;
    case Type::kUInt32: return 4294967295.0f;
    default: return 1.0f;
  }
}

// Where each vertex property goes: 0-2 position, 3-5 normal, 6-7 uv, 8-11 colour.
int SlotOf(std::string_view name) {
  static const char* const kNames[][3] = {{"x", nullptr, nullptr},         {"y", nullptr, nullptr},
                                          {"z", nullptr, nullptr},         {"nx", nullptr, nullptr},
                                          {"ny", nullptr, nullptr},        {"nz", nullptr, nullptr},
                                          {"s", "u", "texture_u"},         {"t", "v", "texture_v"},
                                          {"red", nullptr, nullptr},       {"green", nullptr, nullptr},
                                          {"blue", nullptr, nullptr},      {"alpha", nullptr, nullptr}};
  for (int slot = 0; slot < 12; ++slot)
    for (const char* candidate : kNames[slot])
      if (candidate && name == candidate) return slot;
  return -1;
}

struct CProperty {
  Type type = Type::kNone;
  Type countType = Type::kNone;  // lists only
  int slot = -1;
};

struct CLayout {
  bool ascii = false;
  bool bigEndian = false;
  uint64_t vertices = 0, faces = 0;
  bool hasFaces = false;
  std::vector<CProperty> vertex;
  CProperty indices;
  size_t bodyAt = 0;
  bool slots[12] = {};
};

enum class Header { kMine, kOtherLayout, kMalformed };

// Reads the header. kOtherLayout: a well-formed header of a layout this reader
// does not take; kMalformed: *detail says what is wrong and where (such a
// file is not handed to the library, whose error path leaks).
Header ReadHeader(std::string_view bytes, CLayout* layout, std::string* detail) {
  auto malformed = [detail](size_t line, const std::string& what) {
    *detail = "line " + std::to_string(line) + " of the PLY header: " + what;
    return Header::kMalformed;
  };
  if (bytes.substr(0, 4) != "ply\n" && bytes.substr(0, 5) != "ply\r\n") {
    *detail = "does not begin with the PLY magic line \"ply\"";
    return Header::kMalformed;
  }
  std::vector<std::string_view> tokens;
  int element = -1;  // 0 vertex, 1 face, 2 another
  bool sawFormat = false;
  bool other = false;
  size_t line = 0;
  for (size_t at = 0; at < bytes.size();) {
    size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) return malformed(line + 1, "the header has no end_header line");
    const std::string_view text = bytes.substr(at, end - at);
    at = end + 1;
    ++line;
    if (text.find('\0') != std::string_view::npos) return malformed(line, "a NUL byte in the header");
    SplitTokens(text, &tokens);
    if (tokens.empty() || tokens[0] == "ply" || tokens[0] == "comment" || tokens[0] == "obj_info") continue;
    if (tokens[0] == "end_header") {
      layout->bodyAt = at;
      if (!sawFormat) return malformed(line, "no format line before end_header");
      return !other && layout->slots[0] && layout->slots[1] && layout->slots[2] ? Header::kMine : Header::kOtherLayout;
    }
    if (tokens[0] == "format") {
      if (tokens.size() != 3 || (tokens[1] != "ascii" && tokens[1] != "binary_little_endian" && tokens[1] != "binary_big_endian"))
        return malformed(line, "the format is not ascii, binary_little_endian or binary_big_endian");
      sawFormat = true;
      layout->ascii = tokens[1] == "ascii";
      layout->bigEndian = tokens[1] == "binary_big_endian";
    } else if (tokens[0] == "element") {
      uint64_t count = 0;
      const auto [last, code] = tokens.size() == 3
                                    ? std::from_chars(tokens[2].data(), tokens[2].data() + tokens[2].size(), count)
                                    : std::from_chars_result{nullptr, std::errc::invalid_argument};
      if (code != std::errc() || last != tokens[2].data() + tokens[2].size())
        return malformed(line, "an element needs a name and a count");
      if (tokens[1] == "vertex" && element == -1) {
        element = 0;
        layout->vertices = count;
      } else if (tokens[1] == "face" && element == 0 && !layout->hasFaces) {
        element = 1;
        layout->faces = count;
        layout->hasFaces = true;
      } else {
        element = 2;
        other = true;
      }
    } else if (tokens[0] == "property") {
      if (element == -1) return malformed(line, "a property before any element");
      const bool list = tokens.size() >= 2 && tokens[1] == "list";
      if (tokens.size() != (list ? 5u : 3u)) return malformed(line, "a property needs a type and a name");
      for (size_t t = 1 + (list ? 1 : 0); t + 1 < tokens.size(); ++t)
        if (TypeOf(tokens[t]) == Type::kNone) return malformed(line, "\"" + std::string(tokens[t]) + "\" is not a PLY type");
      if (element == 0 && !list) {
        CProperty property{TypeOf(tokens[1]), Type::kNone, SlotOf(tokens[2])};
        if (property.slot < 0 || layout->slots[property.slot]) {
          other = true;
          continue;
        }
        layout->slots[property.slot] = true;
        layout->vertex.push_back(property);
      } else if (element == 1 && list && (tokens[4] == "vertex_indices" || tokens[4] == "vertex_index") &&
                 layout->indices.type == Type::kNone) {
        layout->indices = CProperty{TypeOf(tokens[3]), TypeOf(tokens[2]), 0};
        const Type count = layout->indices.countType, type = layout->indices.type;
        if (count == Type::kFloat32 || count == Type::kFloat64 || type == Type::kFloat32 || type == Type::kFloat64)
          other = true;
      } else {
        other = true;
      }
    } else {
      other = true;  // a line the library passes over (some writers leave "comment" out)
    }
  }
  return malformed(line, "the header has no end_header line");
}

// The values of one body, binary or text, one at a time.
class CPlyValues {
 public:
  CPlyValues(std::string_view body, const CLayout& layout) : mBody(body), mLayout(layout) {}
  size_t Offset() const { return mAt; }
  // Reads a value of `type`; false at the end of the body or on a malformed token.
  bool Next(Type type, double* value) {
    if (mLayout.ascii) return NextText(value);
    const size_t size = SizeOf(type);
    if (mAt + size > mBody.size()) return false;
    unsigned char raw[8];
    std::memcpy(raw, mBody.data() + mAt, size);
    mAt += size;
    if (mLayout.bigEndian)
      for (size_t i = 0; i < size / 2; ++i) std::swap(raw[i], raw[size - 1 - i]);
    switch (type) {
      case Type::kInt8: *value = int8_t(raw[0]); break;
      case Type::kUInt8: *value = raw[0]; break;
      case Type::kInt16: { int16_t v; std::memcpy(&v, raw, 2); *value = v; break; }
      case Type::kUInt16: { uint16_t v; std::memcpy(&v, raw, 2); *value = v; break; }
      case Type::kInt32: { int32_t v; std::memcpy(&v, raw, 4); *value = v; break; }
      case Type::kUInt32: { uint32_t v; std::memcpy(&v, raw, 4); *value = v; break; }
      case Type::kFloat32: { float v; std::memcpy(&v, raw, 4); *value = v; break; }
      case Type::kFloat64: { double v; std::memcpy(&v, raw, 8); *value = v; break; }
      default: return false;
    }
    return true;
  }
  std::string_view LastToken() const { return mToken; }

 private:
  bool NextText(double* value) {
    while (mAt < mBody.size() && std::strchr(" \t\r\n", mBody[mAt]) && mBody[mAt] != '\0') ++mAt;
    const size_t start = mAt;
    while (mAt < mBody.size() && !std::strchr(" \t\r\n", mBody[mAt])) ++mAt;
    mToken = mBody.substr(start, mAt - start);
    if (mToken.empty()) return false;
    const char* first = mToken.data();
    if (*first == '+') ++first;
    const auto [end, code] = std::from_chars(first, mToken.data() + mToken.size(), *value);
    return code == std::errc() && end == mToken.data() + mToken.size();
  }

  std::string_view mBody;
  const CLayout& mLayout;
  size_t mAt = 0;
  std::string_view mToken;
};

}  // namespace

int ReadPly(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail) {
  CLayout layout;
  switch (ReadHeader(input.bytes, &layout, detail)) {
    case Header::kMalformed: return kFailed;
    case Header::kOtherLayout: return kNotMine;
    case Header::kMine: break;
  }
  const std::string_view body = input.bytes.substr(layout.bodyAt);
  // Every row takes a byte at least (binary) or a character and a separator per value (text).
  const uint64_t rowMinimum = layout.ascii ? 2 * layout.vertex.size() : [&] {
    uint64_t bytes = 0;
    for (const CProperty& property : layout.vertex) bytes += SizeOf(property.type);
    return bytes;
  }();
  if (layout.vertices > (body.size() + 1) / std::max<uint64_t>(rowMinimum, 1) ||
      layout.faces > (body.size() + 1) / (layout.ascii ? 2 : std::max<size_t>(SizeOf(layout.indices.countType), 1))) {
    *detail = "the PLY header declares " + std::to_string(layout.vertices) + " vertices and " + std::to_string(layout.faces) +
              " faces, more than the " + std::to_string(body.size()) + " bytes after it can hold";
    return kFailed;
  }
  if (layout.vertices > uint64_t(INT32_MAX)) {
    *detail = "has too many vertices (" + std::to_string(layout.vertices) + ")";
    return kFailed;
  }
  CPlyValues values(body, layout);
  auto where = [&](const std::string& what, uint64_t index) {
    return what + " " + std::to_string(index) + (layout.ascii && !values.LastToken().empty()
                                                     ? " (\"" + std::string(values.LastToken()) + "\")"
                                                     : std::string());
  };
  CImportedMesh mesh;
  mesh.name = "mesh 1";
  mesh.positions.SetSingle(true);
  mesh.normals.SetSingle(true);
  mesh.uvws.SetSingle(true);
  const size_t count = size_t(layout.vertices);
  mesh.positions.Reserve(count);
  const bool normals = layout.slots[3] || layout.slots[4] || layout.slots[5];
  const bool uvs = layout.slots[6] || layout.slots[7];
  const bool colors = layout.slots[8] || layout.slots[9] || layout.slots[10] || layout.slots[11];
  if (normals) mesh.normals.Reserve(count);
  if (uvs) mesh.uvws.Reserve(count);
  if (colors) mesh.colors.reserve(count);
  for (size_t v = 0; v < count; ++v) {
    if ((v & 0xFFFF) == 0 && !input.progress->At(layout.bodyAt + values.Offset())) {
      *detail = kCancelledDetail;
      return kFailed;
    }
    float slot[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    for (const CProperty& property : layout.vertex) {
      double value;
      if (!values.Next(property.type, &value)) {
        *detail = where("vertex", v) + " is cut short or not a number";
        return kFailed;
      }
      slot[property.slot] = property.slot >= 8 && property.type != Type::kFloat32 && property.type != Type::kFloat64
                                ? float(value) / ColorRange(property.type)
                                : float(value);
    }
    for (int i = 0; i < 8; ++i)
      if (!std::isfinite(slot[i])) {
        *detail = "mesh 1 vertex " + std::to_string(v) + " has a value that is not a finite number";
        return kFailed;
      }
    mesh.positions.AddFloats(slot);
    if (normals) mesh.normals.AddFloats(slot + 3);
    if (uvs) {
      const float uvw[3] = {slot[6], slot[7], 0};
      mesh.uvws.AddFloats(uvw);
    }
    if (colors) {
      const uint8_t argb[4] = {ColorByte(slot[11]), ColorByte(slot[8]), ColorByte(slot[9]), ColorByte(slot[10])};
      mesh.colors.push_back(ColorWord(argb));
    }
  }
  std::vector<int32_t> corners;
  mesh.ReserveFacets(size_t(layout.faces), 3);
  for (uint64_t f = 0; f < layout.faces; ++f) {
    if ((f & 0xFFFF) == 0 && !input.progress->At(layout.bodyAt + values.Offset())) {
      *detail = kCancelledDetail;
      return kFailed;
    }
    double size = 0;
    if (layout.indices.type == Type::kNone || !values.Next(layout.indices.countType, &size) || size < 0 ||
        size != std::floor(size)) {
      *detail = where("face", f) + " is cut short or its corner count is not a count";
      return kFailed;
    }
    corners.clear();
    for (uint64_t k = 0; k < uint64_t(size); ++k) {
      double index = 0;
      if (!values.Next(layout.indices.type, &index) || index != std::floor(index)) {
        *detail = where("face", f) + " is cut short or names a vertex that is not a whole number";
        return kFailed;
      }
      if (index < 0 || index >= double(count)) {
        *detail = "mesh 1 face " + std::to_string(f) + " names vertex " +
                  (index < 0 ? std::to_string(int64_t(index)) + " (a negative index)" : std::to_string(uint64_t(index))) +
                  " of " + std::to_string(count);
        return kFailed;
      }
      corners.push_back(int32_t(index));
    }
    AppendFacet(&mesh, corners.data(), corners.size(), kOpaqueWhite);
  }
  meshes->push_back(std::move(mesh));
  return kRead;
}

}  // namespace cliio
