// WireHost: a small host for white-box tests of the wire generator, on top of
// FakeTask. It keeps the instance data block (resized by 'ALOC'), serves the
// child groups of in-test meshes ('GETG', 'GETV', 'GETF'), records what the
// module sends back ('DELG', 'ADDV', 'ADDF', 'STAT') and keeps channels
// ('ACHN', 'GCHN', 'SCHN').
#ifndef TRESSEL_TESTS_WIRE_WIREHOST_H
#define TRESSEL_TESTS_WIRE_WIREHOST_H

#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/Fxyz.h"
#include "plugin/HostRecords.h"
#include "tests/support/FakeTask.h"

struct TestMesh {
  std::vector<Fxyz> vertices;
  std::vector<std::vector<int>> facets;  // 0-based corners
};

struct AddedVertex {
  double position[3];
  double direction[3];
  double positionB[3];
  double u;
  int index;
};

struct Polyline {
  std::vector<AddedVertex> points;
};

class WireHost {
 public:
  explicit WireHost(uint32_t selector = Selector::kGenerate);
  ~WireHost();

  FakeTask task;

  // The instance data block; absent until SetBlock or an 'ALOC'.
  void SetBlock(const std::vector<uint8_t>& bytes);
  const std::vector<uint8_t>& Block() const { return block_; }
  void* Slot() const;                    // the pointer in the first slot (pointer-sized)
  std::vector<uint8_t> Stream() const;   // the bytes after the slot

  // Runs a command's handler on the task, as Main would dispatch it.
  int32_t Command(uint32_t selector);
  // 'GENM' over the groups (groupCount = number of groups unless given).
  int32_t Generate(int groupCount = -1);

  // Child groups, and what came back.
  std::vector<TestMesh> groups;
  std::set<int> failingGroups;  // 1-based; 'GETG' answers 7
  std::vector<int> deletedGroups;
  std::vector<AddedVertex> vertices;
  std::vector<std::pair<int, int>> segments;
  // Consecutive segments joined into polylines, in order sent.
  std::vector<Polyline> Polylines() const;

  int32_t allocateAnswer = 0;    // nonzero: 'ALOC' refused
  int32_t addVertexAnswer = 0;   // nonzero: every 'ADDV' refused
  uint32_t creatorCode = FourCC("TEST");

  // Channels: name and initial value per 'ACHN'; value per reference.
  std::vector<std::string> channelNames;
  std::vector<double> channelInitial;
  std::vector<int32_t> channelSequence;
  int32_t addChannelAnswer = 0;
  std::map<void*, double> channelValues;
  std::vector<std::pair<void*, double>> channelSets;
  std::vector<int32_t> channelTimes;

 private:
  int32_t Serve(uint32_t selector, int32_t size, void* record);
  void SyncHeader();

  std::vector<uint8_t> block_;
  bool hasBlock_ = false;
};

#endif  // TRESSEL_TESTS_WIRE_WIREHOST_H
