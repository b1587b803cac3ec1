// A deliberately faulty module for the validate command's tests: it loads the
// real module and passes every command through, except for the one fault that
// $TRESSEL_BROKEN names:
//   short-desc  'DESC' records one byte short are answered 0 instead of 3
//   init-leak   'INIT' keeps one 'MMAL' block it never frees
//   abort-genm  'GENM' aborts the process
// Anything else (or nothing) is a faithful pass-through.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "plugin/HostRecords.h"

namespace {

using MainProc = int32_t (*)(uint32_t, int32_t, void*);

struct CRealModule {
  CRealModule() {
    handle = ::dlopen(TRESSEL_REAL_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (handle) entry = reinterpret_cast<MainProc>(::dlsym(handle, "Main"));
  }
  ~CRealModule() {
    if (handle) ::dlclose(handle);
  }
  void* handle = nullptr;
  MainProc entry = nullptr;
};

CRealModule theReal;

bool Fault(const char* name) {
  const char* chosen = std::getenv("TRESSEL_BROKEN");
  return chosen && std::strcmp(chosen, name) == 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t Main(uint32_t selector, int32_t size, void* record) {
  if (!theReal.entry) return 6;
  if (selector == Selector::kDescribe && size == int32_t(sizeof(PluginDescribeRec)) - 1 && Fault("short-desc")) return 0;
  if (selector == Selector::kGenerate && Fault("abort-genm")) std::abort();
  int32_t answer = theReal.entry(selector, size, record);
  if (selector == Selector::kInitialize && Fault("init-leak")) {
    auto* header = static_cast<PluginRecHeader*>(record);
    HostMemAllocRec rec{};
    rec.hostContext = header->hostContext;
    rec.byteCount = 16;
    header->hostCallback(Request::kMemAlloc, sizeof rec, &rec);
  }
  return answer;
}
