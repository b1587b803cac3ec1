// Host-internal: what CHost keeps beyond any one object (the callback is a
// plain function, so it finds the host through these).
#ifndef TRESSEL_HOST_HOSTSTATE_H
#define TRESSEL_HOST_HOSTSTATE_H

#include <stdint.h>

#include <algorithm>
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
  // The 'ADDV' indices this command handed out, as runs: each run's vertices
  // went to one group, at consecutive positions of its received vertices,
  // under consecutive indices. Host indices only grow, so the runs are in
  // ascending order and a nested command's indices fall between them. A
  // module adds a group's wires one after another: one run a group.
  struct CAddedVertex {
    CChildGroup* owner = nullptr;
    size_t position = 0;  // in owner->received.vertices when it was added
  };
  struct CAddedRun {
    int32_t firstIndex;
    int32_t count;
    CChildGroup* owner;
    size_t firstPosition;
  };
  std::vector<CAddedRun> added;
  void NoteAdded(int32_t hostIndex, CChildGroup* owner, size_t position) {
    if (!added.empty()) {
      CAddedRun& last = added.back();
      if (last.owner == owner && int64_t(last.firstIndex) + last.count == hostIndex &&
          last.firstPosition + size_t(last.count) == position) {
        ++last.count;
        return;
      }
    }
    added.push_back(CAddedRun{hostIndex, 1, owner, position});
  }
  // The group and position of a vertex index this command handed out; false
  // for any other index. O(1) for the latest run, O(log runs) otherwise.
  bool Added(int32_t hostIndex, CAddedVertex* vertex) const {
    if (added.empty() || hostIndex < added.front().firstIndex) return false;
    auto run = added.end() - 1;
    if (hostIndex < run->firstIndex)
      run = std::upper_bound(added.begin(), added.end(), hostIndex,
                             [](int32_t index, const CAddedRun& at) { return index < at.firstIndex; }) - 1;
    if (int64_t(hostIndex) >= int64_t(run->firstIndex) + run->count) return false;
    vertex->owner = run->owner;
    vertex->position = run->firstPosition + size_t(hostIndex - run->firstIndex);
    return true;
  }
};

}  // namespace host

#endif  // TRESSEL_HOST_HOSTSTATE_H
