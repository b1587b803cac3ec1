// What the still pictures and the page share: the views, the fitting of the
// model into the picture, the depth order of the wires, safe text.
#ifndef TRESSEL_CLI_IO_PREVIEWSCENE_H
#define TRESSEL_CLI_IO_PREVIEWSCENE_H

#include <stdint.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "cli/io/Preview.h"
#include "cli/io/ScratchBuffer.h"

namespace cliio {

// A mesh as the previews read it: the one place that knows how an imported
// mesh keeps its vertices and facets.
class CMeshView {
 public:
  explicit CMeshView(const CImportedMesh& mesh) : mMesh(mesh) {}
  size_t VertexCount() const { return mMesh.VertexCount(); }
  void Position(size_t vertex, double out[3]) const { mMesh.Position(vertex, out); }
  size_t FacetCount() const { return mMesh.FacetCount(); }
  CImportedFacet Facet(size_t facet) const { return mMesh.Facet(facet); }

 private:
  const CImportedMesh& mMesh;
};

// The view's axes in model coordinates: screen right, screen up, and towards
// the viewer (right x up).
struct CProjection {
  double right[3], up[3], toward[3];
};
const CProjection& ProjectionFor(PreviewView view);

// Places model points into a picture rectangle: orthographic, fitted to what
// was included with a margin, aspect kept. Nearness runs from 0 (the farthest
// included wire point) to 1 (the nearest).
class CViewFit {
 public:
  explicit CViewFit(PreviewView view) : mProjection(ProjectionFor(view)) {}
  void Include(const double position[3], bool wire);
  void Settle(double width, double height, double margin);
  // Picture coordinates, y down; false for a point that does not project to
  // finite ones.
  bool Place(const double position[3], double* x, double* y) const;
  double Nearness(const double position[3]) const;

 private:
  CProjection mProjection;
  bool mAny = false;
  double mLowX = 1e300, mLowY = 1e300, mHighX = -1e300, mHighY = -1e300;
  double mNear = -1e300, mFar = 1e300;
  double mCentreX = 0, mCentreY = 0, mScale = 1, mWidth = 0, mHeight = 0;
};

// Defined here so that the loops over every vertex of a model inline them.
namespace previewdetail {
inline double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
}  // namespace previewdetail

inline void CViewFit::Include(const double position[3], bool wire) {
  const double x = previewdetail::Dot(position, mProjection.right), y = previewdetail::Dot(position, mProjection.up);
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  mLowX = std::min(mLowX, x);
  mLowY = std::min(mLowY, y);
  mHighX = std::max(mHighX, x);
  mHighY = std::max(mHighY, y);
  mAny = true;
  if (!wire) return;
  const double depth = previewdetail::Dot(position, mProjection.toward);
  mNear = std::max(mNear, depth);
  mFar = std::min(mFar, depth);
}

inline bool CViewFit::Place(const double position[3], double* x, double* y) const {
  *x = mWidth / 2 + (previewdetail::Dot(position, mProjection.right) - mCentreX) * mScale;
  *y = mHeight / 2 - (previewdetail::Dot(position, mProjection.up) - mCentreY) * mScale;
  return std::isfinite(*x) && std::isfinite(*y);
}

inline double CViewFit::Nearness(const double position[3]) const {
  const double span = mNear - mFar;
  if (!(span > 0) || !std::isfinite(span)) return 1.0;
  return std::clamp((previewdetail::Dot(position, mProjection.toward) - mFar) / span, 0.0, 1.0);
}

// Every segment of every group placed in the picture, farthest first: the
// order the PNG paints in. Each carries its ends' picture coordinates (NaN
// for an end that does not place; float, a small fraction of a pixel off),
// so painting reads them in order rather than gathering them from the
// groups' vertices.
struct CDepthSegment {
  float x0, y0, x1, y1;
  float nearness;
  uint32_t group;
};
using CDepthOrder = CScratchVector<CDepthSegment>;
// Stopped (`stop` set) between groups, it gives no segment.
CDepthOrder SegmentsFarToNear(const CWireSources& wires, const CViewFit& fit,
                              const std::atomic<bool>* stop = nullptr);
CDepthOrder SegmentsFarToNear(const std::vector<CWireGroup>& wires, const CViewFit& fit);

// Whether the drawing was asked to stop (CPreviewOptions::stop), looking at
// the flag on the first call and once every 65536 calls after: cheap enough
// for every vertex, facet and segment of a loop. Once true it stays true.
class CStopCheck {
 public:
  explicit CStopCheck(const std::atomic<bool>* stop) : mStop(stop) {}
  bool operator()() {
    if (mStop && !mStopped && (mCalls++ & 0xFFFF) == 0) mStopped = mStop->load(std::memory_order_relaxed);
    return mStopped;
  }

 private:
  const std::atomic<bool>* mStop;
  uint32_t mCalls = 0;
  bool mStopped = false;
};

// Includes every vertex of `wires` in `fit` as a wire point.
void IncludeWires(const CWireSources& wires, CViewFit* fit, const std::atomic<bool>* stop = nullptr);

// `text` as valid UTF-8 without control characters (a bad byte becomes '?',
// a control character a space): group and file names go into XML, HTML and
// cairo's text, which all need it.
std::string CleanText(const std::string& text);
// For XML and HTML text and attribute values.
std::string EscapeMarkup(const std::string& text);

// The SVG picture (PreviewSvg.cpp) and the HTML page (PreviewPage.cpp).
std::string RenderSvg(const CWireSources& wires, const std::vector<CImportedMesh>& meshes,
                      const CPreviewOptions& options);
std::string RenderPage(const CWireSources& wires, const std::vector<CImportedMesh>& meshes,
                       const CPreviewOptions& options);

// The legend's text for a group and the note for shared colours, in both pictures.
std::string LegendNote(size_t groupCount);
std::string UnlistedRow(size_t unlisted);

}  // namespace cliio

#endif
