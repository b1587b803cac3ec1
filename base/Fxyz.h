// Fxyz: a point or vector of three single-precision floats; ARGB colours.
#ifndef TRESSEL_BASE_FXYZ_H
#define TRESSEL_BASE_FXYZ_H

#include <math.h>
#include <stdint.h>

struct Fxyz {
  float x, y, z;

  Fxyz& operator/=(float s) {
    x /= s;
    y /= s;
    z /= s;
    return *this;
  }
  // Divides by the length (single precision); a zero vector is not guarded
  // against and yields NaN components. Inline: the wire outputs call it for
  // every point they move.
  Fxyz& Nor() { return *this /= sqrtf(x * x + y * y + z * z); }
};

// A colour of four bytes in memory order alpha, red, green, blue.
struct ARGB {
  uint8_t alpha, red, green, blue;
};
static_assert(sizeof(ARGB) == 4, "ARGB is one 32-bit word");

// (red, green, blue) / 255 in single precision; alpha is ignored.
Fxyz ARGB2Fxyz(ARGB c);

#endif  // TRESSEL_BASE_FXYZ_H
