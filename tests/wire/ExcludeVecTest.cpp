// The selection list: which numbers a list text names.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/wire/WireHost.h"
#include "wire/ExcludeVec.h"

namespace {

// The members among 1..24 (and the negative numbers down to -6).
std::set<int> Members(const char* text) {
  CExcludeVec list;
  PascalString pascal;
  pascal = text;
  list.Init(pascal);
  std::set<int> members;
  for (int n = -6; n <= 24; ++n)
    if (list.Inside(n)) members.insert(n);
  return members;
}

std::set<int> Multiples(int d) {
  std::set<int> members;
  for (int n = -6; n <= 24; ++n)
    if (n % d == 0) members.insert(n);
  return members;
}

}  // namespace

TEST(ExcludeVec, TheDocumentedTexts) {
  WireHost host;
  EXPECT_EQ(Members(""), std::set<int>{});
  EXPECT_EQ(Members("1, 3 5"), (std::set<int>{1, 3, 5}));
  EXPECT_EQ(Members("2-4"), (std::set<int>{2, 3, 4}));
  EXPECT_EQ(Members("4-2"), (std::set<int>{2, 3, 4}));
  EXPECT_EQ(Members("1 - 5"), (std::set<int>{1, 5}));
  EXPECT_EQ(Members("*3"), Multiples(3));
  EXPECT_EQ(Members("*-3"), Multiples(3));
  std::set<int> mixed = Multiples(4);
  mixed.insert({1, 2, 3});
  EXPECT_EQ(Members("1-3,*4"), mixed);
  EXPECT_EQ(Members("3-"), std::set<int>{});
  EXPECT_EQ(Members("2-4-9"), (std::set<int>{2, 3, 4}));
  EXPECT_EQ(Members("7x, *y"), std::set<int>{});
  EXPECT_EQ(Members("+5"), std::set<int>{5});
  EXPECT_EQ(Members("\t6,,\t 8  "), (std::set<int>{6, 8}));
  EXPECT_EQ(host.task.LiveBlocks(), 0u);
}

TEST(ExcludeVec, StepsThatCannotDivideNameNothing) {
  WireHost host;
  EXPECT_EQ(Members("*0"), std::set<int>{});
  EXPECT_EQ(Members("*-"), std::set<int>{});
  EXPECT_EQ(Members("*0, 7"), std::set<int>{7});
  EXPECT_EQ(Members("*-1"), Multiples(1));
  CExcludeVec list;
  PascalString text;
  text = "*-1 *0";
  list.Init(text);
  EXPECT_EQ(list.steps.count, 1u);
  EXPECT_TRUE(list.Inside(INT32_MIN));
  text = "9";
  list.Init(text);  // a second Init replaces the set
  EXPECT_FALSE(list.Inside(3));
  EXPECT_TRUE(list.Inside(9));
}

// Numbers past 32 bits saturate: a range "up to a very large number" names
// every item, whatever the width of the platform's long.
TEST(ExcludeVec, NumbersBeyond32BitsSaturate) {
  WireHost host;
  std::set<int> upward;
  for (int n = 1; n <= 24; ++n) upward.insert(n);
  EXPECT_EQ(Members("1-99999999999"), upward);
  EXPECT_EQ(Members("99999999999-1"), upward);
  upward.erase(upward.begin(), upward.find(5));
  EXPECT_EQ(Members("5-4294967296"), upward);
  {
    CExcludeVec list;
    PascalString text;
    text = "1-99999999999";
    list.Init(text);
    ASSERT_EQ(list.ranges.count, 1u);
    EXPECT_TRUE(list.Inside(INT32_MAX));
    text = "*99999999999, 99999999999";
    list.Init(text);
    EXPECT_TRUE(list.Inside(INT32_MAX));
    EXPECT_FALSE(list.Inside(INT32_MAX - 1));
  }
  EXPECT_EQ(host.task.LiveBlocks(), 0u);
}
