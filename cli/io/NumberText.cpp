// Shortest float text by the Ryu method (Ulf Adams, "Ryu: fast float-to-string
// conversion", PLDI 2018): the float's rounding interval is scaled by a power
// of ten held as a 61-bit fixed-point factor, and digits are dropped while the
// interval still holds a number with fewer of them; the nearest such number
// wins, ties to even. Then the layout std::to_chars chooses when no format is
// given: fixed notation unless scientific is shorter, an integer in fixed
// notation written exactly. Constant time per number; tables of 79 factors,
// computed at compile time.
#include "cli/io/NumberText.h"

#include <string.h>

#include <charconv>

namespace cliio {

namespace {

__extension__ typedef unsigned __int128 CUint128;

constexpr int kMantissaBits = 23;
constexpr int kExponentBias = 127;
constexpr int kInverseFactorBits = 59;  // 2^k / 5^q, scaled to this many bits
constexpr int kFactorBits = 61;         // 5^i, scaled to this many bits
constexpr int kInverseCount = 31;       // q up to log10(2^102)
constexpr int kFactorCount = 48;        // i up to 47 (subnormals)

// ceil(log2(5^e)) for e >= 1, and 1 for e = 0; exact for e <= 3528.
constexpr int32_t Pow5Bits(int32_t e) { return int32_t((uint32_t(e) * 1217359u) >> 19) + 1; }
// floor(log10(2^e)) and floor(log10(5^e)) for 0 <= e <= 1650.
constexpr uint32_t Log10Pow2(int32_t e) { return (uint32_t(e) * 78913u) >> 18; }
constexpr uint32_t Log10Pow5(int32_t e) { return (uint32_t(e) * 732923u) >> 20; }

struct CFactors {
  uint64_t inverse[kInverseCount];  // floor(2^(Pow5Bits(q) - 1 + 59) / 5^q) + 1
  uint64_t power[kFactorCount];     // 5^i scaled into [2^60, 2^61)
};

constexpr CFactors MakeFactors() {
  CFactors factors{};
  CUint128 five = 1;  // 5^i; 5^47 < 2^110
  for (int32_t i = 0; i < kFactorCount; ++i) {
    const int32_t bits = Pow5Bits(i);
    factors.power[i] = bits >= kFactorBits ? uint64_t(five >> (bits - kFactorBits)) : uint64_t(five << (kFactorBits - bits));
    if (i < kInverseCount) {
      const int32_t shift = bits - 1 + kInverseFactorBits;  // at most 128
      // 5^i (i > 0) never divides 2^shift, so 2^shift - 1 has the same quotient.
      const CUint128 numerator = i == 0 ? CUint128(1) << shift
                                        : (shift == 128 ? ~CUint128(0) : (CUint128(1) << shift) - 1);
      factors.inverse[i] = uint64_t(numerator / five) + 1;
    }
    five *= 5;
  }
  return factors;
}

constexpr CFactors kFactors = MakeFactors();

// (m * factor) >> shift, for m < 2^32, factor < 2^64 and 32 < shift < 96.
inline uint32_t MulShift(uint32_t m, uint64_t factor, int32_t shift) {
  const uint64_t low = uint64_t(m) * uint32_t(factor);
  const uint64_t high = uint64_t(m) * uint32_t(factor >> 32);
  return uint32_t(((low >> 32) + high) >> (shift - 32));
}

inline uint32_t Pow5Factor(uint32_t value) {
  uint32_t count = 0;
  while (value % 5 == 0) {
    value /= 5;
    ++count;
  }
  return count;
}

inline bool MultipleOfPow5(uint32_t value, uint32_t p) { return Pow5Factor(value) >= p; }
inline bool MultipleOfPow2(uint32_t value, uint32_t p) { return (value & ((1u << p) - 1)) == 0; }

// The shortest digits that read back to the float, and their power of ten.
struct CDecimal {
  uint32_t digits;
  int32_t exponent;
};

// REQUIRES: a finite, non-zero float's fields.
CDecimal ShortestDecimal(uint32_t mantissa, uint32_t exponent) {
  int32_t e2;
  uint32_t m2;
  if (exponent == 0) {
    e2 = 1 - kExponentBias - kMantissaBits - 2;
    m2 = mantissa;
  } else {
    e2 = int32_t(exponent) - kExponentBias - kMantissaBits - 2;
    m2 = (1u << kMantissaBits) | mantissa;
  }
  const bool even = (m2 & 1) == 0;
  const bool acceptBounds = even;

  // The value and the ends of its rounding interval, times 4 (the lower end is
  // closer below a power of two).
  const uint32_t mv = 4 * m2;
  const uint32_t mp = 4 * m2 + 2;
  const uint32_t mmShift = mantissa != 0 || exponent <= 1;
  const uint32_t mm = 4 * m2 - 1 - mmShift;

  // The three scaled to decimal: vr, vp, vm, times 10^e10.
  uint32_t vr, vp, vm;
  int32_t e10;
  bool vmIsTrailingZeros = false, vrIsTrailingZeros = false;
  uint8_t lastRemovedDigit = 0;
  if (e2 >= 0) {
    const uint32_t q = Log10Pow2(e2);
    e10 = int32_t(q);
    const int32_t k = kInverseFactorBits + Pow5Bits(int32_t(q)) - 1;
    const int32_t i = -e2 + int32_t(q) + k;
    vr = MulShift(mv, kFactors.inverse[q], i);
    vp = MulShift(mp, kFactors.inverse[q], i);
    vm = MulShift(mm, kFactors.inverse[q], i);
    if (q != 0 && (vp - 1) / 10 <= vm / 10) {
      // One removed digit is needed even when the loop below removes none.
      const int32_t l = kInverseFactorBits + Pow5Bits(int32_t(q - 1)) - 1;
      lastRemovedDigit = uint8_t(MulShift(mv, kFactors.inverse[q - 1], -e2 + int32_t(q) - 1 + l) % 10);
    }
    if (q <= 9) {
      // Only one of mp, mv and mm can be a multiple of 5, if any.
      if (mv % 5 == 0) vrIsTrailingZeros = MultipleOfPow5(mv, q);
      else if (acceptBounds) vmIsTrailingZeros = MultipleOfPow5(mm, q);
      else vp -= MultipleOfPow5(mp, q);
    }
  } else {
    const uint32_t q = Log10Pow5(-e2);
    e10 = int32_t(q) + e2;
    const int32_t i = -e2 - int32_t(q);
    const int32_t k = Pow5Bits(i) - kFactorBits;
    int32_t j = int32_t(q) - k;
    vr = MulShift(mv, kFactors.power[i], j);
    vp = MulShift(mp, kFactors.power[i], j);
    vm = MulShift(mm, kFactors.power[i], j);
    if (q != 0 && (vp - 1) / 10 <= vm / 10) {
      j = int32_t(q) - 1 - (Pow5Bits(i + 1) - kFactorBits);
      lastRemovedDigit = uint8_t(MulShift(mv, kFactors.power[i + 1], j) % 10);
    }
    if (q <= 1) {
      // mv has at least q trailing zero bits; mm and mp are odd or have one.
      vrIsTrailingZeros = true;
      if (acceptBounds) vmIsTrailingZeros = mmShift == 1;
      else --vp;
    } else if (q < 31) {
      vrIsTrailingZeros = MultipleOfPow2(mv, q - 1);
    }
  }

  // Drop digits while the interval holds a shorter number.
  int32_t removed = 0;
  // One digit less of all three, remembering the one vr loses.
  auto dropDigit = [&] {
    lastRemovedDigit = uint8_t(vr % 10);
    vr /= 10;
    vp /= 10;
    vm /= 10;
    ++removed;
  };
  uint32_t output;
  if (vmIsTrailingZeros || vrIsTrailingZeros) {
    while (vp / 10 > vm / 10) {
      vmIsTrailingZeros &= vm % 10 == 0;
      vrIsTrailingZeros &= lastRemovedDigit == 0;
      dropDigit();
    }
    if (vmIsTrailingZeros) {
      while (vm % 10 == 0) {
        vrIsTrailingZeros &= lastRemovedDigit == 0;
        dropDigit();
      }
    }
    // Exactly halfway (...50...0): round to even.
    if (vrIsTrailingZeros && lastRemovedDigit == 5 && vr % 2 == 0) lastRemovedDigit = 4;
    output = vr + ((vr == vm && (!acceptBounds || !vmIsTrailingZeros)) || lastRemovedDigit >= 5);
  } else {
    while (vp / 10 > vm / 10) dropDigit();
    output = vr + (vr == vm || lastRemovedDigit >= 5);
  }
  return CDecimal{output, e10 + removed};
}

// Writes the `length` digits of `value` (length 1 to 9, value < 10^length)
// with a point after the first `point` of them (none when point >= length)
// and returns the end. Digits go out as whole words, each byte stored once and
// never read back (a load of bytes stored piecemeal stalls); up to 9 bytes
// past the end are overwritten.
inline char* PutDigits(char* at, uint32_t value, int32_t length, int32_t point) {
  if (length == 9) {
    const uint32_t first = value / 100000000;
    *at++ = char('0' + first);
    value -= first * 100000000;
    length = 8;
    if (--point == 0) *at++ = '.';
  }
  const uint64_t chars = digits::Eight(value) >> (8 * (8 - length));
  digits::Store8(at, chars);
  if (point <= 0 || point >= length) return at + length;
  digits::Store8(at + point + 1, chars >> (8 * point));
  at[point] = '.';
  return at + length + 1;
}

}  // namespace

char* WriteShortest(char* at, float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  const uint32_t mantissa = bits & ((1u << kMantissaBits) - 1);
  const uint32_t exponent = (bits >> kMantissaBits) & 0xFF;
  if (exponent == 0xFF) return std::to_chars(at, at + kMaxNumberText, value).ptr;
  if (bits >> 31) *at++ = '-';
  if (exponent == 0 && mantissa == 0) {
    *at++ = '0';
    return at;
  }
  const CDecimal decimal = ShortestDecimal(mantissa, exponent);
  const int32_t length = digits::Length(decimal.digits);
  const int32_t exp = decimal.exponent;
  // A float's scientific exponent (-45 to 38) always takes two digits.
  const int32_t scientificLength = length + (length > 1 ? 1 : 0) + 4;
  const int32_t whole = length + exp;  // digits before the point in fixed notation
  const int32_t fixedLength = exp >= 0 ? whole : whole > 0 ? length + 1 : 2 - exp;
  if (fixedLength <= scientificLength) {
    if (exp > 0) {
      // An integer (a float whose interval holds a multiple of ten is one,
      // below 1e15): its exact value, as fixed notation does.
      return WriteDecimal(at, uint64_t(bits >> 31 ? -value : value));
    }
    if (whole > 0) return PutDigits(at, decimal.digits, length, whole);  // ddd.ddd or ddd
    // 0.000ddd: at most three zeros after the point (one more and scientific
    // notation is shorter); four are stored, the digits overwrite the rest.
    memcpy(at, "0.0000", 6);
    return PutDigits(at + 2 - whole, decimal.digits, length, length);
  }
  // d.ddde±XX
  at = PutDigits(at, decimal.digits, length, 1);
  int32_t scientific = exp + length - 1;
  *at++ = 'e';
  *at++ = scientific < 0 ? '-' : '+';
  if (scientific < 0) scientific = -scientific;
  memcpy(at, digits::kPairs + 2 * scientific, 2);
  return at + 2;
}

}  // namespace cliio
