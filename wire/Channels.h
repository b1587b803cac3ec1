// The two animation channels of a tag ("Push" and "Scale"): the host records
// and the three requests that create, read and set a channel.
#ifndef TRESSEL_WIRE_CHANNELS_H
#define TRESSEL_WIRE_CHANNELS_H

#include <stdint.h>

#include "plugin/HostRecords.h"

constexpr uint32_t kChannelReal = FourCC("REAL");
constexpr uint32_t kChannelUint = FourCC("UINT");

// An 'ACHN' record: hostContext of the current call, sequence 0, empty name,
// reserved fields null. REQUIRES: a call of Main is active.
struct HostAddRec : HostAddChannelRec {
  HostAddRec();
};

// Creates a channel of type `type` named `name` whose initial value is at
// `value` (which need live only for the call). Returns the host's reference,
// or null when the request failed (the code stays in the current task).
void* AddChannel(HostAddChannelRec& rec, unsigned int type, const char* name, void* value);
// A 'REAL' channel with the initial value *value, widened to double.
void* AddChannel(HostAddChannelRec& rec, const char* name, const float* value);

// A 'GCHN' / 'SCHN' record as both channel operations prepare it: the current
// hostContext, no channel, sequence 0, 'UINT', the last setup's time.
HostChannelValueRec PrepareChannelRec();

// Reads channel `channel` into *value (narrowed). With a null channel nothing
// is sent. *value is kept when the request fails, when the reply carries no
// value, or when the value is not a finite float.
void Get1Channel(HostGetChannelRec& rec, char* channel, float* value);
// Sends *value (widened) to channel `channel`, also when it is null; the
// outcome is left in the current task for the caller to judge.
void Set1Channel(HostSetChannelRec& rec, char* channel, const float* value);

#endif  // TRESSEL_WIRE_CHANNELS_H
