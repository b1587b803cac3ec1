// One colour per wire group, shared by every output that colours groups (the
// previews, and any writer that stores a colour per group), so the same group
// has the same colour in every file of a run.
#ifndef TRESSEL_CLI_IO_GROUPCOLORS_H
#define TRESSEL_CLI_IO_GROUPCOLORS_H

#include <stddef.h>
#include <stdint.h>

namespace cliio {

struct CGroupColor {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const CGroupColor& other) const {
    return red == other.red && green == other.green && blue == other.blue;
  }
};

// How many groups get colours of their own: group g and g + kDistinctGroupColors
// share one. Every colour is dark and saturated enough to read on white.
constexpr size_t kDistinctGroupColors = 48;

// The colour of the group at 0-based position `index` in the run.
CGroupColor GroupColor(size_t index);

}  // namespace cliio

#endif
