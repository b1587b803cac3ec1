// Parameter descriptors: checking a field's text while the user types,
// converting control values and texts into the bound variable with clamping
// to the limits, and writing the variable back into the control. Each
// operation is constant work plus one parse or format of at most 254 bytes.
#include "ui/ParamData.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include "base/Fxyz.h"
#include "ui/Window.h"

namespace {

// Truncation toward zero, saturated to the int32 range (limits are doubles).
int32_t TruncateLimit(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

int32_t ClampToByte(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// A real number read from a field: texts that are not finite numbers read
// as 0 ("inf" and "nan" parse, but would poison every value computed from them).
double ReadReal(const PascalString& text, bool* parsed) {
  double v = 0;
  bool ok = text.GetDouble(v);
  if (ok && !isfinite(v)) {
    v = 0;
    ok = false;
  }
  if (parsed) *parsed = ok;
  return v;
}

// The most characters a 'STRN' field may hold with upper limit `upper`.
int StringCapacity(double upper) {
  const double n = floor(upper - 1);
  if (!(n >= 0)) return 0;
  return n > PascalString::kMaxLength ? PascalString::kMaxLength : static_cast<int>(n);
}

}  // namespace

CParamData& CParamData::operator=(const CParamData& other) {
  type = other.type;
  data = other.data;
  lowerValue = other.lowerValue;
  upperValue = other.upperValue;
  lowerLimit = other.lowerLimit ? &lowerValue : nullptr;
  upperLimit = other.upperLimit ? &upperValue : nullptr;
  callback = other.callback;
  userValue = other.userValue;
  userValue2 = other.userValue2;
  return *this;
}

void CParamData::SetLimits(double lower, double upper) {
  callback = nullptr;
  lowerValue = lower;
  upperValue = upper;
  lowerLimit = lower == kNoLimit ? nullptr : &lowerValue;
  upperLimit = upper == kNoLimit ? nullptr : &upperValue;
}

void CParamData::MakeLong(int* variable, double lower, double upper) {
  type = kLong;
  data = variable;
  SetLimits(lower, upper);
}

void CParamData::MakeFlot(float* variable, double lower, double upper) {
  type = kFlot;
  data = variable;
  SetLimits(lower, upper);
}

void CParamData::MakeStr(unsigned char* buffer, double lower, double upper) {
  type = kStrn;
  data = buffer;
  SetLimits(lower, upper);
}

bool CParamData::Valid(const PascalString& text) const {
  // A lower limit of exactly 0 refuses negatives at once; other lower limits
  // are applied only when the value is read back, so that 15 can be typed
  // through 1 when the lower limit is 10.
  const bool refuseNegative = lowerLimit && lowerValue == 0;
  switch (type) {
    case kLong:
    case kByt1: {
      int v = 0;
      if (!text.GetLong(v)) return false;
      if (refuseNegative && v < 0) return false;
      return !upperLimit || v <= upperValue;
    }
    case kDoub:
    case kFlot: {
      bool parsed = false;
      const double v = ReadReal(text, &parsed);
      if (!parsed) return false;
      if (refuseNegative && v < 0) return false;
      return !upperLimit || v <= upperValue;
    }
    case kStrn:
      // Exactly as much as GetData keeps: a character accepted here is never
      // dropped silently when the field is read back.
      return !upperLimit || text.Length() <= StringCapacity(upperValue);
    default:
      return true;
  }
}

intptr_t CParamData::GetData(PascalString& text) {
  if (data) {
    switch (type) {
      case kLong: {
        int v = 0;
        text.GetLong(v);
        if (lowerLimit && v < lowerValue) v = TruncateLimit(lowerValue);
        if (upperLimit && v > upperValue) v = TruncateLimit(upperValue);
        *static_cast<int32_t*>(data) = v;
        break;
      }
      case kDoub:
      case kFlot: {
        double v = ReadReal(text, nullptr);
        if (lowerLimit && v < lowerValue) v = lowerValue;
        if (upperLimit && v > upperValue) v = upperValue;
        if (type == kDoub) {
          *static_cast<double*>(data) = v;
        } else {
          if (v > FLT_MAX) v = FLT_MAX;
          if (v < -FLT_MAX) v = -FLT_MAX;
          *static_cast<float*>(data) = static_cast<float>(v);
        }
        break;
      }
      case kByt1:
      case kByte: {
        // A byte field saturates: 300 reads as 255, never as its low byte 44.
        int v = 0;
        text.GetLong(v);
        int32_t b = ClampToByte(v);
        if (type == kByt1) {
          if (lowerLimit && b < lowerValue) b = ClampToByte(TruncateLimit(lowerValue));
          if (upperLimit && b > upperValue) b = ClampToByte(TruncateLimit(upperValue));
        }
        *static_cast<uint8_t*>(data) = static_cast<uint8_t>(b);
        break;
      }
      case kStrn: {
        if (upperLimit) {
          const int capacity = StringCapacity(upperValue);
          if (text.Length() > capacity) text.SetLen(static_cast<uint8_t>(capacity));
        }
        uint8_t* buffer = static_cast<uint8_t*>(data);
        const int n = text.Length();
        buffer[0] = static_cast<uint8_t>(n);
        memcpy(buffer + 1, text.c_str(), static_cast<size_t>(n));
        buffer[n + 1] = 0;
        break;
      }
      default:
        break;
    }
  }
  return callback ? callback(0, userValue, userValue2) : 0;
}

intptr_t CParamData::GetData(CEIU_Win* window, short id) {
  if (!window->IsControlItem(id)) {
    PascalString text;
    window->GetText(id, text);
    return GetData(text);
  }
  if (!data) return 0;
  switch (type) {
    case kByte:
      *static_cast<uint8_t*>(data) = static_cast<uint8_t>(window->CtrlVal(id) & 0xFF);
      break;
    case kLong:
      *static_cast<int32_t*>(data) = window->CtrlVal(id);
      break;
    case kArgb:
      *static_cast<ARGB*>(data) = window->CtrlValColor(id);
      break;
    case kFlag: {
      bool on = window->CtrlVal(id) != 0;
      if (lowerValue < 0) on = !on;
      const int32_t mask = TruncateLimit(fabs(lowerValue));
      int32_t& bits = *static_cast<int32_t*>(data);
      bits = on ? (bits | mask) : (bits & ~mask);
      break;
    }
    default:
      break;
  }
  return 0;
}

void CParamData::SetData(CEIU_Win* window, short id) {
  if (callback) callback(1, userValue, userValue2);
  if (!data) return;
  if (window->IsControlItem(id)) {
    switch (type) {
      case kByte:
        window->SetCtrlVal(id, *static_cast<const uint8_t*>(data));
        break;
      case kLong:
        window->SetCtrlVal(id, *static_cast<const int32_t*>(data));
        break;
      case kArgb:
        window->SetCtrlValColor(id, *static_cast<const ARGB*>(data));
        break;
      case kFlag: {
        const int32_t mask = TruncateLimit(fabs(lowerValue));
        bool on = (*static_cast<const int32_t*>(data) & mask) != 0;
        if (lowerValue < 0) on = !on;
        window->SetCtrlVal(id, on ? 1 : 0);
        break;
      }
      default:
        break;
    }
    return;
  }
  switch (type) {
    case kLong:
      window->SetLong(id, *static_cast<const int32_t*>(data));
      break;
    case kByt1:
      window->SetLong(id, *static_cast<const uint8_t*>(data));
      break;
    case kDoub:
      window->SetDouble(id, *static_cast<const double*>(data), 5);
      break;
    case kFlot:
      window->SetDouble(id, *static_cast<const float*>(data), 5);
      break;
    case kStrn: {
      const uint8_t* buffer = static_cast<const uint8_t*>(data);
      const int n = buffer[0] > PascalString::kMaxLength ? PascalString::kMaxLength : buffer[0];
      PascalString text;
      memcpy(text.Raw() + 1, buffer + 1, static_cast<size_t>(n));
      text.SetLen(static_cast<uint8_t>(n));
      window->SetText(id, text);
      break;
    }
    default:
      break;
  }
}
