// The commands' minimum record sizes, written from the protocol's table rather
// than taken from the shared record header (plugin/HostRecords.h), so that a
// mistake made in both the header and the module still shows where these are
// checked: `tressel validate` and the protocol tests.
#ifndef TRESSEL_HOST_COMMANDSIZES_H
#define TRESSEL_HOST_COMMANDSIZES_H

#include <stdint.h>

#include <vector>

#include "plugin/HostRecords.h"

namespace host {

struct CCommandSize {
  uint32_t selector;
  int32_t macSize, win64Size, win32Size;  // macOS layout (also Linux), Win64, Win32
  int32_t ThisBuild() const { return TRESSEL_ABI3(macSize, win64Size, win32Size); }
};

inline const std::vector<CCommandSize>& CommandSizes() {
  static const std::vector<CCommandSize> sizes = {
      {FourCC("ABOU"), 40, 48, 24},    {FourCC("BMAP"), 52, 64, 32}, {FourCC("CHEK"), 44, 56, 28},
      {FourCC("DESC"), 300, 312, 284}, {FourCC("FCHN"), 40, 48, 24}, {FourCC("FINI"), 40, 48, 24},
      {FourCC("GATR"), 52, 64, 32},    {FourCC("GBLR"), 52, 64, 32}, {FourCC("GENM"), 48, 56, 32},
      {FourCC("GINF"), 52, 64, 32},    {FourCC("ICHN"), 64, 72, 48}, {FourCC("INFO"), 1076, 1088, 1060},
      {FourCC("INIT"), 40, 48, 24},    {FourCC("INTF"), 40, 48, 24}, {FourCC("LCHN"), 68, 80, 56},
      {FourCC("PINF"), 128, 136, 88},  {FourCC("RMAP"), 52, 64, 32}, {FourCC("SETM"), 828, 840, 816},
      {FourCC("TMAP"), 52, 64, 32},    {FourCC("UCHN"), 64, 72, 48},
  };
  return sizes;
}

}  // namespace host

#endif  // TRESSEL_HOST_COMMANDSIZES_H
