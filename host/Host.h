// CHost: a substitute for the 3D application that loads the module.
//
// It holds the scene the module works on (instances, model setup, child
// groups, channels), sends commands to the module's Main with records of this
// platform's layout, and serves every request the module makes through one
// static hostCallback. Every request is checked strictly against the protocol;
// each breach is recorded as a CViolation and answered with kViolationCode.
// Tests fail on any violation (Violations(), ViolationReport()).
//
// Single-threaded: commands and requests run on the caller's thread. Commands
// may nest (a request hook may send another command).
#ifndef TRESSEL_HOST_HOST_H
#define TRESSEL_HOST_HOST_H

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/FaultPlan.h"
#include "host/MemoryLedger.h"
#include "host/Module.h"
#include "host/RequestKinds.h"
#include "host/Scene.h"
#include "host/Violation.h"
#include "plugin/HostRecords.h"

namespace host {

// The answer to a request that breaks the protocol.
constexpr int32_t kViolationCode = 3;
// The answer to a well-formed request the host cannot serve (no such group,
// 'SCHN' on a null channel).
constexpr int32_t kRefusedCode = 8;
// The answer to a refused 'MMAL'.
constexpr int32_t kNoMemoryCode = 1;
// Default creator code: anything but 'EIAR', so duplicated instances separate.
constexpr uint32_t kDefaultCreator = FourCC("TRSL");

// One request as the trace records it.
struct CTraceEntry {
  uint32_t selector = 0;
  int32_t size = 0;
  int depth = 0;            // commands in progress when it arrived
  uint32_t command = 0;     // the innermost command in progress (0: none)
  int64_t value = 0;        // index ('GETG','GETV','GETF'), byteCount ('MMAL'), vertexIndex ('ADDV'), time (channels)
  const void* ref = nullptr;  // groupRef, block or channel
  int32_t answer = 0;
  std::string Text() const;
};

// A 'STAT' report as received.
struct CStatusReport {
  float fraction = 0;
  std::string title, text;  // Mac Roman bytes
  int32_t maximum = 0, reported = 0;
  int32_t answer = 0;
};

class CHost {
 public:
  // Starts with one instance (0), an identity setup and no child groups.
  CHost();
  ~CHost();
  CHost(const CHost&) = delete;
  CHost& operator=(const CHost&) = delete;

  // --- the module
  // Loads the module; the home directory of the file functions becomes the
  // module's folder unless SetHomeDirectory chose one. Error text names the path.
  bool LoadModule(const std::filesystem::path& path, std::string* error);
  void UnloadModule();
  // Sends commands to `entry` instead of a loaded module (tests of the host itself).
  void UseEntry(MainProc entry) { mFakeEntry = entry; }
  const CModule& Module() const { return mModule; }
  void SetHomeDirectory(const std::filesystem::path& directory);

  // --- instances: each has its own hostContext, instance data and aux block.
  int AddInstance();
  // A new instance whose blocks are byte copies of `source`'s (as a host
  // duplicates a model, tag slot included).
  int DuplicateInstance(int source);
  // Drops the instance and its blocks without telling the module.
  void RemoveInstance(int instance);
  void* Context(int instance) const;
  // The instance data block's content: what a scene saves.
  std::vector<uint8_t> InstanceData(int instance) const;
  std::vector<uint8_t> AuxData(int instance) const;
  // Replaces the block (as loading a scene does); an empty vector means no block.
  void SetInstanceData(int instance, const std::vector<uint8_t>& bytes);
  int ResetCount(int instance) const;  // 'RSET' requests for it

  // --- the scene
  CModelSetup& Setup() { return mSetup; }
  // Adds a child group; returns its 0-based position (the module's index - 1).
  int AddGroup(CChildGroup group);
  CChildGroup& Group(int position) { return *mGroups.at(size_t(position)); }
  int GroupCount() const { return int(mGroups.size()); }
  const CReceivedGeometry& Received(int position) const { return mGroups.at(size_t(position))->received; }
  const std::vector<std::unique_ptr<CChannel>>& Channels() const { return mChannels; }
  // The channel named `name` created by a command of `instance`, or null.
  CChannel* FindChannel(int instance, const std::string& name) const;
  void SetCreator(uint32_t code) { mCreator = code; }

  // --- commands. Each fills the header (instance blocks, sizes, hostCallback,
  // hostContext) and returns what Main returned.
  // The selector's record of exactly this platform's size; bodies: 'SETM' from
  // Setup(), 'GENM' with groupCount = GroupCount(), everything else zeroed.
  int32_t Send(uint32_t selector, int instance = 0);
  // 'DESC': *text receives the reply's bytes (Mac Roman).
  int32_t Describe(int32_t code, std::string* text, int instance = 0);
  // 'INFO': *reply receives the whole record.
  int32_t Information(PluginInfoRec* reply, int instance = 0);
  // 'GENM' announcing groupCount groups (may differ from GroupCount()).
  int32_t Generate(int32_t groupCount, int instance = 0);
  // A zeroed record of `size` bytes (any value, also too short) with a filled header.
  int32_t SendRaw(uint32_t selector, int32_t size, int instance = 0);
  // The caller's record, header filled here. REQUIRES: record holds a whole header.
  int32_t SendRecord(uint32_t selector, void* record, int32_t size, int instance = 0);
  // This platform's record size for a command; 0 for selectors without a record.
  static int32_t RecordSize(uint32_t selector);
  int Depth() const { return int(mFrames.size()); }  // commands in progress

  // --- requests
  // Runs on every well-formed request of the kinds in onRequestKinds before
  // it is served (after its checks), with the selector and the record; may
  // send commands (re-entrancy tests).
  std::function<void(uint32_t selector, void* record)> onRequest;
  // The request kinds onRequest sees (RequestKindBit of each); all by
  // default. A hook that watches a few kinds names them, so that the other
  // requests (millions of 'GETV' in a big mesh) skip the call.
  uint32_t onRequestKinds = kAllRequestKinds;
  // Requests of a kind received over the host's life (well-formed or not).
  int RequestCount(uint32_t selector) const;
  const std::vector<CStatusReport>& StatusReports() const { return mStatusReports; }
  CFaultPlan& Faults() { return mFaults; }
  const CMemoryLedger& Memory() const { return mMemory; }
  // Whether blocks from 'MMAL' come filled with CMemoryLedger::kFreshByte (on
  // by default: it shows a module that relies on zeroed memory).
  void FillFreshBlocks(bool on) { mMemory.SetFill(on); }
  // Requests the host itself could not serve (its own memory ran out, say):
  // each was answered with a failure code, one line a request. Empty when all
  // went well. No exception from serving ever reaches the module's frames.
  const std::vector<std::string>& ServiceFailures() const { return mServiceFailures; }

  // --- trace (off by default)
  void EnableTrace(bool on) { mTracing = on; }
  const std::vector<CTraceEntry>& Trace() const { return mTrace; }
  void ClearTrace() { mTrace.clear(); }

  // --- violations
  const std::vector<CViolation>& Violations() const { return mViolations; }
  bool Clean() const { return mViolations.empty(); }
  std::string ViolationReport() const;  // one line per violation
  void ClearViolations() { mViolations.clear(); }

 private:
  struct CInstance;
  struct CCommandFrame;

  static int32_t HostCallback(uint32_t selector, int32_t size, void* record);
  static int32_t ServeOutsideCommand(uint32_t selector, int32_t size, void* record);
  void CountRequest(uint32_t selector);
  int32_t Serve(uint32_t selector, int32_t size, void* record);
  int32_t ServeChecked(CCommandFrame& frame, CInstance& instance, int kind, void* record, CTraceEntry& trace);
  // Runs the hook, then the fault plan; nonzero: answer that instead of serving.
  int32_t Intercept(uint32_t selector, void* record);
  int32_t Violate(const char* name, uint32_t selector, std::string detail);
  // The answer to a request whose serving threw: `code`, and a line in ServiceFailures().
  int32_t ServiceFailed(uint32_t selector, int32_t code, const char* what) noexcept;
  int32_t ContextViolation(const CCommandFrame& frame, uint32_t selector, void* context);
  // The diagnosis of a request that is not well formed (unknown selector,
  // size argument, null record, hostContext), in the order they are reported.
  [[gnu::cold, gnu::noinline]] int32_t Breach(const CCommandFrame& frame, uint32_t selector, int32_t size, void* record);
  [[gnu::cold, gnu::noinline]] int32_t GroupRefViolation(uint32_t selector, void* groupRef);
  [[gnu::cold, gnu::noinline]] int32_t IndexViolation(uint32_t selector, int32_t index, size_t count, const char* items);
  void FinishFrame(CCommandFrame& frame);
  CInstance* Find(int instance) const;
  CInstance& Get(int instance) const;
  CChildGroup* HandedOutGroup(const CCommandFrame& frame, void* groupRef) const;
  bool IsLiveChannel(void* channel) const;

  int32_t ServeCreator(HostCreatorRec& rec);
  int32_t ServeMemAlloc(CCommandFrame& frame, HostMemAllocRec& rec, CTraceEntry& trace);
  int32_t ServeMemFree(HostMemFreeRec& rec, CTraceEntry& trace);
  int32_t ServeAllocate(CInstance& instance, HostAllocateRec& rec);
  int32_t ServeModelReset(CInstance& instance, HostModelResetRec& rec);
  int32_t ServeStatus(HostStatusRec& rec);
  int32_t ServeGetGroup(CCommandFrame& frame, HostModelGetGroupRec& rec, CTraceEntry& trace);
  int32_t ServeDeleteGroup(CCommandFrame& frame, HostDeleteGroupRec& rec, CTraceEntry& trace);
  int32_t ServeGetVertex(CCommandFrame& frame, HostModelGetVertexRec& rec, CTraceEntry& trace);
  int32_t ServeGetFacet(CCommandFrame& frame, HostModelGetFacetRec& rec, CTraceEntry& trace);
  int32_t ServeAddVertex(CCommandFrame& frame, HostAddVertexRec& rec, CTraceEntry& trace);
  int32_t ServeAddFacet(CCommandFrame& frame, HostAddFacetRec& rec);
  int32_t ServeAddChannel(CInstance& instance, HostAddChannelRec& rec, CTraceEntry& trace);
  int32_t ServeGetChannel(HostGetChannelRec& rec, CTraceEntry& trace);
  int32_t ServeSetChannel(HostSetChannelRec& rec, CTraceEntry& trace);

  CModule mModule;
  MainProc mFakeEntry = nullptr;
  bool mHomeChosen = false;
  std::vector<std::unique_ptr<CInstance>> mInstances;  // null: removed
  std::vector<std::unique_ptr<CInstance>> mRetiredInstances;  // removed during a command for them
  CModelSetup mSetup;
  std::vector<std::unique_ptr<CChildGroup>> mGroups;
  std::vector<std::unique_ptr<CChannel>> mChannels;
  uint32_t mCreator = kDefaultCreator;
  std::vector<std::unique_ptr<CCommandFrame>> mFrames;
  uint64_t mNextCommandSerial = 1;
  int32_t mNextVertexIndex = 1;
  int mRequestCounts[kRequestKinds] = {};    // by RequestKind
  std::map<uint32_t, int> mOtherRequestCounts;  // selectors that are no request
  std::vector<CStatusReport> mStatusReports;
  CFaultPlan mFaults;
  CMemoryLedger mMemory;
  bool mTracing = false;
  std::vector<CTraceEntry> mTrace;
  std::vector<CViolation> mViolations;
  std::vector<std::string> mServiceFailures;
};

}  // namespace host

#endif  // TRESSEL_HOST_HOST_H
