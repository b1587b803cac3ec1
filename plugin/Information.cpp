// The 'INFO' reply: vendor, product and its texts, flags.
#include <string.h>

#include "plugin/PluginTask.h"

namespace {
constexpr uint32_t kVendor = FourCC("VELD");
constexpr uint32_t kInfoFlags = 0x4000000F;

void Put(uint8_t (&field)[256], const char* text) {
  PascalString value;
  value = text;
  memcpy(field, value.Raw(), sizeof field);
}
}  // namespace

int32_t PluginTask::Information() {
  auto* rec = reinterpret_cast<PluginInfoRec*>(record);
  rec->vendor = kVendor;
  rec->one = 1;
  Put(rec->product, "Tressel");
  Put(rec->rights, "Copyright \xA9 2026 The Tressel developers. All rights reserved.");
  Put(rec->maker, "The Tressel developers");
  Put(rec->description, "Wires generator");
  rec->flags = kInfoFlags;
  return status;
}
