#include "cli/io/ScratchBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Large buffers start on a large page and hold what is written to every
// element; small ones come from the ordinary heap; growing one keeps what it
// held (elements made from a value are made from it, not left unset).
TEST(ScratchBuffer, LargeAndSmallBuffersHoldTheirElements) {
  cliio::CScratchVector<uint32_t> large(3u << 20);  // 12 MiB
  EXPECT_EQ(reinterpret_cast<uintptr_t>(large.data()) % (uintptr_t(2) << 20), 0u);
  for (size_t i = 0; i < large.size(); ++i) large[i] = uint32_t(i * 2654435761u);
  cliio::CScratchVector<uint32_t> small;
  for (uint32_t i = 0; i < 1000; ++i) small.push_back(i);
  small.resize(600000, 7);  // grows past a large page
  bool held = true;
  for (size_t i = 0; i < large.size(); ++i) held = held && large[i] == uint32_t(i * 2654435761u);
  for (uint32_t i = 0; i < 1000; ++i) held = held && small[i] == i;
  for (size_t i = 1000; i < small.size(); ++i) held = held && small[i] == 7;
  EXPECT_TRUE(held);
}

}  // namespace
