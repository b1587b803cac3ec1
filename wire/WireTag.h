// CWireTag: the settings of one model instance, and the object on which
// generation runs.
//
// The instance data block (host memory, instanceDataSize bytes) holds:
//   offset 0                the tag slot: the address of the instance's live
//                           CWireTag, pointer-sized (8 or 4 bytes), or null
//   offset sizeof(void*)    the stored settings stream (wire/Stream.cpp)
// The slot is only a hint: it is used only when it names a tag that is live
// in this module right now (the live-tag registry below), so a block copied
// from an instance that has gone, or saved by an earlier run, or written by a
// 32-bit build, is rebuilt from its stream instead of being trusted.
#ifndef TRESSEL_WIRE_WIRETAG_H
#define TRESSEL_WIRE_WIRETAG_H

#include <stddef.h>
#include <stdint.h>

#include <type_traits>

#include "base/PascalString.h"
#include "plugin/HostRecords.h"

class CStream;
class CGroup;

class CWireTag {
 public:
  static constexpr uint32_t kMagic = FourCC("WIRE");
  static constexpr uint32_t kVersion = 0x00010000;
  static constexpr int32_t kModePolygon = 0;          // outline of every facet
  static constexpr int32_t kModeUnshared = 1;         // unshared edges as read
  static constexpr int32_t kModePackedUnshared = 2;   // unshared edges after merging coincident vertices
  static constexpr float kDefaultPush = 10.0f;
  static constexpr float kDefaultScale = 1.0f;
  static constexpr int kChannelCount = 20;
  static constexpr int kPushChannel = 0;
  static constexpr int kScaleChannel = 1;

  uint32_t magic;            // kMagic
  uint32_t version;          // kVersion in memory, whatever was stored
  int32_t mode;              // kMode...; any other value wires nothing
  float push;                // distance along facet normals; channel "Push"
  float scale;               // factor about each ring's or chain's centre; channel "Scale"
  int32_t useExclude;        // non-zero: only the items the selection list names are wired
  PascalString excludeText;  // the selection list as typed
  void* channels[kChannelCount];  // host channel references; only slots 0 and 1 are used
  void* owner;               // hostContext of the instance this tag was made for

  // Every field to its default; owner = the current call's hostContext.
  // REQUIRES: a call of Main is active.
  void Init();

  // The tag of the instance named by the current call; never null. Made (and
  // stored with SaveSelf) when the slot names no live tag and on every 'INIT'.
  // Throws std::bad_alloc when no tag can be made.
  static CWireTag* Get1Wire();
  // tag itself, or (for an instance the host duplicated) a stored copy that
  // belongs to the current instance. REQUIRES: tag is live.
  static CWireTag* CheckDupPlug(CWireTag* tag);

  // --- Stored form (SettingsStore.cpp).
  bool Write(CStream& s);  // true when the stream took everything
  bool Read(CStream& s);   // false on a wrong magic or a short stream; fields read stay
  bool Load(CStream& s);   // Read (a non-finite push or scale as its default), or all defaults and false
  // Rewrites the instance data block: slot = this, then the stream. False when
  // the host refused the new size (the block is then unchanged).
  bool SaveSelf();

  // --- Generation (Generate.cpp, PolygonOutput.cpp, UnsharedOutput.cpp).
  // Returns the task's status: 0, or the code of the request that failed.
  uint32_t Generate();
  bool OutPolygon(CGroup& group);
  bool OutUnshared(CGroup& group);

  // --- Channels (Channels.cpp).
  void InitChannels();
  void LoadChannels();
  void UpdateChannels();
  bool UpdateAll();

  // --- The live-tag registry (WireTag.cpp). Tags are made and freed only
  // through these, so that a pointer found in a block can be checked before
  // it is used.
  // A new registered tag, not initialised. Throws std::bad_alloc.
  static CWireTag* NewLive();
  // Unregisters and frees tag; null is ignored. REQUIRES: tag is live.
  static void FreeLive(CWireTag* tag);
  // The live tag at address p, or null when p is not one (p is never read).
  static CWireTag* FindLive(const void* p);
  static size_t LiveCount();
};

static_assert(std::is_trivially_copyable<CWireTag>::value, "tags are copied byte for byte");
static_assert(std::is_standard_layout<CWireTag>::value, "a tag is the first member of its registry node");

#endif  // TRESSEL_WIRE_WIRETAG_H
