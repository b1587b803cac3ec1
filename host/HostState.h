// Host-internal: what CHost keeps beyond any one object (the callback is a
// plain function, so it finds the host through these).
#ifndef TRESSEL_HOST_HOSTSTATE_H
#define TRESSEL_HOST_HOSTSTATE_H

#include <stdint.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "host/Host.h"

namespace host {

struct CHostState {
  std::vector<CHost*> hosts;            // live hosts, oldest first
  std::vector<CHost*> sending;          // hosts with a command in progress, innermost last
  std::map<void*, CHost*> contexts;     // every live hostContext and its host
};
inline CHostState& HostState() {
  static CHostState state;
  return state;
}

// An instance: its hostContext is the address of this object.
struct CHost::CInstance {
  int id = 0;
  void* instanceData = nullptr;  // heap blocks owned here
  int32_t instanceDataSize = 0;
  void* auxData = nullptr;
  int32_t auxDataSize = 0;
  int resets = 0;

  CInstance() = default;
  CInstance(const CInstance&) = delete;
  CInstance& operator=(const CInstance&) = delete;
  ~CInstance() {
    std::free(instanceData);
    std::free(auxData);
  }
  // Replaces a block with a copy of bytes (empty: no block).
  static void SetBlock(void** block, int32_t* size, const std::vector<uint8_t>& bytes) {
    std::free(*block);
    *block = nullptr;
    *size = 0;
    if (bytes.empty()) return;
    *block = std::malloc(bytes.size());
    std::memcpy(*block, bytes.data(), bytes.size());
    *size = int32_t(bytes.size());
  }
};

// A command in progress and what the requests during it may refer to.
struct CHost::CCommandFrame {
  uint32_t selector = 0;
  CInstance* instance = nullptr;               // null once the instance was removed
  PluginRecHeader* header = nullptr;           // the record sent
  uint64_t serial = 0;                         // owner of the blocks it allocates
  int32_t groupCount = 0;                      // 'GENM' only
  std::set<void*> handedOut;                   // groupRefs of this command's 'GETG' replies
  void* latestHandedOut = nullptr;             // the latest of them (null: none yet)
  std::set<CChildGroup*> deleted;              // groups given 'DELG' during this command
  CChildGroup* output = nullptr;               // the group of the latest 'DELG'
  // The 'ADDV' indices this command handed out: index firstVertexIndex + i is
  // added[i]. Host indices only grow, so this is a dense table; entries of a
  // nested command's indices keep a null owner.
  struct CAddedVertex {
    CChildGroup* owner = nullptr;
    size_t position = 0;  // in owner->received.vertices when it was added
  };
  int32_t firstVertexIndex = 0;
  std::vector<CAddedVertex> added;
  // The entry of a vertex index this command handed out, or null.
  const CAddedVertex* Added(int32_t hostIndex) const {
    if (hostIndex < firstVertexIndex) return nullptr;
    const size_t slot = size_t(int64_t(hostIndex) - firstVertexIndex);
    return slot < added.size() && added[slot].owner ? &added[slot] : nullptr;
  }
};

}  // namespace host

#endif  // TRESSEL_HOST_HOSTSTATE_H
