// Finding the settings of the current instance: the tag slot of the instance
// data block is checked against the registry of live tags before it is used;
// otherwise the tag is rebuilt from the stored stream (or made with defaults)
// and stored back. Cost: linear in the number of live tags per lookup, plus
// one stream read and one 'ALOC' when a tag is made.
#include "wire/WireTag.h"

#include <string.h>

#include <new>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "wire/Stream.h"

namespace {

// A registered tag. The tag is the first member, so the tag's address is the
// node's address.
struct LiveTagNode {
  CWireTag tag;
  LiveTagNode* prev;
  LiveTagNode* next;
};
static_assert(offsetof(LiveTagNode, tag) == 0, "the tag address is the node address");

// Every tag this module has made and not yet freed. Module-wide, like the task
// stack: everything runs on the host's calling thread.
LiveTagNode* mLiveTags = nullptr;
size_t mLiveCount = 0;

LiveTagNode* FindNode(const void* p) {
  if (!p) return nullptr;
  for (LiveTagNode* node = mLiveTags; node; node = node->next)
    if (static_cast<const void*>(&node->tag) == p) return node;
  return nullptr;
}

constexpr size_t kSlotSize = sizeof(void*);

// Whether a call below the current one on the task stack acts on the same
// instance.
bool InstanceBusyInOuterCall() {
  for (int32_t i = 0; i + 1 < stackCount; ++i)
    if (plugStack[i].record && plugStack[i].record->hostContext == CurrentHostContext()) return true;
  return false;
}

}  // namespace

CWireTag* CWireTag::NewLive() {
  LiveTagNode* node = new LiveTagNode;
  memset(static_cast<void*>(node), 0, sizeof *node);
  node->next = mLiveTags;
  if (mLiveTags) mLiveTags->prev = node;
  mLiveTags = node;
  ++mLiveCount;
  return &node->tag;
}

void CWireTag::FreeLive(CWireTag* tag) {
  LiveTagNode* node = FindNode(tag);
  if (!node) return;
  if (node->prev) node->prev->next = node->next;
  else mLiveTags = node->next;
  if (node->next) node->next->prev = node->prev;
  --mLiveCount;
  delete node;
}

CWireTag* CWireTag::FindLive(const void* p) {
  LiveTagNode* node = FindNode(p);
  return node ? &node->tag : nullptr;
}

size_t CWireTag::LiveCount() { return mLiveCount; }

void CWireTag::Init() {
  magic = kMagic;
  version = kVersion;
  mode = kModePolygon;
  push = kDefaultPush;
  scale = kDefaultScale;
  useExclude = 0;
  excludeText = PascalString();
  for (void*& channel : channels) channel = nullptr;
  owner = CurrentHostContext();
}

CWireTag* CWireTag::Get1Wire() {
  const PluginRecHeader* header = plug->record;
  uint8_t* block = static_cast<uint8_t*>(header->instanceData);
  const size_t size = block && header->instanceDataSize > 0 ? size_t(header->instanceDataSize) : 0;

  void* slot = nullptr;
  if (size >= kSlotSize) memcpy(&slot, block, kSlotSize);
  CWireTag* live = FindLive(slot);

  const bool initialize = plug->selector == Selector::kInitialize;
  if (!initialize && live) return CheckDupPlug(live);
  // 'INIT' always rebuilds from the stream. A live tag this instance owns would
  // otherwise be lost for good (the host sends 'INIT' again, for instance after
  // reloading a scene over a live one); one owned by another instance stays.
  // An enclosing call for this instance (a dialog running when the host sends
  // 'INIT') may still hold the old tag; it is then left alive.
  if (initialize && live && live->owner == CurrentHostContext() && !InstanceBusyInOuterCall()) FreeLive(live);

  CWireTag* tag = NewLive();
  tag->Init();
  if (size > 0) {
    // A 64-bit block has "WIRE" right after its 8-byte slot; anything else is
    // read as a 32-bit block, whose stream starts at offset 4.
    static const uint8_t kMagicBytes[4] = {0x57, 0x49, 0x52, 0x45};
    const size_t start = size >= 12 && memcmp(block + 8, kMagicBytes, 4) == 0 ? 8 : 4;
    if (size > start) {
      CMemStream stream(block + start, block + size);
      tag->Load(stream);
    }
  }
  tag->SaveSelf();
  return tag;
}

CWireTag* CWireTag::CheckDupPlug(CWireTag* tag) {
  if (theModelSetup.Creator() == kCreatorShared) return tag;
  if (tag->owner == CurrentHostContext()) return tag;
  CWireTag* copy = NewLive();
  copy->Init();
  *copy = *tag;
  copy->owner = CurrentHostContext();
  copy->SaveSelf();
  return copy;
}
