// The task stack: one PluginTask per active call of Main.
//
// Every part of the module reaches the current call through `plug`; nothing is
// passed down. The host may call Main again from inside a host callback on the
// same thread; the stack (at most 10 entries) is the only protection.
#ifndef TRESSEL_PLUGIN_PLUGINTASK_H
#define TRESSEL_PLUGIN_PLUGINTASK_H

#include <stdint.h>

#include "base/PascalString.h"
#include "platform/Platform.h"
#include "plugin/HostRecords.h"

// Result codes of Main (also the general error codes 'DESC' explains).
enum ResultCode : int32_t {
  kResultOk = 0,
  kResultMemory = 1,
  kResultUnsupported = 2,
  kResultBadRecord = 3,
  kResultCancelled = 4,
  kResultOutOfSequence = 5,
  kResultNoResource = 6,
  kResultNotSupported = 8,
};

struct PluginTask {
  uint32_t selector;        // the command
  int32_t recordSize;       // record size as the host passed it
  PluginRecHeader* record;  // the host's record; lives for the call
  int32_t status;           // outcome of the latest host callback (0 = success)
  int32_t result;           // what Main returns: the most recent failure

  static constexpr int kMaxDepth = 10;

  // Dispatch of the current entry; returns status.
  int32_t Run();

  // Handlers: each acts on the current entry and returns its status.
  int32_t About();
  int32_t Describe();
  int32_t Information();
  int32_t Initialize();
  int32_t Finish();
  int32_t Interface();
  int32_t ModelSetup();
  int32_t ModelGenerate();
  int32_t InitChannel();
  int32_t LoadChannel();
  int32_t DoXCommand();

  // Host memory through this task's record.
  // REQUIRES: this is the current task. Throws the memory exception on refusal.
  void* MAlloc(int32_t n);
  // Never fails; status and result are as before the call.
  void MFree(void* p);
  // Resizes both instance blocks (0 keeps a size); false when refused.
  bool Allocate(int32_t dataSize, int32_t auxSize);
  // 'RSET'; returns status.
  int32_t SendModelReset();

  // The resource file (held in theRF).
  static PascalString NameRFile();
  static bool OpenRFile();
  static bool CloseRFile();

  // Sets status and result together (a handler's own failure).
  void Fail(int32_t code) {
    status = code;
    result = code;
  }
};

extern PluginTask plugStack[PluginTask::kMaxDepth];
extern int32_t stackCount;
extern PluginTask* plug;

// Calls the current record's hostCallback unchanged; status takes the answer,
// result too when nonzero. True exactly when the host answered 0.
// REQUIRES: record begins with the current hostContext.
bool Run_Host(uint32_t selector, int32_t size, void* record);

// The module's only exported function: every command of the host enters here.
// Called on the host's thread, possibly re-entrantly from a host callback.
TRESSEL_ENTRY int32_t Main(uint32_t selector, int32_t recordSize, void* record);

// The current call's hostContext.
inline void* CurrentHostContext() { return plug->record->hostContext; }

// Smallest record size accepted for a selector on this build; 0x7fffffff for
// selectors the module does not know (so they always fail the size test).
int32_t MinimumRecordSize(uint32_t selector);

#endif  // TRESSEL_PLUGIN_PLUGINTASK_H
