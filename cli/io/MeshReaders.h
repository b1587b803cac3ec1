// The readers behind ImportMeshFile. Each appends the file's meshes to *meshes
// and answers true, or answers false with *detail set to what is wrong and
// where (the caller prefixes the file name). They never leave an out-of-range
// corner, never allocate more than the file's size can justify, and never
// recurse with the input's nesting.
#ifndef TRESSEL_CLI_IO_MESHREADERS_H
#define TRESSEL_CLI_IO_MESHREADERS_H

#include <stddef.h>
#include <stdint.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/io/MeshData.h"

namespace cliio {

// Reports how far reading has come through the input's bytes, at most about
// every 1/256 of them; At() answers false once the callback asked to stop.
class CReadProgress {
 public:
  CReadProgress(const std::function<bool(double)>* callback, size_t total) : mCallback(callback), mTotal(total) {}
  bool At(size_t offset) {
    if (offset < mNext) return !mStopped;
    return Report(offset);
  }
  bool Stopped() const { return mStopped; }
  bool Report(size_t offset);

 private:
  const std::function<bool(double)>* mCallback;
  size_t mTotal;
  size_t mNext = 0;
  bool mStopped = false;
};

// What a reader reads: the bytes (mapped or from standard input), the name
// the meshes take when the file names none, the folder referenced files are
// looked up in, and where warnings go.
struct CReadInput {
  std::string_view bytes;
  std::string stem;
  std::filesystem::path folder;
  std::filesystem::path path;  // empty for standard input
  CReadProgress* progress = nullptr;
  std::vector<std::string>* warnings = nullptr;
  // The file itself, for a reader whose meshes may leave values in it; null
  // for standard input and bytes from elsewhere.
  std::shared_ptr<const CFileWindow> file;
};

// The text a reader should cancel with.
constexpr const char* kCancelledDetail = "reading was cancelled";

bool ReadObj(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail);
bool ReadOff(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail);
bool ReadStl(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail);
// What a reader that may decline a file answers.
enum : int { kFailed = 0, kRead = 1, kNotMine = 2 };
// PLY of the common layouts; kNotMine for any other (the library reads those).
int ReadPly(const CReadInput& input, std::vector<CImportedMesh>* meshes, std::string* detail);
bool ReadWithAssimp(const CReadInput& input, const std::string& format, std::vector<CImportedMesh>* meshes,
                    std::string* detail);

// Whether the library reads files of this extension (lower case, no dot).
bool AssimpReadsFormat(const std::string& extension);

// Checks, before the library reads a file, what it would trust blindly: the
// nesting depth of XML and JSON text (and of glTF node chains) and the sizes
// a GLB or PLY header declares against the bytes that follow.
bool PrecheckForAssimp(std::string_view bytes, const std::string& format, std::string* detail);

// The deepest nesting the importer accepts, in XML elements, JSON values and
// node hierarchy levels: far beyond real models, far below a stack's limit.
constexpr size_t kMaxNesting = 512;

// Appends a facet of `count` corners to `mesh`: 1 to 4 corners as they are,
// more as the fan (c0, ci, ci+1). A count of 0 appends nothing.
// REQUIRES: every corner indexes mesh's vertices.
void AppendFacet(CImportedMesh* mesh, const int32_t* corners, size_t count, const uint8_t argb[4]);

// The byte of a colour component given as 0..1 (clamped, rounded to nearest).
uint8_t ColorByte(double unit);

// Colour bytes A, R, G, B from 3 (R G B, opaque) or 4 (R G B A) components.
// Files write either 0..1 or 0..255: components all within 0..1 are read as
// the former, otherwise as the latter.
void ColorFromComponents(const double* rgba, size_t count, uint8_t argb[4]);

// Checks that text is 8-bit (no NUL bytes, not UTF-16) and drops a UTF-8
// byte-order mark from its front.
bool CheckText(std::string_view* text, std::string* detail);

// Reads a referenced file (an OBJ's material library) whole, only when it is a
// regular file; anything else answers false with the reason in *detail.
bool ReadReferencedFile(const std::filesystem::path& file, std::string* text, std::string* detail);

// Parses a whole token as a finite number; false for anything else.
bool ParseFiniteNumber(std::string_view token, double* value);

// A coordinate the module can compute with: finite and within single
// precision's range. *detail says what is wrong with the token otherwise.
bool ParseCoordinate(std::string_view token, double* value, std::string* detail);

// Splits text into whitespace-separated tokens (views into `text`).
void SplitTokens(std::string_view text, std::vector<std::string_view>* tokens);

}  // namespace cliio

#endif
