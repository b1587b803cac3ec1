// Error texts. The texts are Mac Roman bytes in every build.
#include "plugin/ErrorText.h"

#include <string.h>

#include "plugin/PluginTask.h"

CErrorDetail theErr = {0, 0, PascalString()};

const char* GeneralErrorText(uint32_t code) {
  switch (code) {
    case 0: return "No plug-in error";
    case 1: return "Plug-in could not allocate needed memory";
    case 2: return "Unsupported plug-in command was received";
    case 3: return "Incompatible plug-in parameter record was received";
    case 4: return "The user canceled the plug-in operation";
    case 5: return "A plug-in command was received out of sequence";
    case 6: return "Plug-in could not get a required resource";
    case 8: return "A requested plug-in feature or mode is not supported";
    default: return nullptr;
  }
}

void CCustomError::Describe(int code, PascalString& text) {
  switch (code) {
    case 101: text = "Kessik Plug-In can\xD5t find child group(s) geometry"; return;
    case 102: text = "temporary file write error"; return;
    case 103: text = "temporary file read error"; return;
    case 200: text = "invalid source particle lines"; return;
    case 304: text = "All profile groups should have same topology"; return;
    case 350: text = "Child group has no UV's and/or texture uses them"; return;
    case 100: text = PascalString("Vorlan child(%ld) contains particles", long(theErr.childNumber)); return;
    case 300:
    case 301:
    case 302:
    case 303:
    case 400: text = theErr.customMessage; return;
    default: text = PascalString("unknown error (%lu)", static_cast<unsigned long>(static_cast<uint32_t>(code)));
  }
}

int32_t PluginTask::Describe() {
  auto* rec = reinterpret_cast<PluginDescribeRec*>(record);
  PascalString text;
  if (const char* general = GeneralErrorText(static_cast<uint32_t>(rec->code))) {
    text = general;
  } else {
    CCustomError::Describe(rec->code, text);
  }
  memcpy(rec->text, text.Raw(), sizeof rec->text);
  return status;
}
