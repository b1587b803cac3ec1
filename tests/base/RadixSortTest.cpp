// RadixSort against std::stable_sort: keys of one to three words, ties kept
// in input order, words that are the same in every record (skipped passes)
// and words that use all 32 bits; the histogram block comes from the host.
#include <stdint.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "base/RadixSort.h"
#include "tests/support/FakeTask.h"

namespace {

struct Record {
  uint32_t key[3];
  int input;  // position before sorting, to see ties kept in order
};

std::vector<Record> Sorted(std::vector<Record> records, int words) {
  std::vector<Record> scratch(records.size());
  switch (words) {
    case 1:
      RadixSort<1>(records.data(), scratch.data(), records.size(), [](const Record& r, int) { return r.key[0]; });
      break;
    case 2:
      RadixSort<2>(records.data(), scratch.data(), records.size(), [](const Record& r, int w) { return r.key[w]; });
      break;
    default:
      RadixSort<3>(records.data(), scratch.data(), records.size(), [](const Record& r, int w) { return r.key[w]; });
  }
  return records;
}

std::vector<Record> Expected(std::vector<Record> records, int words) {
  std::stable_sort(records.begin(), records.end(), [words](const Record& a, const Record& b) {
    for (int w = 0; w < words; ++w)
      if (a.key[w] != b.key[w]) return a.key[w] < b.key[w];
    return false;
  });
  return records;
}

}  // namespace

TEST(RadixSort, MatchesAStableSortOnEveryKeyShape) {
  FakeTask task;
  std::mt19937 random(3);
  // Per word: how many values it takes (1 = the same in every record).
  const std::vector<std::vector<uint32_t>> shapes = {
      {0xFFFFFFFFu}, {5}, {1, 0xFFFFFFFFu}, {3, 3}, {0xFFFFFFFFu, 1, 7}, {1, 1, 1}, {1000, 0xFFFFFFFFu, 2}};
  for (const std::vector<uint32_t>& shape : shapes) {
    const int words = static_cast<int>(shape.size());
    for (size_t n : {size_t(0), size_t(1), size_t(2), size_t(37), size_t(5000)}) {
      std::vector<Record> records(n);
      for (size_t i = 0; i < n; ++i) {
        for (int w = 0; w < 3; ++w) {
          const uint32_t range = w < words ? shape[size_t(w)] : 1;
          records[i].key[w] = range == 0xFFFFFFFFu ? uint32_t(random()) : 0x80000000u + uint32_t(random() % range);
        }
        records[i].input = static_cast<int>(i);
      }
      const std::vector<Record> got = Sorted(records, words);
      const std::vector<Record> want = Expected(records, words);
      ASSERT_EQ(got.size(), want.size());
      for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(got[i].input, want[i].input) << "words " << words << ", n " << n << ", at " << i;
      }
    }
  }
  EXPECT_EQ(task.LiveBlocks(), 0u);
}

TEST(RadixSort, RefusedHistogramIsTheMemoryException) {
  FakeTask task;
  std::vector<Record> records(10, Record{{2, 0, 0}, 0});
  records[3].key[0] = 1;
  std::vector<Record> scratch(records.size());
  task.FailAllocation(1);
  EXPECT_THROW(RadixSort<1>(records.data(), scratch.data(), records.size(),
                            [](const Record& r, int) { return r.key[0]; }),
               const char*);
  EXPECT_EQ(task.LiveBlocks(), 0u);
}
