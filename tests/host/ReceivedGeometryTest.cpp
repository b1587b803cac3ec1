// The compact store of received wire vertices gives back every vertex bit for
// bit: the usual ones from floats, any other from its full copy.
#include <gtest/gtest.h>
#include <string.h>

#include <cmath>
#include <limits>

#include "host/Scene.h"

namespace {

host::CHostVertex ModuleVertex(float x, float y, float z, float u) {
  host::CHostVertex vertex;
  vertex.color = 0xFFFFFFFFu;
  vertex.position = {x, y, z};
  vertex.vectorA = {0, 0, 1};
  vertex.vectorB = vertex.position;
  vertex.uvw = {u, 0, 0};
  return vertex;
}

bool SameBits(const host::CHostVertex& a, const host::CHostVertex& b) {
  return a.color == b.color && memcmp(&a.position, &b.position, sizeof a.position) == 0 &&
         memcmp(&a.vectorA, &b.vectorA, sizeof a.vectorA) == 0 && memcmp(&a.vectorB, &b.vectorB, sizeof a.vectorB) == 0 &&
         memcmp(&a.uvw, &b.uvw, sizeof a.uvw) == 0;
}

TEST(ReceivedVertices, EveryVertexReadsBackBitForBit) {
  std::vector<host::CHostVertex> sent;
  sent.push_back(ModuleVertex(0.1f, -0.0f, 1e30f, 0.33333334f));
  sent.push_back(ModuleVertex(-std::numeric_limits<float>::infinity(), 3, 4, 1));
  // Each of these needs the full copy.
  host::CHostVertex doubleValue = ModuleVertex(0, 0, 0, 0);
  doubleValue.position.x = 0.1;
  doubleValue.vectorB.x = 0.1;
  host::CHostVertex nanWithPayload = ModuleVertex(1, 2, 3, 0);
  const uint64_t payload = 0x7FF8000000012345ull;
  memcpy(&nanWithPayload.vectorA.y, &payload, sizeof payload);
  host::CHostVertex ownVectorB = ModuleVertex(1, 2, 3, 0.5f);
  ownVectorB.vectorB = {7, 8, 9};
  host::CHostVertex negativeZeroV = ModuleVertex(1, 2, 3, 0.5f);
  negativeZeroV.uvw.y = -0.0;
  host::CHostVertex beyondFloat = ModuleVertex(1, 2, 3, 0);
  beyondFloat.uvw.x = 1e300;
  host::CHostVertex tiny = ModuleVertex(1, 2, 3, 0);
  tiny.vectorA.z = 4.9e-324;
  for (const host::CHostVertex& v : {doubleValue, nanWithPayload, ownVectorB, negativeZeroV, beyondFloat, tiny}) {
    sent.push_back(v);
    sent.push_back(ModuleVertex(5, 6, 7, 0.25f));  // compact ones in between
  }
  host::CReceivedVertices store;
  for (size_t i = 0; i < sent.size(); ++i) store.Add(sent[i], int32_t(100 + 3 * i));
  ASSERT_EQ(store.size(), sent.size());
  EXPECT_EQ(store.FullCount(), 6u);
  size_t i = 0;
  for (const host::CReceivedVertex& received : store) {
    EXPECT_TRUE(SameBits(received.vertex, sent[i])) << "vertex " << i;
    EXPECT_EQ(received.hostIndex, int32_t(100 + 3 * i));
    EXPECT_EQ(store.HostIndex(i), received.hostIndex);
    EXPECT_TRUE(SameBits(store[i].vertex, sent[i])) << "vertex " << i;
    const host::CVec3 position = store.Position(i);
    EXPECT_EQ(memcmp(&position, &sent[i].position, sizeof position), 0) << i;
    EXPECT_EQ(store.U(i), sent[i].uvw.x) << i;
    ++i;
  }
  EXPECT_EQ(i, sent.size());
  store.clear();
  EXPECT_TRUE(store.empty());
  EXPECT_EQ(store.FullCount(), 0u);
  store.Add(sent[0], 1);
  EXPECT_TRUE(SameBits(store[0].vertex, sent[0]));
}

TEST(ReceivedVertices, RunsOfNormalsColoursAndIndicesReadBackAnywhere) {
  // Rings of four corners sharing a normal; a colour change and two breaks
  // in the host indices (another group's vertices, a nested command's) on the way.
  std::vector<host::CHostVertex> sent;
  std::vector<int32_t> indices;
  int32_t next = 7;
  for (int ring = 0; ring < 3000; ++ring) {
    if (ring == 1000 || ring == 2500) next += 5;
    for (int corner = 0; corner < 4; ++corner) {
      host::CHostVertex vertex = ModuleVertex(float(ring), float(corner), 0.5f, 0.25f * float(corner));
      vertex.vectorA = {0, float(ring % 7) / 7.0f, 1};
      if (ring >= 2000) vertex.color = 0xFF102030u;
      sent.push_back(vertex);
      indices.push_back(next++);
    }
  }
  host::CReceivedVertices store;
  for (size_t i = 0; i < sent.size(); ++i) store.Add(sent[i], indices[i]);
  EXPECT_EQ(store.FullCount(), 0u);
  EXPECT_EQ(store.RunCount(), 3000u + 2u + 3u);  // normals; colours; host indices
  // Backwards, so that every lookup but the first searches the runs.
  for (size_t i = sent.size(); i-- > 0;) {
    const host::CReceivedVertex received = store[i];
    ASSERT_TRUE(SameBits(received.vertex, sent[i])) << "vertex " << i;
    ASSERT_EQ(received.hostIndex, indices[i]) << "vertex " << i;
    ASSERT_EQ(store.HostIndex(i), indices[i]) << "vertex " << i;
  }
  // A vertex kept in full between compact ones leaves their runs as they were.
  host::CHostVertex odd = sent[1];
  odd.vectorA.x = 0.1;
  store.Add(odd, next++);
  store.Add(sent[5], next++);
  const size_t last = store.size() - 1;
  EXPECT_TRUE(SameBits(store[last - 1].vertex, odd));
  EXPECT_TRUE(SameBits(store[last].vertex, sent[5]));
  EXPECT_EQ(store.HostIndex(last), next - 1);
}

TEST(BlockList, GrowsAcrossBlocksWithoutMovingItems) {
  host::CBlockList<int32_t, 3> list;  // blocks of 8
  std::vector<const int32_t*> addresses;
  for (int32_t i = 0; i < 50; ++i) {
    list.push_back(i * 7);
    addresses.push_back(&list[size_t(i)]);
  }
  ASSERT_EQ(list.size(), 50u);
  int32_t expected = 0;
  for (int32_t value : list) EXPECT_EQ(value, 7 * expected++);
  EXPECT_EQ(expected, 50);
  for (size_t i = 0; i < addresses.size(); ++i) EXPECT_EQ(addresses[i], &list[i]) << "item " << i << " moved";
  EXPECT_EQ(list.back(), 343);
  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(list.begin() == list.end());
}

}  // namespace
