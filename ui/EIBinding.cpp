// The host's EI_ functions, bound by name on first use.
//
// Each forwarder has the host function's own name and signature and is hidden
// in the module, so the lookup (the host executable's exports) can never find
// the forwarder itself. A found address is cached for the life of the module;
// a failed lookup caches null, so a missing function is looked up again on
// every call and the call does nothing (results are zero / null).
#include "ui/EIFunctions.h"

#include <string.h>

#include "platform/Platform.h"

namespace {

template <typename Result>
Result Zero() {
  return Result();
}
template <>
void Zero<void>() {}

}  // namespace

#define TRESSEL_EI_FORWARD(result, name, params, args)                           \
  extern "C" result name params {                                               \
    typedef result(*Proc) params;                                               \
    static Proc APICallback = nullptr;                                          \
    if (!APICallback)                                                           \
      APICallback = reinterpret_cast<Proc>(platform::LookupHostFunction(#name)); \
    if (!APICallback) return Zero<result>();                                    \
    return APICallback args;                                                    \
  }

TRESSEL_EI_FUNCTIONS(TRESSEL_EI_FORWARD)
#undef TRESSEL_EI_FORWARD

#define TRESSEL_EI_COUNT(result, name, params, args) +1
static_assert(0 TRESSEL_EI_FUNCTIONS(TRESSEL_EI_COUNT) == kEIFunctionCount, "every host function is bound");
#undef TRESSEL_EI_COUNT

EI_Point GetMonitorRB_() {
  EI_Rect bounds;
  memset(&bounds, 0, sizeof bounds);
  EI_GetMonitorBounds(&bounds);
  EI_Point corner = {bounds.right, bounds.bottom};
  return corner;
}
