// Byte reversal of one field in place: converts a multi-byte number between
// the stored big-endian order and the little-endian order of the build.
// Linear in the field's length.
#include "base/ByteOrder.h"

#include <stdint.h>

void ReverseField(void* p, int len) {
  if (!p || len < 2) return;
  uint8_t* low = static_cast<uint8_t*>(p);
  uint8_t* high = low + len - 1;
  while (low < high) {
    const uint8_t byte = *low;
    *low++ = *high;
    *high-- = byte;
  }
}
