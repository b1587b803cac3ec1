// Writing and reading the import worker's answer (format in ImportStream.h).
// Both ends run on the same machine, so values are copied in memory order,
// which the build requires to be little-endian.
#include "cli/io/ImportStream.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cliio {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the import stream is written in memory order");

namespace {

enum : uint8_t {
  kPositionsSingle = 1 << 0,
  kNormals = 1 << 1,
  kNormalsSingle = 1 << 2,
  kUvws = 1 << 3,
  kUvwsSingle = 1 << 4,
  kVertexColors = 1 << 5,
  kFacetColors = 1 << 6,
  kKnownColumns = (1 << 7) - 1,
};

// Values are read this many vertices (or facets) at a time; memory grows with
// what has arrived, never with what a count claims.
constexpr size_t kChunk = 4096;

}  // namespace

// --- writer

bool CImportStreamWriter::Flush() {
  size_t done = 0;
  while (mOk && done < mUsed) {
    const ssize_t wrote = ::write(mDescriptor, mBuffer + done, mUsed - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) mOk = false;
    else done += size_t(wrote);
  }
  mUsed = 0;
  return mOk;
}

bool CImportStreamWriter::Put(const void* bytes, size_t size) {
  const char* from = static_cast<const char*>(bytes);
  while (mOk && size > 0) {
    if (mUsed == sizeof mBuffer && !Flush()) break;
    const size_t part = std::min(size, sizeof mBuffer - mUsed);
    std::memcpy(mBuffer + mUsed, from, part);
    mUsed += part, from += part, size -= part;
  }
  return mOk;
}

bool CImportStreamWriter::PutU32(uint32_t value) { return Put(&value, sizeof value); }

bool CImportStreamWriter::PutText(const char* text, size_t length) {
  return PutU32(uint32_t(length)) && Put(text, length);
}

bool CImportStreamWriter::PutColumn(const CVectorColumn& column, size_t count) {
  for (size_t i = 0; i < count && mOk; ++i) {
    double value[3];
    column.Get(i, value);
    if (column.Single()) {
      const float single[3] = {float(value[0]), float(value[1]), float(value[2])};
      Put(single, sizeof single);
    } else {
      Put(value, sizeof value);
    }
  }
  return mOk;
}

bool CImportStreamWriter::Begin() { return Put(kImportStreamMagic, sizeof kImportStreamMagic); }

bool CImportStreamWriter::Progress(double fraction) {
  const char tag = 'P';
  return Put(&tag, 1) && Put(&fraction, sizeof fraction) && Flush();
}

bool CImportStreamWriter::Warning(const std::string& text) {
  const char tag = 'W';
  return Put(&tag, 1) && PutText(text.data(), std::min(text.size(), kMaxStreamText));
}

bool CImportStreamWriter::Mesh(const CImportedMesh& mesh) {
  const size_t vertices = mesh.VertexCount();
  const size_t facets = mesh.FacetCount();
  const bool normals = !mesh.normals.Empty(), uvws = !mesh.uvws.Empty(), colors = !mesh.colors.empty();
  if (vertices > size_t(INT32_MAX) || facets > UINT32_MAX || mesh.name.empty() || mesh.name.size() > kMaxStreamName ||
      (normals && mesh.normals.Size() != vertices) || (uvws && mesh.uvws.Size() != vertices) ||
      (colors && mesh.colors.size() != vertices))
    return false;
  bool facetColors = false;
  for (size_t f = 0; f < facets && !facetColors; ++f) facetColors = mesh.FacetColor(f) != kOpaqueWhiteWord;
  const uint8_t columns = uint8_t((mesh.positions.Single() ? kPositionsSingle : 0) | (normals ? kNormals : 0) |
                                  (mesh.normals.Single() ? kNormalsSingle : 0) | (uvws ? kUvws : 0) |
                                  (mesh.uvws.Single() ? kUvwsSingle : 0) | (colors ? kVertexColors : 0) |
                                  (facetColors ? kFacetColors : 0));
  const char tag = 'M';
  Put(&tag, 1) && PutText(mesh.name.data(), mesh.name.size()) && PutU32(uint32_t(vertices)) && Put(&columns, 1) &&
      PutU32(uint32_t(facets)) && PutColumn(mesh.positions, vertices);
  if (normals) PutColumn(mesh.normals, vertices);
  if (uvws) PutColumn(mesh.uvws, vertices);
  if (colors) Put(mesh.colors.data(), vertices * sizeof(uint32_t));
  for (size_t f = 0; f < facets && mOk; ++f) {
    // A facet has 1 to 4 corners (longer polygons are fanned on import).
    const uint8_t count = uint8_t(mesh.CornerCount(f));
    int32_t corners[4];
    for (uint8_t k = 0; k < count && k < 4; ++k) corners[k] = mesh.Corner(f, k);
    Put(&count, 1) && Put(corners, count * sizeof(int32_t));
    if (facetColors) PutU32(mesh.FacetColor(f));
  }
  return mOk;
}

bool CImportStreamWriter::End(size_t meshes) {
  const char tag = 'E';
  return Put(&tag, 1) && PutU32(uint32_t(meshes)) && Flush();
}

bool CImportStreamWriter::Failure(const char* detail, size_t length) {
  const char tag = 'F';
  return Put(&tag, 1) && PutText(detail, std::min(length, kMaxStreamText)) && Flush();
}

// --- reader

namespace {

class CStreamReader {
 public:
  CStreamReader(CStreamSource* source, std::string* text) : mSource(source), mText(text) {}

  // Reads `size` bytes; false (with *text set) when the stream ends first.
  bool Get(void* into, size_t size, const char* what) {
    if (mSource->Read(into, size)) {
      mOffset += size;
      return true;
    }
    *mText = std::string("ends early (after byte ") + std::to_string(mOffset) + ", in " + what + ")";
    mEndedEarly = true;
    return false;
  }
  bool GetU32(uint32_t* value, const char* what) { return Get(value, sizeof *value, what); }
  bool GetText(std::string* into, size_t limit, const char* what) {
    uint32_t length;
    if (!GetU32(&length, what)) return false;
    if (length > limit) return Malformed(std::string(what) + " of " + std::to_string(length) + " bytes, beyond the " +
                                         std::to_string(limit) + " allowed");
    // Grown as the bytes arrive.
    into->clear();
    char part[4096];
    for (uint32_t left = length; left > 0;) {
      const size_t step = std::min<size_t>(left, sizeof part);
      if (!Get(part, step, what)) return false;
      into->append(part, step);
      left -= uint32_t(step);
    }
    return true;
  }
  bool Malformed(const std::string& what) {
    *mText = "is malformed at byte " + std::to_string(mOffset) + ": " + what;
    return false;
  }
  bool EndedEarly() const { return mEndedEarly; }

  bool ReadColumn(CVectorColumn* column, bool single, size_t count, const char* what) {
    column->SetSingle(single);
    column->Reserve(std::min(count, kChunk));
    const size_t width = single ? 3 * sizeof(float) : 3 * sizeof(double);
    std::vector<unsigned char> buffer(std::min(count, kChunk) * width);
    for (size_t done = 0; done < count;) {
      const size_t step = std::min(count - done, kChunk);
      if (!Get(buffer.data(), step * width, what)) return false;
      for (size_t i = 0; i < step; ++i) {
        if (single) {
          float xyz[3];
          std::memcpy(xyz, buffer.data() + i * width, sizeof xyz);
          if (!std::isfinite(xyz[0]) || !std::isfinite(xyz[1]) || !std::isfinite(xyz[2]))
            return Malformed(std::string(what) + " of vertex " + std::to_string(done + i) + " is not finite");
          column->AddFloats(xyz);
        } else {
          double xyz[3];
          std::memcpy(xyz, buffer.data() + i * width, sizeof xyz);
          if (!std::isfinite(xyz[0]) || !std::isfinite(xyz[1]) || !std::isfinite(xyz[2]))
            return Malformed(std::string(what) + " of vertex " + std::to_string(done + i) + " is not finite");
          column->Add(xyz[0], xyz[1], xyz[2]);
        }
      }
      done += step;
    }
    return true;
  }

  bool ReadMesh(CImportedMesh* mesh) {
    if (!GetText(&mesh->name, kMaxStreamName, "a mesh name")) return false;
    if (mesh->name.empty()) return Malformed("a mesh without a name");
    uint32_t vertices, facets;
    uint8_t columns;
    if (!GetU32(&vertices, "a vertex count") || !Get(&columns, 1, "a column set") || !GetU32(&facets, "a facet count"))
      return false;
    if (vertices > uint32_t(INT32_MAX)) return Malformed(std::to_string(vertices) + " vertices, beyond INT32_MAX");
    if (columns & ~kKnownColumns) return Malformed("an unknown column set " + std::to_string(columns));
    if (!ReadColumn(&mesh->positions, columns & kPositionsSingle, vertices, "the position")) return false;
    if ((columns & kNormals) && !ReadColumn(&mesh->normals, columns & kNormalsSingle, vertices, "the normal"))
      return false;
    if ((columns & kUvws) && !ReadColumn(&mesh->uvws, columns & kUvwsSingle, vertices, "the texture coordinate"))
      return false;
    if (!(columns & kNormals)) mesh->normals.SetSingle(columns & kNormalsSingle);
    if (!(columns & kUvws)) mesh->uvws.SetSingle(columns & kUvwsSingle);
    if (columns & kVertexColors) {
      for (size_t done = 0; done < vertices;) {
        const size_t step = std::min<size_t>(vertices - done, kChunk);
        mesh->colors.resize(done + step);
        if (!Get(mesh->colors.data() + done, step * sizeof(uint32_t), "the vertex colours")) return false;
        done += step;
      }
    }
    mesh->ReserveFacets(std::min<size_t>(facets, kChunk), 3);
    const bool facetColors = columns & kFacetColors;
    for (uint32_t f = 0; f < facets; ++f) {
      uint8_t count;
      int32_t corners[4];
      uint32_t color = kOpaqueWhiteWord;
      if (!Get(&count, 1, "a facet")) return false;
      if (count < 1 || count > 4)
        return Malformed("facet " + std::to_string(f) + " of " + std::to_string(count) + " corners");
      if (!Get(corners, count * sizeof(int32_t), "a facet's corners")) return false;
      for (uint8_t k = 0; k < count; ++k)
        if (corners[k] < 0 || uint32_t(corners[k]) >= vertices)
          return Malformed("facet " + std::to_string(f) + " names vertex " + std::to_string(corners[k]) + " of " +
                           std::to_string(vertices));
      if (facetColors && !GetU32(&color, "a facet colour")) return false;
      mesh->AddFacet(corners, count, color);
    }
    return true;
  }

 private:
  CStreamSource* mSource;
  std::string* mText;
  size_t mOffset = 0;
  bool mEndedEarly = false;
};

}  // namespace

EStreamOutcome ReadImportStream(CStreamSource* source, const std::function<bool(double)>& progress,
                                std::vector<std::string>* warnings, std::vector<CImportedMesh>* meshes,
                                std::string* text) {
  text->clear();
  CStreamReader reader(source, text);
  const size_t first = meshes->size();
  size_t warned = 0;
  double last = 0;
  const auto fail = [&]() {
    meshes->erase(meshes->begin() + std::ptrdiff_t(first), meshes->end());
    return reader.EndedEarly() ? EStreamOutcome::kEndedEarly : EStreamOutcome::kMalformed;
  };
  char magic[sizeof kImportStreamMagic];
  if (!reader.Get(magic, sizeof magic, "the opening")) return fail();
  if (std::memcmp(magic, kImportStreamMagic, sizeof magic) != 0) {
    reader.Malformed("it does not open as an import stream of this version");
    return fail();
  }
  for (;;) {
    char tag;
    if (!reader.Get(&tag, 1, "a record")) return fail();
    if (tag == 'P') {
      double fraction;
      if (!reader.Get(&fraction, sizeof fraction, "a progress record")) return fail();
      if (!(fraction >= last && fraction <= 1.0)) {
        reader.Malformed("progress " + std::to_string(fraction) + " after " + std::to_string(last));
        return fail();
      }
      last = fraction;
      if (progress && !progress(fraction)) {
        meshes->erase(meshes->begin() + std::ptrdiff_t(first), meshes->end());
        return EStreamOutcome::kStopped;
      }
    } else if (tag == 'W') {
      std::string warning;
      if (!reader.GetText(&warning, kMaxStreamText, "a warning")) return fail();
      if (++warned > kMaxStreamWarnings) {
        reader.Malformed("more than " + std::to_string(kMaxStreamWarnings) + " warnings");
        return fail();
      }
      if (warnings) warnings->push_back(std::move(warning));
    } else if (tag == 'M') {
      meshes->emplace_back();
      if (!reader.ReadMesh(&meshes->back())) return fail();
    } else if (tag == 'E' || tag == 'F') {
      uint32_t count = 0;
      std::string failure;
      if (tag == 'E' && !reader.GetU32(&count, "the closing record")) return fail();
      if (tag == 'F' && !reader.GetText(&failure, kMaxStreamText, "the failure record")) return fail();
      if (tag == 'E' && count != meshes->size() - first) {
        reader.Malformed("it closes with " + std::to_string(count) + " meshes after sending " +
                         std::to_string(meshes->size() - first));
        return fail();
      }
      if (source->MoreFollows()) {
        reader.Malformed("bytes follow its closing record");
        return fail();
      }
      if (tag == 'E') return EStreamOutcome::kMeshes;
      meshes->erase(meshes->begin() + std::ptrdiff_t(first), meshes->end());
      *text = std::move(failure);
      return EStreamOutcome::kFailure;
    } else {
      reader.Malformed("an unknown record " + std::to_string(static_cast<unsigned char>(tag)));
      return fail();
    }
  }
}

}  // namespace cliio
