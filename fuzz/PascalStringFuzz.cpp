// Fuzz target: a sequence of operations on PascalString decoded from the
// input: appends (also of the string's own characters), Delete and Insert
// at any position and count, Trim, word extraction, number conversion and
// raw length-prefixed copies. After every operation each string involved
// keeps its length at most 254 with the terminator right after it, and no
// byte outside its 256 bytes is written (each lives in a heap block of exactly
// 256 bytes, so ASan sees any stray write). Appending and Delete are also
// checked against a plain byte-string model.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "base/PascalString.h"
#include "fuzz/FuzzHost.h"

namespace {

class CInput {
 public:
  CInput(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool Empty() const { return p_ == end_; }
  uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  short Short() { return static_cast<short>(uint16_t(Byte()) << 8 | Byte()); }
  double Double() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = bits << 8 | Byte();
    double v;
    memcpy(&v, &bits, sizeof v);
    return v;
  }
  // A NUL-terminated text of up to 300 bytes (longer than a string holds).
  std::string Text() {
    const size_t n = Byte() + (Byte() & 0x3F);
    std::string s;
    for (size_t i = 0; i < n && !Empty(); ++i) {
      const uint8_t c = Byte();
      if (c == 0) break;
      s.push_back(char(c));
    }
    return s;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

void CheckShape(const PascalString& s) {
  FUZZ_CHECK(s.Length() <= PascalString::kMaxLength);
  FUZZ_CHECK(s.Raw()[s.Length() + 1] == 0);
}

std::string Bytes(const PascalString& s) { return std::string(reinterpret_cast<const char*>(s.Raw() + 1), s.Length()); }

// What appending the NUL-terminated text t leaves.
std::string Appended(const std::string& before, const char* t) {
  std::string result = before + std::string(t, strnlen(t, PascalString::kMaxLength));
  if (result.size() > size_t(PascalString::kMaxLength)) result.resize(PascalString::kMaxLength);
  return result;
}

std::string Deleted(const std::string& before, short pos, short n) {
  const int length = int(before.size());
  const int count = n < 0 ? 255 : n;
  const int from = pos < 1 ? 1 : pos;
  if (from > length) return before;
  const int end = from + count < length + 1 ? from + count : length + 1;
  return before.substr(0, size_t(from - 1)) + before.substr(size_t(end - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CInput in(data, size);
  auto s = std::make_unique<PascalString>();
  auto word = std::make_unique<PascalString>();
  for (int step = 0; step < 64 && !in.Empty(); ++step) {
    const std::string before = Bytes(*s);
    switch (in.Byte() % 16) {
      case 0: {
        const std::string t = in.Text();
        *s += t.c_str();
        FUZZ_CHECK(Bytes(*s) == Appended(before, t.c_str()));
        break;
      }
      case 1: {  // the string's own characters from some offset on
        const int offset = in.Byte() % (s->Length() + 1);
        const std::string tail(s->c_str() + offset);
        *s += s->c_str() + offset;
        FUZZ_CHECK(Bytes(*s) == Appended(before, tail.c_str()));
        break;
      }
      case 2:
        *s = in.Text().c_str();
        break;
      case 3: {
        const int offset = in.Byte() % (s->Length() + 1);
        const std::string tail(s->c_str() + offset);
        *s = s->c_str() + offset;
        FUZZ_CHECK(Bytes(*s) == Appended(std::string(), tail.c_str()));
        break;
      }
      case 4: {
        const short pos = in.Short(), n = in.Short();
        s->Delete(pos, n);
        FUZZ_CHECK(Bytes(*s) == Deleted(before, pos, n));
        break;
      }
      case 5: {
        const std::string t = in.Text();
        s->Insert(t.c_str(), in.Short());
        break;
      }
      case 6: {
        const int offset = in.Byte() % (s->Length() + 1);
        s->Insert(s->c_str() + offset, in.Short());
        break;
      }
      case 7: {
        const std::string set = in.Text();
        if (in.Byte() & 1) s->Trim(set.c_str());
        else s->TrimLead(set.c_str());
        FUZZ_CHECK(s->Length() <= int(before.size()));
        break;
      }
      case 8: {
        const std::string delims = in.Text();
        const short n = in.Short();
        PascalString& into = (in.Byte() & 1) ? *s : *word;
        const short at = s->ExtractWord(into, n, delims.c_str());
        FUZZ_CHECK(at >= 0 && at <= int(before.size()));
        if (at > 0) FUZZ_CHECK(before.compare(size_t(at - 1), size_t(into.Length()), Bytes(into)) == 0);
        CheckShape(*word);
        break;
      }
      case 9: {
        const std::string delims = in.Text();
        const short n = in.Short();
        const uint8_t flags = in.Byte();
        s->ExtractLexema(*word, n, delims.c_str(), flags);
        FUZZ_CHECK(s->Length() <= int(before.size()));
        CheckShape(*word);
        break;
      }
      case 10: {
        int v = 1;
        s->GetLong(v);
        double d = 1;
        s->GetDouble(d);
        break;
      }
      case 11: {
        const double x = in.Double();
        s->SetDouble(x, in.Short());
        break;
      }
      case 12: {  // a length-prefixed copy from a 256-byte source
        uint8_t source[256];
        for (uint8_t& b : source) b = in.Byte();
        s->FromPas(source);
        FUZZ_CHECK(s->Length() <= 253);
        FUZZ_CHECK(memcmp(s->Raw() + 1, source + 1, size_t(s->Length())) == 0);
        break;
      }
      case 13: {  // characters (NUL bytes too) written raw, then the length set
        const int n = in.Byte();
        for (int i = 1; i <= 255 && i <= n; ++i) s->Raw()[i] = in.Byte();
        s->SetLen(static_cast<uint8_t>(n));
        FUZZ_CHECK(s->Length() == (n > PascalString::kMaxLength ? PascalString::kMaxLength : n));
        break;
      }
      case 14: {
        auto sum = std::make_unique<PascalString>(*s + *word);
        CheckShape(*sum);
        *s = *sum;
        break;
      }
      case 15: {
        const std::string t = in.Text();
        auto formatted = std::make_unique<PascalString>("%s|%s", t.c_str(), s->c_str());
        CheckShape(*formatted);
        const size_t whole = t.size() + 1 + strlen(s->c_str());
        FUZZ_CHECK(size_t(formatted->Length()) == (whole < 254 ? whole : 254));
        FUZZ_CHECK(s->Pos(t.c_str()) >= 0);
        *word = *formatted;
        break;
      }
    }
    CheckShape(*s);
    CheckShape(*word);
  }
  return 0;
}
