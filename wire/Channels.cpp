// The tag's animation channels: creating "Push" and "Scale" ('ACHN'), pulling
// their values into the tag ('GCHN') and pushing the tag's values into them
// ('SCHN'). Two requests per operation; values travel as doubles.
#include "wire/Channels.h"

#include <math.h>
#include <string.h>

#include "base/PascalString.h"
#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "wire/WireTag.h"

HostAddRec::HostAddRec() {
  // Also nulls the reserved fields (a packed record: no references into it).
  memset(static_cast<HostAddChannelRec*>(this), 0, sizeof(HostAddChannelRec));
  hostContext = CurrentHostContext();
  sequence = 0;
  const PascalString empty;
  memcpy(name, empty.Raw(), sizeof name);
}

void* AddChannel(HostAddChannelRec& rec, unsigned int type, const char* name, void* value) {
  rec.sequence += 1;
  rec.valueType = type;
  rec.channel = nullptr;
  PascalString text;
  text = name;
  memcpy(rec.name, text.Raw(), sizeof rec.name);
  rec.valuePtr = value;
  Run_Host(Request::kAddChannel, sizeof rec, &rec);
  return plug->status == 0 ? rec.channel : nullptr;
}

void* AddChannel(HostAddChannelRec& rec, const char* name, const float* value) {
  double initial = *value;
  return AddChannel(rec, kChannelReal, name, &initial);
}

HostChannelValueRec PrepareChannelRec() {
  HostChannelValueRec rec;
  memset(&rec, 0, sizeof rec);
  rec.hostContext = CurrentHostContext();
  rec.channel = nullptr;
  rec.sequence = 0;
  rec.valueType = kChannelUint;
  rec.time = theModelSetup.setup.setupTime;
  rec.valuePtr = nullptr;
  return rec;
}

void Get1Channel(HostGetChannelRec& rec, char* channel, float* value) {
  rec.sequence += 1;
  rec.channel = channel;
  if (!channel) return;
  if (!Run_Host(Request::kGetChannel, sizeof rec, &rec)) return;
  if (!rec.valuePtr) return;
  double reply;
  memcpy(&reply, rec.valuePtr, sizeof reply);
  // A value the tag cannot hold (not a number, or beyond the float range)
  // would put non-finite coordinates into every wire; the field keeps its value.
  const float narrowed = static_cast<float>(reply);
  if (!isfinite(narrowed)) return;
  *value = narrowed;
}

void Set1Channel(HostSetChannelRec& rec, char* channel, const float* value) {
  double wide = *value;
  rec.sequence += 1;
  rec.channel = channel;
  rec.valueType = kChannelReal;
  rec.valuePtr = &wide;
  Run_Host(Request::kSetChannel, sizeof rec, &rec);
  rec.valuePtr = nullptr;
}

void CWireTag::InitChannels() {
  HostAddRec rec;
  channels[kPushChannel] = AddChannel(rec, "Push", &push);
  channels[kScaleChannel] = AddChannel(rec, "Scale", &scale);
}

void CWireTag::LoadChannels() {
  HostGetChannelRec rec = PrepareChannelRec();
  Get1Channel(rec, static_cast<char*>(channels[kPushChannel]), &push);
  Get1Channel(rec, static_cast<char*>(channels[kScaleChannel]), &scale);
  SaveSelf();
  plug->status = 0;
  plug->result = 0;
}

void CWireTag::UpdateChannels() {
  HostSetChannelRec rec = PrepareChannelRec();
  Set1Channel(rec, static_cast<char*>(channels[kPushChannel]), &push);
  Set1Channel(rec, static_cast<char*>(channels[kScaleChannel]), &scale);
  plug->status = 0;
  plug->result = 0;
}

bool CWireTag::UpdateAll() {
  UpdateChannels();
  return SaveSelf();
}
