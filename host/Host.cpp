// The host's scene and its commands: instances and their blocks, child groups,
// and sending a command to Main with a record of this platform's layout. Each
// command runs in a frame that the request checks consult and that is closed
// with a leak check of the host memory it allocated.
#include "host/Host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "host/FileService.h"
#include "host/HostState.h"
#include "host/MacRoman.h"

namespace host {

std::string CodeText(uint32_t code) {
  char text[16];
  bool printable = true;
  for (int shift = 24; shift >= 0; shift -= 8) {
    unsigned char c = (code >> shift) & 0xFF;
    printable = printable && c >= 0x20 && c < 0x7F;
  }
  if (printable)
    std::snprintf(text, sizeof text, "'%c%c%c%c'", char(code >> 24), char(code >> 16), char(code >> 8), char(code));
  else
    std::snprintf(text, sizeof text, "0x%08X", code);
  return text;
}

std::string CViolation::Text() const {
  std::string text = name;
  if (selector) text += " " + CodeText(selector);
  if (!detail.empty()) text += ": " + detail;
  return text;
}

std::string CTraceEntry::Text() const {
  char text[160];
  std::snprintf(text, sizeof text, "%*s%s size %d value %lld ref %p -> %d", depth * 2, "", CodeText(selector).c_str(),
                size, (long long)value, ref, answer);
  return text;
}

CHost::CHost() {
  HostState().hosts.push_back(this);
  AddInstance();
}

CHost::~CHost() {
  auto& state = HostState();
  state.hosts.erase(std::remove(state.hosts.begin(), state.hosts.end(), this), state.hosts.end());
  for (auto& instance : mInstances)
    if (instance) state.contexts.erase(instance.get());
}

bool CHost::LoadModule(const std::filesystem::path& path, std::string* error) {
  if (!mModule.Load(path, error)) return false;
  if (!mHomeChosen) CFileService::Instance().SetHomeDirectory(std::filesystem::absolute(path).parent_path());
  return true;
}

void CHost::UnloadModule() { mModule.Unload(); }

void CHost::SetHomeDirectory(const std::filesystem::path& directory) {
  mHomeChosen = true;
  CFileService::Instance().SetHomeDirectory(directory);
}

// --- instances

int CHost::AddInstance() {
  auto instance = std::make_unique<CInstance>();
  instance->id = int(mInstances.size());
  HostState().contexts[instance.get()] = this;
  mInstances.push_back(std::move(instance));
  return int(mInstances.size()) - 1;
}

int CHost::DuplicateInstance(int source) {
  std::vector<uint8_t> data = InstanceData(source);
  std::vector<uint8_t> aux = AuxData(source);
  int copy = AddInstance();
  SetInstanceData(copy, data);
  CInstance& instance = Get(copy);
  instance.SetBlock(&instance.auxData, &instance.auxDataSize, aux);
  return copy;
}

void CHost::RemoveInstance(int instance) {
  CInstance* removed = &Get(instance);
  HostState().contexts.erase(removed);
  // A command in progress for it (a hook may remove it) no longer has a live
  // context; the object itself lives on until the outermost command returned,
  // since the request being served may still refer to it.
  bool inUse = false;
  for (auto& frame : mFrames) {
    if (frame->instance != removed) continue;
    frame->instance = nullptr;
    inUse = true;
  }
  if (inUse) mRetiredInstances.push_back(std::move(mInstances[size_t(instance)]));
  mInstances[size_t(instance)].reset();
}

CHost::CInstance* CHost::Find(int instance) const {
  if (instance < 0 || size_t(instance) >= mInstances.size()) return nullptr;
  return mInstances[size_t(instance)].get();
}

CHost::CInstance& CHost::Get(int instance) const {
  CInstance* found = Find(instance);
  if (!found) throw std::out_of_range("no instance " + std::to_string(instance));
  return *found;
}

void* CHost::Context(int instance) const { return &Get(instance); }

std::vector<uint8_t> CHost::InstanceData(int instance) const {
  const CInstance& found = Get(instance);
  const uint8_t* bytes = static_cast<const uint8_t*>(found.instanceData);
  return bytes ? std::vector<uint8_t>(bytes, bytes + found.instanceDataSize) : std::vector<uint8_t>();
}

std::vector<uint8_t> CHost::AuxData(int instance) const {
  const CInstance& found = Get(instance);
  const uint8_t* bytes = static_cast<const uint8_t*>(found.auxData);
  return bytes ? std::vector<uint8_t>(bytes, bytes + found.auxDataSize) : std::vector<uint8_t>();
}

void CHost::SetInstanceData(int instance, const std::vector<uint8_t>& bytes) {
  CInstance& found = Get(instance);
  found.SetBlock(&found.instanceData, &found.instanceDataSize, bytes);
}

int CHost::ResetCount(int instance) const { return Get(instance).resets; }

// --- scene

int CHost::AddGroup(CChildGroup group) {
  mGroups.push_back(std::make_unique<CChildGroup>(std::move(group)));
  return int(mGroups.size()) - 1;
}

CChannel* CHost::FindChannel(int instance, const std::string& name) const {
  for (auto& channel : mChannels)
    if (channel->instance == instance && channel->name == name) return channel.get();
  return nullptr;
}

int CHost::RequestCount(uint32_t selector) const {
  const int kind = RequestKind(selector);
  if (kind != kNotARequest) return mRequestCounts[kind];
  auto found = mOtherRequestCounts.find(selector);
  return found == mOtherRequestCounts.end() ? 0 : found->second;
}

std::string CHost::ViolationReport() const {
  std::string report;
  for (const CViolation& violation : mViolations) report += violation.Text() + "\n";
  return report;
}

int32_t CHost::Violate(const char* name, uint32_t selector, std::string detail) {
  mViolations.push_back(CViolation{name, selector, std::move(detail)});
  return kViolationCode;
}

// --- commands

int32_t CHost::RecordSize(uint32_t selector) {
  switch (selector) {
    case Selector::kAbout:
    case Selector::kFreeChannel:
    case Selector::kFinish:
    case Selector::kInitialize:
    case Selector::kInterface:
      return sizeof(PluginRecHeader);
    case Selector::kBuildMap:
    case Selector::kGetAttribute:
    case Selector::kGetBlur:
    case Selector::kGetInfo:
    case Selector::kRenderMap:
    case Selector::kTextureMap:
      return sizeof(PluginMapRec);
    case Selector::kCheck:
      return sizeof(PluginCheckRec);
    case Selector::kDescribe:
      return sizeof(PluginDescribeRec);
    case Selector::kInformation:
      return sizeof(PluginInfoRec);
    case Selector::kModelSetup:
      return sizeof(PluginModelSetupRec);
    case Selector::kGenerate:
      return sizeof(PluginModelGenerateRec);
    case Selector::kInitChannel:
    case Selector::kUpdateChannel:
      return sizeof(PluginChannelRec);
    case Selector::kLoadChannel:
      return sizeof(PluginLoadChannelRec);
    case Selector::kExtraCommand:
      return sizeof(PluginExtraRec);
    default:
      return 0;
  }
}

namespace {

// A record buffer of exactly the size sent (at least a header), so that the
// sanitizer sees any access past what the module was given.
std::vector<uint8_t> RecordBuffer(int32_t size) {
  return std::vector<uint8_t>(std::max<size_t>(size_t(std::max(size, 0)), sizeof(PluginRecHeader)), 0);
}

}  // namespace

int32_t CHost::Send(uint32_t selector, int instance) {
  int32_t size = RecordSize(selector);
  if (size == 0) size = sizeof(PluginRecHeader);
  std::vector<uint8_t> buffer = RecordBuffer(size);
  if (selector == Selector::kModelSetup) {
    auto* rec = reinterpret_cast<PluginModelSetupRec*>(buffer.data());
    rec->setupTime = mSetup.setupTime;
    std::memcpy(rec->matrices, mSetup.matrices, sizeof rec->matrices);
  } else if (selector == Selector::kGenerate) {
    reinterpret_cast<PluginModelGenerateRec*>(buffer.data())->groupCount = GroupCount();
  }
  return SendRecord(selector, buffer.data(), size, instance);
}

int32_t CHost::Describe(int32_t code, std::string* text, int instance) {
  std::vector<uint8_t> buffer = RecordBuffer(sizeof(PluginDescribeRec));
  auto* rec = reinterpret_cast<PluginDescribeRec*>(buffer.data());
  rec->code = code;
  int32_t result = SendRecord(Selector::kDescribe, rec, sizeof *rec, instance);
  if (text) *text = PascalBytes(rec->text);
  return result;
}

int32_t CHost::Information(PluginInfoRec* reply, int instance) {
  std::vector<uint8_t> buffer = RecordBuffer(sizeof(PluginInfoRec));
  int32_t result = SendRecord(Selector::kInformation, buffer.data(), sizeof(PluginInfoRec), instance);
  if (reply) std::memcpy(reply, buffer.data(), sizeof *reply);
  return result;
}

int32_t CHost::Generate(int32_t groupCount, int instance) {
  std::vector<uint8_t> buffer = RecordBuffer(sizeof(PluginModelGenerateRec));
  reinterpret_cast<PluginModelGenerateRec*>(buffer.data())->groupCount = groupCount;
  return SendRecord(Selector::kGenerate, buffer.data(), sizeof(PluginModelGenerateRec), instance);
}

int32_t CHost::SendRaw(uint32_t selector, int32_t size, int instance) {
  std::vector<uint8_t> buffer = RecordBuffer(size);
  return SendRecord(selector, buffer.data(), size, instance);
}

int32_t CHost::SendRecord(uint32_t selector, void* record, int32_t size, int instance) {
  CInstance& target = Get(instance);
  MainProc entry = mFakeEntry ? mFakeEntry : mModule.Entry();
  if (!entry) throw std::logic_error("CHost: no module loaded");

  auto* header = static_cast<PluginRecHeader*>(record);
  header->instanceData = target.instanceData;
  header->instanceDataSize = target.instanceDataSize;
  header->auxData = target.auxData;
  header->auxDataSize = target.auxDataSize;
  header->hostCallback = &CHost::HostCallback;
  header->hostContext = &target;

  auto frame = std::make_unique<CCommandFrame>();
  frame->selector = selector;
  frame->instance = &target;
  frame->header = header;
  frame->serial = mNextCommandSerial++;
  if (selector == Selector::kGenerate) {
    frame->groupCount = static_cast<PluginModelGenerateRec*>(record)->groupCount;
    for (auto& group : mGroups) group->received.deleted = false;
  }
  mFrames.push_back(std::move(frame));
  auto& state = HostState();
  state.sending.push_back(this);
  CFileService& files = CFileService::Instance();
  files.SetCommandInProgress(true);

  int32_t result = entry(selector, size, record);

  state.sending.pop_back();
  const bool targetLive = mFrames.back()->instance != nullptr;  // a hook may have removed it
  FinishFrame(*mFrames.back());
  mFrames.pop_back();
  // A nested command may have resized the instance's blocks; the records of
  // the enclosing commands for the same instance describe the blocks as they are now.
  for (auto& enclosing : mFrames) {
    if (!targetLive) break;
    if (enclosing->instance != &target) continue;
    enclosing->header->instanceData = target.instanceData;
    enclosing->header->instanceDataSize = target.instanceDataSize;
    enclosing->header->auxData = target.auxData;
    enclosing->header->auxDataSize = target.auxDataSize;
  }
  if (mFrames.empty()) mRetiredInstances.clear();
  if (state.sending.empty()) {
    files.SetCommandInProgress(false);
    files.CheckIdle();
  }
  for (CViolation& violation : files.TakeViolations()) {
    violation.selector = selector;
    mViolations.push_back(std::move(violation));
  }
  return result;
}

void CHost::FinishFrame(CCommandFrame& frame) {
  size_t bytes = 0;
  size_t blocks = mMemory.TakeLeaks(frame.serial, &bytes);
  if (blocks)
    Violate("leak", frame.selector,
            std::to_string(blocks) + " block(s), " + std::to_string(bytes) +
                " bytes, allocated during the command are still live after it returned");
}

}  // namespace host
