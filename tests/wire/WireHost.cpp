#include "tests/wire/WireHost.h"

#include <string.h>

#include <gtest/gtest.h>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"

WireHost::WireHost(uint32_t selector) : task(selector) {
  theModelSetup.creatorCode = kCreatorUnknown;
  theModelSetup.InitMatr();
  theModelSetup.setup.setupTime = 0;
  task.onRequest = [this](uint32_t s, int32_t size, void* record) { return Serve(s, size, record); };
  SyncHeader();
}

WireHost::~WireHost() { task.onRequest = nullptr; }

void WireHost::SetBlock(const std::vector<uint8_t>& bytes) {
  // Exactly as long as the bytes, so that a read past the end is caught.
  block_ = std::vector<uint8_t>(bytes);
  block_.shrink_to_fit();
  hasBlock_ = true;
  SyncHeader();
}

void WireHost::SyncHeader() {
  PluginRecHeader& header = task.Header();
  header.instanceData = hasBlock_ ? block_.data() : nullptr;
  header.instanceDataSize = hasBlock_ ? int32_t(block_.size()) : 0;
}

void* WireHost::Slot() const {
  void* slot = nullptr;
  if (block_.size() >= sizeof slot) memcpy(&slot, block_.data(), sizeof slot);
  return slot;
}

std::vector<uint8_t> WireHost::Stream() const {
  if (block_.size() < sizeof(void*)) return {};
  return std::vector<uint8_t>(block_.begin() + sizeof(void*), block_.end());
}

int32_t WireHost::Command(uint32_t selector) {
  plug->selector = selector;
  plug->status = 0;
  plug->result = 0;
  plug->Run();
  return plug->result;
}

int32_t WireHost::Generate(int groupCount) {
  reinterpret_cast<PluginModelGenerateRec*>(&task.Header())->groupCount =
      groupCount < 0 ? int32_t(groups.size()) : groupCount;
  return Command(Selector::kGenerate);
}

std::vector<Polyline> WireHost::Polylines() const {
  std::set<std::pair<int, int>> joined(segments.begin(), segments.end());
  std::vector<Polyline> lines;
  for (size_t i = 0; i < vertices.size(); ++i) {
    if (i == 0 || !joined.count({vertices[i - 1].index, vertices[i].index})) lines.emplace_back();
    lines.back().points.push_back(vertices[i]);
  }
  return lines;
}

int32_t WireHost::Serve(uint32_t selector, int32_t size, void* record) {
  switch (selector) {
    case Request::kAllocate: {
      EXPECT_EQ(size, int32_t(sizeof(HostAllocateRec)));
      auto* rec = static_cast<HostAllocateRec*>(record);
      if (allocateAnswer) return allocateAnswer;
      EXPECT_EQ(static_cast<void*>(rec->instanceData), hasBlock_ ? block_.data() : nullptr);
      block_.resize(size_t(rec->instanceDataSize));
      block_.shrink_to_fit();
      hasBlock_ = true;
      rec->instanceData = block_.data();
      return 0;
    }
    case Request::kCreator:
      static_cast<HostCreatorRec*>(record)->creator = creatorCode;
      return 0;
    case Request::kGetGroup: {
      auto* rec = static_cast<HostModelGetGroupRec*>(record);
      if (failingGroups.count(rec->index)) return 7;
      if (rec->index < 1 || size_t(rec->index) > groups.size()) return 9;
      const TestMesh& mesh = groups[size_t(rec->index - 1)];
      rec->groupRef = reinterpret_cast<void*>(intptr_t(rec->index));
      rec->flags = 0;
      rec->vertexCount = int32_t(mesh.vertices.size());
      rec->facetCount = int32_t(mesh.facets.size());
      return 0;
    }
    case Request::kGetVertex: {
      auto* rec = static_cast<HostModelGetVertexRec*>(record);
      const TestMesh& mesh = groups[size_t(intptr_t(rec->groupRef) - 1)];
      const Fxyz& p = mesh.vertices.at(size_t(rec->index - 1));
      rec->position[0] = p.x;
      rec->position[1] = p.y;
      rec->position[2] = p.z;
      return 0;
    }
    case Request::kGetFacet: {
      auto* rec = static_cast<HostModelGetFacetRec*>(record);
      const TestMesh& mesh = groups[size_t(intptr_t(rec->groupRef) - 1)];
      const std::vector<int>& corners = mesh.facets.at(size_t(rec->index - 1));
      rec->color = 0;
      rec->count = int16_t(corners.size());
      for (size_t k = 0; k < corners.size() && k < 4; ++k) rec->corners[k] = corners[k] + 1;
      return 0;
    }
    case Request::kDeleteGroup:
      EXPECT_EQ(size, int32_t(sizeof(HostDeleteGroupRec)));
      deletedGroups.push_back(int(intptr_t(static_cast<HostDeleteGroupRec*>(record)->groupRef)));
      return 0;
    case Request::kAddVertex: {
      EXPECT_EQ(size, int32_t(sizeof(HostAddVertexRec)));
      auto* rec = static_cast<HostAddVertexRec*>(record);
      EXPECT_EQ(uint32_t(rec->color), 0xFFFFFFFFu);
      if (addVertexAnswer) return addVertexAnswer;
      AddedVertex v;
      memcpy(v.position, rec->position, sizeof v.position);
      memcpy(v.direction, rec->vectorA, sizeof v.direction);
      memcpy(v.positionB, rec->vectorB, sizeof v.positionB);
      double uvw[3];
      memcpy(uvw, rec->uvw, sizeof uvw);  // packed record: no references into it
      v.u = uvw[0];
      EXPECT_EQ(uvw[1], 0.0);
      EXPECT_EQ(uvw[2], 0.0);
      v.index = 500 + int(vertices.size());  // host numbering, not the module's count
      rec->vertexIndex = v.index;
      vertices.push_back(v);
      return 0;
    }
    case Request::kAddFacet: {
      EXPECT_EQ(size, int32_t(sizeof(HostAddFacetRec)));
      auto* rec = static_cast<HostAddFacetRec*>(record);
      EXPECT_EQ(int(rec->corners), 2);
      EXPECT_EQ(int(rec->vert[2]), 0);
      EXPECT_EQ(int(rec->vert[3]), 0);
      segments.emplace_back(rec->vert[0], rec->vert[1]);
      return 0;
    }
    case Request::kAddChannel: {
      EXPECT_EQ(size, int32_t(sizeof(HostAddChannelRec)));
      auto* rec = static_cast<HostAddChannelRec*>(record);
      EXPECT_EQ(uint32_t(rec->valueType), FourCC("REAL"));
      channelNames.emplace_back(reinterpret_cast<const char*>(rec->name + 1), rec->name[0]);
      channelInitial.push_back(*static_cast<double*>(rec->valuePtr));
      channelSequence.push_back(rec->sequence);
      if (addChannelAnswer) return addChannelAnswer;
      rec->channel = reinterpret_cast<void*>(intptr_t(0x100 + channelNames.size()));
      channelValues[rec->channel] = channelInitial.back();
      return 0;
    }
    case Request::kGetChannel: {
      EXPECT_EQ(size, int32_t(sizeof(HostGetChannelRec)));
      auto* rec = static_cast<HostGetChannelRec*>(record);
      channelTimes.push_back(rec->time);
      auto it = channelValues.find(rec->channel);
      if (it == channelValues.end()) return 11;
      rec->valuePtr = &it->second;
      return 0;
    }
    case Request::kSetChannel: {
      EXPECT_EQ(size, int32_t(sizeof(HostSetChannelRec)));
      auto* rec = static_cast<HostSetChannelRec*>(record);
      EXPECT_EQ(uint32_t(rec->valueType), FourCC("REAL"));
      channelSets.emplace_back(rec->channel, *static_cast<double*>(rec->valuePtr));
      return rec->channel ? 0 : 12;
    }
    case Request::kStatus:
      return 0;
    default:
      ADD_FAILURE() << "unexpected request " << std::hex << selector;
      return 2;
  }
}
