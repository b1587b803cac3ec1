// Fuzz target: any bytes as an instance data block of any size, handed to
// CWireTag::Get1Wire. The tag must hold exactly what an independent decoder
// reads from the block (or the defaults), its fields must be sane, and the
// block the module writes back must decode to the same settings, also when
// a fresh instance is rebuilt from it. ASan reports any read past the block.
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "fuzz/FuzzHost.h"
#include "plugin/PluginTask.h"
#include "plugin/SetupBlock.h"
#include "wire/WireTag.h"

namespace {

struct Settings {
  int32_t mode = CWireTag::kModePolygon;
  uint32_t pushBits = 0x41200000;   // 10.0f
  uint32_t scaleBits = 0x3F800000;  // 1.0f
  int32_t useExclude = 0;
  uint8_t textLength = 0;
  uint8_t text[254] = {};
};

uint32_t Big32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The settings stream at [p, p + n), read the way the documented format
// says; false when it is not a complete stream (the defaults then apply).
bool Decode(const uint8_t* p, size_t n, Settings& out) {
  if (n < 28 || Big32(p) != CWireTag::kMagic) return false;
  const uint32_t stored = Big32(p + 24);
  const size_t length = stored <= 254 ? stored : 254;
  if (n < 28 + length) return false;
  out.mode = int32_t(Big32(p + 8));
  out.pushBits = Big32(p + 12);
  out.scaleBits = Big32(p + 16);
  out.useExclude = int32_t(Big32(p + 20));
  out.textLength = uint8_t(length);
  memcpy(out.text, p + 28, length);
  return true;
}

// What the module must make of a whole block: the stream after an 8-byte slot
// when "WIRE" follows it, otherwise after a 4-byte one.
Settings FromBlock(const uint8_t* p, size_t n) {
  Settings settings;
  static const uint8_t kMagicBytes[4] = {'W', 'I', 'R', 'E'};
  const size_t start = n >= 12 && memcmp(p + 8, kMagicBytes, 4) == 0 ? 8 : 4;
  if (n > start && !Decode(p + start, n - start, settings)) settings = Settings();
  return settings;
}

uint32_t Bits(float f) {
  uint32_t bits;
  memcpy(&bits, &f, sizeof bits);
  return bits;
}

void CheckTag(const CWireTag& tag, const Settings& want, void* context) {
  FUZZ_CHECK(tag.magic == CWireTag::kMagic);
  FUZZ_CHECK(tag.version == CWireTag::kVersion);
  FUZZ_CHECK(tag.owner == context);
  FUZZ_CHECK(tag.excludeText.Length() <= PascalString::kMaxLength);
  FUZZ_CHECK(tag.excludeText.Raw()[tag.excludeText.Length() + 1] == 0);
  for (void* channel : tag.channels) FUZZ_CHECK(channel == nullptr);
  FUZZ_CHECK(tag.mode == want.mode);
  FUZZ_CHECK(Bits(tag.push) == want.pushBits);
  FUZZ_CHECK(Bits(tag.scale) == want.scaleBits);
  FUZZ_CHECK(tag.useExclude == want.useExclude);
  FUZZ_CHECK(tag.excludeText.Length() == want.textLength);
  FUZZ_CHECK(memcmp(tag.excludeText.Raw() + 1, want.text, want.textLength) == 0);
}

// The block as this build writes it: slot = tag, then exactly one stream.
void CheckWrittenBlock(const CFuzzHost& host, const CWireTag* tag, const Settings& want) {
  const std::vector<uint8_t>& block = host.Block();
  FUZZ_CHECK(block.size() == sizeof(void*) + 28 + want.textLength);
  void* slot;
  memcpy(&slot, block.data(), sizeof slot);
  FUZZ_CHECK(slot == tag);
  Settings stored;
  FUZZ_CHECK(Decode(block.data() + sizeof(void*), block.size() - sizeof(void*), stored));
  FUZZ_CHECK(Big32(block.data() + sizeof(void*) + 4) == CWireTag::kVersion);
  FUZZ_CHECK(stored.mode == want.mode && stored.pushBits == want.pushBits && stored.scaleBits == want.scaleBits &&
             stored.useExclude == want.useExclude && stored.textLength == want.textLength &&
             memcmp(stored.text, want.text, want.textLength) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The block is at most what an int32 size can describe; anything libFuzzer
  // hands over fits.
  const Settings want = FromBlock(data, size);
  {
    CFuzzHost host;
    theModelSetup.creatorCode = kCreatorUnknown;
    host.SetBlock(data, size);
    host.Enter(Selector::kGenerate);

    CWireTag* tag = CWireTag::Get1Wire();
    FUZZ_CHECK(tag != nullptr && CWireTag::FindLive(tag) == tag);
    CheckTag(*tag, want, host.Context());
    CheckWrittenBlock(host, tag, want);

    // Found again through the slot, not rebuilt.
    FUZZ_CHECK(CWireTag::Get1Wire() == tag);
    FUZZ_CHECK(CWireTag::LiveCount() == 1);

    // Saving again writes the same block.
    const std::vector<uint8_t> before = host.Block();
    FUZZ_CHECK(tag->SaveSelf());
    FUZZ_CHECK(host.Block() == before);

    // A later session: the slot names nothing live, so the tag is rebuilt
    // from the stream the module wrote, and must come out the same.
    CWireTag::FreeLive(tag);
    const std::vector<uint8_t> saved = host.Block();
    host.SetBlock(saved.data(), saved.size());
    CWireTag* rebuilt = CWireTag::Get1Wire();
    CheckTag(*rebuilt, want, host.Context());
    CheckWrittenBlock(host, rebuilt, want);
    CWireTag::FreeLive(rebuilt);

    // A host that refuses the new size: the tag still comes back, the block
    // is left as it was.
    host.SetBlock(data, size);
    host.allocateAnswer = 1;
    CWireTag* refused = CWireTag::Get1Wire();
    CheckTag(*refused, want, host.Context());
    FUZZ_CHECK(host.Block() == std::vector<uint8_t>(data, data + size));
    CWireTag::FreeLive(refused);

    host.Leave();
    FUZZ_CHECK(CWireTag::LiveCount() == 0);
    FUZZ_CHECK(host.LiveBlocks() == 0);
  }
  return 0;
}
