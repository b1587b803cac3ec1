// The tag's stored form: writing and reading the settings stream (format in
// wire/Stream.cpp) and rewriting the instance data block as slot + stream.
// Linear in the stream length (at most 282 bytes); SaveSelf costs one 'ALOC'.
#include <math.h>
#include <string.h>

#include "plugin/PluginTask.h"
#include "wire/Stream.h"
#include "wire/WireTag.h"

bool CWireTag::Write(CStream& s) {
  s.Write(&magic, 4);
  s.Write(&version, 4);
  s.Write(&mode, 4);
  s.Write(&push, 4);
  s.Write(&scale, 4);
  s.Write(&useExclude, 4);
  s.WritePStr(excludeText.Raw());
  return s.error == 0;
}

bool CWireTag::Read(CStream& s) {
  s.Read(&magic, 4);
  s.Read(&version, 4);
  if (magic != kMagic) return false;
  s.Read(&mode, 4);
  s.Read(&push, 4);
  s.Read(&scale, 4);
  s.Read(&useExclude, 4);
  s.ReadPStr(excludeText.Raw());
  return s.error == 0;
}

bool CWireTag::Load(CStream& s) {
  if (!Read(s) || magic != kMagic) {
    Init();
    return false;
  }
  version = kVersion;
  // A stored push or scale that is not a finite number (a damaged or
  // hand-made scene) would make every wire non-finite: it reads as the
  // field's default, the other settings as stored.
  if (!isfinite(push)) push = kDefaultPush;
  if (!isfinite(scale)) scale = kDefaultScale;
  return true;
}

bool CWireTag::SaveSelf() {
  CStream counter;
  Write(counter);
  const long length = counter.pos;
  constexpr long kSlotSize = sizeof(void*);
  if (!plug->Allocate(static_cast<int32_t>(length + kSlotSize), 0)) return false;

  const PluginRecHeader* header = plug->record;
  uint8_t* block = static_cast<uint8_t*>(header->instanceData);
  // A host that reports success with a smaller block than asked for gets
  // nothing written rather than a write past its block.
  if (!block || header->instanceDataSize < length + kSlotSize) return false;
  CWireTag* self = this;
  memcpy(block, &self, sizeof self);
  CMemStream stream(block + kSlotSize, block + kSlotSize + length);
  return Write(stream);
}
