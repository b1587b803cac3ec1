// Output names for `--frames`: OUT with one integer conversion gives one file
// name per frame ("wires%04d.obj" → "wires0012.obj").
#ifndef TRESSEL_CLI_IO_FRAMEPATTERN_H
#define TRESSEL_CLI_IO_FRAMEPATTERN_H

#include <string>

namespace cliio {

class CFramePattern {
 public:
  // Accepts exactly one conversion %d or %i, with an optional 0 flag and a
  // width of at most 32 ("%d", "%4d", "%04d"); "%%" stands for "%". Any other
  // conversion, none, or more than one is refused with *error naming the
  // pattern. REQUIRES: pattern and error != nullptr.
  static bool Parse(const std::string& text, CFramePattern* pattern, std::string* error);

  // The name for `frame`, formatted as printf would format it.
  std::string NameFor(int frame) const;

 private:
  std::string mPrefix;  // with "%%" already turned into "%"
  std::string mSuffix;
  int mWidth = 0;
  bool mZeroPad = false;
};

}  // namespace cliio

#endif
