// TVector, CChunkList and the vector helpers on the counting allocator of a
// fake current call: growth, truncation, removal, copying, chunking, flag
// removal, release of owned maps, and refused memory.
#include <stdint.h>

#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "base/ChunkList.h"
#include "base/TVector.h"
#include "base/VectorOps.h"
#include "plugin/HostMemory.h"
#include "tests/support/FakeTask.h"

namespace {

struct Facet {
  uint32_t flags;
  int32_t id;
};

// Shaped like the mesh maps: per-facet entries, own blocks, Free().
struct Map {
  TVector<int> facets;
  TVector<int> points;
  int* freeCalls;
  void Free() {
    ++*freeCalls;
    points.Free();
    facets.Free();
  }
};

template <typename T>
std::vector<int> Ids(const TVector<T>& v) {
  std::vector<int> ids;
  for (size_t i = 0; i < v.count; ++i) ids.push_back(int(v[i]));
  return ids;
}
std::vector<int> Ids(const TVector<Facet>& v) {
  std::vector<int> ids;
  for (size_t i = 0; i < v.count; ++i) ids.push_back(v[i].id);
  return ids;
}

void Fill(TVector<int>& v, int n) {
  for (int i = 0; i < n; ++i) *v.ElemNew() = i;
}

TVector<Facet>& Facets(TVector<Facet>& v, const std::vector<uint32_t>& flags) {
  for (size_t i = 0; i < flags.size(); ++i) *v.ElemNew() = Facet{flags[i], int32_t(i)};
  return v;
}

TEST(TVectorTest, CapacityGrowsByHalfAndAllocateTruncates) {
  FakeTask task;
  {
    TVector<int> v;
    ASSERT_TRUE(v.Allocate(0));
    ASSERT_TRUE(v.Allocate(5));
    EXPECT_EQ(v.capacity, 16u);
    EXPECT_EQ(task.Allocations(), 1u);

    TVector<Facet> grown;
    std::vector<size_t> capacities;
    for (int i = 0; i < 37; ++i) {
      Facet* f = grown.ElemNew();
      EXPECT_EQ(f->flags | uint32_t(f->id), 0u);  // zero even where storage is reused
      *f = Facet{0xFFFFFFFF, i};
      if (capacities.empty() || capacities.back() != grown.capacity) capacities.push_back(grown.capacity);
      if (i == 20) grown.ElemDel(10, 11);
    }
    EXPECT_EQ(capacities, (std::vector<size_t>{16, 24, 36}));
    EXPECT_EQ(grown[10].id, 21);

    ASSERT_TRUE(v.Allocate(30));
    Fill(v, 20);
    ASSERT_TRUE(v.Allocate(10));
    EXPECT_EQ(v.capacity, 16u);
    EXPECT_EQ(Ids(v), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(TVectorTest, ElemDelAndAssignment) {
  FakeTask task;
  {
    TVector<int> v;
    Fill(v, 5);
    v.ElemDel(5, 1);
    v.ElemDel(0, -3);
    v.ElemDel(1, 2);
    EXPECT_EQ(Ids(v), (std::vector<int>{0, 3, 4}));
    v.ElemDel(1, 100);
    EXPECT_EQ(Ids(v), (std::vector<int>{0}));
    EXPECT_EQ(v.capacity, 16u);

    TVector<int> src;
    Fill(src, 40);
    v = src;
    EXPECT_EQ(v.capacity, 40u);
    EXPECT_EQ(Ids(v), Ids(src));
    v = v;
    EXPECT_EQ(v.count, 40u);
    const TVector<int> never;
    v = never;
    EXPECT_EQ(v.items, nullptr);
    EXPECT_EQ(task.LiveBlocks(), 1u);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(TVectorTest, RefusedMemoryRaisesTheMemoryExceptionAndKeepsContents) {
  FakeTask task;
  {
    TVector<int> v;
    Fill(v, 16);
    int* const block = v.items;
    task.FailAllocation(1);
    try {
      v.ElemNew();
      ADD_FAILURE() << "no memory exception";
    } catch (const char* e) {
      EXPECT_STREQ(e, "mem");
    }
    EXPECT_EQ(v.items, block);
    EXPECT_EQ(Ids(v).size(), 16u);
    EXPECT_EQ(v[15], 15);

    task.SetMemoryBudget(task.LiveBytes() + 100);
    EXPECT_THROW(v.Allocate(1000), const char*);
    EXPECT_EQ(v.capacity, 16u);
    CChunkList<int> chunks(1000);
    EXPECT_THROW(chunks.Alloc(), const char*);
    EXPECT_EQ(chunks.first, nullptr);

    // Byte counts a host request cannot carry never reach the host.
    const size_t requests = task.Count(Request::kMemAlloc);
    TVector<double> huge;
    EXPECT_THROW(huge.Allocate(SIZE_MAX / 4), const char*);
    EXPECT_THROW(huge.Allocate(size_t(1) << 29), const char*);
    EXPECT_EQ(task.Count(Request::kMemAlloc), requests);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(ChunkListTest, FiveElementsInChunksOfTwo) {
  FakeTask task;
  {
    CChunkList<double> list(2);
    std::vector<double*> handed;
    for (int i = 0; i < 5; ++i) {
      handed.push_back(list.Alloc());
      ASSERT_NE(handed.back(), nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(handed.back()) % alignof(double), 0u);
      *handed.back() = i;
    }
    EXPECT_EQ(list.ChunkCount(), 3u);
    EXPECT_EQ(list.usedInLast, 1u);
    EXPECT_EQ(task.LiveBlocks(), 3u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(*handed[size_t(i)], i);
    list.Free();
    EXPECT_EQ(task.LiveBlocks(), 0u);
    ASSERT_NE(list.Alloc(), nullptr);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(DelFlagTest, FacetsAndMapEntriesByMask) {
  FakeTask task;
  {
    const std::vector<uint32_t> flags = {0x10, 0, 0x11, 0x01, 0x10};
    TVector<Facet> a, b, c, d, e;
    DelFlag(Facets(a, flags), 0x10, true);
    EXPECT_EQ(Ids(a), (std::vector<int>{1, 3}));
    DelFlag(Facets(b, flags), 0x10, false);
    EXPECT_EQ(Ids(b), (std::vector<int>{0, 2, 4}));
    DelFlag(Facets(c, flags), 0x11, true);
    EXPECT_EQ(Ids(c), (std::vector<int>{0, 1, 3, 4}));
    DelFlag(Facets(d, flags), 0, true);
    EXPECT_EQ(d.count, 0u);
    DelFlag(Facets(e, flags), 0, false);
    EXPECT_EQ(e.count, 5u);

    // Entry 5 has no facet and stays.
    int freeCalls = 0;
    Map map{};
    map.freeCalls = &freeCalls;
    for (int i = 0; i < 6; ++i) *map.facets.ElemNew() = 100 + i;
    TVector<Facet> facets;
    DelFlag(map, Facets(facets, flags), 0x10, true);
    EXPECT_EQ(Ids(map.facets), (std::vector<int>{101, 103, 105}));
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(FreeVecPtrTest, FreesEachMapOnceAndKeepsTheVector) {
  FakeTask task;
  {
    int freeCalls = 0;
    TVector<Map*> maps;
    for (int i = 0; i < 3; ++i) {
      Map* m = nullptr;
      if (i != 1) {
        m = new (MAlloc(sizeof(Map))) Map{};
        m->freeCalls = &freeCalls;
        Fill(m->points, 20);
        Fill(m->facets, 1);
      }
      *maps.ElemNew() = m;
    }
    EXPECT_EQ(task.LiveBlocks(), 7u);
    FreeVecPtr(maps);
    FreeVecPtr(maps);
    EXPECT_EQ(freeCalls, 2);
    EXPECT_EQ(task.LiveBlocks(), 1u);
    EXPECT_EQ(maps.count, 3u);
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

}  // namespace
