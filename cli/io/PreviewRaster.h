// Antialiased lines straight into a 32-bit pixel buffer (0x00RRGGBB, the
// layout of cairo's RGB24 images): the still preview's wires and mesh edges.
// Cost is proportional to the pixels a line covers, so a picture of hundreds of
// thousands of short segments takes milliseconds where a general path stroker
// takes seconds.
#ifndef TRESSEL_CLI_IO_PREVIEWRASTER_H
#define TRESSEL_CLI_IO_PREVIEWRASTER_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace cliio {

struct CPaint {
  double red = 0, green = 0, blue = 0;  // 0 to 1
};

class CRaster {
 public:
  // `pixels` rows of `stride` bytes; drawing is clipped to the rectangle
  // [left, left + width) x [top, top + height), which lies in the buffer
  // (left, top >= 0). Pixels are written with their unused top byte 0.
  CRaster(unsigned char* pixels, int stride, int left, int top, int width, int height);

  void Fill(const CPaint& colour);
  // Marks the pixels whose centres lie in the triangle (either winding) as
  // covered; Tint then blends every covered pixel once, however many
  // triangles cover it.
  void Cover(double x0, double y0, double x1, double y1, double x2, double y2);
  void Tint(const CPaint& colour, double opacity);
  // A line from (x0, y0) to (x1, y1) in pixel coordinates (pixel centres at
  // .5) of the given width, blended over what is there with `opacity`.
  // Non-finite coordinates draw nothing.
  void Line(double x0, double y0, double x1, double y1, double width, const CPaint& colour, double opacity);
  // Lines with room around them are painted eight pixels a step, and facets
  // covered four rows a step, where the processor can (AVX2): the same pixels
  // as four at a time and one row at a time; false keeps to the latter, to
  // compare the two.
  void UseWideSteps(bool use);

 private:
  // `target` is 0xRRGGBB, `weight` 0 to 256.
  void Blend(int x, int y, uint32_t target, int weight);
  void BlendInside(int x, int y, uint32_t target, int weight);
  // Line's way for a line with room around it inside the clip rectangle.
  void LineInside(double x0, double y0, double x1, double y1, double reach, uint32_t target, double opacity);
  // Cover's way without AVX2.
  void CoverRowByRow(double x0, double y0, double x1, double y1, double x2, double y2);
  // The coverage mask's first row, made (all clear) on first use.
  uint64_t* CoveredRows();

  unsigned char* mPixels;
  int mStride, mLeft, mTop, mRight, mBottom;
  // Once Cover ran: a bit for each pixel of the clip rectangle, set when a
  // facet covers it; each row starts on a word and has at least one bit to
  // spare at its end. At an eighth of a byte a pixel the mask stays in the
  // processor's cache, where the hundreds of thousands of small facets of a
  // dense model mark it in no particular order.
  std::vector<uint64_t> mCovered;
  size_t mCoveredWords = 0;  // a row's
  bool mWideSteps = true;
};

}  // namespace cliio

#endif
