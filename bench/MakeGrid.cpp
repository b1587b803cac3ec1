// tressel_make_grid: writes big generated meshes for whole-command benchmarks
// of `tressel wire`. Every kind is a flat sheet of n x n unit cells (spacing
// 0.01) in the z = 0 plane; output is linear in n^2 and written in one pass.
//   sheet  OBJ, (n+1)^2 shared vertices and n^2 quads: one border chain.
//   stl    binary STL of the same sheet as 2 n^2 triangles, every triangle with
//          its own three corners: only merging coincident corners joins them.
//   holes  OBJ like sheet with the cell at (3i+1, 3j+1) left out: the holes
//          touch nothing, so there is a border chain per hole plus the rim.
//   stl-holes  the stl soup of the holes sheet.
// --shuffle writes the facets (OBJ faces, STL triangles) in a fixed
// pseudo-random order instead of row by row; the vertex list stays as it is.
#include <stdint.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kSpacing = 0.01;

int Usage() {
  std::fprintf(stderr,
               "usage: tressel_make_grid sheet|stl|holes|stl-holes N OUT [--shuffle]\n"
               "  sheet: OBJ of N x N shared quads; stl: binary STL of the same as unshared triangles;\n"
               "  holes: OBJ sheet without the cells (3i+1, 3j+1), one border chain per hole;\n"
               "  stl-holes: the holes sheet as unshared triangles;\n"
               "  --shuffle: facets in a fixed pseudo-random order\n");
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

// A Fisher-Yates shuffle driven by a fixed 64-bit generator (splitmix64), so
// the same arguments always give the same file.
void Shuffle(std::vector<int64_t>& items) {
  uint64_t state = 0x5EEDu;
  auto next = [&state]() {
    uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  };
  for (size_t i = items.size(); i > 1; --i) std::swap(items[i - 1], items[size_t(next() % i)]);
}

// The cells of the sheet (y * n + x) row by row, without the holes if asked.
std::vector<int64_t> Cells(int64_t n, bool holes) {
  std::vector<int64_t> cells;
  cells.reserve(size_t(n * n));
  for (int64_t y = 0; y < n; ++y)
    for (int64_t x = 0; x < n; ++x)
      if (!holes || !IsHole(x, y)) cells.push_back(y * n + x);
  return cells;
}

void WriteObj(CWriter& out, int64_t n, bool holes, bool shuffle) {
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
  std::vector<int64_t> cells = Cells(n, holes);
  if (shuffle) Shuffle(cells);
  for (int64_t cell : cells) {
    const int64_t x = cell % n, y = cell / n;
    const int64_t corners[4] = {vertex(x, y), vertex(x + 1, y), vertex(x + 1, y + 1), vertex(x, y + 1)};
    out.Char('f');
    for (int64_t corner : corners) {
      out.Char(' ');
      out.Number(corner);
    }
    out.Char('\n');
  }
}

// Binary STL: 80-byte header, uint32 triangle count, then per triangle the
// normal and three corners as little-endian float32 and a uint16 of zero.
void WriteStl(CWriter& out, int64_t n, bool holes, bool shuffle) {
  char header[80] = {};
  std::snprintf(header, sizeof header, "tressel_make_grid stl %lld", static_cast<long long>(n));
  out.Bytes(header, sizeof header);
  // Triangles, not cells, are shuffled: the two halves of a cell part too.
  std::vector<int64_t> order;
  for (int64_t cell : Cells(n, holes)) {
    order.push_back(2 * cell);
    order.push_back(2 * cell + 1);
  }
  if (shuffle) Shuffle(order);
  const uint32_t triangles = static_cast<uint32_t>(order.size());
  out.Bytes(&triangles, sizeof triangles);
  auto put = [&out](float x, float y, float z) {
    const float values[3] = {x, y, z};
    out.Bytes(values, sizeof values);
  };
  for (int64_t triangle : order) {
    const int64_t cell = triangle / 2, x = cell % n, y = cell / n;
    const float x0 = float(double(x) * kSpacing), x1 = float(double(x + 1) * kSpacing);
    const float y0 = float(double(y) * kSpacing), y1 = float(double(y + 1) * kSpacing);
    const uint16_t attributes = 0;
    put(0, 0, 1);
    put(x0, y0, 0);
    if (triangle % 2 == 0) {
      put(x1, y0, 0);
      put(x1, y1, 0);
    } else {
      put(x1, y1, 0);
      put(x0, y1, 0);
    }
    out.Bytes(&attributes, sizeof attributes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool shuffle = argc == 5 && std::strcmp(argv[4], "--shuffle") == 0;
  if (argc != 4 && !shuffle) return Usage();
  const std::string kind = argv[1];
  char* end = nullptr;
  const long long n = std::strtoll(argv[2], &end, 10);
  if (*end || n < 1 || n > 20000) {
    std::fprintf(stderr, "tressel_make_grid: N must be 1 to 20000, not %s\n", argv[2]);
    return 2;
  }
  if (kind != "sheet" && kind != "stl" && kind != "holes" && kind != "stl-holes") return Usage();
  std::FILE* file = std::fopen(argv[3], "wb");
  if (!file) {
    std::fprintf(stderr, "tressel_make_grid: %s: %s\n", argv[3], std::strerror(errno));
    return 1;
  }
  bool written;
  {
    CWriter out(file);
    if (kind == "stl" || kind == "stl-holes")
      WriteStl(out, n, kind == "stl-holes", shuffle);
    else
      WriteObj(out, n, kind == "holes", shuffle);
    written = out.Flush();
  }
  written = std::fclose(file) == 0 && written;
  if (!written) {
    std::fprintf(stderr, "tressel_make_grid: %s: could not be written\n", argv[3]);
    return 1;
  }
  return 0;
}
