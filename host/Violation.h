// A breach of the protocol by the module, as the host saw it.
#ifndef TRESSEL_HOST_VIOLATION_H
#define TRESSEL_HOST_VIOLATION_H

#include <stdint.h>

#include <string>

namespace host {

struct CViolation {
  std::string name;      // short kind: "record size", "index out of range", "leak", ...
  uint32_t selector;     // the request (or command) concerned; 0 for file functions
  std::string detail;    // what exactly was wrong
  std::string Text() const;
};

// "'GETV'" for a printable four-char code, else "0x47455456".
std::string CodeText(uint32_t code);

}  // namespace host

#endif  // TRESSEL_HOST_VIOLATION_H
