// The colour of each wire group in the files that carry one (PLY, glTF).
#ifndef TRESSEL_CLI_IO_WIRECOLOURS_H
#define TRESSEL_CLI_IO_WIRECOLOURS_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace cliio {

struct CRgb {
  uint8_t red = 0, green = 0, blue = 0;  // sRGB
  bool operator==(const CRgb& other) const { return red == other.red && green == other.green && blue == other.blue; }
};

// One colour per group, all different: the first kDistinctGroupColors are the
// previews' (GroupColor), further ones stepped around the hue circle by the
// golden angle, with saturation and brightness varying, and nudged to the
// next unused colour on a clash. Linear in `count`.
std::vector<CRgb> GroupColours(size_t count);

// An sRGB byte as a linear-light fraction (glTF's colour factors are linear).
double LinearFromSrgb(uint8_t component);

}  // namespace cliio

#endif  // TRESSEL_CLI_IO_WIRECOLOURS_H
