// `--preview FILE.png|.svg|.html`: a picture of the wires over the source
// meshes that explains itself (a header line, a legend of the groups), or an
// interactive 3D page.
#ifndef TRESSEL_CLI_IO_PREVIEW_H
#define TRESSEL_CLI_IO_PREVIEW_H

#include <stdint.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/io/MeshData.h"
#include "cli/io/WireData.h"

namespace cliio {

// The picture's view of the model; the pictures are drawn in the model's own
// units without perspective, y up. iso looks down the diagonal from +x +y +z.
enum class PreviewView { kIso, kFront, kBack, kLeft, kRight, kTop, kBottom };

// "iso", "front", ...; false for any other text.
bool ParsePreviewView(const std::string& text, PreviewView* view);
const char* PreviewViewName(PreviewView view);

// What the header line says about the run.
struct CPreviewCaption {
  std::string source;        // the mesh files, as the user named them
  bool hasSettings = false;  // mode, push, scale known
  int32_t mode = 0;
  float push = 0;  // as the settings store them
  float scale = 1;
  std::string selection;     // the selection list in use, empty when off
  bool hasFrame = false;
  int32_t frame = 0;
  // The wires' totals when the caller has counted them already; else the
  // header counts them.
  bool hasCounts = false;
  size_t wires = 0, segments = 0;
};

struct CPreviewOptions {
  PreviewView view = PreviewView::kIso;
  CPreviewCaption caption;
  // The caller has checked the wires with CheckWireGroups, and they passed:
  // they are not checked again.
  bool wiresChecked = false;
  // Set, from any thread, to end the drawing early: RenderPreview then
  // returns false. Looked at every so many vertices, facets and segments.
  const std::atomic<bool>* stop = nullptr;
};

// "engine.glb · mode 0 · push 0 · scale 1 · 120 wires · 480 segments" for
// these groups (wires are the polylines JoinPolylines makes; the caption's
// counts where it has them).
std::string PreviewHeader(const CPreviewCaption& caption, const CWireSources& wires);
std::string PreviewHeader(const CPreviewCaption& caption, const std::vector<CWireGroup>& wires);

// The still pictures: a header band on top, the view below it, the legend in
// columns on the right (none without groups).
constexpr int kPreviewWidth = 800;   // the view
constexpr int kPreviewHeight = 600;
constexpr int kPreviewHeaderHeight = 30;
constexpr int kLegendColumnWidth = 230;
constexpr int kLegendRowHeight = 16;
constexpr int kLegendSwatch = 10;
constexpr size_t kLegendMaxColumns = 4;

struct CLegendRow {
  int x = 0, y = 0;  // top left of the row; the swatch is at (x, y + 3), the name after it
};

struct CPreviewLayout {
  int width = kPreviewWidth, height = kPreviewHeaderHeight + kPreviewHeight;
  bool noteRow = false;            // the first row says which groups share a colour
  std::vector<CLegendRow> rows;    // one a listed group, in group order
  size_t unlisted = 0;             // groups past the last column, summed up in a last row
  CLegendRow moreRow;              // where that row goes
};

CPreviewLayout LayoutPreview(size_t groupCount);

// Writes the preview to `file` by its extension (any case): .png and .svg draw
// `wires` over `meshes` (drawn faintly; in an SVG only up to a size) in the
// chosen view, nearer wires stronger; .html writes the interactive page.
// Written atomically (AtomicFile.h). False with *error, one line beginning
// with `file`, for another extension, wires that fail CheckWireGroups (unless
// options.wiresChecked), or a failed write. Mesh corners out of range and non-finite mesh points are left
// out. The wires are read where they are, a run at a time, and not copied.
// REQUIRES: error != nullptr.
bool WritePreview(const std::filesystem::path& file, const CWireSources& wires,
                  const std::vector<CImportedMesh>& meshes, const CPreviewOptions& options, std::string* error);
bool WritePreview(const std::filesystem::path& file, const std::vector<CWireGroup>& wires,
                  const std::vector<CImportedMesh>& meshes, const CPreviewOptions& options, std::string* error);
// What WritePreview would write to `file`, into *bytes; nothing is written.
// It only reads `wires` and `meshes`, so another thread may read the wires
// meanwhile; not the meshes, whose reads of a file go through one window
// (FileWindow.h). REQUIRES: bytes, error not null.
bool RenderPreview(const std::filesystem::path& file, const CWireSources& wires,
                   const std::vector<CImportedMesh>& meshes, const CPreviewOptions& options, std::string* bytes,
                   std::string* error);

}  // namespace cliio

#endif
