// Serving the module's requests. Every request is checked before it is served:
// the size argument must equal this platform's record size, the record's
// hostContext must be a live instance and the one of the innermost command in
// progress, and every index and reference must be one the host handed out
// during that command. A breach is recorded and answered kViolationCode; a
// well-formed request then passes the hook and the fault plan, then is served.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "host/Host.h"
#include "host/HostState.h"
#include "host/MacRoman.h"

namespace host {

namespace {

// Record fields are packed to 4 bytes, so doubles in them may be misaligned:
// they are only ever copied bytewise.
void Put(void* out, const CVec3& v) {
  double values[3] = {v.x, v.y, v.z};
  std::memcpy(out, values, sizeof values);
}

CVec3 Take(const void* in) {
  double values[3];
  std::memcpy(values, in, sizeof values);
  return CVec3{values[0], values[1], values[2]};
}

void Identity(void* matrix) {
  double values[16];
  for (int i = 0; i < 16; ++i) values[i] = (i % 5 == 0) ? 1.0 : 0.0;
  std::memcpy(matrix, values, sizeof values);
}

// The hostContext that begins every request record. The record may sit at
// any 4-byte boundary (records are packed to 4), so it is read bytewise.
void* ContextOf(const void* record) {
  void* context;
  std::memcpy(&context, record, sizeof context);
  return context;
}

std::string Pointer(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", p);
  return text;
}

}  // namespace

// The module's frames lie between here and the host's caller, so nothing may
// be thrown out of this function: a request the host fails to serve (its own
// memory ran out while storing a vertex, say) is answered with a code and noted.
int32_t CHost::HostCallback(uint32_t selector, int32_t size, void* record) {
  CHostState& state = HostState();
  CHost* host = state.sending.empty() ? nullptr : state.sending.back();
  try {
    if (host) return host->Serve(selector, size, record);
    return ServeOutsideCommand(selector, size, record);
  } catch (const std::bad_alloc&) {
    return host ? host->ServiceFailed(selector, kNoMemoryCode, "the host ran out of memory") : kNoMemoryCode;
  } catch (const std::exception& error) {
    return host ? host->ServiceFailed(selector, kRefusedCode, error.what()) : kRefusedCode;
  } catch (...) {
    return host ? host->ServiceFailed(selector, kRefusedCode, "an unknown exception") : kRefusedCode;
  }
}

int32_t CHost::ServeOutsideCommand(uint32_t selector, int32_t size, void* record) {
  // No command in progress anywhere: charge the host owning the context if it
  // can be read, else the newest host.
  CHostState& state = HostState();
  CHost* target = nullptr;
  if (record && size >= int32_t(sizeof(void*))) {
    auto owner = state.contexts.find(ContextOf(record));
    if (owner != state.contexts.end()) target = owner->second;
  }
  if (!target && !state.hosts.empty()) target = state.hosts.back();
  if (target) {
    target->CountRequest(selector);
    target->Violate("request outside a command", selector, "no command was in progress");
  }
  return kViolationCode;
}

int32_t CHost::ServiceFailed(uint32_t selector, int32_t code, const char* what) noexcept {
  try {
    mServiceFailures.push_back(CodeText(selector) + " could not be served: " + what);
  } catch (...) {
    // Out of memory even for the note: the answer still tells the module.
  }
  return code;
}

void CHost::CountRequest(uint32_t selector) {
  const int kind = RequestKind(selector);
  if (kind != kNotARequest)
    ++mRequestCounts[kind];
  else
    ++mOtherRequestCounts[selector];
}

// The checks in the order they are reported. On the common path (a known
// request of the right size from the context of the command in progress) this
// is a classification by perfect hash, a counter and a handful of compares;
// the detailed diagnosis runs only for a breach, the trace only when on.
int32_t CHost::Serve(uint32_t selector, int32_t size, void* record) {
  const int kind = RequestKind(selector);
  if (kind != kNotARequest)
    ++mRequestCounts[kind];
  else
    ++mOtherRequestCounts[selector];
  CCommandFrame& frame = *mFrames.back();
  CTraceEntry trace;
  size_t slot = 0;
  const bool traced = mTracing;  // a hook may switch the trace on or off meanwhile
  if (traced) {
    trace.selector = selector;
    trace.size = size;
    trace.depth = Depth();
    trace.command = frame.selector;
    slot = mTrace.size();
    mTrace.push_back(trace);
  }

  // frame.instance is a live instance of this host while it is not null.
  const bool wellFormed = kind != kNotARequest && size == kKindRecordSizes.size[kind] && record &&
                          ContextOf(record) == frame.instance && frame.instance;
  const int32_t answer = wellFormed
                             ? ServeChecked(frame, *static_cast<CInstance*>(frame.instance), kind, record, trace)
                             : Breach(frame, selector, size, record);
  if (traced && slot < mTrace.size()) {
    trace.answer = answer;
    mTrace[slot] = trace;
  }
  return answer;
}

// Out of line and cold, so that its text building costs the well-formed
// requests nothing.
int32_t CHost::Breach(const CCommandFrame& frame, uint32_t selector, int32_t size, void* record) {
  const int kind = RequestKind(selector);
  if (kind == kNotARequest) return Violate("unknown request", selector, "the host serves no such request");
  if (size != kKindRecordSizes.size[kind])
    return Violate("record size", selector,
                   "size argument " + std::to_string(size) + ", this platform's record is " +
                       std::to_string(kKindRecordSizes.size[kind]));
  if (!record) return Violate("null record", selector, "the record pointer is null");
  return ContextViolation(frame, selector, ContextOf(record));
}

int32_t CHost::GroupRefViolation(uint32_t selector, void* groupRef) {
  return Violate("unknown groupRef", selector, "groupRef " + Pointer(groupRef) + " was not handed out by this command");
}

int32_t CHost::IndexViolation(uint32_t selector, int32_t index, size_t count, const char* items) {
  return Violate("index out of range", selector,
                 "index " + std::to_string(index) + " of a group of " + std::to_string(count) + " " + items);
}

int32_t CHost::ContextViolation(const CCommandFrame& frame, uint32_t selector, void* context) {
  auto owner = HostState().contexts.find(context);
  if (owner == HostState().contexts.end() || owner->second != this)
    return Violate("unknown hostContext", selector, "hostContext " + Pointer(context) + " is no live instance");
  return Violate("hostContext of another call", selector,
                 "hostContext " + Pointer(context) + " is not the context of the command in progress " +
                     CodeText(frame.selector));
}

// Dispatch by the dense kind: one jump through a table.
int32_t CHost::ServeChecked(CCommandFrame& frame, CInstance& instance, int kind, void* record, CTraceEntry& trace) {
  switch (kind) {
    case RequestKind(Request::kCreator): return ServeCreator(*static_cast<HostCreatorRec*>(record));
    case RequestKind(Request::kMemAlloc): return ServeMemAlloc(frame, *static_cast<HostMemAllocRec*>(record), trace);
    case RequestKind(Request::kMemFree): return ServeMemFree(*static_cast<HostMemFreeRec*>(record), trace);
    case RequestKind(Request::kAllocate): return ServeAllocate(instance, *static_cast<HostAllocateRec*>(record));
    case RequestKind(Request::kModelReset): return ServeModelReset(instance, *static_cast<HostModelResetRec*>(record));
    case RequestKind(Request::kStatus): return ServeStatus(*static_cast<HostStatusRec*>(record));
    case RequestKind(Request::kGetGroup): return ServeGetGroup(frame, *static_cast<HostModelGetGroupRec*>(record), trace);
    case RequestKind(Request::kDeleteGroup):
      return ServeDeleteGroup(frame, *static_cast<HostDeleteGroupRec*>(record), trace);
    case RequestKind(Request::kGetVertex):
      return ServeGetVertex(frame, *static_cast<HostModelGetVertexRec*>(record), trace);
    case RequestKind(Request::kGetFacet): return ServeGetFacet(frame, *static_cast<HostModelGetFacetRec*>(record), trace);
    case RequestKind(Request::kAddVertex): return ServeAddVertex(frame, *static_cast<HostAddVertexRec*>(record), trace);
    case RequestKind(Request::kAddFacet): return ServeAddFacet(frame, *static_cast<HostAddFacetRec*>(record));
    case RequestKind(Request::kAddChannel):
      return ServeAddChannel(instance, *static_cast<HostAddChannelRec*>(record), trace);
    case RequestKind(Request::kGetChannel): return ServeGetChannel(*static_cast<HostGetChannelRec*>(record), trace);
    case RequestKind(Request::kSetChannel): return ServeSetChannel(*static_cast<HostSetChannelRec*>(record), trace);
  }
  // Unreachable: Serve answers a selector of no kind before dispatching.
  return Violate("unknown request", 0, "request kind " + std::to_string(kind));
}

// Inline, so that each handler's constant selector folds into its kind and
// its bit: a request of a kind the hook does not watch costs a test.
inline int32_t CHost::Intercept(uint32_t selector, void* record) {
  if ((onRequestKinds & RequestKindBit(selector)) && onRequest) onRequest(selector, record);
  return mFaults.Decide(selector);
}

// --- memory and instance blocks

int32_t CHost::ServeCreator(HostCreatorRec& rec) {
  if (int32_t code = Intercept(Request::kCreator, &rec)) return code;
  rec.creator = mCreator;
  return 0;
}

int32_t CHost::ServeMemAlloc(CCommandFrame& frame, HostMemAllocRec& rec, CTraceEntry& trace) {
  intptr_t count = rec.byteCount;
  trace.value = count;
  if (count <= 0) return Violate("byte count", Request::kMemAlloc, "byteCount " + std::to_string(count) + " is not positive");
  if (count > INT32_MAX)
    return Violate("byte count", Request::kMemAlloc, "byteCount " + std::to_string(count) + " does not fit an int32");
  if (rec.block) return Violate("block not null", Request::kMemAlloc, "the block field must be null on entry");
  if (int32_t code = Intercept(Request::kMemAlloc, &rec)) return code;
  if (!mFaults.MemoryAllowed(mMemory.LiveBytes(), size_t(count))) return kNoMemoryCode;
  void* block = mMemory.Allocate(size_t(count), frame.serial);
  if (!block) return kNoMemoryCode;
  rec.block = block;
  trace.ref = block;
  return 0;
}

int32_t CHost::ServeMemFree(HostMemFreeRec& rec, CTraceEntry& trace) {
  trace.ref = rec.block;
  if (!mMemory.IsLive(rec.block))
    return Violate("release of a block not live", Request::kMemFree, "block " + Pointer(rec.block) + " is not live");
  if (int32_t code = Intercept(Request::kMemFree, &rec)) return code;
  mMemory.Release(rec.block);
  return 0;
}

int32_t CHost::ServeAllocate(CInstance& instance, HostAllocateRec& rec) {
  if (rec.instanceData != instance.instanceData || rec.auxData != instance.auxData)
    return Violate("stale instance block", Request::kAllocate, "the record's block pointers are not the instance's current blocks");
  if (rec.instanceDataSize < 0 || rec.auxDataSize < 0)
    return Violate("negative size", Request::kAllocate,
                   "sizes " + std::to_string(rec.instanceDataSize) + " and " + std::to_string(rec.auxDataSize));
  if (int32_t code = Intercept(Request::kAllocate, &rec)) return code;
  auto resize = [](void** block, int32_t* size, int32_t wanted) {
    void* fresh = wanted ? std::malloc(size_t(wanted)) : nullptr;
    if (fresh) {
      std::memset(fresh, 0, size_t(wanted));
      if (*block) std::memcpy(fresh, *block, size_t(std::min(*size, wanted)));
    }
    std::free(*block);
    *block = fresh;
    *size = wanted;
  };
  // The blocks move on every resize, so a module that keeps an old pointer is caught.
  resize(&instance.instanceData, &instance.instanceDataSize, rec.instanceDataSize);
  resize(&instance.auxData, &instance.auxDataSize, rec.auxDataSize);
  rec.instanceData = instance.instanceData;
  rec.auxData = instance.auxData;
  return 0;
}

int32_t CHost::ServeModelReset(CInstance& instance, HostModelResetRec& rec) {
  if (int32_t code = Intercept(Request::kModelReset, &rec)) return code;
  ++instance.resets;
  return 0;
}

int32_t CHost::ServeStatus(HostStatusRec& rec) {
  CStatusReport report;
  report.fraction = rec.fraction;
  report.title = PascalBytes(rec.title);
  report.text = PascalBytes(rec.text);
  report.maximum = rec.maximum;
  report.reported = rec.reported;
  report.answer = Intercept(Request::kStatus, &rec);
  mStatusReports.push_back(report);
  return report.answer;
}

// --- groups

CChildGroup* CHost::HandedOutGroup(const CCommandFrame& frame, void* groupRef) const {
  // The module reads a group's vertices and facets right after its 'GETG':
  // the latest reply answers almost every lookup without the set.
  if (groupRef != frame.latestHandedOut && !frame.handedOut.count(groupRef)) return nullptr;
  return static_cast<CChildGroup*>(groupRef);
}

int32_t CHost::ServeGetGroup(CCommandFrame& frame, HostModelGetGroupRec& rec, CTraceEntry& trace) {
  trace.value = rec.index;
  if (frame.selector != Selector::kGenerate)
    return Violate("request outside model generation", Request::kGetGroup, "sent during " + CodeText(frame.selector));
  if (rec.index < 1 || rec.index > frame.groupCount)
    return Violate("index out of range", Request::kGetGroup,
                   "index " + std::to_string(rec.index) + ", the command announced " + std::to_string(frame.groupCount) +
                       " group(s)");
  if (int32_t code = Intercept(Request::kGetGroup, &rec)) return code;
  if (rec.index > GroupCount()) return kRefusedCode;
  CChildGroup& group = *mGroups[size_t(rec.index - 1)];
  rec.groupRef = &group;
  rec.flags = group.flags;
  rec.vertexCount = int32_t(group.VertexCount());
  rec.facetCount = int32_t(group.FacetCount());
  Identity(rec.matrix1);
  Identity(rec.matrix2);
  Identity(rec.matrix3);
  frame.handedOut.insert(&group);
  frame.latestHandedOut = &group;
  trace.ref = &group;
  return 0;
}

int32_t CHost::ServeDeleteGroup(CCommandFrame& frame, HostDeleteGroupRec& rec, CTraceEntry& trace) {
  trace.ref = rec.groupRef;
  CChildGroup* group = HandedOutGroup(frame, rec.groupRef);
  if (!group)
    return Violate("unknown groupRef", Request::kDeleteGroup, "groupRef " + Pointer(rec.groupRef) + " was not handed out by this command");
  if (frame.deleted.count(group))
    return Violate("repeated DELG", Request::kDeleteGroup, "the group's geometry was already dropped during this command");
  if (int32_t code = Intercept(Request::kDeleteGroup, &rec)) return code;
  group->received.deleted = true;
  ++group->received.deleteCount;
  group->received.vertices.clear();
  group->received.facets.clear();
  frame.deleted.insert(group);
  frame.output = group;
  return 0;
}

int32_t CHost::ServeGetVertex(CCommandFrame& frame, HostModelGetVertexRec& rec, CTraceEntry& trace) {
  trace.value = rec.index;
  trace.ref = rec.groupRef;
  CChildGroup* group = HandedOutGroup(frame, rec.groupRef);
  if (!group) return GroupRefViolation(Request::kGetVertex, rec.groupRef);
  const size_t vertexCount = group->VertexCount();
  if (rec.index < 1 || size_t(rec.index) > vertexCount) return IndexViolation(Request::kGetVertex, rec.index, vertexCount, "vertices");
  if (int32_t code = Intercept(Request::kGetVertex, &rec)) return code;
  if (group->geometry) {
    group->geometry->GetVertex(size_t(rec.index - 1), &rec);
    return 0;
  }
  const CHostVertex& vertex = group->vertices[size_t(rec.index - 1)];
  rec.color = vertex.color;
  Put(rec.vectorA, vertex.vectorA);
  Put(rec.position, vertex.position);
  Put(rec.vectorB, vertex.vectorB);
  Put(rec.uvw, vertex.uvw);
  return 0;
}

int32_t CHost::ServeGetFacet(CCommandFrame& frame, HostModelGetFacetRec& rec, CTraceEntry& trace) {
  trace.value = rec.index;
  trace.ref = rec.groupRef;
  CChildGroup* group = HandedOutGroup(frame, rec.groupRef);
  if (!group) return GroupRefViolation(Request::kGetFacet, rec.groupRef);
  const size_t facetCount = group->FacetCount();
  if (rec.index < 1 || size_t(rec.index) > facetCount) return IndexViolation(Request::kGetFacet, rec.index, facetCount, "facets");
  if (int32_t code = Intercept(Request::kGetFacet, &rec)) return code;
  if (group->geometry) {
    group->geometry->GetFacet(size_t(rec.index - 1), &rec);
    return 0;
  }
  const CHostFacet& facet = group->facets[size_t(rec.index - 1)];
  rec.color = facet.color;
  rec.count = facet.count;
  std::memcpy(rec.corners, facet.corners, sizeof rec.corners);
  return 0;
}

// --- generated geometry

int32_t CHost::ServeAddVertex(CCommandFrame& frame, HostAddVertexRec& rec, CTraceEntry& trace) {
  if (frame.selector != Selector::kGenerate)
    return Violate("request outside model generation", Request::kAddVertex, "sent during " + CodeText(frame.selector));
  if (!frame.output)
    return Violate("geometry before DELG", Request::kAddVertex, "no group's geometry was dropped yet in this command");
  if (int32_t code = Intercept(Request::kAddVertex, &rec)) return code;
  CHostVertex vertex;
  vertex.color = rec.color;
  vertex.position = Take(rec.position);
  vertex.vectorA = Take(rec.vectorA);
  vertex.vectorB = Take(rec.vectorB);
  vertex.uvw = Take(rec.uvw);
  const int32_t hostIndex = mNextVertexIndex++;
  CReceivedVertices& vertices = frame.output->received.vertices;
  frame.NoteAdded(hostIndex, frame.output, vertices.size());
  vertices.Add(vertex, hostIndex);
  rec.vertexIndex = hostIndex;
  trace.value = hostIndex;
  return 0;
}

int32_t CHost::ServeAddFacet(CCommandFrame& frame, HostAddFacetRec& rec) {
  if (frame.selector != Selector::kGenerate)
    return Violate("request outside model generation", Request::kAddFacet, "sent during " + CodeText(frame.selector));
  if (!frame.output)
    return Violate("geometry before DELG", Request::kAddFacet, "no group's geometry was dropped yet in this command");
  if (rec.corners != 2)
    return Violate("corner count", Request::kAddFacet, "corners " + std::to_string(rec.corners) + ", a segment has 2");
  CCommandFrame::CAddedVertex ends[2];
  for (int k = 0; k < 2; ++k) {
    if (!frame.Added(rec.vert[k], &ends[k]) || ends[k].owner != frame.output)
      return Violate("unknown vertex index", Request::kAddFacet,
                     "vertex index " + std::to_string(rec.vert[k]) + " was not returned by 'ADDV' for this group");
  }
  if (int32_t code = Intercept(Request::kAddFacet, &rec)) return code;
  CReceivedGeometry& received = frame.output->received;
  CReceivedFacet facet;
  facet.color = rec.color;
  // The position recorded at 'ADDV'; a nested command's 'DELG' of this group
  // may have dropped the vertex since, which the index check below notices.
  auto positionOf = [&received](const CCommandFrame::CAddedVertex& end, int32_t hostIndex) {
    const size_t position = end.position;
    return (position < received.vertices.size() && received.vertices.HostIndex(position) == hostIndex) ? int32_t(position) : -1;
  };
  facet.first = positionOf(ends[0], rec.vert[0]);
  facet.second = positionOf(ends[1], rec.vert[1]);
  received.facets.push_back(facet);
  return 0;
}

// --- channels

bool CHost::IsLiveChannel(void* channel) const {
  for (auto& owned : mChannels)
    if (owned.get() == channel) return true;
  return false;
}

int32_t CHost::ServeAddChannel(CInstance& instance, HostAddChannelRec& rec, CTraceEntry& trace) {
  trace.value = rec.sequence;
  if (!rec.valuePtr) return Violate("null value", Request::kAddChannel, "valuePtr is null");
  if (int32_t code = Intercept(Request::kAddChannel, &rec)) return code;
  auto channel = std::make_unique<CChannel>();
  channel->instance = instance.id;
  channel->name = PascalBytes(rec.name);
  channel->valueType = rec.valueType;
  channel->sequence = rec.sequence;
  std::memcpy(&channel->initial, rec.valuePtr, sizeof(double));
  rec.channel = channel.get();
  trace.ref = channel.get();
  mChannels.push_back(std::move(channel));
  return 0;
}

int32_t CHost::ServeGetChannel(HostGetChannelRec& rec, CTraceEntry& trace) {
  trace.value = rec.time;
  trace.ref = rec.channel;
  if (!IsLiveChannel(rec.channel))
    return Violate("unknown channel", Request::kGetChannel, "channel " + Pointer(rec.channel) + " was not handed out by 'ACHN'");
  if (int32_t code = Intercept(Request::kGetChannel, &rec)) return code;
  CChannel& channel = *static_cast<CChannel*>(rec.channel);
  channel.reply = channel.ValueAt(rec.time);
  rec.valuePtr = &channel.reply;
  return 0;
}

int32_t CHost::ServeSetChannel(HostSetChannelRec& rec, CTraceEntry& trace) {
  trace.value = rec.time;
  trace.ref = rec.channel;
  if (rec.channel && !IsLiveChannel(rec.channel))
    return Violate("unknown channel", Request::kSetChannel, "channel " + Pointer(rec.channel) + " was not handed out by 'ACHN'");
  if (!rec.valuePtr) return Violate("null value", Request::kSetChannel, "valuePtr is null");
  if (int32_t code = Intercept(Request::kSetChannel, &rec)) return code;
  if (!rec.channel) return kRefusedCode;
  double value;
  std::memcpy(&value, rec.valuePtr, sizeof value);
  static_cast<CChannel*>(rec.channel)->SetKey(rec.time, value);
  return 0;
}

}  // namespace host
