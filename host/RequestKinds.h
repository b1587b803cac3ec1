// The host's requests numbered densely, 0 to kRequestKinds - 1, so that what
// the host keeps per kind (counts, record sizes, fault counts) lives in arrays
// indexed by kind rather than in maps keyed by selector.
#ifndef TRESSEL_HOST_REQUESTKINDS_H
#define TRESSEL_HOST_REQUESTKINDS_H

#include <stdint.h>

#include "plugin/HostRecords.h"

namespace host {

constexpr int kRequestKinds = 15;
constexpr int kNotARequest = -1;

// The selector of each kind, in kind order.
constexpr uint32_t kRequestSelectors[kRequestKinds] = {
    Request::kCreator,    Request::kMemAlloc, Request::kMemFree,   Request::kAllocate, Request::kModelReset,
    Request::kStatus,     Request::kGetGroup, Request::kDeleteGroup, Request::kGetVertex, Request::kGetFacet,
    Request::kAddVertex,  Request::kAddFacet, Request::kAddChannel, Request::kGetChannel, Request::kSetChannel,
};

// A selector's kind is found by a perfect hash: the top four bits of the
// selector times kKindMultiplier differ for all fifteen requests, so one
// multiply, one table load and one compare classify any selector.
constexpr uint32_t kKindMultiplier = 0xEB738F63u;
constexpr uint32_t KindSlot(uint32_t selector) { return uint32_t(selector * kKindMultiplier) >> 28; }

struct CKindTable {
  int8_t kindOfSlot[16];
  bool perfect;  // no two requests share a slot
};
constexpr CKindTable MakeKindTable() {
  CKindTable table{};
  table.perfect = true;
  for (int8_t& kind : table.kindOfSlot) kind = kNotARequest;
  for (int kind = 0; kind < kRequestKinds; ++kind) {
    int8_t& slot = table.kindOfSlot[KindSlot(kRequestSelectors[kind])];
    if (slot != kNotARequest) table.perfect = false;
    slot = int8_t(kind);
  }
  return table;
}
constexpr CKindTable kKindTable = MakeKindTable();
static_assert(kKindTable.perfect, "two requests share a slot: choose another kKindMultiplier");

// The kind of a request selector; kNotARequest for anything else.
constexpr int RequestKind(uint32_t selector) {
  const int kind = kKindTable.kindOfSlot[KindSlot(selector)];
  return kind != kNotARequest && kRequestSelectors[kind] == selector ? kind : kNotARequest;
}
static_assert(RequestKind(Request::kGetVertex) == 8 && RequestKind(Request::kSetChannel) == 14 &&
                  RequestKind(FourCC("GENM")) == kNotARequest,
              "request kinds");

// A kind's bit in a set of kinds (CHost::onRequestKinds); 0 for a selector
// that is no request.
constexpr uint32_t RequestKindBit(uint32_t selector) {
  return RequestKind(selector) == kNotARequest ? 0 : uint32_t(1) << RequestKind(selector);
}
constexpr uint32_t kAllRequestKinds = (uint32_t(1) << kRequestKinds) - 1;
static_assert(kRequestKinds < 32, "a set of kinds is one word");

// This build's record size of each kind (the size argument the host must see).
struct CKindSizes {
  int32_t size[kRequestKinds];
};
constexpr CKindSizes MakeKindSizes() {
  CKindSizes sizes{};
  for (int kind = 0; kind < kRequestKinds; ++kind) sizes.size[kind] = RequestRecordSize(kRequestSelectors[kind]);
  return sizes;
}
constexpr CKindSizes kKindRecordSizes = MakeKindSizes();

}  // namespace host

#endif  // TRESSEL_HOST_REQUESTKINDS_H
