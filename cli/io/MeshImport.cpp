// Opens a mesh file, chooses its reader and shapes failures into one line.
// Only regular files are read (opened without blocking, so a FIFO or a device
// is refused, not waited on), mapped into memory rather than copied; standard
// input is read whole. OBJ, OFF, STL and PLY of the common layouts have
// dedicated readers: the library's
// OBJ reading gives every face corner its own vertex, which would cut the
// file's sharing apart, and the dedicated readers check declared counts
// against the file before reserving memory for them. Everything else (PLY,
// glTF and the rest) goes through the library, after a check of what the
// library would trust blindly (nesting depth, declared sizes), and in a
// worker process (ImportWorker.h), so that the library's leaks and crashes
// stay out of the command.
#include "cli/io/MeshImport.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iostream>
#include <iterator>
#include <limits>
#include <new>
#include <stdexcept>
#include <system_error>

#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string FormatOf(const std::filesystem::path& file) {
  std::string extension = Lower(file.extension().string());
  return extension.empty() ? extension : extension.substr(1);
}

std::string OpenFailure(int error) {
  switch (error) {
    case ENOENT: return "no such file";
    case ELOOP: return "is a symbolic link that leads round in a loop (or through too many links)";
    case EACCES: return "permission denied";
    case ENOTDIR: return "a part of the path is not a folder";
    case ENAMETOOLONG: return "the name is too long";
    default: return std::error_code(error, std::generic_category()).message();
  }
}

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder, not a mesh file";
  if (S_ISFIFO(mode)) return "is a pipe (FIFO), not a regular file; give '-' to read standard input";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  return "is not a regular file";
}

// A regular file's bytes, mapped read-only, or standard input's, held.
class CInputBytes {
 public:
  CInputBytes() = default;
  CInputBytes(const CInputBytes&) = delete;
  CInputBytes& operator=(const CInputBytes&) = delete;
  ~CInputBytes() {
    if (mMapped) ::munmap(mMapped, mSize);
  }
  std::string_view View() const {
    return mMapped ? std::string_view(static_cast<const char*>(mMapped), mSize) : std::string_view(mHeld);
  }

  bool Map(const std::filesystem::path& file, std::string* detail) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
      *detail = OpenFailure(errno);
      return false;
    }
    struct stat status;
    bool ok = ::fstat(descriptor, &status) == 0;
    if (!ok) *detail = OpenFailure(errno);
    if (ok && !S_ISREG(status.st_mode)) {
      *detail = KindOf(status.st_mode);
      ok = false;
    }
    if (ok && status.st_size > 0) {
      mSize = size_t(status.st_size);
      void* mapped = ::mmap(nullptr, mSize, PROT_READ, MAP_PRIVATE, descriptor, 0);
      if (mapped == MAP_FAILED) {
        *detail = "cannot be mapped for reading (" + std::error_code(errno, std::generic_category()).message() + ")";
        ok = false;
      } else {
        mMapped = mapped;
        ::madvise(mMapped, mSize, MADV_SEQUENTIAL);
      }
    }
    // The descriptor stays open in the window, for readers whose meshes read
    // the file again later.
    if (ok) mWindow = CFileWindow::Take(descriptor, detail);
    else ::close(descriptor);
    return ok && mWindow;
  }
  const std::shared_ptr<const CFileWindow>& Window() const { return mWindow; }

  bool ReadStandardInput(std::string* detail) {
    char buffer[1 << 16];
    for (;;) {
      const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (got == 0) return true;
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        *detail = "standard input could not be read (" + std::error_code(errno, std::generic_category()).message() + ")";
        return false;
      }
      mHeld.append(buffer, size_t(got));
    }
  }

 private:
  void* mMapped = nullptr;
  size_t mSize = 0;
  std::string mHeld;
  std::shared_ptr<const CFileWindow> mWindow;
};

bool Dispatch(const CReadInput& input, const std::string& format, std::vector<CImportedMesh>* meshes, std::string* detail) {
  if (format == "obj") return ReadObj(input, meshes, detail);
  if (format == "off") return ReadOff(input, meshes, detail);
  if (format == "stl") return ReadStl(input, meshes, detail);
  if (format == "ply") {
    const int read = ReadPly(input, meshes, detail);
    if (read != kNotMine) return read == kRead;
  }
  return ReadWithAssimp(input, format, meshes, detail);
}

}  // namespace

bool CReadProgress::Report(size_t offset) {
  if (mStopped) return false;
  const size_t step = std::max<size_t>(mTotal / 256, 1 << 16);
  mNext = offset + step;
  if (!mCallback || !*mCallback) return true;
  const double fraction = mTotal == 0 ? 0.0 : std::min(0.999, double(offset) / double(mTotal));
  mStopped = !(*mCallback)(fraction);
  return !mStopped;
}

void AppendFacet(CImportedMesh* mesh, const int32_t* corners, size_t count, const uint8_t argb[4]) {
  const uint32_t color = ColorWord(argb);
  if (count == 0) return;
  if (count <= 4) {
    mesh->AddFacet(corners, int32_t(count), color);
    return;
  }
  for (size_t i = 1; i + 1 < count; ++i) {
    const int32_t fan[3] = {corners[0], corners[i], corners[i + 1]};
    mesh->AddFacet(fan, 3, color);
  }
}

uint8_t ColorByte(double unit) {
  if (!(unit > 0)) return 0;  // also NaN
  if (unit >= 1) return 255;
  return static_cast<uint8_t>(std::lround(unit * 255.0));
}

void ColorFromComponents(const double* rgba, size_t count, uint8_t argb[4]) {
  bool unitScale = true;
  for (size_t i = 0; i < count; ++i) unitScale = unitScale && rgba[i] <= 1.0;
  const double scale = unitScale ? 1.0 : 1.0 / 255.0;
  argb[0] = count >= 4 ? ColorByte(rgba[3] * scale) : 0xFF;
  for (size_t i = 0; i < 3; ++i) argb[1 + i] = ColorByte(rgba[i] * scale);
}

bool CheckText(std::string_view* text, std::string* detail) {
  const auto byte = [text](size_t i) { return static_cast<unsigned char>((*text)[i]); };
  if (text->size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
    *detail = "is UTF-16 text; only 8-bit text is read";
    return false;
  }
  if (text->size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) text->remove_prefix(3);
  if (std::memchr(text->data(), '\0', text->size())) {
    *detail = "is not a text file";
    return false;
  }
  return true;
}

bool ReadReferencedFile(const std::filesystem::path& file, std::string* text, std::string* detail) {
  CInputBytes bytes;
  if (!bytes.Map(file, detail)) return false;
  text->assign(bytes.View());
  return true;
}

void SplitTokens(std::string_view text, std::vector<std::string_view>* tokens) {
  tokens->clear();
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    const size_t start = at;
    while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (at > start) tokens->push_back(text.substr(start, at - start));
  }
}

bool ParseFiniteNumber(std::string_view token, double* value) {
  const char* first = token.data();
  const char* last = first + token.size();
  if (first != last && *first == '+') ++first;
  const auto [end, code] = std::from_chars(first, last, *value);
  return code == std::errc() && end == last && first != last && std::isfinite(*value);
}

bool ParseCoordinate(std::string_view token, double* value, std::string* detail) {
  const char* first = token.data();
  const char* last = first + token.size();
  if (first != last && *first == '+') ++first;
  const auto [end, code] = std::from_chars(first, last, *value);
  if (first == last || end != last || (code != std::errc() && code != std::errc::result_out_of_range)) {
    *detail = "\"" + std::string(token) + "\" is not a number";
    return false;
  }
  if (code == std::errc::result_out_of_range) {
    *detail = "\"" + std::string(token) + "\" is out of the range of numbers";
    return false;
  }
  if (!std::isfinite(*value)) {
    *detail = "\"" + std::string(token) + "\" is not a finite number";
    return false;
  }
  if (std::fabs(*value) > double(std::numeric_limits<float>::max())) {
    *detail = "\"" + std::string(token) + "\" is beyond single precision (about 3.4e38), which the module computes in";
    return false;
  }
  return true;
}

bool KnownInputFormat(const std::string& format) {
  const std::string lower = Lower(format);
  if (lower == "obj" || lower == "off" || lower == "stl") return true;
  return AssimpReadsFormat(lower);
}

namespace {

// Reads `bytes` (of `path`, empty for bytes from elsewhere) in `format`.
bool ReadBytes(std::string_view bytes, const std::shared_ptr<const CFileWindow>& file, const std::string& format,
               const std::string& stem, const std::filesystem::path& path, const CImportOptions& options,
               std::vector<CImportedMesh>* meshes, std::string* detail) {
  CReadProgress progress(&options.progress, bytes.size());
  CReadInput input;
  input.bytes = bytes;
  input.stem = stem;
  input.folder = path.empty() ? std::filesystem::path(".") : path.parent_path();
  input.path = path;
  input.progress = &progress;
  input.warnings = options.warnings;
  input.file = file;
  bool ok = false;
  try {
    progress.Report(0);
    ok = !progress.Stopped() && Dispatch(input, format, meshes, detail);
    if (progress.Stopped()) {
      ok = false;
      *detail = kCancelledDetail;
    }
  } catch (const std::bad_alloc&) {
    *detail = "not enough memory to hold the mesh";
    ok = false;
  } catch (const std::length_error&) {
    *detail = "the mesh is too large to hold";
    ok = false;
  }
  if (ok && meshes->empty()) {
    ok = false;
    *detail = "holds no meshes";
  }
  if (ok && options.progress) options.progress(1.0);
  return ok;
}

std::vector<CImportedMesh> Finish(bool ok, const std::string& shownName, const std::string& detail,
                                  std::vector<CImportedMesh> meshes, std::string* error) {
  if (!ok) {
    meshes.clear();
    *error = Printable(shownName + ": " + detail);
  } else {
    error->clear();
  }
  return meshes;
}

}  // namespace

std::vector<CImportedMesh> ImportMeshFile(const std::filesystem::path& file, std::string* error,
                                          const CImportOptions& options) {
  std::vector<CImportedMesh> meshes;
  std::string detail;
  const bool standardInput = file == kStandardInputName;
  const std::string format = options.format.empty() ? FormatOf(file) : Lower(options.format);
  const std::string shownName = standardInput ? "standard input" : file.string();
  CInputBytes bytes;
  bool ok = false;
  if (standardInput && format.empty()) {
    detail = "needs --input-format to say what it holds";
  } else if (standardInput ? bytes.ReadStandardInput(&detail) : bytes.Map(file, &detail)) {
    ok = ReadBytes(bytes.View(), bytes.Window(), format, standardInput ? "stdin" : file.stem().string(),
                   standardInput ? std::filesystem::path() : file, options, &meshes, &detail);
  }
  return Finish(ok, shownName, detail, std::move(meshes), error);
}

std::vector<CImportedMesh> ImportMeshBytes(std::string_view bytes, const std::string& name, std::string* error,
                                           const CImportOptions& options) {
  std::vector<CImportedMesh> meshes;
  std::string detail;
  const bool ok = ReadBytes(bytes, nullptr, Lower(options.format), name, std::filesystem::path(), options, &meshes, &detail);
  return Finish(ok, name, detail, std::move(meshes), error);
}

}  // namespace cliio
