// Each line is walked along its major axis one pixel at a time; at each step
// the few pixels across it get the coverage of a round-ended stroke, estimated
// from the distance of the pixel centre to the segment.
#include "cli/io/PreviewRaster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace cliio {

CRaster::CRaster(unsigned char* pixels, int stride, int left, int top, int width, int height)
    : mPixels(pixels), mStride(stride), mLeft(left), mTop(top), mRight(left + width), mBottom(top + height) {}

namespace {

uint32_t Pack(const CPaint& colour) {
  auto channel = [](double value) { return uint32_t(std::clamp(value, 0.0, 1.0) * 255 + 0.5); };
  return (channel(colour.red) << 16) | (channel(colour.green) << 8) | channel(colour.blue);
}

}  // namespace

void CRaster::Fill(const CPaint& colour) {
  const uint32_t target = Pack(colour);
  for (int y = mTop; y < mBottom; ++y) {
    unsigned char* row = mPixels + std::ptrdiff_t(y) * mStride;
    for (int x = mLeft; x < mRight; ++x) std::memcpy(row + std::ptrdiff_t(x) * 4, &target, 4);
  }
}

void CRaster::Blend(int x, int y, uint32_t target, int weight) {
  if (x < mLeft || x >= mRight || y < mTop || y >= mBottom) return;
  BlendInside(x, y, target, weight);
}

namespace {

// old + (wanted - old) * weight / 256, rounded, for each channel; red and
// blue are worked on together, 16 bits apart, which no sum can overflow:
// old * (256 - weight) + wanted * weight + 128 stays below 2^16.
inline void Mix(unsigned char* at, uint32_t target, int weight) {
  uint32_t pixel;
  std::memcpy(&pixel, at, 4);
  const uint32_t keep = uint32_t(256 - weight), take = uint32_t(weight);
  const uint32_t redBlue = ((pixel & 0xFF00FF) * keep + (target & 0xFF00FF) * take + 0x800080) >> 8;
  const uint32_t green = ((pixel & 0xFF00) * keep + (target & 0xFF00) * take + 0x8000) >> 8;
  const uint32_t mixed = (redBlue & 0xFF00FF) | (green & 0xFF00);
  std::memcpy(at, &mixed, 4);
}

}  // namespace

void CRaster::BlendInside(int x, int y, uint32_t target, int weight) {
  Mix(mPixels + std::ptrdiff_t(y) * mStride + std::ptrdiff_t(x) * 4, target, weight);
}

void CRaster::Cover(double x0, double y0, double x1, double y1, double x2, double y2) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) ||
      !std::isfinite(y2))
    return;
  const int width = mRight - mLeft, height = mBottom - mTop;
  if (mCovered.empty()) mCovered.assign(size_t(width) * size_t(height), 0);
  // Sort by y, then fill each row between the long edge and the short ones.
  if (y1 < y0) { std::swap(x0, x1); std::swap(y0, y1); }
  if (y2 < y0) { std::swap(x0, x2); std::swap(y0, y2); }
  if (y2 < y1) { std::swap(x1, x2); std::swap(y1, y2); }
  if (!(y2 > y0)) return;
  const int firstRow = std::max(mTop, int(std::ceil(y0 - 0.5))), lastRow = std::min(mBottom - 1, int(std::floor(y2 - 0.5)));
  for (int row = firstRow; row <= lastRow; ++row) {
    const double y = row + 0.5;
    const double longX = x0 + (x2 - x0) * (y - y0) / (y2 - y0);
    double shortX;
    if (y < y1)
      shortX = y1 > y0 ? x0 + (x1 - x0) * (y - y0) / (y1 - y0) : x1;
    else
      shortX = y2 > y1 ? x1 + (x2 - x1) * (y - y1) / (y2 - y1) : x1;
    const double left = std::min(longX, shortX), right = std::max(longX, shortX);
    const int from = std::max(mLeft, int(std::ceil(left - 0.5))), to = std::min(mRight - 1, int(std::floor(right - 0.5)));
    if (from <= to)
      std::memset(&mCovered[size_t(row - mTop) * size_t(width) + size_t(from - mLeft)], 1, size_t(to - from + 1));
  }
}

void CRaster::Tint(const CPaint& colour, double opacity) {
  if (mCovered.empty()) return;
  const uint32_t target = Pack(colour);
  const int weight = int(std::clamp(opacity, 0.0, 1.0) * 256 + 0.5);
  const int width = mRight - mLeft;
  for (int y = mTop; y < mBottom; ++y) {
    const uint8_t* covered = &mCovered[size_t(y - mTop) * size_t(width)];
    unsigned char* row = mPixels + std::ptrdiff_t(y) * mStride + std::ptrdiff_t(mLeft) * 4;
    for (int x = 0; x < width; ++x)
      if (covered[x]) Mix(row + std::ptrdiff_t(x) * 4, target, weight);
  }
}

void CRaster::Line(double x0, double y0, double x1, double y1, double width, const CPaint& colour, double opacity) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
  opacity = std::clamp(opacity, 0.0, 1.0);
  const double half = width / 2;
  const double reach = half + 0.5;  // farthest a pixel centre can be and still be touched
  // Wholly outside the clip rectangle: nothing to do (also keeps far-off
  // coordinates from walking millions of steps).
  if (std::max(x0, x1) + reach < mLeft || std::min(x0, x1) - reach > mRight || std::max(y0, y1) + reach < mTop ||
      std::min(y0, y1) - reach > mBottom)
    return;
  const uint32_t target = Pack(colour);
  const bool steep = std::fabs(y1 - y0) > std::fabs(x1 - x0);
  // Work in (major, minor) coordinates.
  double a0 = steep ? y0 : x0, b0 = steep ? x0 : y0, a1 = steep ? y1 : x1, b1 = steep ? x1 : y1;
  if (a0 > a1) {
    std::swap(a0, a1);
    std::swap(b0, b1);
  }
  const double da = a1 - a0, db = b1 - b0;
  const double length2 = da * da + db * db;
  const double length = std::sqrt(length2);
  const double slope = da > 0 ? db / da : 0;
  // Across the line, the distance to it is the offset along the minor axis
  // times da / length; so pixels farther than reach * length / da across
  // cannot be touched.
  const double across = da > 0 ? reach * length / da : reach;
  const double inverseLength = length > 0 ? 1 / length : 0;
  const double lowLimit = steep ? mTop : mLeft, highLimit = steep ? mBottom : mRight;
  // Most lines lie wholly inside: their pixels need no clipping.
  const double pad = reach * 1.5 + 2;
  const bool inside = std::min(x0, x1) - pad > mLeft && std::max(x0, x1) + pad < mRight &&
                      std::min(y0, y1) - pad > mTop && std::max(y0, y1) + pad < mBottom;
  const int first = int(std::floor(std::max(a0 - reach, lowLimit - 1)));
  const int last = int(std::ceil(std::min(a1 + reach, highLimit + 1)));
  // Between the ends the distance to the line is |signed|, which changes by
  // da / length a step across; past the ends
  // it is the distance to the nearer end.
  const double stepAcross = da * inverseLength;
  const double endA = a0 + da, endB = b0 + db;
  // Squared distances from here on have their root at or past `reach`.
  const double outOfReach2 = reach * reach * (1 + 1e-12);
  // A step across moves one pixel along the minor axis: a row down when the
  // line is flat, a pixel right when steep.
  const std::ptrdiff_t minorBytes = steep ? 4 : mStride, majorBytes = steep ? mStride : 4;
  for (int a = first; a <= last; ++a) {
    const double ca = a + 0.5;
    const double centre = b0 + (std::clamp(ca, a0, a1) - a0) * slope;
    const int from = int(std::ceil(centre - across - 0.5)), to = int(std::floor(centre + across - 0.5));
    const bool between = ca >= a0 && ca <= a1;
    double signedDistance = ((from + 0.5 - b0) * da - (ca - a0) * db) * inverseLength;
    double along = (ca - a0) * da + (from + 0.5 - b0) * db;
    // A byte offset, not a pointer: off the image (clipped lines) it is never used.
    std::ptrdiff_t offset = std::ptrdiff_t(a) * majorBytes + std::ptrdiff_t(from) * minorBytes;
    for (int b = from; b <= to; ++b, signedDistance += stepAcross, along += db, offset += minorBytes) {
      double distance;
      if (between && along >= 0 && along <= length2) {
        distance = std::fabs(signedDistance);
      } else {
        // Nearest to the end (or, rarely, to a point between the ends seen
        // from beside the segment's run along the major axis); a pixel out
        // of reach is passed over before the root is taken.
        const double cb = b + 0.5;
        double pa, pb;
        if (along < 0 || !(length2 > 0)) {
          pa = a0 - ca;
          pb = b0 - cb;
        } else if (along > length2) {
          pa = endA - ca;
          pb = endB - cb;
        } else {
          const double t = along / length2;
          pa = a0 + t * da - ca;
          pb = b0 + t * db - cb;
        }
        const double distance2 = pa * pa + pb * pb;
        if (distance2 >= outOfReach2) continue;
        distance = std::sqrt(distance2);
      }
      const double coverage = reach - distance;
      if (coverage <= 0) continue;
      const int weight = int((coverage < 1 ? coverage : 1) * opacity * 256 + 0.5);
      if (weight <= 0) continue;
      if (inside)
        Mix(mPixels + offset, target, weight);
      else
        Blend(steep ? b : a, steep ? a : b, target, weight);
    }
  }
}

}  // namespace cliio
