// The matrix inverse and the setup block.
#include <gtest/gtest.h>
#include <string.h>

#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "tests/support/FakeTask.h"

namespace {

void ExpectMatrix(const double* actual, const double* expected) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-12) << "element " << i;
}

TEST(InvertMatrix4, KnownInverses) {
  double identity[16];
  InitMatrix4(identity);
  double out[16];
  InvertMatrix4(out, identity);
  ExpectMatrix(out, identity);

  // Rows 0 and 1 swapped: a zero pivot in the first column; its own inverse.
  const double swap[16] = {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  InvertMatrix4(out, swap);
  ExpectMatrix(out, swap);

  const double scaled[16] = {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 1, 2, 3, 1};
  const double inverse[16] = {0.5, 0, 0, 0, 0, 0.25, 0, 0, 0, 0, 0.125, 0, -0.5, -0.5, -0.375, 1};
  InvertMatrix4(out, scaled);
  ExpectMatrix(out, inverse);
}

TEST(InvertMatrix4, ProductWithTheInputIsIdentity) {
  const double m[16] = {3, 1, 0, 2, -1, 4, 2, 0, 0.5, 0, 5, 1, 7, -2, 3, 1};
  double inv[16];
  InvertMatrix4(inv, m);
  double identity[16];
  InitMatrix4(identity);
  double product[16];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += m[r * 4 + k] * inv[k * 4 + c];
      product[r * 4 + c] = sum;
    }
  ExpectMatrix(product, identity);
}

// The back substitution sums the known terms first and takes the sum from b
// once. Subtracting term by term rounds differently on this matrix: elements
// 0, 1, 4 and 5 would end in ...4275, ...8386, ...4165 and ...6211.
TEST(InvertMatrix4, BackSubstitutionFormsTheSumFirst) {
  const double m[16] = {3, 1, 0, 2, -1, 4, 2, 0, 0.5, 0, 5, 1, 7, -2, 3, 1};
  double inv[16];
  InvertMatrix4(inv, m);
  EXPECT_EQ(inv[0], -0.016460905349794237);
  EXPECT_EQ(inv[1], 0.090534979423868359);
  EXPECT_EQ(inv[4], 0.045267489711934158);
  EXPECT_EQ(inv[5], 0.25102880658436216);
}

TEST(InvertMatrix4, OutputMayAliasTheInput) {
  double m[16] = {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 1, 2, 3, 1};
  InvertMatrix4(m, m);
  EXPECT_DOUBLE_EQ(m[0], 0.5);
  EXPECT_DOUBLE_EQ(m[12], -0.5);
}

TEST(SetupBlock, NullInitAfterASetupKeepsTheStoredMatrices) {
  FakeTask task;
  int creatorRequests = 0;
  task.onRequest = [&](uint32_t selector, int32_t size, void* record) -> int32_t {
    if (selector == Request::kCreator) {
      EXPECT_EQ(size, int32_t(sizeof(HostCreatorRec)));
      static_cast<HostCreatorRec*>(record)->creator = FourCC("TEST");
      ++creatorRequests;
    }
    return 0;
  };
  CSetupBlock block;
  // The record is packed: its matrices are filled by copying, not through
  // double references.
  PluginModelSetupRec rec;
  memset(&rec, 0, sizeof rec);
  double matrices[6][16];
  for (auto& m : matrices) InitMatrix4(m);
  matrices[0][0] = 2.0;
  matrices[3][12] = 5.0;
  memcpy(rec.matrices, matrices, sizeof matrices);
  block.Init(&rec);
  EXPECT_EQ(block.creatorCode, FourCC("TEST"));
  EXPECT_DOUBLE_EQ(block.inverse0[0], 0.5);
  block.Init(nullptr);
  EXPECT_DOUBLE_EQ(block.setup.matrices[3][12], 5.0);
  EXPECT_DOUBLE_EQ(block.inverse0[0], 0.5);
  block.Init(&rec);
  EXPECT_EQ(block.Creator(), FourCC("TEST"));
  EXPECT_EQ(creatorRequests, 1);
}

TEST(SetupBlock, FirstNullInitGivesIdentityAndAFailedCreatorLeavesNoError) {
  FakeTask task;
  task.onRequest = [](uint32_t, int32_t, void* record) -> int32_t {
    static_cast<HostCreatorRec*>(record)->creator = FourCC("EIAR");
    return 17;
  };
  CSetupBlock block;
  block.Init(nullptr);
  double identity[16];
  InitMatrix4(identity);
  for (auto& m : block.setup.matrices) ExpectMatrix(m, identity);
  EXPECT_EQ(block.Creator(), FourCC("EIAR"));
  EXPECT_EQ(plug->status, 0);
  EXPECT_EQ(plug->result, 0);
}

}  // namespace
