// Float text: byte for byte what std::to_chars writes, and reading back to
// the same float, on a sample of every bit pattern and on the edges where
// shortest-digit algorithms go wrong (powers of two and ten, subnormals, the
// fixed/scientific boundary, integers written exactly). TRESSEL_ALL_FLOATS=1
// checks all 2^32 patterns instead of the sample (a few minutes). Integers:
// the same text as std::to_chars at every change of digit count.
#include <float.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "cli/io/NumberText.h"

namespace {

float FromBits(uint32_t bits) {
  float value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

uint32_t BitsOf(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  return bits;
}

// "" when WriteShortest agrees with the library and (when asked) reads back
// exactly, else what went wrong.
std::string Mismatch(uint32_t bits, bool readBack = true) {
  const float value = FromBits(bits);
  char ours[cliio::kMaxNumberText + 16], theirs[64];
  memset(ours, 'x', sizeof ours);
  const char* ourEnd = cliio::WriteShortest(ours, value);
  const char* theirEnd = std::to_chars(theirs, theirs + sizeof theirs, value).ptr;
  const size_t length = size_t(ourEnd - ours);
  if (length == size_t(theirEnd - theirs) && memcmp(ours, theirs, length) == 0 && length <= 15 &&
      (!readBack || !std::isfinite(value) || BitsOf(strtof(std::string(ours, length).c_str(), nullptr)) == bits))
    return "";
  const std::string got(ours, length), expected(theirs, size_t(theirEnd - theirs));
  if (got != expected) return "bits " + std::to_string(bits) + ": wrote " + got + ", the library " + expected;
  if (got.size() > 15) return "bits " + std::to_string(bits) + ": longer than 15: " + got;
  return "bits " + std::to_string(bits) + ": " + got + " reads back as another float";
}

// Checks every pattern from `first` in steps of `step`; stops at 20 faults.
void CheckStride(uint64_t first, uint64_t step, bool readBack, std::vector<std::string>* faults) {
  for (uint64_t bits = first; bits <= UINT32_MAX && faults->size() < 20; bits += step) {
    const std::string fault = Mismatch(uint32_t(bits), readBack);
    if (!fault.empty()) faults->push_back(fault);
  }
}

TEST(ShortestFloat, MatchesTheLibraryOnASampleOfEveryBitPattern) {
  std::vector<std::string> faults;
  if (getenv("TRESSEL_ALL_FLOATS")) {
    // The library's text reads back exactly (the standard says so): equal
    // text is enough here.
    CheckStride(0, 1, false, &faults);
  } else {
    // A prime stride reaches every exponent and sign with varied mantissas.
    CheckStride(0, 4099, true, &faults);
    CheckStride(12345, 65537, true, &faults);
  }
  EXPECT_TRUE(faults.empty()) << faults.front() << " (and " << faults.size() - 1 << " more)";
}

TEST(ShortestFloat, MatchesTheLibraryAtTheHardPlaces) {
  std::vector<uint32_t> centres;
  // Every power of two (the interval is lopsided there) and the float nearest
  // every power of ten (digits carry over), both signs.
  for (uint32_t exponent = 0; exponent < 255; ++exponent) centres.push_back(exponent << 23);
  for (int power = -45; power <= 38; ++power) centres.push_back(BitsOf(std::strtof(("1e" + std::to_string(power)).c_str(), nullptr)));
  // Integers near 2^24 and beyond (written exactly in fixed notation up to
  // 1e14), numbers around the fixed/scientific switch, the smallest and
  // largest floats.
  for (float value : {16777216.0f, 123456792.0f, 1e5f, 1e6f, 99999.99f, 999999.9f, 1.5e9f, 3.4e10f, 1e14f, 1e15f,
                      1e-3f, 1e-4f, 1e-5f, 0.0001234f, 0.00001234f, 123456.7f, FLT_MAX, FLT_MIN, FLT_TRUE_MIN,
                      0.1f, 0.3f, 1.0f / 3.0f, 2.0f / 3.0f})
    centres.push_back(BitsOf(value));
  std::vector<std::string> faults;
  for (uint32_t centre : centres) {
    for (uint32_t sign : {0u, 0x80000000u}) {
      for (int64_t offset = -300; offset <= 300 && faults.size() < 20; ++offset) {
        const int64_t bits = int64_t(centre & 0x7FFFFFFFu) + offset;
        if (bits < 0 || bits >= 0x7F800000) continue;
        const std::string fault = Mismatch(uint32_t(bits) | sign);
        if (!fault.empty()) faults.push_back(fault);
      }
    }
  }
  EXPECT_TRUE(faults.empty()) << faults.front() << " (and " << faults.size() - 1 << " more)";
}

TEST(ShortestFloat, SignedZerosInfinitiesAndNaNsAsTheLibraryWritesThem) {
  for (float value : {0.0f, -0.0f, INFINITY, -INFINITY, NAN, -NAN})
    EXPECT_EQ(Mismatch(BitsOf(value)), "") << value;
  char text[cliio::kMaxNumberText];
  EXPECT_EQ(std::string(text, cliio::WriteShortest(text, -0.0f)), "-0");
  EXPECT_EQ(std::string(text, cliio::WriteShortest(text, 4.84637e-05f)), "4.84637e-05");
  EXPECT_EQ(std::string(text, cliio::WriteShortest(text, 123456792.0f)), "123456792");
}

TEST(Decimal, MatchesTheLibraryAtEveryDigitCount) {
  std::vector<uint64_t> values = {0, UINT32_MAX, UINT64_MAX};
  for (uint64_t power = 10;; power *= 10) {  // 10^1 to 10^19
    values.insert(values.end(), {power - 1, power, power + 1});
    if (power == 10000000000000000000u) break;
  }
  // Spread over the range written a word at a time (below 10^8).
  for (uint64_t value = 0; value < 100000; value += 7) values.push_back(value * 1013);
  for (uint64_t value : values) {
    char ours[cliio::kMaxNumberText], theirs[32];
    const size_t ourLength = size_t(cliio::WriteDecimal(ours, value) - ours);
    const size_t theirLength = size_t(std::to_chars(theirs, theirs + sizeof theirs, value).ptr - theirs);
    EXPECT_EQ(std::string(ours, ourLength), std::string(theirs, theirLength)) << value;
  }
}

}  // namespace
