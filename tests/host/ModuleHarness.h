// Protocol tests: the built module loaded by the substitute host.
//
// The module is the one named by $TRESSEL_MODULE when set (so the suite runs
// against any build), else the one this suite was built with.
#ifndef TRESSEL_TESTS_HOST_MODULEHARNESS_H
#define TRESSEL_TESTS_HOST_MODULEHARNESS_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/FileService.h"
#include "host/Host.h"

#define EXPECT_CLEAN(host) EXPECT_TRUE((host).Clean()) << (host).ViolationReport()

inline std::filesystem::path ModuleUnderTest() {
  const char* chosen = std::getenv("TRESSEL_MODULE");
  if (chosen && *chosen) return chosen;
  return TRESSEL_MODULE_PATH;
}

// A host with the module loaded and a clean slate of file bookkeeping. At the
// end every instance is sent 'FINI' (as a host does when instances go away),
// and no violation may have been seen.
class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::CFileService::Instance().Reset();
    std::string error;
    ASSERT_TRUE(host.LoadModule(ModuleUnderTest(), &error)) << error;
  }
  void TearDown() override {
    if (!host.Module().IsLoaded()) return;
    host.onRequest = nullptr;
    host.Faults().Clear();
    for (int instance = 0; instance < instances; ++instance) host.Send(Selector::kFinish, instance);
    EXPECT_CLEAN(host);
    EXPECT_EQ(host.Memory().LiveBlocks(), 0u);
  }
  int AddInstance() {
    ++instances;
    return host.AddInstance();
  }

  host::CHost host;
  int instances = 1;  // instance 0 comes with the host
};

// One triangle in the z = 0 plane, with every vertex attribute set.
inline host::CChildGroup TriangleGroup() {
  host::CChildGroup group;
  for (int k = 0; k < 3; ++k) {
    host::CHostVertex vertex;
    vertex.position = {double(k == 1), double(k == 2), 0};
    vertex.vectorA = {0, 0, 1};
    vertex.uvw = {double(k) / 2, 0, 0};
    group.vertices.push_back(vertex);
  }
  group.facets.push_back(host::Facet({1, 2, 3}));
  return group;
}

#endif  // TRESSEL_TESTS_HOST_MODULEHARNESS_H
