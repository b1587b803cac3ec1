// Colour conversion in single precision: ARGB2Fxyz maps a colour's red, green
// and blue bytes to 0..1. Constant time.
#include "base/Fxyz.h"

#include <math.h>

Fxyz ARGB2Fxyz(ARGB c) {
  return Fxyz{static_cast<float>(c.red) / 255.0f, static_cast<float>(c.green) / 255.0f,
              static_cast<float>(c.blue) / 255.0f};
}
