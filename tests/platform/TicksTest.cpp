// The tick clock on every build: sixtieths of a second of real time, and the
// test seam that replaces it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/Platform.h"

namespace {

uint32_t FixedClock() { return 123456u; }

TEST(Ticks, CountsSixtiethsOfASecond) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const uint32_t first = platform::TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const uint32_t last = platform::TickCount();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  // Both clocks run on their own granularity (Windows: the system tick, up to
  // 16 ms), so allow two ticks either way.
  const double expected = seconds * 60.0;
  EXPECT_GE(double(last - first), 30.0 - 2.0);
  EXPECT_LE(double(last - first), expected + 2.0);
}

TEST(Ticks, TestSourceReplacesTheClockUntilCleared) {
  platform::SetTickSourceForTesting(FixedClock);
  EXPECT_EQ(platform::TickCount(), 123456u);
  EXPECT_EQ(platform::TickCount(), 123456u);
  platform::SetTickSourceForTesting(nullptr);
  const uint32_t before = platform::TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_NE(platform::TickCount(), before);
}

}  // namespace
