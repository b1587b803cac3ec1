// tressel_make_grid: writes big generated meshes for whole-command benchmarks
// of `tressel wire`. Every kind is a flat sheet of n x n unit cells (spacing
// 0.01) in the z = 0 plane; output is linear in n^2 and written in one pass.
//   sheet  OBJ, (n+1)^2 shared vertices and n^2 quads: one border chain.
//   stl    binary STL of the same sheet as 2 n^2 triangles, every triangle with
//          its own three corners: only merging coincident corners joins them.
//   holes  OBJ like sheet with the cell at (3i+1, 3j+1) left out: the holes
//          touch nothing, so there is a border chain per hole plus the rim.
#include <stdint.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr double kSpacing = 0.01;

int Usage() {
  std::fprintf(stderr,
               "usage: tressel_make_grid sheet|stl|holes N OUT\n"
               "  sheet: OBJ of N x N shared quads; stl: binary STL of the same as unshared triangles;\n"
               "  holes: OBJ sheet without the cells (3i+1, 3j+1), one border chain per hole\n");
  return 2;
}

// Buffers text and hands it to the file in large blocks.
class CWriter {
 public:
  explicit CWriter(std::FILE* file) : mFile(file) { mBuffer.reserve(kFlushAt + 256); }
  ~CWriter() { Flush(); }
  void Text(const char* text) { Bytes(text, std::strlen(text)); }
  void Char(char c) { Bytes(&c, 1); }
  void Number(double value) {
    char text[32];
    Bytes(text, size_t(std::to_chars(text, text + sizeof text, value).ptr - text));
  }
  void Number(int64_t value) {
    char text[24];
    Bytes(text, size_t(std::to_chars(text, text + sizeof text, value).ptr - text));
  }
  void Bytes(const void* bytes, size_t count) {
    mBuffer.append(static_cast<const char*>(bytes), count);
    if (mBuffer.size() >= kFlushAt) Flush();
  }
  bool Flush() {
    mFailed = mFailed || std::fwrite(mBuffer.data(), 1, mBuffer.size(), mFile) != mBuffer.size();
    mBuffer.clear();
    return !mFailed;
  }

 private:
  static constexpr size_t kFlushAt = size_t(1) << 20;
  std::FILE* mFile;
  std::string mBuffer;
  bool mFailed = false;
};

bool IsHole(int64_t x, int64_t y) { return x % 3 == 1 && y % 3 == 1; }

void WriteObj(CWriter& out, int64_t n, bool holes) {
  out.Text(holes ? "# tressel_make_grid holes\no holes\n" : "# tressel_make_grid sheet\no sheet\n");
  for (int64_t y = 0; y <= n; ++y) {
    for (int64_t x = 0; x <= n; ++x) {
      out.Text("v ");
      out.Number(double(x) * kSpacing);
      out.Char(' ');
      out.Number(double(y) * kSpacing);
      out.Text(" 0");
      out.Char('\n');
    }
  }
  // Counter-clockwise seen from +z, so the normals point up.
  auto vertex = [n](int64_t x, int64_t y) { return y * (n + 1) + x + 1; };
  for (int64_t y = 0; y < n; ++y) {
    for (int64_t x = 0; x < n; ++x) {
      if (holes && IsHole(x, y)) continue;
      const int64_t corners[4] = {vertex(x, y), vertex(x + 1, y), vertex(x + 1, y + 1), vertex(x, y + 1)};
      out.Char('f');
      for (int64_t corner : corners) {
        out.Char(' ');
        out.Number(corner);
      }
      out.Char('\n');
    }
  }
}

// Binary STL: 80-byte header, uint32 triangle count, then per triangle the
// normal and three corners as little-endian float32 and a uint16 of zero.
void WriteStl(CWriter& out, int64_t n) {
  char header[80] = {};
  std::snprintf(header, sizeof header, "tressel_make_grid stl %lld", static_cast<long long>(n));
  out.Bytes(header, sizeof header);
  const uint32_t triangles = static_cast<uint32_t>(2 * n * n);
  out.Bytes(&triangles, sizeof triangles);
  auto put = [&out](float x, float y, float z) {
    const float values[3] = {x, y, z};
    out.Bytes(values, sizeof values);
  };
  for (int64_t y = 0; y < n; ++y) {
    for (int64_t x = 0; x < n; ++x) {
      const float x0 = float(double(x) * kSpacing), x1 = float(double(x + 1) * kSpacing);
      const float y0 = float(double(y) * kSpacing), y1 = float(double(y + 1) * kSpacing);
      const uint16_t attributes = 0;
      put(0, 0, 1);
      put(x0, y0, 0);
      put(x1, y0, 0);
      put(x1, y1, 0);
      out.Bytes(&attributes, sizeof attributes);
      put(0, 0, 1);
      put(x0, y0, 0);
      put(x1, y1, 0);
      put(x0, y1, 0);
      out.Bytes(&attributes, sizeof attributes);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const std::string kind = argv[1];
  char* end = nullptr;
  const long long n = std::strtoll(argv[2], &end, 10);
  if (*end || n < 1 || n > 20000) {
    std::fprintf(stderr, "tressel_make_grid: N must be 1 to 20000, not %s\n", argv[2]);
    return 2;
  }
  if (kind != "sheet" && kind != "stl" && kind != "holes") return Usage();
  std::FILE* file = std::fopen(argv[3], "wb");
  if (!file) {
    std::fprintf(stderr, "tressel_make_grid: %s: %s\n", argv[3], std::strerror(errno));
    return 1;
  }
  bool written;
  {
    CWriter out(file);
    if (kind == "stl")
      WriteStl(out, n);
    else
      WriteObj(out, n, kind == "holes");
    written = out.Flush();
  }
  written = std::fclose(file) == 0 && written;
  if (!written) {
    std::fprintf(stderr, "tressel_make_grid: %s: could not be written\n", argv[3]);
    return 1;
  }
  return 0;
}
