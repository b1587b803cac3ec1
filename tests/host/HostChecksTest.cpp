// The host's own checks, driven by a scripted stand-in for the module: each
// breach of the protocol must be recorded by name and answered with 3, and
// well-formed requests must be served as the records say.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "host/FileService.h"
#include "host/Host.h"
#include "ui/EIFunctions.h"

namespace {

using host::CHost;

std::function<int32_t(PluginRecHeader&)> gScript;
HostCallbackProc gLastCallback = nullptr;

int32_t ScriptedMain(uint32_t, int32_t, void* record) {
  auto& header = *static_cast<PluginRecHeader*>(record);
  gLastCallback = header.hostCallback;
  return gScript ? gScript(header) : 0;
}

template <typename Rec>
int32_t Ask(PluginRecHeader& header, uint32_t selector, Rec& rec, int32_t size = sizeof(Rec)) {
  return header.hostCallback(selector, size, &rec);
}

class HostChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::CFileService::Instance().Reset();
    host.UseEntry(ScriptedMain);
  }
  void TearDown() override { gScript = nullptr; }

  // The names of the violations seen, then forgets them.
  std::vector<std::string> Seen() {
    std::vector<std::string> names;
    for (auto& violation : host.Violations()) names.push_back(violation.name);
    host.ClearViolations();
    return names;
  }

  CHost host;
};

using Names = std::vector<std::string>;

TEST_F(HostChecksTest, RecordSizeContextAndSelector) {
  int other = host.AddInstance();
  gScript = [&](PluginRecHeader& header) {
    HostModelResetRec reset{header.hostContext};
    EXPECT_EQ(Ask(header, Request::kModelReset, reset), 0);
    EXPECT_EQ(Ask(header, Request::kModelReset, reset, sizeof reset - 1), 3);
    EXPECT_EQ(Ask(header, FourCC("ZZZZ"), reset), 3);
    HostModelResetRec foreign{host.Context(other)};
    EXPECT_EQ(Ask(header, Request::kModelReset, foreign), 3);
    int garbage;
    HostModelResetRec unknown{&garbage};
    EXPECT_EQ(Ask(header, Request::kModelReset, unknown), 3);
    return 0;
  };
  host.Send(Selector::kModelSetup);
  EXPECT_EQ(host.ResetCount(0), 1);
  EXPECT_EQ(host.ResetCount(other), 0);
  EXPECT_EQ(Seen(), (Names{"record size", "unknown request", "hostContext of another call", "unknown hostContext"}));
}

TEST_F(HostChecksTest, RequestAfterTheCommandReturned) {
  host.Send(Selector::kAbout);
  HostModelResetRec reset{host.Context(0)};
  EXPECT_EQ(gLastCallback(Request::kModelReset, sizeof reset, &reset), 3);
  EXPECT_EQ(Seen(), (Names{"request outside a command"}));
}

TEST_F(HostChecksTest, GroupIndicesAndReferences) {
  host::CChildGroup group;
  group.vertices.resize(2);
  group.vertices[1].position = {1, 2, 3};
  group.vertices[1].color = 0x11223344;
  group.facets.push_back(host::Facet({1, 2}));
  host::CHostFacet hostile;
  hostile.count = 7;
  hostile.corners[0] = 99;
  group.facets.push_back(hostile);
  host.AddGroup(group);

  gScript = [&](PluginRecHeader& header) {
    HostModelGetGroupRec get{};
    get.hostContext = header.hostContext;
    get.index = 0;
    EXPECT_EQ(Ask(header, Request::kGetGroup, get), 3);
    get.index = 3;  // the command announced 2
    EXPECT_EQ(Ask(header, Request::kGetGroup, get), 3);
    get.index = 2;  // announced but absent: refused, not a breach
    EXPECT_EQ(Ask(header, Request::kGetGroup, get), host::kRefusedCode);
    get.index = 1;
    EXPECT_EQ(Ask(header, Request::kGetGroup, get), 0);
    EXPECT_EQ(get.vertexCount, 2);
    EXPECT_EQ(get.facetCount, 2);

    HostModelGetVertexRec vertex{};
    vertex.hostContext = header.hostContext;
    vertex.groupRef = get.groupRef;
    vertex.index = 2;
    EXPECT_EQ(Ask(header, Request::kGetVertex, vertex), 0);
    EXPECT_EQ(vertex.position[2], 3.0);
    EXPECT_EQ(vertex.color, 0x11223344u);
    vertex.index = 3;
    EXPECT_EQ(Ask(header, Request::kGetVertex, vertex), 3);
    vertex.index = 1;
    vertex.groupRef = &vertex;
    EXPECT_EQ(Ask(header, Request::kGetVertex, vertex), 3);

    HostModelGetFacetRec facet{};
    facet.hostContext = header.hostContext;
    facet.groupRef = get.groupRef;
    facet.index = 2;
    EXPECT_EQ(Ask(header, Request::kGetFacet, facet), 0);
    EXPECT_EQ(facet.count, 7);
    EXPECT_EQ(facet.corners[0], 99);
    return 0;
  };
  host.Generate(2);
  EXPECT_EQ(Seen(), (Names{"index out of range", "index out of range", "index out of range", "unknown groupRef"}));

  gScript = [&](PluginRecHeader& header) {
    HostModelGetGroupRec get{};
    get.hostContext = header.hostContext;
    get.index = 1;
    EXPECT_EQ(Ask(header, Request::kGetGroup, get), 3);
    return 0;
  };
  host.Send(Selector::kInitialize);
  EXPECT_EQ(Seen(), (Names{"request outside model generation"}));
}

TEST_F(HostChecksTest, GeneratedGeometryGoesToTheDeletedGroup) {
  host.AddGroup(host::CChildGroup{});
  host.AddGroup(host::CChildGroup{});
  gScript = [&](PluginRecHeader& header) {
    HostAddVertexRec vertex{};
    vertex.hostContext = header.hostContext;
    EXPECT_EQ(Ask(header, Request::kAddVertex, vertex), 3);  // no 'DELG' yet

    void* refs[2];
    for (int i = 0; i < 2; ++i) {
      HostModelGetGroupRec get{};
      get.hostContext = header.hostContext;
      get.index = i + 1;
      EXPECT_EQ(Ask(header, Request::kGetGroup, get), 0);
      refs[i] = get.groupRef;
    }
    HostDeleteGroupRec drop{header.hostContext, refs[0]};
    EXPECT_EQ(Ask(header, Request::kDeleteGroup, drop), 0);
    int32_t first[2];
    for (int k = 0; k < 2; ++k) {
      vertex.position[0] = k;
      EXPECT_EQ(Ask(header, Request::kAddVertex, vertex), 0);
      first[k] = vertex.vertexIndex;
    }
    HostAddFacetRec segment{};
    segment.hostContext = header.hostContext;
    segment.corners = 2;
    segment.vert[0] = first[1];
    segment.vert[1] = first[0];
    EXPECT_EQ(Ask(header, Request::kAddFacet, segment), 0);
    segment.corners = 3;
    EXPECT_EQ(Ask(header, Request::kAddFacet, segment), 3);

    drop.groupRef = refs[1];
    EXPECT_EQ(Ask(header, Request::kDeleteGroup, drop), 0);
    EXPECT_EQ(Ask(header, Request::kDeleteGroup, drop), 3);  // twice
    segment.corners = 2;  // the first group's vertices
    EXPECT_EQ(Ask(header, Request::kAddFacet, segment), 3);
    return 0;
  };
  host.Send(Selector::kGenerate);
  EXPECT_EQ(Seen(), (Names{"geometry before DELG", "corner count", "repeated DELG", "unknown vertex index"}));
  const host::CReceivedGeometry& first = host.Received(0);
  EXPECT_TRUE(first.deleted);
  ASSERT_EQ(first.vertices.size(), 2u);
  EXPECT_EQ(first.vertices[1].vertex.position.x, 1.0);
  ASSERT_EQ(first.facets.size(), 1u);
  EXPECT_EQ(first.facets[0].first, 1);
  EXPECT_EQ(first.facets[0].second, 0);
  EXPECT_TRUE(host.Received(1).deleted);
  EXPECT_TRUE(host.Received(1).facets.empty());
}

// Vertex indices are good only in the command that handed them out, also when
// a nested command hands out indices in between or drops the group again.
TEST_F(HostChecksTest, VertexIndicesBelongToTheirCommand) {
  host.AddGroup(host::CChildGroup{});
  int depth = 0;
  int32_t earlier = 0, outer = 0, nested = 0, later = 0;
  auto dropGroupAndAdd = [&](PluginRecHeader& header, int32_t* index) {
    HostModelGetGroupRec get{};
    get.hostContext = header.hostContext;
    get.index = 1;
    EXPECT_EQ(Ask(header, Request::kGetGroup, get), 0);
    HostDeleteGroupRec drop{header.hostContext, get.groupRef};
    EXPECT_EQ(Ask(header, Request::kDeleteGroup, drop), 0);
    HostAddVertexRec vertex{};
    vertex.hostContext = header.hostContext;
    EXPECT_EQ(Ask(header, Request::kAddVertex, vertex), 0);
    *index = vertex.vertexIndex;
  };
  auto segment = [](PluginRecHeader& header, int32_t a, int32_t b) {
    HostAddFacetRec rec{};
    rec.hostContext = header.hostContext;
    rec.corners = 2;
    rec.vert[0] = a;
    rec.vert[1] = b;
    return Ask(header, Request::kAddFacet, rec);
  };
  gScript = [&](PluginRecHeader& header) {
    dropGroupAndAdd(header, &earlier);
    return 0;
  };
  host.Send(Selector::kGenerate);
  gScript = [&](PluginRecHeader& header) {
    if (depth++ > 0) {
      dropGroupAndAdd(header, &nested);
      return 0;
    }
    dropGroupAndAdd(header, &outer);
    host.Send(Selector::kGenerate);
    HostAddVertexRec vertex{};
    vertex.hostContext = header.hostContext;
    EXPECT_EQ(Ask(header, Request::kAddVertex, vertex), 0);
    later = vertex.vertexIndex;
    EXPECT_EQ(segment(header, earlier, later), 3);
    EXPECT_EQ(segment(header, nested, later), 3);
    EXPECT_EQ(segment(header, later + 1, later), 3);
    EXPECT_EQ(segment(header, outer, later), 0);
    return 0;
  };
  host.Send(Selector::kGenerate);
  EXPECT_EQ(Seen(), (Names{"unknown vertex index", "unknown vertex index", "unknown vertex index"}));
  EXPECT_LT(outer, nested);
  EXPECT_LT(nested, later);
  // The nested command's 'DELG' dropped the outer command's first vertex.
  const host::CReceivedGeometry& received = host.Received(0);
  ASSERT_EQ(received.vertices.size(), 2u);
  EXPECT_EQ(received.vertices[0].hostIndex, nested);
  ASSERT_EQ(received.facets.size(), 1u);
  EXPECT_EQ(received.facets[0].first, -1);
  EXPECT_EQ(received.facets[0].second, 1);
}

TEST_F(HostChecksTest, MemoryLedgerAndLeaks) {
  void* kept = nullptr;
  gScript = [&](PluginRecHeader& header) {
    HostMemAllocRec alloc{header.hostContext, 0, nullptr};
    EXPECT_EQ(Ask(header, Request::kMemAlloc, alloc), 3);
    alloc.byteCount = 100;
    EXPECT_EQ(Ask(header, Request::kMemAlloc, alloc), 0);
    EXPECT_NE(alloc.block, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(alloc.block)[99], host::CMemoryLedger::kFreshByte);
    HostMemFreeRec release{header.hostContext, alloc.block};
    EXPECT_EQ(Ask(header, Request::kMemFree, release), 0);
    EXPECT_EQ(Ask(header, Request::kMemFree, release), 3);  // twice
    alloc.block = nullptr;
    alloc.byteCount = 24;
    EXPECT_EQ(Ask(header, Request::kMemAlloc, alloc), 0);
    kept = alloc.block;
    return 0;
  };
  host.Send(Selector::kInitialize);
  EXPECT_EQ(Seen(), (Names{"byte count", "release of a block not live", "leak"}));
  EXPECT_EQ(host.Memory().LiveBlocks(), 1u);
  EXPECT_EQ(host.Memory().PeakBytes(), 100u);

  // Releasing the leaked block later is allowed, and the leak is not counted again.
  gScript = [&](PluginRecHeader& header) {
    HostMemFreeRec release{header.hostContext, kept};
    EXPECT_EQ(Ask(header, Request::kMemFree, release), 0);
    return 0;
  };
  host.Send(Selector::kFinish);
  EXPECT_TRUE(Seen().empty());
  EXPECT_EQ(host.Memory().LiveBlocks(), 0u);
}

TEST_F(HostChecksTest, BudgetAndPlannedFailures) {
  host.Faults().RefuseMemoryPast(150);
  host.Faults().FailRequest(Request::kModelReset, 2, 17);
  std::vector<int32_t> answers;
  gScript = [&](PluginRecHeader& header) {
    HostMemAllocRec alloc{header.hostContext, 100, nullptr};
    answers.push_back(Ask(header, Request::kMemAlloc, alloc));
    HostMemAllocRec more{header.hostContext, 100, nullptr};
    answers.push_back(Ask(header, Request::kMemAlloc, more));
    HostMemFreeRec release{header.hostContext, alloc.block};
    Ask(header, Request::kMemFree, release);
    HostModelResetRec reset{header.hostContext};
    for (int k = 0; k < 3; ++k) answers.push_back(Ask(header, Request::kModelReset, reset));
    return 0;
  };
  host.Send(Selector::kModelSetup);
  EXPECT_EQ(answers, (std::vector<int32_t>{0, host::kNoMemoryCode, 0, 17, 0}));
  EXPECT_TRUE(host.Clean()) << host.ViolationReport();
}

TEST_F(HostChecksTest, InstanceBlocksMoveAndKeepTheirContent) {
  host.SetInstanceData(0, {1, 2, 3, 4});
  gScript = [&](PluginRecHeader& header) {
    HostAllocateRec resize{header.hostContext, header.instanceData, 8, header.auxData, 3};
    EXPECT_EQ(Ask(header, Request::kAllocate, resize), 0);
    EXPECT_NE(resize.instanceData, header.instanceData);
    EXPECT_EQ(resize.instanceDataSize, 8);
    EXPECT_EQ(std::memcmp(resize.instanceData, "\x01\x02\x03\x04", 4), 0);
    // The old pointers are stale now.
    HostAllocateRec stale{header.hostContext, header.instanceData, 8, resize.auxData, 3};
    EXPECT_EQ(Ask(header, Request::kAllocate, stale), 3);
    return 0;
  };
  host.Send(Selector::kInitialize);
  EXPECT_EQ(Seen(), (Names{"stale instance block"}));
  EXPECT_EQ(host.InstanceData(0).size(), 8u);
  EXPECT_EQ(host.AuxData(0).size(), 3u);
  int copy = host.DuplicateInstance(0);
  EXPECT_EQ(host.InstanceData(copy), host.InstanceData(0));
}

TEST_F(HostChecksTest, ChannelsInterpolateBetweenKeys) {
  host::CChannel channel;
  channel.initial = 7;
  EXPECT_EQ(channel.ValueAt(3), 7.0);
  channel.SetKey(0, 1);
  channel.SetKey(10, 3);
  EXPECT_EQ(channel.ValueAt(5), 2.0);
  EXPECT_EQ(channel.ValueAt(-5), 1.0);
  EXPECT_EQ(channel.ValueAt(10), 3.0);
  EXPECT_EQ(channel.ValueAt(99), 3.0);

  gScript = [&](PluginRecHeader& header) {
    double initial = 2.5;
    HostAddChannelRec add{};
    add.hostContext = header.hostContext;
    add.sequence = 1;
    add.valueType = FourCC("REAL");
    add.name[0] = 4;
    std::memcpy(add.name + 1, "Push", 4);
    add.valuePtr = &initial;
    EXPECT_EQ(Ask(header, Request::kAddChannel, add), 0);
    double value = 4.5;
    HostSetChannelRec set{header.hostContext, add.channel, 1, FourCC("REAL"), 20, &value};
    EXPECT_EQ(Ask(header, Request::kSetChannel, set), 0);
    HostSetChannelRec none{header.hostContext, nullptr, 2, FourCC("REAL"), 20, &value};
    EXPECT_EQ(Ask(header, Request::kSetChannel, none), host::kRefusedCode);
    HostGetChannelRec get{header.hostContext, add.channel, 1, FourCC("UINT"), 20, nullptr};
    EXPECT_EQ(Ask(header, Request::kGetChannel, get), 0);
    EXPECT_EQ(*static_cast<double*>(get.valuePtr), 4.5);
    get.channel = &value;
    EXPECT_EQ(Ask(header, Request::kGetChannel, get), 3);
    return 0;
  };
  host.Send(Selector::kInitChannel);
  EXPECT_EQ(Seen(), (Names{"unknown channel"}));
  host::CChannel* push = host.FindChannel(0, "Push");
  ASSERT_NE(push, nullptr);
  EXPECT_EQ(push->initial, 2.5);
  EXPECT_EQ(push->ValueAt(0), 4.5);
}

TEST_F(HostChecksTest, FileReferencesMustBeDestroyed) {
  gScript = [&](PluginRecHeader&) {
    EI_DirectoryRef home = EI_GetHomeDirectory();
    EI_FileRef ref = EI_MakeFileRef(home, "Missing.rsc", FourCC("rsrc"), "rsc");
    EXPECT_NE(ref, nullptr);
    EXPECT_EQ(EI_OpenResourceFile(ref), nullptr);
    EI_DestroyFileRef(ref);
    EI_DestroyFileRef(ref);  // twice
    return 0;
  };
  host.SetHomeDirectory(std::filesystem::temp_directory_path());
  host.Send(Selector::kInitialize);
  EXPECT_EQ(Seen(), (Names{"unknown file reference", "directory reference leak"}));
  EXPECT_EQ(host::CFileService::Instance().LiveDirectoryRefs(), 0u);
}

TEST_F(HostChecksTest, TraceRecordsKeyFields) {
  host.EnableTrace(true);
  gScript = [&](PluginRecHeader& header) {
    HostMemAllocRec alloc{header.hostContext, 64, nullptr};
    Ask(header, Request::kMemAlloc, alloc);
    HostMemFreeRec release{header.hostContext, alloc.block};
    Ask(header, Request::kMemFree, release);
    return 0;
  };
  host.Send(Selector::kAbout);
  ASSERT_EQ(host.Trace().size(), 2u);
  EXPECT_EQ(host.Trace()[0].selector, Request::kMemAlloc);
  EXPECT_EQ(host.Trace()[0].value, 64);
  EXPECT_EQ(host.Trace()[0].command, Selector::kAbout);
  EXPECT_EQ(host.Trace()[1].ref, host.Trace()[0].ref);
}

}  // namespace
