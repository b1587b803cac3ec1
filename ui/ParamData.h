// CParamData: how one dialog control is bound to one program variable (the
// kind of value, where it lives, its limits). Filled afresh by a window's
// GetParam for every transfer; it never owns the variable.
#ifndef TRESSEL_UI_PARAMDATA_H
#define TRESSEL_UI_PARAMDATA_H

#include <stdint.h>

#include "base/PascalString.h"
#include "plugin/HostRecords.h"

class CEIU_Win;

class CParamData {
 public:
  // Type codes and the variable each one binds.
  static constexpr uint32_t kLong = FourCC("LONG");  // int32; value item or decimal text
  static constexpr uint32_t kFlot = FourCC("FLOT");  // float; text item
  static constexpr uint32_t kDoub = FourCC("DOUB");  // double; text item
  static constexpr uint32_t kStrn = FourCC("STRN");  // length byte, characters, NUL; text item
  static constexpr uint32_t kByte = FourCC("BYTE");  // uint8; value item
  static constexpr uint32_t kByt1 = FourCC("BYT1");  // uint8; decimal text
  static constexpr uint32_t kArgb = FourCC("ARGB");  // ARGB; colour button
  static constexpr uint32_t kFlag = FourCC("FLAG");  // bits of an int32; mask = |lower limit value|,
                                                     // shown inverted when the lower limit value is negative

  // A limit argument of exactly this value to a Make operation means no limit.
  static constexpr double kNoLimit = 666.666;

  // Told of each transfer: direction 1 before SetData, 0 after a text GetData.
  typedef intptr_t (*Callback)(int direction, intptr_t user, intptr_t user2);

  uint32_t type = 0;
  void* data = nullptr;           // the variable; not owned
  double* lowerLimit = nullptr;   // &lowerValue, or null for no lower limit
  double* upperLimit = nullptr;   // &upperValue, or null for no upper limit
  double lowerValue = 0;
  double upperValue = 0;
  Callback callback = nullptr;
  intptr_t userValue = 0;
  intptr_t userValue2 = 0;

  CParamData() = default;
  // Copies point their limits at their own values.
  CParamData(const CParamData& other) { *this = other; }
  CParamData& operator=(const CParamData& other);

  // REQUIRES: the variable outlives every transfer through this descriptor.
  void MakeLong(int* variable, double lower, double upper);
  void MakeFlot(float* variable, double lower, double upper);
  // buffer: at least 256 bytes (a PascalString's storage).
  void MakeStr(unsigned char* buffer, double lower, double upper);

  // Whether `text` may stand in the bound edit field while the user types.
  bool Valid(const PascalString& text) const;
  // Text into the variable, clamped to the limits. For 'STRN' with an upper
  // limit the text itself is first cut to (upper - 1) characters. Returns the
  // callback's result, 0 without one.
  intptr_t GetData(PascalString& text);
  // Control `id` of `window` into the variable.
  intptr_t GetData(CEIU_Win* window, short id);
  // The variable into control `id` of `window`.
  void SetData(CEIU_Win* window, short id);

 private:
  void SetLimits(double lower, double upper);
};

#endif  // TRESSEL_UI_PARAMDATA_H
