// tressel_make_grid: writes big generated meshes for whole-command benchmarks
// of `tressel wire`. Every kind is a flat sheet of n x n unit cells (spacing
// 0.01) in the z = 0 plane; output is linear in n^2 and written in one pass.
//   sheet  OBJ, (n+1)^2 shared vertices and n^2 quads: one border chain.
//   stl    binary STL of the same sheet as 2 n^2 triangles, every triangle with
//          its own three corners: only merging coincident corners joins them.
//   holes  OBJ like sheet with the cell at (3i+1, 3j+1) left out: the holes
//          touch nothing, so there is a border chain per hole plus the rim.
//   field-stl, field-off  a height field over the n x n cells with 100 square
//          holes (10 x 10 of side about n/40, touching nothing), so there are
//          101 border loops: binary STL of two triangles a cell, every
//          triangle with its own corners, or OFF of (n+1)^2 shared vertices
//          (the holes' inner ones unused) and a quad a cell. --shuffle writes
//          the facets in a fixed pseudo-random order instead of row by row.
//   stl-holes  the stl soup of the holes sheet.
// --shuffle writes the facets (OBJ faces, STL triangles) in a fixed
// pseudo-random order instead of row by row; the vertex list stays as it is.
#include <stdint.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kSpacing = 0.01;

int Usage() {
  std::fprintf(stderr,
               "usage: tressel_make_grid sheet|stl|holes|stl-holes|field-stl|field-off N OUT [--shuffle]\n"
               "  sheet: OBJ of N x N shared quads; stl: binary STL of the same as unshared triangles;\n"
               "  holes: OBJ sheet without the cells (3i+1, 3j+1), one border chain per hole;\n"
               "  stl-holes: the holes sheet as unshared triangles;\n"
               "  field-stl, field-off: height field of N x N cells with 100 square holes, as binary STL\n"
               "  of unshared triangles or as OFF quads; --shuffle: facets in a fixed pseudo-random order\n");
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

// The height-field grid with 100 holes. Hole (i, j), i, j in 0..9, covers the
// cells [i n/10 + (n/10 - h)/2, ... + h) in x and the same in y, h = n/40
// rounded (at least 1): ten cells or more apart, so no two holes touch.
class CField {
 public:
  explicit CField(int64_t n) : mN(n), mSide(std::max<int64_t>(1, (n + 20) / 40)) {}
  int64_t N() const { return mN; }
  bool IsHole(int64_t x, int64_t y) const { return InHole(x) && InHole(y); }
  // Row-major cells that are not holes, optionally shuffled.
  std::vector<uint32_t> Cells(bool shuffle) const {
    std::vector<uint32_t> cells;
    cells.reserve(size_t(mN * mN));
    for (int64_t y = 0; y < mN; ++y)
      for (int64_t x = 0; x < mN; ++x)
        if (!IsHole(x, y)) cells.push_back(uint32_t(y * mN + x));
    if (shuffle) {
      std::mt19937_64 random(20261208);
      for (size_t k = cells.size(); k > 1; --k) std::swap(cells[k - 1], cells[size_t(random() % k)]);
    }
    return cells;
  }
  // The corner (x, y) of the field: the same floats wherever it is written.
  void Corner(int64_t x, int64_t y, float out[3]) const {
    out[0] = float(double(x) * kSpacing);
    out[1] = float(double(y) * kSpacing);
    out[2] = float(0.05 * std::sin(double(x) * 0.071) * std::cos(double(y) * 0.053));
  }

 private:
  bool InHole(int64_t c) const {
    const int64_t band = mN / 10;
    if (band == 0) return false;
    const int64_t i = c / band;
    if (i > 9) return false;
    const int64_t start = i * band + (band - mSide) / 2;
    return c >= start && c < start + mSide;
  }
  int64_t mN, mSide;
};

void WriteFieldStl(CWriter& out, const CField& field, bool shuffle) {
  char header[80] = {};
  std::snprintf(header, sizeof header, "tressel_make_grid field-stl %lld", static_cast<long long>(field.N()));
  out.Bytes(header, sizeof header);
  const std::vector<uint32_t> cells = field.Cells(shuffle);
  const uint32_t triangles = uint32_t(2 * cells.size());
  out.Bytes(&triangles, sizeof triangles);
  const float up[3] = {0, 0, 1};
  const uint16_t attributes = 0;
  for (uint32_t cell : cells) {
    const int64_t x = cell % field.N(), y = cell / field.N();
    float a[3], b[3], c[3], d[3];
    field.Corner(x, y, a);
    field.Corner(x + 1, y, b);
    field.Corner(x + 1, y + 1, c);
    field.Corner(x, y + 1, d);
    const float* corners[2][3] = {{a, b, c}, {a, c, d}};
    for (const auto& triangle : corners) {
      out.Bytes(up, sizeof up);
      for (const float* corner : triangle) out.Bytes(corner, 3 * sizeof(float));
      out.Bytes(&attributes, sizeof attributes);
    }
  }
}

void WriteFieldOff(CWriter& out, const CField& field, bool shuffle) {
  const int64_t n = field.N();
  const std::vector<uint32_t> cells = field.Cells(shuffle);
  out.Text("OFF\n");
  out.Number(int64_t((n + 1) * (n + 1)));
  out.Char(' ');
  out.Number(int64_t(cells.size()));
  out.Text(" 0\n");
  for (int64_t y = 0; y <= n; ++y) {
    for (int64_t x = 0; x <= n; ++x) {
      float p[3];
      field.Corner(x, y, p);
      for (int k = 0; k < 3; ++k) {
        if (k) out.Char(' ');
        char text[32];
        out.Bytes(text, size_t(std::to_chars(text, text + sizeof text, p[k]).ptr - text));
      }
      out.Char('\n');
    }
  }
  for (uint32_t cell : cells) {
    const int64_t x = cell % n, y = cell / n;
    const int64_t corners[4] = {y * (n + 1) + x, y * (n + 1) + x + 1, (y + 1) * (n + 1) + x + 1, (y + 1) * (n + 1) + x};
    out.Char('4');
    for (int64_t corner : corners) {
      out.Char(' ');
      out.Number(corner);
    }
    out.Char('\n');
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return Usage();
  const std::string kind = argv[1];
  const bool shuffle = argc == 5 && std::string(argv[4]) == "--shuffle";
  if (argc == 5 && !shuffle) return Usage();
  char* end = nullptr;
  const long long n = std::strtoll(argv[2], &end, 10);
  if (*end || n < 1 || n > 20000) {
    std::fprintf(stderr, "tressel_make_grid: N must be 1 to 20000, not %s\n", argv[2]);
    return 2;
  }
  const bool field = kind == "field-stl" || kind == "field-off";
  if (kind != "sheet" && kind != "stl" && kind != "holes" && kind != "stl-holes" && !field) return Usage();
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
    else if (kind == "field-stl")
      WriteFieldStl(out, CField(n), shuffle);
    else if (kind == "field-off")
      WriteFieldOff(out, CField(n), shuffle);
    else
      WriteObj(out, n, kind == "holes", shuffle);
    written = out.Flush();
  }
  written = std::fclose(file) == 0 && written;
  if (!written) {
    std::fprintf(stderr, "tressel_make_grid: %s: could not be written\n", argv[3]);
    std::remove(argv[3]);
    return 1;
  }
  return 0;
}
