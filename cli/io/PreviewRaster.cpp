// A line gets the coverage of a round-ended stroke at each pixel, from the
// distance of the pixel centre to the segment. Lines well inside the clip
// rectangle, nearly all of them, are drawn row by row four pixels at a time
// (in SSE2 where there is SSE2; eight, as a row's eight or two rows' four,
// where the processor has AVX2) without a branch per pixel; the others are
// walked along their major axis one pixel at a time, clipping each pixel.
// The mesh's facets mark a bit mask of pixel centres, a row at a time, or
// where the processor has AVX2 four rows a step in its double lanes, with the
// same arithmetic in each lane and so the same bits.
#include "cli/io/PreviewRaster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Where the compiler can target AVX2 for one function while the program runs
// on any x86-64, lines inside are painted eight pixels a step on processors
// that have it.
#if defined(__SSE2__) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TRESSEL_RASTER_AVX2 1
#include <immintrin.h>
// What lies between these is compiled for AVX2.
#if defined(__clang__)
#define TRESSEL_RASTER_AVX2_BEGIN \
  _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define TRESSEL_RASTER_AVX2_END _Pragma("clang attribute pop")
#else
#define TRESSEL_RASTER_AVX2_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define TRESSEL_RASTER_AVX2_END _Pragma("GCC pop_options")
#endif
#endif

namespace cliio {

CRaster::CRaster(unsigned char* pixels, int stride, int left, int top, int width, int height)
    : mPixels(pixels), mStride(stride), mLeft(left), mTop(top), mRight(left + width), mBottom(top + height) {}

namespace {

// Rounding by truncation, cheaper than std::floor and std::ceil without
// SSE4.1, which the baseline x86-64 lacks. REQUIRES: value >= 0 (Floor: >= -1)
// and within int's range.
inline int Floor(double value) { return int(value + 1) - 1; }
inline int Ceil(double value) {
  const int whole = int(value);
  return whole + (double(whole) < value);
}

// The index of the lowest set bit. REQUIRES: bits != 0.
inline int LowestBit(uint64_t bits) {
#if defined(__GNUC__)
  return __builtin_ctzll(bits);
#else
  int index = 0;
  while (!(bits & 1)) {
    bits >>= 1;
    ++index;
  }
  return index;
#endif
}

#if defined(TRESSEL_RASTER_AVX2)
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

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

namespace {

// A facet sorted by y, and the rows [firstRow, lastRow] of the clip
// rectangle whose centres may lie in it.
struct CFacet {
  double x0, y0, x1, y1, x2, y2;
  int firstRow, lastRow;
};

// The coverage mask as the row loops below mark it: `rowWords` words a row,
// the first for the clip rectangle's row `top`.
struct CMaskRows {
  uint64_t* words;
  size_t rowWords;
  int top, left, right;
};

#if defined(TRESSEL_RASTER_AVX2)
TRESSEL_RASTER_AVX2_BEGIN
// Cover's checks, sort and range of rows without a branch that goes either
// way at random: the points as (x, y) pairs, swapped by the same comparisons
// in the same order. False when the facet is not finite, flat or has no row
// whose centre it may hold.
inline bool SortFacetInLanes(double x0, double y0, double x1, double y1, double x2, double y2, int top, int bottom,
                             CFacet* facet) {
  __m128d p0 = _mm_set_pd(y0, x0), p1 = _mm_set_pd(y1, x1), p2 = _mm_set_pd(y2, x2);
  // v - v is 0 for a finite number, not a number for the others.
  const __m128d zero = _mm_setzero_pd();
  const __m128d finite = _mm_and_pd(
      _mm_and_pd(_mm_cmpeq_pd(_mm_sub_pd(p0, p0), zero), _mm_cmpeq_pd(_mm_sub_pd(p1, p1), zero)),
      _mm_cmpeq_pd(_mm_sub_pd(p2, p2), zero));
  if (_mm_movemask_pd(finite) != 3) return false;
  // Swaps a and b where b's y is below a's.
  auto order = [](__m128d& a, __m128d& b) {
    const __m128d below = _mm_cmplt_pd(_mm_unpackhi_pd(b, b), _mm_unpackhi_pd(a, a));
    const __m128d low = _mm_blendv_pd(a, b, below), high = _mm_blendv_pd(b, a, below);
    a = low;
    b = high;
  };
  order(p0, p1);
  order(p0, p2);
  order(p1, p2);
  facet->x0 = _mm_cvtsd_f64(p0);
  facet->y0 = _mm_cvtsd_f64(_mm_unpackhi_pd(p0, p0));
  facet->x1 = _mm_cvtsd_f64(p1);
  facet->y1 = _mm_cvtsd_f64(_mm_unpackhi_pd(p1, p1));
  facet->x2 = _mm_cvtsd_f64(p2);
  facet->y2 = _mm_cvtsd_f64(_mm_unpackhi_pd(p2, p2));
  if (!(facet->y2 > facet->y0)) return false;
  // As Cover's clamps, for numbers, which these are.
  facet->firstRow = Ceil(std::min(std::max(facet->y0 - 0.5, double(top)), double(bottom)));
  facet->lastRow = Floor(std::min(std::max(facet->y2 - 0.5, top - 1.0), double(bottom - 1)));
  return facet->firstRow <= facet->lastRow;
}

// Sets the words [from, to) of a mask row, four a step: the middle of a span
// more than two words long, which few facets of a dense model have. Masked
// stores, not a loop of word stores, which the compiler would make a call
// that clobbers the row loop's registers.
inline void FillWords(uint64_t* from, uint64_t* to) {
  const __m256i ones = _mm256_set1_epi64x(-1), lanes = _mm256_set_epi64x(3, 2, 1, 0);
  for (; from < to; from += 4) {
    const __m256i inside = _mm256_cmpgt_epi64(_mm256_set1_epi64x(to - from), lanes);
    _mm256_maskstore_epi64(reinterpret_cast<long long*>(from), inside, ones);
  }
}

// A facet's rows four at a time, one in each of AVX2's double lanes: each
// lane does exactly the operations, with the same operands, that
// CoverRowByRow does for its row (no fused multiply-add: the target is AVX2
// alone), so the same bits are marked. The lanes of rows past the last, and
// of rows whose bounds are not numbers, mark nothing. The mask's words are
// then updated without a branch, but for spans of more than two words.
inline void CoverRowsInFours(const CFacet& f, const CMaskRows& mask) {
  const double x0 = f.x0, y0 = f.y0, x1 = f.x1, y1 = f.y1, x2 = f.x2, y2 = f.y2;
  // The three slopes in one division; a short edge's lane is not used when
  // the edge is flat.
  const __m256d slopes = _mm256_div_pd(_mm256_set_pd(1, x2 - x1, x1 - x0, x2 - x0),
                                       _mm256_set_pd(1, y2 - y1, y1 - y0, y2 - y0));
  const __m256d longSlope = _mm256_permute4x64_pd(slopes, 0x00), upperSlope = _mm256_permute4x64_pd(slopes, 0x55),
                lowerSlope = _mm256_permute4x64_pd(slopes, 0xAA);
  const __m256d vx0 = _mm256_set1_pd(x0), vy0 = _mm256_set1_pd(y0), vx1 = _mm256_set1_pd(x1),
                vy1 = _mm256_set1_pd(y1);
  const __m256d upperFlat = _mm256_castsi256_pd(_mm256_set1_epi64x(y1 > y0 ? 0 : -1));
  const __m256d lowerFlat = _mm256_castsi256_pd(_mm256_set1_epi64x(y2 > y1 ? 0 : -1));
  const __m256d half = _mm256_set1_pd(0.5), one = _mm256_set1_pd(1), lanes = _mm256_set_pd(3, 2, 1, 0);
  const __m256d left = _mm256_set1_pd(double(mask.left)), right = _mm256_set1_pd(double(mask.right));
  const __m256d leftBefore = _mm256_set1_pd(mask.left - 1.0), rightLast = _mm256_set1_pd(double(mask.right - 1));
  const __m128i maskLeft = _mm_set1_epi32(mask.left);
  const __m256i ones = _mm256_set1_epi64x(-1), lowBit = _mm256_set1_epi64x(1), bitIndex = _mm256_set1_epi64x(63);
  // Copied, as the mask's words could otherwise be taken to change them.
  uint64_t* const maskWords = mask.words;
  const size_t rowWords = mask.rowWords;
  const int top = mask.top, lastRow = f.lastRow;
  const __m256i rowLanes = _mm256_set_epi64x(3, 2, 1, 0), rowWordsWide = _mm256_set1_epi64x(int64_t(rowWords));
  const __m128i rowLanes32 = _mm_set_epi32(3, 2, 1, 0), lastRowAt = _mm_set1_epi32(lastRow - top);
  // Word indexes from the mask's start, and the bits to add there.
  alignas(32) uint64_t firsts[4], ends[4], leads[4], tails[4];
  for (int row = f.firstRow; row <= lastRow; row += 4) {
    const __m256d y = _mm256_add_pd(_mm256_set1_pd(row + 0.5), lanes);
    const __m256d longX = _mm256_add_pd(vx0, _mm256_mul_pd(_mm256_sub_pd(y, vy0), longSlope));
    const __m256d upperX =
        _mm256_blendv_pd(_mm256_add_pd(vx0, _mm256_mul_pd(_mm256_sub_pd(y, vy0), upperSlope)), vx1, upperFlat);
    const __m256d lowerX =
        _mm256_blendv_pd(_mm256_add_pd(vx1, _mm256_mul_pd(_mm256_sub_pd(y, vy1), lowerSlope)), vx1, lowerFlat);
    const __m256d shortX = _mm256_blendv_pd(lowerX, upperX, _mm256_cmp_pd(y, vy1, _CMP_LT_OQ));
    // std::min(a, b) is b < a ? b : a, which minpd(b, a) is; likewise max.
    const __m256d low = _mm256_min_pd(shortX, longX), high = _mm256_max_pd(shortX, longX);
    const __m256d number = _mm256_cmp_pd(low, high, _CMP_LE_OQ);
    const __m256d fromAt = _mm256_min_pd(right, _mm256_max_pd(left, _mm256_sub_pd(low, half)));
    const __m256d toAt = _mm256_min_pd(rightLast, _mm256_max_pd(leftBefore, _mm256_sub_pd(high, half)));
    // Ceil and Floor: truncation, then one up where the whole part is below.
    const __m128i fromWhole = _mm256_cvttpd_epi32(fromAt);
    const __m256d below = _mm256_and_pd(_mm256_cmp_pd(_mm256_cvtepi32_pd(fromWhole), fromAt, _CMP_LT_OQ), one);
    const __m128i from = _mm_add_epi32(fromWhole, _mm256_cvttpd_epi32(below));
    const __m128i afterTo = _mm256_cvttpd_epi32(_mm256_add_pd(toAt, one));  // Floor(toAt) + 1
    // The columns [first, end) of the clip rectangle, as in Cover; a row past
    // the facet's last, or whose bounds are not numbers (its columns are then
    // nonsense), gets [0, 0) and marks nothing.
    const __m256i marks = _mm256_and_si256(_mm256_castpd_si256(number),
                                           _mm256_cmpgt_epi64(_mm256_set1_epi64x(lastRow - row + 1), rowLanes));
    const __m256i first = _mm256_and_si256(_mm256_cvtepi32_epi64(_mm_sub_epi32(from, maskLeft)), marks);
    const __m256i end = _mm256_and_si256(_mm256_cvtepi32_epi64(_mm_sub_epi32(afterTo, maskLeft)), marks);
    // The span's first word gets the bits from `first` on (up to `end` if it
    // ends there), the word `end` is in the bits before `end` if the span
    // reaches it, and the words between all bits. A row past the last is
    // taken as the last, to which it adds no bit.
    const __m256i firstWord = _mm256_srli_epi64(first, 6), endWord = _mm256_srli_epi64(end, 6);
    const __m256i fromFirst = _mm256_sllv_epi64(ones, _mm256_and_si256(first, bitIndex));
    const __m256i beforeEnd = _mm256_sub_epi64(_mm256_sllv_epi64(lowBit, _mm256_and_si256(end, bitIndex)), lowBit);
    const __m256i leaves = _mm256_andnot_si256(_mm256_cmpeq_epi64(firstWord, endWord), ones);
    const __m256i rowsAt = _mm256_mul_epu32(
        _mm256_cvtepi32_epi64(_mm_min_epi32(_mm_add_epi32(_mm_set1_epi32(row - top), rowLanes32), lastRowAt)),
        rowWordsWide);
    const __m256i firstAt = _mm256_add_epi64(rowsAt, firstWord), endAt = _mm256_add_epi64(rowsAt, endWord);
    _mm256_store_si256(reinterpret_cast<__m256i*>(firsts), firstAt);
    _mm256_store_si256(reinterpret_cast<__m256i*>(ends), endAt);
    _mm256_store_si256(reinterpret_cast<__m256i*>(leads),
                       _mm256_and_si256(fromFirst, _mm256_or_si256(beforeEnd, leaves)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(tails), _mm256_and_si256(beforeEnd, leaves));
    for (int k = 0; k < 4; ++k) maskWords[firsts[k]] |= leads[k];
    // Most rows of a dense model's facets lie within a word.
    if (!_mm256_testz_si256(leaves, leaves)) {
      for (int k = 0; k < 4; ++k) maskWords[ends[k]] |= tails[k];
      // Spans of more than two words.
      const __m256i longer = _mm256_cmpgt_epi64(endWord, _mm256_add_epi64(firstWord, lowBit));
      if (!_mm256_testz_si256(longer, longer))
        for (int k = 0; k < 4; ++k) FillWords(maskWords + firsts[k] + 1, maskWords + ends[k]);
    }
  }
}

// Cover's way where the processor has AVX2, compiled for it as a whole.
__attribute__((flatten)) void CoverInFours(double x0, double y0, double x1, double y1, double x2, double y2,
                                           int bottom, const CMaskRows& mask) {
  CFacet facet;
  if (SortFacetInLanes(x0, y0, x1, y1, x2, y2, mask.top, bottom, &facet)) CoverRowsInFours(facet, mask);
}
TRESSEL_RASTER_AVX2_END
#endif

}  // namespace

uint64_t* CRaster::CoveredRows() {
  if (mCovered.empty()) {
    mCoveredWords = size_t(mRight - mLeft) / 64 + 1;
    mCovered.assign(mCoveredWords * size_t(mBottom - mTop), 0);
  }
  return mCovered.data();
}

void CRaster::Cover(double x0, double y0, double x1, double y1, double x2, double y2) {
#if defined(TRESSEL_RASTER_AVX2)
  if (mWideSteps && HasAvx2()) {
    // The mask is made on the first facet, not the first with a pixel:
    // clear, it tints nothing.
    CoverInFours(x0, y0, x1, y1, x2, y2, mBottom, CMaskRows{CoveredRows(), mCoveredWords, mTop, mLeft, mRight});
    return;
  }
#endif
  CoverRowByRow(x0, y0, x1, y1, x2, y2);
}

// Out of line, so that the way above does not pay for this one's registers.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
void CRaster::CoverRowByRow(double x0, double y0, double x1, double y1, double x2, double y2) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) ||
      !std::isfinite(y2))
    return;
  // Sort by y, then fill each row between the long edge and the short ones.
  if (y1 < y0) { std::swap(x0, x1); std::swap(y0, y1); }
  if (y2 < y0) { std::swap(x0, x2); std::swap(y0, y2); }
  if (y2 < y1) { std::swap(x1, x2); std::swap(y1, y2); }
  if (!(y2 > y0)) return;
  // Limited to the clip rectangle before rounding, so far-off points stay in
  // int's range.
  const int firstRow = Ceil(std::clamp(y0 - 0.5, double(mTop), double(mBottom)));
  const int lastRow = Floor(std::clamp(y2 - 0.5, mTop - 1.0, double(mBottom - 1)));
  if (firstRow > lastRow) return;  // a small facet between pixel centres, or one off the picture
  CoveredRows();
  const double longSlope = (x2 - x0) / (y2 - y0);
  const double upperSlope = y1 > y0 ? (x1 - x0) / (y1 - y0) : 0, lowerSlope = y2 > y1 ? (x2 - x1) / (y2 - y1) : 0;
  for (int row = firstRow; row <= lastRow; ++row) {
    const double y = row + 0.5;
    const double longX = x0 + (y - y0) * longSlope;
    double shortX;
    if (y < y1)
      shortX = y1 > y0 ? x0 + (y - y0) * upperSlope : x1;
    else
      shortX = y2 > y1 ? x1 + (y - y1) * lowerSlope : x1;
    const double left = std::min(longX, shortX), right = std::max(longX, shortX);
    if (!(left <= right)) continue;  // not a number after all: a sliver too thin to divide by
    // Clamped by min and max, which compile without branches (std::clamp
    // here took a branch each way); the same for numbers, which these are.
    const int from = Ceil(std::min(std::max(left - 0.5, double(mLeft)), double(mRight)));
    const int to = Floor(std::min(std::max(right - 0.5, mLeft - 1.0), double(mRight - 1)));
    // The columns [first, end) of the clip rectangle; left <= right and the
    // clamps keep first <= end. Most rows of a small facet lie between pixel
    // centres (first == end) and most others within one word: both are the
    // first case, whose masks then have no bit in common, so such a row
    // costs no branch that goes either way at random.
    const unsigned first = unsigned(from - mLeft), end = unsigned(to + 1 - mLeft);
    uint64_t* words = mCovered.data() + size_t(row - mTop) * mCoveredWords;
    const unsigned firstWord = first / 64, endWord = end / 64;
    const uint64_t fromFirst = ~uint64_t(0) << (first % 64), beforeEnd = (uint64_t(1) << (end % 64)) - 1;
    if (firstWord == endWord) {
      words[firstWord] |= fromFirst & beforeEnd;
    } else {
      words[firstWord] |= fromFirst;
      for (unsigned w = firstWord + 1; w < endWord; ++w) words[w] = ~uint64_t(0);
      words[endWord] |= beforeEnd;  // the spare bit: endWord is a word of the row
    }
  }
}

void CRaster::Tint(const CPaint& colour, double opacity) {
  if (mCovered.empty()) return;
  const uint32_t target = Pack(colour);
  const int weight = int(std::clamp(opacity, 0.0, 1.0) * 256 + 0.5);
  for (int y = mTop; y < mBottom; ++y) {
    const uint64_t* words = &mCovered[size_t(y - mTop) * mCoveredWords];
    unsigned char* row = mPixels + std::ptrdiff_t(y) * mStride + std::ptrdiff_t(mLeft) * 4;
    for (size_t w = 0; w < mCoveredWords; ++w)
      for (uint64_t bits = words[w]; bits != 0; bits &= bits - 1)
        Mix(row + std::ptrdiff_t(w * 64 + size_t(LowestBit(bits))) * 4, target, weight);
  }
}

namespace {

// A segment as the walk below reads it: pixel coordinates (all positive: the
// stroke lies inside the clip rectangle with room around it), the unit
// direction and the length.
struct CStroke {
  double x0, y0, x1, y1, reach;
  double ux, uy, length;
};

// Hands `steps` the pixels whose centres may lie within `reach` of the
// segment: on each row, the row's part of the segment's bounding box, of the
// band within reach across the line, and of the slab within reach along it.
// The capsule lies in all three, so no pixel it touches is left out. The
// steps paint whole groups of pixels from a row's first; the pixels past the
// row's last are out of reach, get weight 0 and keep their colour.
template <typename TSteps>
inline void WalkStroke(unsigned char* pixels, std::ptrdiff_t stride, const CStroke& line, TSteps& steps) {
  const double x0 = line.x0, y0 = line.y0, x1 = line.x1, y1 = line.y1, reach = line.reach;
  const double ux = line.ux, uy = line.uy, length = line.length;
  // Coordinates are positive here, so truncation rounds down: the rows and
  // columns whose centres lie in [low, high].
  const int firstRow = int(std::min(y0, y1) - reach + 0.5), lastRow = int(std::max(y0, y1) + reach - 0.5);
  double ry = firstRow + 0.5 - y0;
  // Most segments of a dense model are shorter than a pixel, and many
  // longer ones run steeply: when the stroke's bounding box is less than four
  // pixels wide, every pixel it touches lies in the same four columns on
  // every row, so the row bounds below are not needed.
  if (std::fabs(x1 - x0) + 2 * reach < 4) {
    const int from = int(std::min(x0, x1) - reach + 0.5);
    steps.Column(pixels + std::ptrdiff_t(firstRow) * stride + std::ptrdiff_t(from) * 4, stride,
                 lastRow - firstRow + 1, float(from + 0.5 - x0), ry);
    return;
  }
  const bool band = std::fabs(uy) > 1e-3, slab = std::fabs(ux) > 1e-3;
  const double overY = band ? 1 / uy : 0, overX = slab ? 1 / ux : 0;
  const double boxLeft = std::min(x0, x1) - reach, boxRight = std::max(x0, x1) + reach;
  // Each bound moves by a fixed amount a row.
  double bandLow = boxLeft, bandHigh = boxRight, bandStep = 0;
  if (band) {  // |across| <= reach, across = rx * uy - ry * ux
    const double centre = x0 + ry * ux * overY, spread = std::fabs(reach * overY);
    bandLow = centre - spread;
    bandHigh = centre + spread;
    bandStep = ux * overY;
  }
  double slabLow = boxLeft, slabHigh = boxRight, slabStep = 0;
  if (slab) {  // -reach <= along <= length + reach, along = rx * ux + ry * uy
    const double start = x0 + (-reach - ry * uy) * overX, end = x0 + (length + reach - ry * uy) * overX;
    slabLow = std::min(start, end);
    slabHigh = std::max(start, end);
    slabStep = -uy * overX;
  }
  // A row's columns [from, to], then the bounds move on to the next row.
  auto columns = [&](int* from, int* to) {
    *from = int(std::max(boxLeft, std::max(bandLow, slabLow)) + 0.5);
    *to = int(std::min(boxRight, std::min(bandHigh, slabHigh)) - 0.5);
    bandLow += bandStep;
    bandHigh += bandStep;
    slabLow += slabStep;
    slabHigh += slabStep;
  };
  int row = firstRow;
  if constexpr (TSteps::kRowPairs) {
    for (; row < lastRow; row += 2) {
      int from, to, nextFrom, nextTo;
      columns(&from, &to);
      columns(&nextFrom, &nextTo);
      const double next = ry + 1;
      steps.TwoRows(pixels + std::ptrdiff_t(row) * stride, stride, from, to, nextFrom, nextTo, x0, float(ry),
                    float(next));
      ry = next + 1;
    }
  }
  for (; row <= lastRow; ++row, ry += 1) {
    int from, to;
    columns(&from, &to);
    steps.Row(pixels + std::ptrdiff_t(row) * stride, from, to, x0, float(ry));
  }
}

#if defined(__SSE2__)
// A stroke's coverage and blend on four pixels side by side, from their
// centres' offsets to the segment's start: `rxUx` and `rxUy` are the column
// offsets times the direction's x and y, `ry` the row's offset. Pixels out of
// reach get weight 0 and keep their colour.
struct CFourPixels {
  static constexpr bool kRowPairs = false;
  CFourPixels(float fx, float fy, float fLength, float fReach, float scale, uint32_t target)
      : vx(_mm_set1_ps(fx)), vy(_mm_set1_ps(fy)), vLength(_mm_set1_ps(fLength)), vReach(_mm_set1_ps(fReach)),
        vScale(_mm_set1_ps(scale)) {
    const __m128i targets = _mm_set1_epi32(int(target));
    targetLow = _mm_unpacklo_epi8(targets, _mm_setzero_si128());
    targetHigh = _mm_unpackhi_epi8(targets, _mm_setzero_si128());
  }
  inline void Paint(unsigned char* at, __m128 rxUx, __m128 rxUy, __m128 ry) const {
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1), half = _mm_set1_ps(0.5f);
    const __m128i zeroI = _mm_setzero_si128(), rounding = _mm_set1_epi16(128), whole = _mm_set1_epi16(256);
    const __m128 along = _mm_add_ps(rxUx, _mm_mul_ps(ry, vy));
    const __m128 across = _mm_sub_ps(rxUy, _mm_mul_ps(ry, vx));
    const __m128 beyond = _mm_max_ps(_mm_max_ps(_mm_sub_ps(zero, along), _mm_sub_ps(along, vLength)), zero);
    const __m128 distance = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(across, across), _mm_mul_ps(beyond, beyond)));
    const __m128 coverage = _mm_min_ps(_mm_max_ps(_mm_sub_ps(vReach, distance), zero), one);
    const __m128i weights = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(coverage, vScale), half));
    // Each pixel's weight in its four 16-bit channel slots, then Mix's
    // arithmetic on two pixels a register.
    const __m128i packed = _mm_packs_epi32(weights, weights);
    const __m128i doubled = _mm_unpacklo_epi16(packed, packed);
    const __m128i takeLow = _mm_unpacklo_epi32(doubled, doubled), takeHigh = _mm_unpackhi_epi32(doubled, doubled);
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i oldLow = _mm_unpacklo_epi8(old, zeroI), oldHigh = _mm_unpackhi_epi8(old, zeroI);
    const __m128i low = _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(oldLow, _mm_sub_epi16(whole, takeLow)),
                                    _mm_mullo_epi16(targetLow, takeLow)), rounding), 8);
    const __m128i high = _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(oldHigh, _mm_sub_epi16(whole, takeHigh)),
                                    _mm_mullo_epi16(targetHigh, takeHigh)), rounding), 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                     _mm_and_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(0xFFFFFF)));
  }
  // `rows` rows from `at` down, the same four columns, the first `rx` right
  // of the segment's start and `ry` below it.
  inline void Column(unsigned char* at, std::ptrdiff_t stride, int rows, float rx, double ry) const {
    const __m128 columns = _mm_add_ps(_mm_set1_ps(rx), lanes);
    const __m128 rxUx = _mm_mul_ps(columns, vx), rxUy = _mm_mul_ps(columns, vy);
    for (int row = 0; row < rows; ++row, ry += 1, at += stride) Paint(at, rxUx, rxUy, _mm_set1_ps(float(ry)));
  }
  // Columns `from` to `to` of a row `ry` below the segment's start at x0.
  inline void Row(unsigned char* row, int from, int to, double x0, float ry) const {
    const __m128 vry = _mm_set1_ps(ry);
    for (int x = from; x <= to; x += 4) {
      const __m128 rx = _mm_add_ps(_mm_set1_ps(float(x + 0.5 - x0)), lanes);
      Paint(row + std::ptrdiff_t(x) * 4, _mm_mul_ps(rx, vx), _mm_mul_ps(rx, vy), vry);
    }
  }
  const __m128 lanes = _mm_set_ps(3, 2, 1, 0);
  __m128 vx, vy, vLength, vReach, vScale;
  __m128i targetLow, targetHigh;
};
#else
// The same arithmetic, a pixel at a time.
struct CFourPixels {
  static constexpr bool kRowPairs = false;
  CFourPixels(float fx, float fy, float fLength, float fReach, float scale, uint32_t target)
      : mX(fx), mY(fy), mLength(fLength), mReach(fReach), mScale(scale), mTarget(target) {}
  inline void Paint(unsigned char* at, float rx, float ry) const {
    const float along = rx * mX + ry * mY, across = rx * mY - ry * mX;
    const float beyond = std::max(std::max(0.0f - along, along - mLength), 0.0f);
    const float distance = std::sqrt(across * across + beyond * beyond);
    const float coverage = std::min(std::max(mReach - distance, 0.0f), 1.0f);
    Mix(at, mTarget, int(coverage * mScale + 0.5f));
  }
  inline void Column(unsigned char* at, std::ptrdiff_t stride, int rows, float rx, double ry) const {
    for (int row = 0; row < rows; ++row, ry += 1, at += stride)
      for (int k = 0; k < 4; ++k) Paint(at + 4 * k, rx + float(k), float(ry));
  }
  inline void Row(unsigned char* row, int from, int to, double x0, float ry) const {
    for (int x = from; x <= to; ++x) Paint(row + std::ptrdiff_t(x) * 4, float(x + 0.5 - x0), ry);
  }
  float mX, mY, mLength, mReach, mScale;
  uint32_t mTarget;
};
#endif

#if defined(TRESSEL_RASTER_AVX2)
TRESSEL_RASTER_AVX2_BEGIN
// CFourPixels' arithmetic on two groups of four pixels at once, the halves
// of AVX2's registers, each operation doing on each half what its SSE2 form
// does: the same pixels, byte for byte. A step is eight pixels of a row, or
// the same four columns of two rows. The pixels past a row's last (or the
// row after a column's last) are out of reach and keep their colour; a step
// that would reach past the clip rectangle's right edge is taken as fours.
struct CEightPixels {
  static constexpr bool kRowPairs = true;
  CEightPixels(float fx, float fy, float fLength, float fReach, float scale, uint32_t target, int right)
      : vx(_mm256_set1_ps(fx)), vy(_mm256_set1_ps(fy)), vLength(_mm256_set1_ps(fLength)),
        vReach(_mm256_set1_ps(fReach)), vScale(_mm256_set1_ps(scale)), fours(fx, fy, fLength, fReach, scale, target),
        mRight(right) {
    const __m256i targets = _mm256_set1_epi32(int(target));
    targetLow = _mm256_unpacklo_epi8(targets, _mm256_setzero_si256());
    targetHigh = _mm256_unpackhi_epi8(targets, _mm256_setzero_si256());
  }
  inline __m256i Mixed(__m256i old, __m256 rxUx, __m256 rxUy, __m256 ry) const {
    const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1), half = _mm256_set1_ps(0.5f);
    const __m256i zeroI = _mm256_setzero_si256(), rounding = _mm256_set1_epi16(128), whole = _mm256_set1_epi16(256);
    const __m256 along = _mm256_add_ps(rxUx, _mm256_mul_ps(ry, vy));
    const __m256 across = _mm256_sub_ps(rxUy, _mm256_mul_ps(ry, vx));
    const __m256 beyond =
        _mm256_max_ps(_mm256_max_ps(_mm256_sub_ps(zero, along), _mm256_sub_ps(along, vLength)), zero);
    const __m256 distance =
        _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(across, across), _mm256_mul_ps(beyond, beyond)));
    const __m256 coverage = _mm256_min_ps(_mm256_max_ps(_mm256_sub_ps(vReach, distance), zero), one);
    const __m256i weights = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(coverage, vScale), half));
    const __m256i packed = _mm256_packs_epi32(weights, weights);
    const __m256i doubled = _mm256_unpacklo_epi16(packed, packed);
    const __m256i takeLow = _mm256_unpacklo_epi32(doubled, doubled);
    const __m256i takeHigh = _mm256_unpackhi_epi32(doubled, doubled);
    const __m256i oldLow = _mm256_unpacklo_epi8(old, zeroI), oldHigh = _mm256_unpackhi_epi8(old, zeroI);
    const __m256i low = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(oldLow, _mm256_sub_epi16(whole, takeLow)),
                                          _mm256_mullo_epi16(targetLow, takeLow)), rounding), 8);
    const __m256i high = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(oldHigh, _mm256_sub_epi16(whole, takeHigh)),
                                          _mm256_mullo_epi16(targetHigh, takeHigh)), rounding), 8);
    return _mm256_and_si256(_mm256_packus_epi16(low, high), _mm256_set1_epi32(0xFFFFFF));
  }
  inline void Column(unsigned char* at, std::ptrdiff_t stride, int rows, float rx, double ry) const {
    const __m256 columns = _mm256_add_ps(_mm256_set1_ps(rx), _mm256_set_ps(3, 2, 1, 0, 3, 2, 1, 0));
    const __m256 rxUx = _mm256_mul_ps(columns, vx), rxUy = _mm256_mul_ps(columns, vy);
    for (int row = 0; row < rows; row += 2, at += 2 * stride) {
      const double next = ry + 1;
      const __m256 rys = _mm256_set_m128(_mm_set1_ps(float(next)), _mm_set1_ps(float(ry)));
      ry = next + 1;
      __m128i* upper = reinterpret_cast<__m128i*>(at);
      __m128i* lower = reinterpret_cast<__m128i*>(at + stride);
      const __m256i mixed = Mixed(_mm256_loadu2_m128i(lower, upper), rxUx, rxUy, rys);
      _mm256_storeu2_m128i(lower, upper, mixed);
    }
  }
  inline void Row(unsigned char* row, int from, int to, double x0, float ry) const {
    const __m256 rys = _mm256_set1_ps(ry);
    int x = from;
    for (; x <= to && x + 8 <= mRight; x += 8) {
      const __m256 columns = _mm256_add_ps(
          _mm256_set_m128(_mm_set1_ps(float((x + 4) + 0.5 - x0)), _mm_set1_ps(float(x + 0.5 - x0))),
          _mm256_set_ps(3, 2, 1, 0, 3, 2, 1, 0));
      __m256i* at = reinterpret_cast<__m256i*>(row + std::ptrdiff_t(x) * 4);
      _mm256_storeu_si256(at, Mixed(_mm256_loadu_si256(at), _mm256_mul_ps(columns, vx),
                                    _mm256_mul_ps(columns, vy), rys));
    }
    if (x <= to) fours.Row(row, x, to, x0, ry);
  }
  // Two rows, `row` and the one below it: together as one step where each
  // has one to four columns, as steep strokes' rows do (a row with none, at
  // a stroke's end, may lie anywhere and is left to Row).
  inline void TwoRows(unsigned char* row, std::ptrdiff_t stride, int from, int to, int nextFrom, int nextTo,
                      double x0, float ry, float nextRy) const {
    if (unsigned(to - from) >= 4 || unsigned(nextTo - nextFrom) >= 4) {
      Row(row, from, to, x0, ry);
      Row(row + stride, nextFrom, nextTo, x0, nextRy);
      return;
    }
    const __m256 columns = _mm256_add_ps(
        _mm256_set_m128(_mm_set1_ps(float(nextFrom + 0.5 - x0)), _mm_set1_ps(float(from + 0.5 - x0))),
        _mm256_set_ps(3, 2, 1, 0, 3, 2, 1, 0));
    const __m256 rys = _mm256_set_m128(_mm_set1_ps(nextRy), _mm_set1_ps(ry));
    __m128i* upper = reinterpret_cast<__m128i*>(row + std::ptrdiff_t(from) * 4);
    __m128i* lower = reinterpret_cast<__m128i*>(row + stride + std::ptrdiff_t(nextFrom) * 4);
    const __m256i mixed = Mixed(_mm256_loadu2_m128i(lower, upper), _mm256_mul_ps(columns, vx),
                                _mm256_mul_ps(columns, vy), rys);
    _mm256_storeu2_m128i(lower, upper, mixed);
  }
  __m256 vx, vy, vLength, vReach, vScale;
  __m256i targetLow, targetHigh;
  CFourPixels fours;
  int mRight;
};

// The walk with CEightPixels, compiled for AVX2 as a whole (flatten: every
// call in it inlined) and called only where the processor has AVX2.
__attribute__((flatten)) void WalkStrokeInEights(unsigned char* pixels, std::ptrdiff_t stride, const CStroke& line,
                                                 const CEightPixels& steps) {
  WalkStroke(pixels, stride, line, steps);
}
TRESSEL_RASTER_AVX2_END
#endif

}  // namespace

void CRaster::UseWideSteps(bool use) { mWideSteps = use; }

void CRaster::LineInside(double x0, double y0, double x1, double y1, double reach, uint32_t target, double opacity) {
  const double dx = x1 - x0, dy = y1 - y0;
  const double length = std::sqrt(dx * dx + dy * dy);
  const double ux = length > 0 ? dx / length : 1, uy = length > 0 ? dy / length : 0;
  // The pixel arithmetic is in float, relative to the segment's start.
  const float fx = float(ux), fy = float(uy), fLength = float(length), fReach = float(reach);
  const float scale = float(opacity * 256);
  const CStroke line{x0, y0, x1, y1, reach, ux, uy, length};
#if defined(TRESSEL_RASTER_AVX2)
  if (mWideSteps && HasAvx2()) {
    WalkStrokeInEights(mPixels, mStride, line, CEightPixels(fx, fy, fLength, fReach, scale, target, mRight));
    return;
  }
#endif
  const CFourPixels steps(fx, fy, fLength, fReach, scale, target);
  WalkStroke(mPixels, mStride, line, steps);
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
  // Room for the row kernel's four-pixel steps past the line's end.
  const double room = reach + 6;
  if (std::min(x0, x1) - room > mLeft && std::max(x0, x1) + room < mRight && std::min(y0, y1) - room > mTop &&
      std::max(y0, y1) + room < mBottom) {
    LineInside(x0, y0, x1, y1, reach, target, opacity);
    return;
  }
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
      // A segment of no length has no across: its distance is the end's.
      if (between && length2 > 0 && along >= 0 && along <= length2) {
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
