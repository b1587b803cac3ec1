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

// The kind of a request selector; kNotARequest for anything else.
constexpr int RequestKind(uint32_t selector) {
  switch (selector) {
    case Request::kCreator: return 0;
    case Request::kMemAlloc: return 1;
    case Request::kMemFree: return 2;
    case Request::kAllocate: return 3;
    case Request::kModelReset: return 4;
    case Request::kStatus: return 5;
    case Request::kGetGroup: return 6;
    case Request::kDeleteGroup: return 7;
    case Request::kGetVertex: return 8;
    case Request::kGetFacet: return 9;
    case Request::kAddVertex: return 10;
    case Request::kAddFacet: return 11;
    case Request::kAddChannel: return 12;
    case Request::kGetChannel: return 13;
    case Request::kSetChannel: return 14;
    default: return kNotARequest;
  }
}

}  // namespace host

#endif  // TRESSEL_HOST_REQUESTKINDS_H
