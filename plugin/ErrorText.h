// Error texts: the general codes answered by 'DESC' directly, and the product
// codes with their stored detail.
#ifndef TRESSEL_PLUGIN_ERRORTEXT_H
#define TRESSEL_PLUGIN_ERRORTEXT_H

#include <stdint.h>

#include "base/PascalString.h"

struct CErrorDetail {
  uint32_t unused;
  int32_t childNumber;         // shown by code 100
  PascalString customMessage;  // shown by codes 300-303 and 400
};

// The stored detail; nothing in this module changes it after load.
extern CErrorDetail theErr;

class CCustomError {
 public:
  // Writes the message of a product code (or the fallback) into text.
  static void Describe(int code, PascalString& text);
};

// The fixed text of a general code (0-6, 8), or null when code is not one.
const char* GeneralErrorText(uint32_t code);

#endif  // TRESSEL_PLUGIN_ERRORTEXT_H
