// Host function lookup on every build: it finds what the executable exports and
// nothing it keeps hidden, and the test resolver takes its place while set.
// This executable is built with hidden visibility, like the module;
// TRESSEL_TEST_EXPORT is the build's export attribute.
#include <gtest/gtest.h>
#include <string.h>

#include "platform/Platform.h"

extern "C" TRESSEL_TEST_EXPORT int32_t TresselLookupTestExported(int32_t x) { return x + 1; }
extern "C" int32_t TresselLookupTestHidden(int32_t x) { return x + 2; }

namespace {

int32_t Resolved(int32_t x) { return x + 3; }

void* TestResolver(const char* name) {
  return strcmp(name, "TresselLookupTestHidden") == 0 ? reinterpret_cast<void*>(&Resolved) : nullptr;
}

typedef int32_t (*Function)(int32_t);

TEST(Lookup, FindsTheExecutablesExportsOnly) {
  void* found = platform::LookupHostFunction("TresselLookupTestExported");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(reinterpret_cast<Function>(found)(1), 2);
  EXPECT_EQ(platform::LookupHostFunction("TresselLookupTestExported"), found);

  // Defined here but not exported: the module's own forwarders are in the same position.
  EXPECT_EQ(TresselLookupTestHidden(0), 2);
  EXPECT_EQ(platform::LookupHostFunction("TresselLookupTestHidden"), nullptr);
  EXPECT_EQ(platform::LookupHostFunction("EI_NoSuchFunction"), nullptr);
}

TEST(Lookup, TestResolverAnswersInsteadOfTheExecutable) {
  platform::SetHostFunctionResolverForTesting(TestResolver);
  void* resolved = platform::LookupHostFunction("TresselLookupTestHidden");
  EXPECT_EQ(platform::LookupHostFunction("TresselLookupTestExported"), nullptr);
  platform::SetHostFunctionResolverForTesting(nullptr);
  ASSERT_NE(resolved, nullptr);
  EXPECT_EQ(reinterpret_cast<Function>(resolved)(1), 4);
  EXPECT_NE(platform::LookupHostFunction("TresselLookupTestExported"), nullptr);
}

}  // namespace
