// The command's own readings that decide warnings and names: the selection
// list read as the module reads it, push and scale values, {stem} fields.
#include <gtest/gtest.h>

#include "cli/SelectionCheck.h"
#include "cli/WireOptions.h"

namespace {

TEST(SelectionCheck, FollowsTheModulesReading) {
  struct Case {
    const char* text;
    bool namesAnyNumber;
    std::vector<std::string> skipped;
  };
  const Case cases[] = {
      {"", false, {}},
      {"1, 3 5", true, {}},
      {"4-2", true, {}},
      {"1 - 5", true, {"-"}},  // the lone '-' is a word of its own
      {"*-3", true, {}},
      {"-5", false, {"-5"}},   // a word with '-' needs two numbers
      {"3-", false, {"3-"}},
      {"2-4-9", true, {}},
      {"7x, *y", false, {"7x", "*y"}},
      {"+5", true, {}},
      {"0", false, {}},        // numbers start at 1
      {"*0", false, {}},       // a step of 0 divides nothing
      {"-3--1", true, {}},     // '-' separates: the range 1-3
      {"99999999999", false, {"99999999999"}},
      {"\t1,,2 ", true, {}},
  };
  for (const Case& c : cases) {
    cli::CSelectionCheck check = cli::CheckSelection(c.text);
    EXPECT_EQ(check.namesAnyNumber, c.namesAnyNumber) << "'" << c.text << "'";
    EXPECT_EQ(check.skipped, c.skipped) << "'" << c.text << "'";
  }
}

TEST(WireOptions, PushScaleAndStem) {
  cli::CPushValue push;
  std::string error;
  ASSERT_TRUE(cli::ParsePush("2%", &push, &error));
  EXPECT_TRUE(push.share);
  EXPECT_EQ(push.value, 2.0f);
  ASSERT_TRUE(cli::ParsePush("-0.5", &push, &error));
  EXPECT_FALSE(push.share);
  EXPECT_EQ(push.value, -0.5f);
  for (const char* bad : {"", "%", " 2", "2 %", "2%%", "inf", "1e39", "nan%"}) EXPECT_FALSE(cli::ParsePush(bad, &push, &error)) << bad;
  float scale = 0;
  ASSERT_TRUE(cli::ParseScale("90%", &scale, &error));
  EXPECT_FLOAT_EQ(scale, 0.9f);
  EXPECT_EQ(cli::PushFromShare(1.0f, 3.6973895231702327), 0.036973894f);

  std::string name;
  ASSERT_TRUE(cli::ExpandStem("out/{stem}-{stem}.obj", "a%b", false, &name, &error));
  EXPECT_EQ(name, "out/a%b-a%b.obj");
  ASSERT_TRUE(cli::ExpandStem("{stem}%04d.obj", "a%b", true, &name, &error));
  EXPECT_EQ(name, "a%%b%04d.obj") << "a stem's % is not a conversion";
  ASSERT_TRUE(cli::ExpandStem("a{b.obj {} {Stem} {1}", "x", false, &name, &error));
  EXPECT_EQ(name, "a{b.obj {} {Stem} {1}") << "only a lowercase word in braces is a field";
  EXPECT_FALSE(cli::ExpandStem("{steam}.obj", "x", false, &name, &error));
  EXPECT_NE(error.find("unknown field {steam}"), std::string::npos) << error;
}

}  // namespace
