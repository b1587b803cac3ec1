// Host memory: the allocation hooks, the memory requests ('MMAL', 'MFRE'), the
// instance block resize ('ALOC') and the model reset ('RSET').
#include "plugin/HostMemory.h"

#include <stdint.h>
#include <string.h>

#include "plugin/PluginTask.h"

const char* const kMemoryException = "mem";

void ThrowMemoryException() { throw kMemoryException; }

void* (*MAlloc)(size_t n) = MAllocProc;
void (*MFree)(void* p) = MFreeProc;

void* MAllocProc(size_t n) {
  // A host request carries an int32 count: a larger block cannot be asked for,
  // and narrowing would hand back a block of a wrapped size.
  if (n > size_t(INT32_MAX)) ThrowMemoryException();
  return plug->MAlloc(static_cast<int32_t>(n));
}

void MFreeProc(void* p) { plug->MFree(p); }

void* PluginTask::MAlloc(int32_t n) {
  if (n == 0) return nullptr;
  HostMemAllocRec rec;
  memset(&rec, 0, sizeof rec);
  rec.hostContext = record->hostContext;
  rec.byteCount = n;
  rec.block = nullptr;
  int32_t answer;
  try {
    answer = record->hostCallback(Request::kMemAlloc, sizeof rec, &rec);
  } catch (...) {
    ThrowMemoryException();
  }
  if (answer != 0) {
    Fail(answer);
    ThrowMemoryException();
  }
  // A host that reports success without a block has refused all the same.
  if (!rec.block) ThrowMemoryException();
  return rec.block;
}

void PluginTask::MFree(void* p) {
  if (!p) return;
  const int32_t savedStatus = status;
  const int32_t savedResult = result;
  status = 0;
  result = 0;
  HostMemFreeRec rec;
  memset(&rec, 0, sizeof rec);
  rec.hostContext = record->hostContext;
  rec.block = p;
  try {
    const int32_t answer = record->hostCallback(Request::kMemFree, sizeof rec, &rec);
    if (answer != 0) result = answer;
  } catch (...) {
  }
  status = savedStatus;
  result = savedResult;
}

bool PluginTask::Allocate(int32_t dataSize, int32_t auxSize) {
  if (dataSize == 0) dataSize = record->instanceDataSize;
  if (auxSize == 0) auxSize = record->auxDataSize;
  if (dataSize < 0 || auxSize < 0) auxSize = 0;
  HostAllocateRec rec;
  memset(&rec, 0, sizeof rec);
  rec.hostContext = record->hostContext;
  rec.instanceData = record->instanceData;
  rec.instanceDataSize = dataSize;
  rec.auxData = record->auxData;
  rec.auxDataSize = auxSize;
  const int32_t answer = record->hostCallback(Request::kAllocate, sizeof rec, &rec);
  status = answer;
  if (answer != 0) {
    result = answer;
    return false;
  }
  record->auxDataSize = rec.auxDataSize;
  record->instanceDataSize = rec.instanceDataSize;
  record->auxData = rec.auxData;
  record->instanceData = rec.instanceData;
  return true;
}

int32_t PluginTask::SendModelReset() {
  HostModelResetRec rec;
  rec.hostContext = record->hostContext;
  const int32_t answer = record->hostCallback(Request::kModelReset, sizeof rec, &rec);
  status = answer;
  if (answer != 0) result = answer;
  return status;
}
