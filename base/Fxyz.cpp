// Point normalisation and colour conversion in single precision: Nor divides a
// point by its length, ARGB2Fxyz maps a colour's red, green and blue bytes to
// 0..1. Constant time.
#include "base/Fxyz.h"

#include <math.h>

Fxyz& Fxyz::Nor() {
  const float length = sqrtf(x * x + y * y + z * z);
  return *this /= length;
}

Fxyz ARGB2Fxyz(ARGB c) {
  return Fxyz{static_cast<float>(c.red) / 255.0f, static_cast<float>(c.green) / 255.0f,
              static_cast<float>(c.blue) / 255.0f};
}
