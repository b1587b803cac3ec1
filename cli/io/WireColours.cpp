// Group colours: the previews' colours (GroupColors.h) for the first groups,
// so a group looks the same in the picture and in the file, then golden-angle
// hues; a hash set of the colours given out keeps them all different.
#include "cli/io/WireColours.h"

#include <cmath>
#include <unordered_set>

#include "cli/io/GroupColors.h"

namespace cliio {

namespace {

uint32_t Key(const CRgb& colour) { return uint32_t(colour.red) << 16 | uint32_t(colour.green) << 8 | colour.blue; }

CRgb FromKey(uint32_t key) { return CRgb{uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)}; }

uint8_t Byte(double unit) { return uint8_t(std::lround(std::fmin(std::fmax(unit, 0.0), 1.0) * 255.0)); }

// HSV with h, s, v in 0..1.
CRgb FromHsv(double h, double s, double v) {
  const double sector = std::fmod(h, 1.0) * 6.0;
  const int i = int(sector) % 6;
  const double f = sector - std::floor(sector);
  const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  double r = v, g = t, b = p;
  switch (i) {
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    case 5: r = v, g = p, b = q; break;
    default: break;
  }
  return CRgb{Byte(r), Byte(g), Byte(b)};
}

}  // namespace

std::vector<CRgb> GroupColours(size_t count) {
  std::vector<CRgb> colours;
  colours.reserve(count);
  std::unordered_set<uint32_t> used;
  constexpr double kGoldenTurn = 0.6180339887498949;
  for (size_t g = 0; g < count; ++g) {
    const CGroupColor shared = GroupColor(g);
    CRgb colour = g < kDistinctGroupColors
                      ? CRgb{shared.red, shared.green, shared.blue}
                      : FromHsv(double(g) * kGoldenTurn, 0.55 + 0.35 * double(g % 3) / 2.0, 0.95 - 0.3 * double(g % 5) / 4.0);
    uint32_t key = Key(colour);
    // Beyond 2^24 groups every colour is taken: the rest repeat.
    while (used.size() < 0x1000000u && !used.insert(key).second) key = (key + 1) & 0xFFFFFFu;
    colours.push_back(FromKey(key));
  }
  return colours;
}

double LinearFromSrgb(uint8_t component) {
  const double c = component / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace cliio
