// The null module: a stand-in for Tressel.plm that answers 'GENM' by making
// exactly the requests its instance data lists (bench/RequestScript.h) and
// computing nothing, so its 'GENM' time is the floor the host protocol sets
// for that input. Every other command is answered 0. Bench use only.
#include <stdint.h>

#include <cstring>
#include <vector>

#include "bench/RequestScript.h"
#include "plugin/HostRecords.h"

namespace {

int32_t Replay(const PluginRecHeader& header) {
  const auto* runs = static_cast<const CScriptRun*>(header.instanceData);
  const size_t runCount = size_t(header.instanceDataSize) / sizeof(CScriptRun);
  HostCallbackProc ask = header.hostCallback;
  void* context = header.hostContext;
  std::vector<void*> blocks;  // by 'MMAL' ordinal
  void* group = nullptr;
  int32_t added[2] = {0, 0};  // the latest two 'ADDV' answers
  for (size_t r = 0; r < runCount; ++r) {
    CScriptRun run;
    std::memcpy(&run, &runs[r], sizeof run);
    for (uint32_t k = 0; k < run.count; ++k) {
      int32_t answer = 0;
      switch (run.selector) {
        case Request::kGetGroup: {
          HostModelGetGroupRec rec{};
          rec.hostContext = context;
          rec.index = int32_t(run.value);
          answer = ask(run.selector, sizeof rec, &rec);
          group = rec.groupRef;
          break;
        }
        case Request::kGetVertex: {
          HostModelGetVertexRec rec{};
          rec.hostContext = context;
          rec.groupRef = group;
          rec.index = int32_t(run.value + k);
          answer = ask(run.selector, sizeof rec, &rec);
          break;
        }
        case Request::kGetFacet: {
          HostModelGetFacetRec rec{};
          rec.hostContext = context;
          rec.groupRef = group;
          rec.index = int32_t(run.value + k);
          answer = ask(run.selector, sizeof rec, &rec);
          break;
        }
        case Request::kDeleteGroup: {
          HostDeleteGroupRec rec{context, group};
          answer = ask(run.selector, sizeof rec, &rec);
          break;
        }
        case Request::kAddVertex: {
          HostAddVertexRec rec{};
          rec.hostContext = context;
          answer = ask(run.selector, sizeof rec, &rec);
          added[0] = added[1];
          added[1] = rec.vertexIndex;
          break;
        }
        case Request::kAddFacet: {
          HostAddFacetRec rec{};
          rec.hostContext = context;
          rec.corners = 2;
          rec.vert[0] = added[0] ? added[0] : added[1];
          rec.vert[1] = added[1];
          answer = ask(run.selector, sizeof rec, &rec);
          break;
        }
        case Request::kMemAlloc: {
          HostMemAllocRec rec{context, intptr_t(run.value), nullptr};
          answer = ask(run.selector, sizeof rec, &rec);
          blocks.push_back(rec.block);
          break;
        }
        case Request::kMemFree: {
          HostMemFreeRec rec{context, blocks.at(size_t(run.value))};
          answer = ask(run.selector, sizeof rec, &rec);
          break;
        }
        case Request::kStatus: {
          HostStatusRec rec{};
          rec.hostContext = context;
          answer = ask(run.selector, sizeof rec, &rec);
          break;
        }
        case Request::kCreator: {
          HostCreatorRec rec{context, 0};
          answer = ask(run.selector, sizeof rec, &rec);
          break;
        }
        default:
          return 8;  // a request the replay does not know: the bench's counts show it
      }
      if (answer != 0) return answer;
    }
  }
  return 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t Main(uint32_t selector, int32_t, void* record) {
  if (selector != Selector::kGenerate || !record) return 0;
  return Replay(*static_cast<const PluginRecHeader*>(record));
}
