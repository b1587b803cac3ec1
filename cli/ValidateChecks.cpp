// The validation battery: each check loads the module into a host of its own,
// drives it through one part of the protocol (sizes, dispatch, texts, nesting,
// resources, generation, host refusals) and compares what it answered and
// requested with what the protocol requires. Cost: one short command sequence
// per check, except the memory sweeps (one 'GENM' per allocation) and the
// progress checks (each waits about 0.75 s for a report to fall due).
#include "cli/ValidateChecks.h"

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

#include "cli/Session.h"
#include "cli/StoredSettings.h"
#include "cli/WireGroups.h"
#include "host/CommandSizes.h"
#include "host/FileService.h"
#include "host/Host.h"
#include "host/MacRoman.h"

namespace cli {
namespace {

constexpr int32_t kRefusal = 42;       // an answer no request ever gives on its own
constexpr int32_t kCancelAnswer = 4;   // "The user canceled the plug-in operation"
constexpr size_t kTagSlotBytes = sizeof(void*);
// A progress report falls due 40 ticks (2/3 s) after an indicator starts; a
// pause this long in the first vertex read makes the next batch report.
constexpr auto kReportPause = std::chrono::milliseconds(750);

// A requirement a check makes; thrown out of the check's body with the line
// that explains it.
struct CCheckFailure {
  std::string detail;
};
struct CCheckSkip {
  std::string reason;
};

void Require(bool holds, const std::string& detail) {
  if (!holds) throw CCheckFailure{detail};
}

std::string Code(uint32_t code) { return host::CodeText(code); }

void RequireClean(const host::CHost& host, const std::string& during) {
  if (host.Clean()) return;
  const auto& violations = host.Violations();
  std::string detail = during + ": host violation: " + violations.front().Text();
  if (violations.size() > 1) detail += " (and " + std::to_string(violations.size() - 1) + " more)";
  throw CCheckFailure{detail};
}

void RequireNoLiveBlocks(const host::CHost& host, const std::string& during) {
  size_t blocks = host.Memory().LiveBlocks();
  Require(blocks == 0, during + ": " + std::to_string(blocks) + " host block(s), " +
                           std::to_string(host.Memory().LiveBytes()) + " bytes, still live");
}

// Runs `body` on a host with a fresh load of the module and fresh file
// bookkeeping; afterwards instance 0 gets 'FINI' (as a host does when the model
// goes away) and the host must have seen no violation.
CCheckResult OnFreshModule(const CValidateSubject& subject, const std::function<std::string(host::CHost&)>& body,
                           const std::filesystem::path& home = {}) {
  host::CFileService::Instance().Reset();
  host::CHost host;
  if (!home.empty()) host.SetHomeDirectory(home);
  std::string error;
  if (!host.LoadModule(subject.module, &error)) return {CheckOutcome::kFailed, error};
  try {
    std::string verified = body(host);
    host.onRequest = nullptr;
    host.Faults().Clear();
    host.Send(Selector::kFinish);
    RequireClean(host, "after 'FINI'");
    return {CheckOutcome::kPassed, verified};
  } catch (const CCheckFailure& failure) {
    return {CheckOutcome::kFailed, failure.detail};
  } catch (const CCheckSkip& skip) {
    return {CheckOutcome::kSkipped, skip.reason};
  }
}

// --- scenes

host::CChildGroup Triangle() {
  host::CChildGroup group;
  for (int k = 0; k < 3; ++k) {
    host::CHostVertex vertex;
    vertex.position = {double(k == 1), double(k == 2), 0};
    group.vertices.push_back(vertex);
  }
  group.facets.push_back(host::Facet({1, 2, 3}));
  return group;
}

// 400 vertices in a plane, 361 quads: enough vertices for the reader's
// progress batch (200) to come round once the pause has made a report due.
host::CChildGroup Grid() {
  constexpr int kSide = 20;
  host::CChildGroup group;
  for (int row = 0; row < kSide; ++row)
    for (int column = 0; column < kSide; ++column) {
      host::CHostVertex vertex;
      vertex.position = {double(column), double(row), 0};
      group.vertices.push_back(vertex);
    }
  for (int row = 0; row + 1 < kSide; ++row)
    for (int column = 0; column + 1 < kSide; ++column) {
      int corner = row * kSide + column + 1;
      group.facets.push_back(host::Facet({corner, corner + 1, corner + kSide + 1, corner + kSide}));
    }
  return group;
}

// The instance data block a saved scene with these settings brings.
void StoreMode(host::CHost& host, int32_t mode) {
  CStoredSettings settings;
  settings.mode = mode;
  std::vector<uint8_t> stream = EncodeSettings(settings);
  std::vector<uint8_t> block(kTagSlotBytes + stream.size(), 0);
  std::copy(stream.begin(), stream.end(), block.begin() + std::ptrdiff_t(kTagSlotBytes));
  host.SetInstanceData(0, block);
}

void AddMeshes(host::CHost& host, const CValidateSubject& subject) {
  if (subject.meshes.empty()) throw CCheckSkip{"no mesh to generate on (no --mesh, and the bundled example was not found)"};
  for (const cliio::CImportedMesh& mesh : subject.meshes) host.AddGroup(ChildGroupFor(mesh));
}

// A mesh the module wires something for: a facet that survives reading.
bool Wireable(const cliio::CImportedMesh& mesh) { return int(mesh.FacetCount()) > DroppedFacets(mesh); }

// Pauses in the first 'GETV' of child group `index` (1-based), so the
// module's next progress batch sends 'STAT'.
void MakeStatusDue(host::CHost& host, int32_t index) {
  auto armed = std::make_shared<bool>(false);
  host.onRequest = [armed, index](uint32_t selector, void* record) {
    if (selector == Request::kGetGroup) *armed = static_cast<HostModelGetGroupRec*>(record)->index == index;
    if (selector == Request::kGetVertex && *armed) {
      *armed = false;
      std::this_thread::sleep_for(kReportPause);
    }
  };
}

// Requests that carry the generation's work; none may follow a refused one.
bool IsGenerationRequest(uint32_t selector) {
  return selector == Request::kGetGroup || selector == Request::kGetVertex || selector == Request::kGetFacet ||
         selector == Request::kDeleteGroup || selector == Request::kAddVertex || selector == Request::kAddFacet;
}

// --- the checks

std::string RecordSizes(host::CHost& host) {
  host::CFileService& files = host::CFileService::Instance();
  host.EnableTrace(true);
  for (const host::CCommandSize& command : host::CommandSizes()) {
    const int32_t size = command.ThisBuild();
    const std::string name = Code(command.selector);
    host.ClearTrace();
    const size_t opensBefore = files.Opens();
    int32_t shortAnswer = host.SendRaw(command.selector, size - 1);
    Require(shortAnswer == 3, name + " of " + std::to_string(size - 1) + " bytes (one short) answered " +
                                  std::to_string(shortAnswer) + ", not 3");
    Require(host.Trace().empty(), name + " of " + std::to_string(size - 1) + " bytes (one short) sent " +
                                      std::to_string(host.Trace().size()) + " request(s), first " +
                                      Code(host.Trace().empty() ? 0 : host.Trace().front().selector));
    Require(files.Opens() == opensBefore, name + " one byte short opened the resource file");
    int32_t exactAnswer = host.SendRaw(command.selector, size);
    Require(exactAnswer != 3, name + " of exactly " + std::to_string(size) + " bytes answered 3");
  }
  RequireClean(host, "record sizes");
  return std::to_string(host::CommandSizes().size()) + " commands: one byte short answered 3 with no request, exact size accepted";
}

std::string UnknownSelector(host::CHost& host) {
  host.EnableTrace(true);
  for (uint32_t selector : {FourCC("XXXX"), FourCC("genm"), 0u, 0xFFFFFFFFu})
    for (int32_t size : {0, 40, 1076, 65536}) {
      host.ClearTrace();
      int32_t answer = host.SendRaw(selector, size);
      Require(answer == 3, Code(selector) + " of " + std::to_string(size) + " bytes answered " + std::to_string(answer) + ", not 3");
      Require(host.Trace().empty(), Code(selector) + " sent requests");
    }
  return "4 selectors at 4 sizes answered 3";
}

std::string UnsupportedCommand(host::CHost& host) {
  int32_t answer = host.Send(Selector::kExtraCommand);
  Require(answer == 2, "'PINF' answered " + std::to_string(answer) + ", not 2");
  return "'PINF' answered 2";
}

std::string DescribeGeneral(host::CHost& host) {
  const std::vector<std::pair<int32_t, std::string>> texts = {
      {0, "No plug-in error"},
      {1, "Plug-in could not allocate needed memory"},
      {2, "Unsupported plug-in command was received"},
      {3, "Incompatible plug-in parameter record was received"},
      {4, "The user canceled the plug-in operation"},
      {5, "A plug-in command was received out of sequence"},
      {6, "Plug-in could not get a required resource"},
      {8, "A requested plug-in feature or mode is not supported"},
  };
  for (const auto& [code, expected] : texts) {
    std::string text;
    int32_t answer = host.Describe(code, &text);
    Require(answer == 0, "'DESC' of " + std::to_string(code) + " answered " + std::to_string(answer));
    Require(text == expected, "'DESC' of " + std::to_string(code) + " gave \"" + host::MacRomanToUtf8(text) +
                                  "\", not \"" + expected + "\"");
  }
  return std::to_string(texts.size()) + " general codes described";
}

std::string DescribeFallback(host::CHost& host) {
  for (int32_t code : {7, 9, 99, 1000, -1}) {
    std::string expected = "unknown error (" + std::to_string(uint32_t(code)) + ")";
    std::string text;
    int32_t answer = host.Describe(code, &text);
    Require(answer == 0, "'DESC' of " + std::to_string(code) + " answered " + std::to_string(answer));
    Require(text == expected, "'DESC' of " + std::to_string(code) + " gave \"" + host::MacRomanToUtf8(text) +
                                  "\", not \"" + expected + "\"");
  }
  return "codes 7, 9, 99, 1000 and -1 got the fallback text";
}

std::string Information(host::CHost& host) {
  PluginInfoRec reply{};
  int32_t answer = host.Information(&reply);
  Require(answer == 0, "'INFO' answered " + std::to_string(answer));
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", reply.vendor);
  Require(reply.vendor == FourCC("VELD"), std::string("vendor is ") + hex + ", not 'VELD'");
  std::snprintf(hex, sizeof hex, "0x%08X", reply.flags);
  Require(reply.flags == 0x4000000Fu, std::string("flags are ") + hex + ", not 0x4000000F");
  Require(reply.one == 1, "the field after the vendor is " + std::to_string(reply.one) + ", not 1");
  std::string product = host::PascalBytes(reply.product);
  Require(product == "Tressel", "product is \"" + host::MacRomanToUtf8(product) + "\", not \"Tressel\"");
  std::string description = host::PascalBytes(reply.description);
  Require(description == "Wires generator",
          "description is \"" + host::MacRomanToUtf8(description) + "\", not \"Wires generator\"");
  return "vendor 'VELD', flags 0x4000000F, product \"Tressel\", description \"Wires generator\"";
}

// Each served 'SETM' asks for a reset; the hook answers each reset with the
// next 'SETM', so the calls nest until the module refuses one.
std::string NestingLimit(host::CHost& host) {
  std::vector<int32_t> answers;
  int attempts = 1;
  host.onRequest = [&](uint32_t selector, void*) {
    if (selector != Request::kModelReset || attempts >= 11) return;
    ++attempts;
    answers.push_back(host.Send(Selector::kModelSetup));
  };
  int32_t outer = host.Send(Selector::kModelSetup);
  host.onRequest = nullptr;
  Require(outer == 0, "the outermost 'SETM' answered " + std::to_string(outer));
  Require(attempts == 11, "the nesting stopped after " + std::to_string(attempts) + " call(s): 'SETM' did not ask for its reset");
  Require(host.ResetCount(0) == 10, std::to_string(host.ResetCount(0)) + " of 11 nested 'SETM' ran; 10 must, the 11th not");
  for (size_t k = 0; k < answers.size(); ++k)
    Require(answers[k] == 0, "nested call " + std::to_string(k + 2) + " answered " + std::to_string(answers[k]));
  return "calls 1-10 served, the 11th answered 0 without running";
}

std::string CommandsDuringGenerate(host::CHost& host) {
  host.AddGroup(Triangle());
  host.EnableTrace(true);
  bool sent = false;
  std::string failures;
  host.onRequest = [&](uint32_t selector, void*) {
    if (selector != Request::kGetGroup || sent) return;
    sent = true;
    for (const host::CCommandSize& command : host::CommandSizes()) {
      int32_t answer = host.Send(command.selector);
      if (answer != 0 && failures.empty()) failures = Code(command.selector) + " answered " + std::to_string(answer);
    }
    std::string text = "untouched";
    host.Describe(2, &text);
    if (!text.empty() && failures.empty()) failures = "a nested 'DESC' was answered";
    int32_t unknown = host.SendRaw(FourCC("XXXX"), 40);
    if (unknown != 0 && failures.empty()) failures = "'XXXX' answered " + std::to_string(unknown);
  };
  int32_t answer = host.Send(Selector::kGenerate);
  host.onRequest = nullptr;
  Require(sent, "'GENM' sent no 'GETG'");
  Require(failures.empty(), "during 'GENM', " + failures + ", not 0");
  Require(answer == 0, "'GENM' answered " + std::to_string(answer));
  for (const host::CTraceEntry& entry : host.Trace())
    Require(entry.command == Selector::kGenerate, "a nested " + Code(entry.command) + " sent " + Code(entry.selector));
  Require(host.ResetCount(0) == 0, "a nested 'SETM' asked for a reset");
  Require(host::CFileService::Instance().Opens() == 0, "a nested 'INIT' or 'INTF' opened the resource file");
  RequireClean(host, "'GENM'");
  return std::to_string(host::CommandSizes().size() + 1) + " nested commands answered 0 without running";
}

std::string ResourceFileMissing(host::CHost& host) {
  int32_t answer = host.Send(Selector::kInitialize);
  Require(answer == 6, "'INIT' without its resource file answered " + std::to_string(answer) + ", not 6");
  Require(host.InstanceData(0).empty(), "'INIT' without its resource file stored settings");
  answer = host.Send(Selector::kInterface);
  Require(answer == 6, "'INTF' without its resource file answered " + std::to_string(answer) + ", not 6");
  RequireNoLiveBlocks(host, "without the resource file");
  return "'INIT' and 'INTF' answered 6, nothing stored";
}

std::string InitFiniMemory(host::CHost& host) {
  int32_t answer = host.Send(Selector::kInitialize);
  Require(answer == 0, "'INIT' answered " + std::to_string(answer));
  RequireClean(host, "'INIT'");
  RequireClean(host, "'INIT'");
  answer = host.Send(Selector::kFinish);
  Require(answer == 0, "'FINI' answered " + std::to_string(answer));
  RequireNoLiveBlocks(host, "after 'INIT' and 'FINI'");
  std::vector<uint8_t> block = host.InstanceData(0);
  Require(block.size() >= kTagSlotBytes, "'INIT' left an instance block of " + std::to_string(block.size()) + " bytes");
  for (size_t k = 0; k < kTagSlotBytes; ++k) Require(block[k] == 0, "'FINI' left the settings object's slot set");
  return "no live host block after 'INIT' and 'FINI'; the slot cleared";
}

std::string GenerateInMode(host::CHost& host, const CValidateSubject& subject, int32_t mode) {
  AddMeshes(host, subject);
  StoreMode(host, mode);
  for (uint32_t selector : {Selector::kInitialize, Selector::kModelSetup, Selector::kGenerate}) {
    int32_t answer = host.Send(selector);
    Require(answer == 0, Code(selector) + " answered " + std::to_string(answer));
    RequireClean(host, Code(selector));
    RequireNoLiveBlocks(host, "after " + Code(selector));
  }
  size_t segments = 0;
  for (int p = 0; p < host.GroupCount(); ++p) {
    const cliio::CImportedMesh& mesh = subject.meshes[size_t(p)];
    if (Wireable(mesh)) Require(host.Received(p).deleted, mesh.name + ": has facets to wire but got no 'DELG'");
    if (mode == 0 && Wireable(mesh)) Require(!host.Received(p).facets.empty(), mesh.name + ": no ring was added");
    segments += host.Received(p).facets.size();
  }
  return std::to_string(host.GroupCount()) + " group(s), " + std::to_string(segments) + " segment(s)";
}

// Refuses the n-th 'MMAL' of one 'GENM' for n = 1, 2, ... until a run
// completes; then probes, with a report made due, that no progress indicator
// of the failed runs is still taken for an enclosing one.
std::string MemoryFaults(host::CHost& host, const CValidateSubject& subject, int32_t mode) {
  AddMeshes(host, subject);
  StoreMode(host, mode);
  int32_t answer = host.Send(Selector::kInitialize);
  Require(answer == 0, "'INIT' answered " + std::to_string(answer));
  RequireClean(host, "'INIT'");
  int refusals = 0;
  for (int n = 1;; ++n) {
    Require(n <= 1000000, "no run completed within a million refusals");
    host.Faults().Clear();
    host.Faults().FailRequest(Request::kMemAlloc, n, 1);
    int before = host.RequestCount(Request::kMemAlloc);
    answer = host.Send(Selector::kGenerate);
    bool refused = host.RequestCount(Request::kMemAlloc) - before >= n;
    const std::string run = "refusing 'MMAL' " + std::to_string(n);
    if (!refused) {
      Require(answer == 0, "the run with no refusal answered " + std::to_string(answer));
      break;
    }
    Require(answer == 1, run + ": 'GENM' answered " + std::to_string(answer) + ", not 1");
    RequireNoLiveBlocks(host, run);
    RequireClean(host, run);
    ++refusals;
  }
  host.Faults().Clear();
  int32_t probe = host.AddGroup(Grid()) + 1;
  MakeStatusDue(host, probe);
  size_t reportsBefore = host.StatusReports().size();
  answer = host.Send(Selector::kGenerate);
  host.onRequest = nullptr;
  Require(answer == 0, "after the refusals, 'GENM' answered " + std::to_string(answer));
  RequireClean(host, "after the refusals");
  const auto& reports = host.StatusReports();
  if (reports.size() == reportsBefore)
    throw CCheckSkip{std::to_string(refusals) + " refusals unwound cleanly, but no 'STAT' came to probe for an indicator left open"};
  for (size_t k = reportsBefore; k < reports.size(); ++k) {
    Require(reports[k].text.empty(), "after the refusals a report carries the text \"" +
                                         host::MacRomanToUtf8(reports[k].text) + "\": an indicator was left open");
    Require(std::isfinite(reports[k].fraction) && reports[k].fraction >= 0 && reports[k].fraction <= 1,
            "after the refusals a report carries the fraction " + std::to_string(reports[k].fraction));
  }
  return std::to_string(refusals) + " refusals each answered 1 and released everything; later reports sound";
}

// Refuses the first request of `kind` during one 'GENM' in mode 0: the code
// must come back and no work request may follow the refused one.
std::string RefuseDuringGenerate(host::CHost& host, const CValidateSubject& subject, uint32_t kind) {
  AddMeshes(host, subject);
  StoreMode(host, 0);
  int32_t answer = host.Send(Selector::kInitialize);
  Require(answer == 0, "'INIT' answered " + std::to_string(answer));
  RequireClean(host, "'INIT'");
  host.EnableTrace(true);
  host.Faults().FailRequest(kind, 1, kRefusal);
  int before = host.RequestCount(kind);
  answer = host.Send(Selector::kGenerate);
  if (host.RequestCount(kind) == before) throw CCheckSkip{"'GENM' on the meshes sent no " + Code(kind)};
  Require(answer == kRefusal, "with " + Code(kind) + " refused, 'GENM' answered " + std::to_string(answer) + ", not " +
                                  std::to_string(kRefusal));
  const auto& trace = host.Trace();
  size_t refused = 0;
  while (refused < trace.size() && !(trace[refused].selector == kind && trace[refused].answer == kRefusal)) ++refused;
  for (size_t k = refused + 1; k < trace.size(); ++k)
    Require(!IsGenerationRequest(trace[k].selector), Code(trace[k].selector) + " came after the refused " + Code(kind));
  RequireNoLiveBlocks(host, Code(kind) + " refused");
  RequireClean(host, Code(kind) + " refused");
  return "'GENM' answered " + std::to_string(kRefusal) + " and stopped";
}

std::string RefuseGetGroup(host::CHost& host, const CValidateSubject& subject) {
  AddMeshes(host, subject);
  StoreMode(host, 0);
  int32_t answer = host.Send(Selector::kInitialize);
  Require(answer == 0, "'INIT' answered " + std::to_string(answer));
  RequireClean(host, "'INIT'");
  host.Faults().FailRequest(Request::kGetGroup, 1, kRefusal);
  answer = host.Send(Selector::kGenerate);
  Require(answer == 0, "with the first 'GETG' refused, 'GENM' answered " + std::to_string(answer) + ", not 0");
  Require(!host.Received(0).deleted, "the group whose 'GETG' was refused got a 'DELG'");
  for (int p = 1; p < host.GroupCount(); ++p)
    if (Wireable(subject.meshes[size_t(p)]))
      Require(host.Received(p).deleted, subject.meshes[size_t(p)].name + ": not wired after an earlier group was skipped");
  RequireNoLiveBlocks(host, "'GETG' refused");
  RequireClean(host, "'GETG' refused");
  return "group 1 skipped, " + std::to_string(host.GroupCount() - 1) + " later group(s) still wired, 'GENM' answered 0";
}

// 'STAT' refused with `code` while the grid's vertices are read: the code comes
// back and the group is left as the host had it.
std::string RefuseStatus(host::CHost& host, int32_t code, bool asCancel) {
  host.AddGroup(Grid());
  int32_t answer = host.Send(Selector::kInitialize);
  Require(answer == 0, "'INIT' answered " + std::to_string(answer));
  RequireClean(host, "'INIT'");
  MakeStatusDue(host, 1);
  if (asCancel)
    host.Faults().CancelStatus(1, code);
  else
    host.Faults().FailRequest(Request::kStatus, 1, code);
  answer = host.Send(Selector::kGenerate);
  host.onRequest = nullptr;
  if (host.RequestCount(Request::kStatus) == 0)
    throw CCheckSkip{"no 'STAT' came, even after a pause of 0.75 s in the vertex reading"};
  Require(answer == code, "with the first 'STAT' answered " + std::to_string(code) + ", 'GENM' answered " +
                              std::to_string(answer));
  Require(!host.Received(0).deleted, "the group was dropped ('DELG') although its reading was stopped");
  RequireNoLiveBlocks(host, "'STAT' answered " + std::to_string(code));
  RequireClean(host, "'STAT' answered " + std::to_string(code));
  return "'GENM' stopped at the first report and answered " + std::to_string(code);
}

std::string RefuseAllocate(host::CHost& host) {
  host.Faults().FailRequest(Request::kAllocate, 1, kRefusal);
  int32_t answer = host.Send(Selector::kInitialize);
  if (host.RequestCount(Request::kAllocate) == 0) throw CCheckSkip{"'INIT' sent no 'ALOC'"};
  Require(answer == kRefusal, "with 'ALOC' refused, 'INIT' answered " + std::to_string(answer) + ", not " +
                                  std::to_string(kRefusal));
  RequireNoLiveBlocks(host, "'ALOC' refused");
  RequireClean(host, "'ALOC' refused");
  return "'INIT' answered " + std::to_string(kRefusal);
}

// A folder of its own under the system's temporary folder; removed with it.
class CEmptyFolder {
 public:
  CEmptyFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tressel-validate-XXXXXX").string();
    if (::mkdtemp(pattern.data())) mPath = pattern;
  }
  ~CEmptyFolder() {
    std::error_code ignored;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ignored);
  }
  const std::filesystem::path& Path() const { return mPath; }

 private:
  std::filesystem::path mPath;
};

CCheck Plain(const std::string& name, std::string (*body)(host::CHost&)) {
  return {name, [body](const CValidateSubject& subject) { return OnFreshModule(subject, body); }};
}

CCheck OnMeshes(const std::string& name, std::function<std::string(host::CHost&, const CValidateSubject&)> body) {
  return {name, [body](const CValidateSubject& subject) {
            return OnFreshModule(subject, [&](host::CHost& host) { return body(host, subject); });
          }};
}

}  // namespace

std::vector<CCheck> ValidationChecks() {
  std::vector<CCheck> checks = {
      Plain("record-sizes", RecordSizes),
      Plain("unknown-selector", UnknownSelector),
      Plain("unsupported-command", UnsupportedCommand),
      Plain("describe-general", DescribeGeneral),
      Plain("describe-fallback", DescribeFallback),
      Plain("info", Information),
      Plain("nesting-limit", NestingLimit),
      Plain("commands-during-generate", CommandsDuringGenerate),
      {"resource-file-missing",
       [](const CValidateSubject& subject) {
         CEmptyFolder empty;
         if (empty.Path().empty()) return CCheckResult{CheckOutcome::kSkipped, "no temporary folder could be made"};
         return OnFreshModule(subject, ResourceFileMissing, empty.Path());
       }},
      Plain("init-fini-memory", InitFiniMemory),
  };
  for (int32_t mode = 0; mode <= 2; ++mode)
    checks.push_back(OnMeshes("generate-mode-" + std::to_string(mode),
                              [mode](host::CHost& host, const CValidateSubject& subject) { return GenerateInMode(host, subject, mode); }));
  for (int32_t mode = 0; mode <= 2; ++mode)
    checks.push_back(OnMeshes("memory-faults-mode-" + std::to_string(mode),
                              [mode](host::CHost& host, const CValidateSubject& subject) { return MemoryFaults(host, subject, mode); }));
  checks.push_back(OnMeshes("refuse-GETG", RefuseGetGroup));
  for (uint32_t kind : {Request::kGetVertex, Request::kGetFacet, Request::kDeleteGroup, Request::kAddVertex, Request::kAddFacet}) {
    std::string name = "refuse-" + CodeCharacters(kind);
    checks.push_back(OnMeshes(name, [kind](host::CHost& host, const CValidateSubject& subject) {
      return RefuseDuringGenerate(host, subject, kind);
    }));
  }
  checks.push_back(Plain("refuse-STAT", [](host::CHost& host) { return RefuseStatus(host, kRefusal, false); }));
  checks.push_back(Plain("refuse-ALOC", RefuseAllocate));
  checks.push_back(Plain("cancel-status", [](host::CHost& host) { return RefuseStatus(host, kCancelAnswer, true); }));
  return checks;
}

CCheckResult RunIsolated(const CCheck& check, const CValidateSubject& subject, int timeoutSeconds) {
  int channel[2];
  if (::pipe(channel) != 0) return {CheckOutcome::kFailed, "no pipe for the check's process: " + std::string(std::strerror(errno))};
  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child < 0) {
    ::close(channel[0]);
    ::close(channel[1]);
    return {CheckOutcome::kFailed, "the check's process could not be started: " + std::string(std::strerror(errno))};
  }
  if (child == 0) {
    ::close(channel[0]);
    CCheckResult result;
    try {
      result = check.run(subject);
    } catch (const std::exception& error) {
      result = {CheckOutcome::kFailed, std::string("the check stopped: ") + error.what()};
    }
    std::string message = char('0' + int(result.outcome)) + result.detail;
    for (size_t written = 0; written < message.size();) {
      ssize_t n = ::write(channel[1], message.data() + written, message.size() - written);
      if (n <= 0) break;
      written += size_t(n);
    }
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string message;
  bool timedOut = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd wait{channel[0], POLLIN, 0};
    int ready = ::poll(&wait, 1, int(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char buffer[4096];
    ssize_t n = ::read(channel[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    message.append(buffer, size_t(n));
  }
  ::close(channel[0]);
  if (timedOut) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut) return {CheckOutcome::kFailed, "no answer within " + std::to_string(timeoutSeconds) + " s (the module hangs?)"};
  if (WIFSIGNALED(status))
    return {CheckOutcome::kFailed, "the module crashed (signal " + std::to_string(WTERMSIG(status)) + ", " +
                                       ::strsignal(WTERMSIG(status)) + ")"};
  if (message.empty() || WEXITSTATUS(status) != 0)
    return {CheckOutcome::kFailed, "the check's process ended with status " + std::to_string(WEXITSTATUS(status)) +
                                       " before it reported"};
  int outcome = message[0] - '0';
  if (outcome < 0 || outcome > 2) return {CheckOutcome::kFailed, "the check's process reported nonsense"};
  return {CheckOutcome(outcome), message.substr(1)};
}

}  // namespace cli
