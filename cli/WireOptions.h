// The values of `tressel wire`'s flags as people type them: mode names,
// push as a distance or as a share of the model's size, scale as a factor or a
// percentage, and output names with a {stem} field for one output per input.
// Each parser returns false with *error, one line naming the flag, on a value
// it does not accept.
#ifndef TRESSEL_CLI_WIREOPTIONS_H
#define TRESSEL_CLI_WIREOPTIONS_H

#include <stdint.h>

#include <string>

namespace cli {

// "0", "1", "2" or their names "rings", "borders", "welded".
bool ParseWireMode(const std::string& text, int32_t* mode, std::string* error);
// The name of a mode for people: "rings", "borders", "welded", else the number.
std::string WireModeName(int32_t mode);

// A push: an absolute distance ("0.05", "-2") or a share of the model's size
// ("2%"). The value must be finite in single precision.
struct CPushValue {
  float value = 0;     // the distance, or the percentage when share is true
  bool share = false;
};
bool ParsePush(const std::string& text, CPushValue* push, std::string* error);

// A scale factor ("0.9") or a percentage of the size ("90%", 0.9).
bool ParseScale(const std::string& text, float* scale, std::string* error);

// Without --push and without a scene, the push is this share (percent) of
// the model's size: far enough off the surface that rings of neighbouring
// facets and the surface itself do not coincide, close enough that the wires
// still outline the mesh.
constexpr float kDefaultPushShare = 1.0f;

// A share of the model's size as a distance: percent / 100 * size, in single
// precision as the module stores it.
float PushFromShare(float percent, double size);

// Output names for one output per input: `{stem}` stands for the input's file
// name without its extension. True when `pattern` holds the field.
bool HasStemField(const std::string& pattern);
// `pattern` with every {stem} replaced by `stem`; `escapePercent` doubles any
// '%' of the stem (for a name that is a frame pattern too). A lowercase word in
// braces is a field: false with *error when it is not {stem} (a typo such as
// "{steam}"); other braces are kept as they are.
bool ExpandStem(const std::string& pattern, const std::string& stem, bool escapePercent, std::string* out,
                std::string* error);

}  // namespace cli

#endif  // TRESSEL_CLI_WIREOPTIONS_H
