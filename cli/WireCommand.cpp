// `tressel wire [MESH...]`: imports the meshes as the model's child groups,
// hands the module its stored settings the way a host restores a scene, runs
// 'INIT', then per frame 'SETM', ('ICHN' once), 'LCHN', 'GENM', then 'FINI',
// and writes the wires each frame produced. Nothing is written unless every
// frame succeeded; a scene file, when named, is saved last.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/ExampleMesh.h"
#include "cli/MeshMeasures.h"
#include "cli/OutOfMemory.h"
#include "cli/io/Printable.h"
#include "cli/Progress.h"
#include "cli/SceneFile.h"
#include "cli/Session.h"
#include "cli/StoredSettings.h"
#include "cli/SelectionCheck.h"
#include "cli/WireGroups.h"
#include "cli/WireInputs.h"
#include "cli/WireOptions.h"
#include "cli/WireSummary.h"
#include "cli/WriteStage.h"
#include "cli/io/FramePattern.h"
#include "cli/io/MeshImport.h"
#include "cli/io/Preview.h"
#include "cli/io/WireWriters.h"
#include "host/MacRoman.h"

namespace cli {
namespace {

constexpr int32_t kCancelAnswer = 4;  // the module's "user canceled" code
constexpr size_t kTagSlotBytes = sizeof(void*);

struct CWireArguments {
  std::vector<std::string> meshes;
  std::string output, mode, push, scale, select, scene, frames, preview, format, view, inputFormat;
  bool formatGiven = false;
  bool outputGiven = false, modeGiven = false, pushGiven = false, scaleGiven = false, selectGiven = false;
  bool sceneGiven = false, framesGiven = false, previewGiven = false;
  bool quiet = false, json = false, each = false;
};

// A usage mistake or a file problem: one line for stderr, exit status 2.
struct CWireError {
  std::string line;
};

[[noreturn]] void Refuse(const std::string& line) { throw CWireError{line}; }

// A signal arrived before the module ran.
struct CWireCancelled {};

int32_t ParseMode(const std::string& text) {
  int32_t mode = 0;
  std::string error;
  if (!ParseWireMode(text, &mode, &error)) Refuse(error);
  return mode;
}

CPushValue ParsePushFlag(const std::string& text) {
  CPushValue push;
  std::string error;
  if (!ParsePush(text, &push, &error)) Refuse(error);
  return push;
}

float ParseScaleFlag(const std::string& text) {
  float scale = 1;
  std::string error;
  if (!ParseScale(text, &scale, &error)) Refuse(error);
  return scale;
}

bool ParseInt(const std::string& text, int32_t* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX || std::isspace(static_cast<unsigned char>(text[0])))
    return false;
  *value = int32_t(parsed);
  return true;
}

// "A-B" with A <= B (either may be negative: "-5--1"), or a single frame "N".
void ParseFrames(const std::string& text, int32_t* first, int32_t* last) {
  size_t dash = text.find('-', 1);
  bool parsed = dash == std::string::npos ? ParseInt(text, first) && ParseInt(text, last)
                                          : ParseInt(text.substr(0, dash), first) && ParseInt(text.substr(dash + 1), last);
  if (!parsed) Refuse("--frames: '" + text + "' is not a frame range A-B");
  if (*first > *last) Refuse("--frames: '" + text + "' ends before it begins");
  std::string tooMany;
  if (!CheckFrameCount(*first, *last, &tooMany)) Refuse(tooMany);
}

bool IsPreviewFile(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".png" || extension == ".svg" || extension == ".html";
}

// A file to be written later must have a folder to go to: checked before the
// module runs, so a long run is not wasted on a typo.
void RequireFolderOf(const std::filesystem::path& file, const std::string& flag) {
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) return;
  std::error_code failure;
  if (!std::filesystem::is_directory(folder, failure))
    Refuse(flag + ": " + file.string() + ": the folder " + folder.string() + " does not exist");
}

// Everything decided before the module runs.
struct CWirePlan {
  std::vector<std::filesystem::path> meshFiles;
  std::vector<std::string> storedMeshes;  // as the scene will hold them
  std::vector<cliio::CImportedMesh> meshes;
  std::vector<uint8_t> stream;
  CScene scene;
  std::filesystem::path sceneFile;
  std::filesystem::path output;
  cliio::WireFormat format = cliio::WireFormat::kObj;
  bool toStdout = false;  // -o -
  std::optional<cliio::CFramePattern> outputPattern, previewPattern;
  std::filesystem::path preview;
  cliio::CPreviewOptions previewOptions;
  int32_t firstFrame = 0, lastFrame = 0;
  bool frames = false;
  bool sceneRead = false;       // an existing scene file was read
  bool settingsKnown = false;   // the stream decodes into `settings`
  CStoredSettings settings;     // what the stream holds, when known
  bool pushShare = false;       // the push is a share of the model's size
  float pushPercent = 0;
  double modelSize = 0;
  std::string selectionSource = "--select";  // who gave the list, for warnings
  std::vector<std::string> warnings;  // for stderr before the module runs
};

// The stream the module is given. Without --push and without a scene that was
// read, the push is kDefaultPushShare of the model's size (the module's own
// default of 10 would put the wires far from most meshes); a share given with
// --push is resolved the same way. One instance holds one push for all its
// groups, so the share is of the model's size: the largest group's diagonal.
std::vector<uint8_t> SettingsFor(const CWireArguments& arguments, CWirePlan* plan) {
  const CScene& scene = plan->scene;
  bool overrides = arguments.modeGiven || arguments.pushGiven || arguments.scaleGiven || arguments.selectGiven;
  CStoredSettings settings;
  std::string detail;
  if (scene.hasSettings) {
    if (!overrides) {
      plan->settingsKnown = DecodeSettings(scene.settings, &plan->settings, &detail);
      return scene.settings;
    }
    if (!DecodeSettings(scene.settings, &settings, &detail))
      Refuse(arguments.scene + ": " + detail + "; the command line's settings cannot be applied to them");
  }
  if (arguments.modeGiven) settings.mode = ParseMode(arguments.mode);
  CPushValue push;
  if (arguments.pushGiven) {
    push = ParsePushFlag(arguments.push);
  } else if (!plan->sceneRead) {
    push.share = true;
    push.value = kDefaultPushShare;
  }
  if (push.share) {
    plan->pushShare = true;
    plan->pushPercent = push.value;
    settings.push = PushFromShare(push.value, plan->modelSize);
  } else if (arguments.pushGiven) {
    settings.push = push.value;
  }
  if (arguments.scaleGiven) settings.scale = ParseScaleFlag(arguments.scale);
  if (arguments.selectGiven) {
    if (arguments.select.size() > kMaxSelectionText)
      Refuse("--select: the list has " + std::to_string(arguments.select.size()) + " characters, at most 254 are stored");
    settings.useExclude = 1;
    settings.text = arguments.select;
  }
  plan->settings = settings;
  plan->settingsKnown = true;
  return EncodeSettings(settings);
}

// The preview's header: the mesh files' names and the settings the run uses.
void SetPreviewCaption(const std::vector<std::filesystem::path>& files, const std::vector<uint8_t>& stream,
                       cliio::CPreviewCaption* caption) {
  for (const std::filesystem::path& file : files)
    caption->source += (caption->source.empty() ? "" : ", ") + file.filename().string();
  CStoredSettings settings;
  std::string detail;
  caption->hasSettings = DecodeSettings(stream, &settings, &detail);
  caption->mode = settings.mode;
  caption->push = settings.push;
  caption->scale = settings.scale;
  if (settings.useExclude) caption->selection = settings.text;
}

std::string Shortest(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

// Warnings about settings that will not give what the user most likely wants;
// the run goes on as asked.
void WarnAboutSettings(const CWireArguments& arguments, CWirePlan* plan) {
  if (!plan->settingsKnown) return;
  const CStoredSettings& settings = plan->settings;
  if (!plan->pushShare && plan->modelSize > 0 && std::fabs(double(settings.push)) > plan->modelSize) {
    std::string source = arguments.pushGiven ? "--push " + arguments.push : "the scene's push " + Shortest(settings.push);
    plan->warnings.push_back(source + " is larger than the model (size " + Shortest(plan->modelSize) +
                             ", its largest bounding-box diagonal): the wires will lie far from the surface; "
                             "a share such as --push 1% keeps them close");
  }
  if (!arguments.selectGiven) plan->selectionSource = "the scene's selection list";
  if (settings.useExclude) {
    CSelectionCheck check = CheckSelection(settings.text);
    const char* items = settings.mode == 0 ? "facet" : "chain";
    if (!check.skipped.empty()) {
      std::string words;
      for (const std::string& word : check.skipped) words += (words.empty() ? "'" : ", '") + word + "'";
      plan->warnings.push_back(plan->selectionSource + ": " + words + (check.skipped.size() == 1 ? " is" : " are") +
                               " not a number, a range A-B or a step *N, and the module skips " +
                               (check.skipped.size() == 1 ? "it" : "them"));
    }
    if (!check.namesAnyNumber)
      plan->warnings.push_back(plan->selectionSource + ": '" + settings.text + "' names no " + items +
                               " (they are numbered from 1): nothing will be wired");
  }
  if (settings.mode == 1) {
    std::vector<std::string> soups;
    for (const cliio::CImportedMesh& mesh : plan->meshes)
      if (PolygonsShareNoCorner(mesh)) soups.push_back(mesh.name);
    if (!soups.empty()) {
      std::string names = "'" + soups[0] + "'";
      if (soups.size() > 1) names += " and " + std::to_string(soups.size() - 1) + " more";
      plan->warnings.push_back("mode 1 (borders): no two facets of " + names +
                               " share a corner (each facet has its own vertices, as in STL), so every facet is "
                               "its own border; --mode 2 (welded) joins coincident corners first");
    }
  }
}

// The flag values and output names, checked before any file is read.
void PlanFlags(const CWireArguments& arguments, CWirePlan* plan) {
  if (arguments.modeGiven) ParseMode(arguments.mode);
  if (arguments.pushGiven) ParsePushFlag(arguments.push);
  if (arguments.scaleGiven) ParseScaleFlag(arguments.scale);
  if (arguments.framesGiven) {
    ParseFrames(arguments.frames, &plan->firstFrame, &plan->lastFrame);
    plan->frames = true;
  }
  plan->output = arguments.outputGiven ? arguments.output : cliio::kDefaultWireOutput;
  if (arguments.outputGiven && arguments.output.empty()) Refuse("-o: the output name is empty");
  plan->toStdout = plan->output == "-";
  cliio::WireFormat named;
  if (arguments.formatGiven && !cliio::WireFormatNamed(arguments.format, &named))
    Refuse("--format: '" + arguments.format + "' is not obj, ply, gltf or glb");
  if (plan->toStdout && !arguments.formatGiven) Refuse("-o -: standard output needs --format obj|ply|gltf|glb");
  if (!plan->toStdout && !cliio::WireFormatFor(plan->output, &plan->format))
    Refuse("-o: " + plan->output.string() + ": the extension is not .obj, .ply, .gltf or .glb");
  if (!plan->toStdout && arguments.formatGiven && named != plan->format)
    Refuse("--format " + arguments.format + ": -o " + plan->output.string() + " names another format");
  if (arguments.formatGiven) plan->format = named;
  std::string patternError;
  if (plan->frames) {
    if (!arguments.outputGiven) Refuse("--frames: needs -o with a %d or %04d pattern for the frame number");
    cliio::CFramePattern pattern;
    if (!cliio::CFramePattern::Parse(arguments.output, &pattern, &patternError)) Refuse("-o: " + patternError);
    plan->outputPattern = pattern;
  }
  RequireFolderOf(plan->output, "-o");
  if (!arguments.view.empty() && !cliio::ParsePreviewView(arguments.view, &plan->previewOptions.view))
    Refuse("--view: '" + arguments.view + "' is not iso, front, back, left, right, top or bottom");
  if (!arguments.view.empty() && !arguments.previewGiven) Refuse("--view: needs --preview");
  if (arguments.previewGiven) {
    plan->preview = arguments.preview;
    RequireFolderOf(plan->preview, "--preview");
    if (!IsPreviewFile(plan->preview)) Refuse("--preview: " + arguments.preview + ": the extension is not .png, .svg or .html");
    if (plan->frames) {
      cliio::CFramePattern pattern;
      if (!cliio::CFramePattern::Parse(arguments.preview, &pattern, &patternError)) Refuse("--preview: " + patternError);
      plan->previewPattern = pattern;
    }
  }
}

void CheckFlags(const CWireArguments& arguments) {
  CWirePlan plan;
  PlanFlags(arguments, &plan);
}

// Every file the run will write (the scene, which it also reads, included):
// checked against the meshes it reads and against each other before anything runs.
std::vector<std::filesystem::path> WrittenFiles(const CWirePlan& plan) {
  std::vector<std::filesystem::path> written;
  for (int64_t frame = plan.firstFrame; frame <= plan.lastFrame; ++frame) {
    if (!plan.toStdout)
      written.push_back(plan.outputPattern ? std::filesystem::path(plan.outputPattern->NameFor(int(frame))) : plan.output);
    if (!plan.preview.empty())
      written.push_back(plan.previewPattern ? std::filesystem::path(plan.previewPattern->NameFor(int(frame))) : plan.preview);
    if (!plan.frames) break;
  }
  if (!plan.sceneFile.empty()) written.push_back(plan.sceneFile);
  return written;
}

CWirePlan Plan(const CWireArguments& arguments, CProgressBar& bar) {
  CWirePlan plan;
  PlanFlags(arguments, &plan);

  if (arguments.sceneGiven) {
    if (arguments.scene.empty()) Refuse("--scene: the file name is empty");
    plan.sceneFile = arguments.scene;
    std::string clash;  // an output that is the scene, refused before the scene is read
    if (!CheckWrittenApart(WrittenFiles(plan), {}, &clash)) Refuse(clash);
    std::error_code failure;
    if (std::filesystem::exists(plan.sceneFile, failure)) {
      std::string error;
      if (!LoadScene(plan.sceneFile, &plan.scene, &error)) Refuse(error);
      plan.sceneRead = true;
    } else if (failure) {
      Refuse(arguments.scene + ": " + failure.message());
    } else {
      RequireFolderOf(plan.sceneFile, "--scene");
    }
  }

  if (!arguments.meshes.empty()) {
    for (const std::string& mesh : arguments.meshes) plan.meshFiles.push_back(mesh);
  } else if (!plan.scene.meshes.empty()) {
    for (const std::string& stored : plan.scene.meshes) plan.meshFiles.push_back(ResolveMeshPath(plan.sceneFile, stored));
    plan.storedMeshes = plan.scene.meshes;
  } else {
    std::filesystem::path folder = ExamplesFolder();
    if (folder.empty()) Refuse("no MESH given and the bundled example was not found (set TRESSEL_EXAMPLES to its folder)");
    plan.meshFiles.push_back(folder / kExampleMesh);
  }
  if (plan.storedMeshes.empty())
    for (const std::filesystem::path& file : plan.meshFiles) plan.storedMeshes.push_back(StoredMeshPath(plan.sceneFile, file));

  std::string clash;
  const std::vector<std::filesystem::path> written = WrittenFiles(plan);
  if (!CheckWrittenApart(written, plan.meshFiles, &clash) || !ProbeWritable(written, &clash)) Refuse(clash);

  if (!arguments.inputFormat.empty() && !cliio::KnownInputFormat(arguments.inputFormat))
    Refuse("--input-format: '" + arguments.inputFormat + "' is not a format the importer reads");
  for (const std::filesystem::path& file : plan.meshFiles) {
    std::string error;
    std::vector<std::string> warnings;
    SetPhase("importing " + file.string());
    CProgressPhase importing(bar, "Importing " + (file == "-" ? std::string("standard input") : file.filename().string()));
    cliio::CImportOptions importOptions;
    importOptions.format = arguments.inputFormat;
    importOptions.progress = [&importing](double fraction) { return importing.Report(fraction); };
    importOptions.warnings = &warnings;
    std::vector<cliio::CImportedMesh> imported = cliio::ImportMeshFile(file, &error, importOptions);
    if (CInterruptGuard::Interrupted()) throw CWireCancelled{};
    for (const std::string& warning : warnings)
      std::cerr << "tressel: wire: warning: " << cliio::Printable(file.string() + ": " + warning) << "\n";
    if (imported.empty()) Refuse(error.empty() ? file.string() + ": no mesh in the file" : error);
    importing.Complete();
    for (cliio::CImportedMesh& mesh : imported) plan.meshes.push_back(std::move(mesh));
  }
  plan.modelSize = ModelSize(plan.meshes);
  plan.stream = SettingsFor(arguments, &plan);
  WarnAboutSettings(arguments, &plan);
  SetPreviewCaption(plan.meshFiles, plan.stream, &plan.previewOptions.caption);
  return plan;
}

// Turns 'STAT' reports into the bar and Ctrl-C into a cancel answer. Two test
// aids let the whole way from signal to answer run without a terminal:
// $TRESSEL_INTERRUPT_AT_STATUS=n raises SIGINT at the n-th report, and
// $TRESSEL_REQUEST_DELAY_US=t waits t microseconds in every 'GETV' and 'GETF',
// so that even a small mesh takes long enough for the module to report.
class CStatusWatch {
 public:
  CStatusWatch(host::CHost& host, CProgressBar& bar) : mHost(host), mBar(bar) {
    const char* nth = std::getenv("TRESSEL_INTERRUPT_AT_STATUS");
    if (nth && *nth) mInterruptAt = std::atol(nth);
    const char* delay = std::getenv("TRESSEL_REQUEST_DELAY_US");
    if (delay && *delay) mDelayMicroseconds = std::atol(delay);
  }
  void OnRequest(uint32_t selector, void* record) {
    if (mDelayMicroseconds > 0 && (selector == Request::kGetVertex || selector == Request::kGetFacet))
      ::usleep(useconds_t(mDelayMicroseconds));
    if (selector != Request::kStatus) return;
    const auto& status = *static_cast<const HostStatusRec*>(record);
    ++mReports;
    if (mReports == mInterruptAt) ::raise(SIGINT);
    if (CInterruptGuard::Interrupted()) {
      // The rule fires on the report being served now.
      mHost.Faults().CancelStatus(1, kCancelAnswer);
      mCancelAnswered = true;
      return;
    }
    // A new title ends the previous phase: the module's last report of a
    // phase carries the share done before its last steps.
    std::string title = host::MacRomanToUtf8(host::PascalBytes(status.title));
    if (title != mTitle) mBar.Complete();
    mTitle = title;
    mBar.Show(title, status.fraction);
  }
  bool CancelAnswered() const { return mCancelAnswered; }
  // The requests OnRequest acts on; the host calls it for no others.
  uint32_t Kinds() const {
    uint32_t kinds = host::RequestKindBit(Request::kStatus);
    if (mDelayMicroseconds > 0) kinds |= host::RequestKindBit(Request::kGetVertex) | host::RequestKindBit(Request::kGetFacet);
    return kinds;
  }

 private:
  host::CHost& mHost;
  CProgressBar& mBar;
  std::string mTitle;
  long mReports = 0;
  long mInterruptAt = 0;
  long mDelayMicroseconds = 0;
  bool mCancelAnswered = false;
};

// What the summary says of a frame's groups (their names and the counts of
// their wires); the wires themselves are written to their temporary at once
// and dropped.
struct CFrameResult {
  int32_t frame = 0;
  std::vector<CGroupCounts> groups;
};

// The scene as the run leaves it: the meshes used, the stream the module left
// after the tag slot, the setup as read, the keys read plus those the host's
// channels of this instance hold now.
CScene RunScene(const CWirePlan& plan, const host::CHost& host) {
  CScene saved = plan.scene;
  saved.meshes = plan.storedMeshes;
  std::vector<uint8_t> stored = host.InstanceData(0);
  saved.hasSettings = stored.size() >= kTagSlotBytes;
  saved.settings.assign(stored.begin() + std::ptrdiff_t(std::min(stored.size(), kTagSlotBytes)), stored.end());
  for (const auto& channel : host.Channels())
    if (channel->instance == 0 && !channel->keys.empty()) saved.channels[channel->name] = channel->keys;
  return saved;
}

void CountGroups(const CWirePlan& plan, const std::vector<CFrameResult>& results, CRunSummary* summary) {
  for (const CFrameResult& result : results) {
    for (size_t p = 0; p < result.groups.size(); ++p) {
      const cliio::CImportedMesh& mesh = plan.meshes[p];
      CGroupCounts counts = result.groups[p];
      counts.framed = plan.frames;
      counts.frame = result.frame;
      counts.vertices = mesh.VertexCount();
      counts.facets = mesh.FacetCount();
      counts.dropped = uint64_t(DroppedFacets(mesh));
      summary->groups.push_back(counts);
    }
  }
}

void DescribePlan(const CWirePlan& plan, CRunSummary* summary) {
  summary->settingsKnown = plan.settingsKnown;
  summary->mode = plan.settings.mode;
  summary->push = plan.settings.push;
  summary->scale = plan.settings.scale;
  summary->pushShare = plan.pushShare;
  summary->pushPercent = plan.pushPercent;
  summary->modelSize = plan.modelSize;
  summary->selection = plan.settings.useExclude != 0;
  summary->selectionText = plan.settings.text;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// With the list on, an item is wired exactly when the list names it: a run
// that wired nothing at all named nothing that exists.
void WarnIfNothingSelected(const CWirePlan& plan, const CRunSummary& summary) {
  if (!plan.settingsKnown || !plan.settings.useExclude || summary.groups.empty()) return;
  uint64_t segments = 0, facets = 0;
  for (const CGroupCounts& group : summary.groups) {
    segments += group.segments;
    facets = std::max(facets, group.facets - group.dropped);
  }
  if (segments != 0) return;
  CSelectionCheck check = CheckSelection(plan.settings.text);
  if (!check.namesAnyNumber) return;  // already said before the run
  std::string detail = plan.settings.mode == 0 ? "no facet it names exists (the groups have at most " +
                                                     std::to_string(facets) + " facets to wire)"
                                               : "no border chain it names exists";
  std::cerr << "tressel: wire: warning: " << plan.selectionSource << ": '" << cliio::Printable(plan.settings.text) << "': " << detail
            << "; nothing was wired\n";
}

int Cancelled() {
  std::cerr << "tressel: wire: cancelled; nothing was written\n";
  return CInterruptGuard::ExitStatus();
}

int Fail(const std::string& line) {
  std::cerr << "tressel: wire: " << cliio::Printable(line) << "\n";
  return kExitUsage;
}

// One run of the module over `arguments.meshes`, its progress on `bar`; the
// summary receives what it did (also when it fails after planning).
int RunOnce(const CWireArguments& arguments, const CGlobalOptions& options, CProgressBar& bar, CRunSummary* summary) {
  auto started = std::chrono::steady_clock::now();
  CWirePlan plan;
  try {
    plan = Plan(arguments, bar);
  } catch (const CWireError& error) {
    bar.Clear();
    return summary->status = Fail(error.line);
  } catch (const CWireCancelled&) {
    bar.Clear();
    return summary->status = Cancelled();
  }
  summary->importSeconds = SecondsSince(started);
  for (const std::filesystem::path& file : plan.meshFiles) summary->inputs.push_back(file.string());
  DescribePlan(plan, summary);
  for (const std::string& warning : plan.warnings) std::cerr << "tressel: wire: warning: " << cliio::Printable(warning) << "\n";
  started = std::chrono::steady_clock::now();

  SetPhase("loading the module");
  CSession session;
  if (!session.Open(ModulePath(options.modulePath))) return kExitUsage;
  host::CHost& host = session.Host();
  for (const cliio::CImportedMesh& mesh : plan.meshes) host.AddGroup(ChildGroupFor(mesh));
  std::vector<uint8_t> block(kTagSlotBytes + plan.stream.size(), 0);
  std::copy(plan.stream.begin(), plan.stream.end(), block.begin() + std::ptrdiff_t(kTagSlotBytes));
  host.SetInstanceData(0, block);
  host.Setup() = plan.scene.setup;

  CStatusWatch watch(host, bar);
  host.onRequest = [&watch](uint32_t selector, void* record) { watch.OnRequest(selector, record); };
  host.onRequestKinds = watch.Kinds();

  // Each frame's wires go to their temporaries as soon as they are made.
  CWriteStage stage(bar);
  std::string writeError;
  std::vector<CFrameResult> results;
  std::vector<cliio::CWireGroup> standardOutputGroups;  // -o -: the one frame's wires
  double writingSeconds = 0;  // staging the frames' files, inside the module's loop
  uint32_t failedSelector = 0;
  int32_t failedResult = 0;
  auto send = [&](uint32_t selector) {
    int32_t result = host.Send(selector);
    if (result != 0 && !failedSelector) {
      failedSelector = selector;
      failedResult = result;
    }
    return result == 0;
  };
  SetPhase("running the module");
  bool initialized = send(Selector::kInitialize);
  bool running = initialized;
  for (int64_t frame = plan.firstFrame; running && frame <= plan.lastFrame; ++frame) {
    SetPhase(plan.frames ? "running the module on frame " + std::to_string(frame) : "running the module");
    host.Setup().setupTime = plan.frames ? int32_t(frame) : plan.scene.setup.setupTime;
    running = send(Selector::kModelSetup);
    if (running && frame == plan.firstFrame) {
      running = send(Selector::kInitChannel);
      for (const auto& [name, keys] : plan.scene.channels)
        if (host::CChannel* channel = host.FindChannel(0, name)) channel->keys = keys;
    }
    running = running && send(Selector::kLoadChannel) && send(Selector::kGenerate);
    running = running && !CInterruptGuard::Interrupted();
    if (!running) break;
    bar.Complete();
    // Memory running out here still lets the module finish ('FINI') below.
    try {
      CFrameResult result;
      result.frame = int32_t(frame);
      const auto writingStarted = std::chrono::steady_clock::now();
      // The output and a preview read the wires where the host holds them;
      // standard output, written after the module has finished, takes a copy.
      std::vector<CReceivedWires> received;
      for (int p = 0; p < host.GroupCount(); ++p) received.emplace_back(plan.meshes[size_t(p)].name, host.Received(p));
      cliio::CWireSources sources;
      for (const CReceivedWires& wires : received) {
        sources.push_back(&wires);
        CGroupCounts counts;
        counts.name = wires.Name();
        counts.wires = cliio::CountPolylines(wires);
        counts.segments = wires.SegmentCount();
        result.groups.push_back(counts);
      }
      const std::filesystem::path preview =
          plan.previewPattern ? std::filesystem::path(plan.previewPattern->NameFor(result.frame)) : plan.preview;
      cliio::CPreviewOptions previewOptions = plan.previewOptions;
      previewOptions.caption.hasFrame = plan.frames;
      previewOptions.caption.frame = result.frame;
      previewOptions.caption.hasCounts = true;
      previewOptions.caption.wires = previewOptions.caption.segments = 0;
      for (const CGroupCounts& counts : result.groups) {
        previewOptions.caption.wires += counts.wires;
        previewOptions.caption.segments += counts.segments;
      }
      // Wires written to a file are checked once, here, for the writer and
      // for their preview, which is drawn meanwhile on a thread of its own.
      // Wires that fail are left to the writer, whose error names them.
      std::optional<CPreviewDrawing> drawing;
      std::string invalid;
      const bool checked = !plan.toStdout && cliio::CheckWireGroups(sources, &invalid);
      if (checked && !plan.preview.empty()) {
        previewOptions.wiresChecked = true;
        drawing.emplace(preview, sources, plan.meshes, previewOptions);
      }
      if (plan.toStdout) {
        // Standard output is written only when everything else is in place.
        standardOutputGroups.clear();
        for (int p = 0; p < host.GroupCount(); ++p)
          standardOutputGroups.push_back(WiresOf(plan.meshes[size_t(p)].name, host.Received(p)));
      } else {
        const std::filesystem::path output =
            plan.outputPattern ? std::filesystem::path(plan.outputPattern->NameFor(result.frame)) : plan.output;
        SetPhase("writing " + output.string());
        running = stage.StageWires(output, plan.format, sources, &writeError, checked);
      }
      if (running && !plan.preview.empty()) {
        SetPhase("drawing " + preview.string());
        running = drawing ? stage.StageDrawing(preview, *drawing, &writeError)
                          : stage.StagePreview(preview, sources, plan.meshes, previewOptions, &writeError);
      }
      results.push_back(std::move(result));
      writingSeconds += SecondsSince(writingStarted);
    } catch (const std::bad_alloc&) {
      writeError = OutOfMemoryLine();
      running = false;
    }
  }
  bool cancelled = watch.CancelAnswered() || CInterruptGuard::Interrupted();
  host.onRequest = nullptr;
  host.onRequestKinds = host::kAllRequestKinds;
  bar.Clear();
  SetPhase("running the module");
  if (initialized) send(Selector::kFinish);
  // Each frame's files were written as the frame was made: that time is the
  // writing's, not the module's.
  summary->moduleSeconds = SecondsSince(started) - writingSeconds;
  started = std::chrono::steady_clock::now();

  if (!host.Clean()) return summary->status = session.Finish(failedSelector, 0);
  if (cancelled) return summary->status = Cancelled();
  if (failedSelector) return summary->status = session.Finish(failedSelector, failedResult);
  for (const cliio::CImportedMesh& mesh : plan.meshes)
    if (writeError.empty() && mesh.SourceChanged())
      writeError = "mesh '" + mesh.name + "': its file changed while the run read it";
  if (!writeError.empty()) {
    stage.Abandon();
    return summary->status = Fail(writeError + "; nothing was written");
  }

  std::string error;
  if (!plan.sceneFile.empty()) {
    SetPhase("saving " + plan.sceneFile.string());
    if (!stage.StageBytes(plan.sceneFile, SceneText(RunScene(plan, host)), &error)) {
      bar.Clear();
      if (CInterruptGuard::Interrupted()) return summary->status = Cancelled();
      return summary->status = Fail(error + "; nothing was written");
    }
  }
  bar.Clear();
  if (CInterruptGuard::Interrupted()) return summary->status = Cancelled();
  if (!stage.Commit(&error)) return summary->status = Fail(error);
  if (plan.toStdout) {
    SetPhase("writing standard output");
    cliio::CDescriptorSink standardOutput(STDOUT_FILENO);
    if (!cliio::WriteWires(standardOutputGroups, plan.format, standardOutput, &error))
      return summary->status = Fail("standard output: " + error);
  }
  summary->writeSeconds = writingSeconds + SecondsSince(started);
  for (const CFrameResult& result : results)
    summary->outputs.push_back(plan.toStdout ? std::string("-")
                               : plan.outputPattern ? plan.outputPattern->NameFor(result.frame) : plan.output.string());
  CountGroups(plan, results, summary);
  WarnIfNothingSelected(plan, *summary);
  return kExitOk;
}

// `tressel wire`: one run, or one run per input; then the summary.
int RunWires(const CWireArguments& arguments, const CGlobalOptions& options, CProgressBar& bar) {
  const auto started = std::chrono::steady_clock::now();
  CRunRequest request;
  request.meshes = arguments.meshes;
  request.each = arguments.each;
  request.outputGiven = arguments.outputGiven;
  request.output = arguments.output;
  request.previewGiven = arguments.previewGiven;
  request.preview = arguments.preview;
  request.frames = arguments.framesGiven;
  std::vector<CInputRun> inputs;
  std::string error;
  if (!SplitRuns(request, &inputs, &error)) return Fail(error);
  const bool perInput = RunsPerInput(request);
  const bool toStdout = arguments.outputGiven && arguments.output == "-";
  if (perInput && toStdout) {
    std::cerr << "tressel: wire: -o -: one output per input cannot all go to standard output\n";
    return kExitUsage;
  }
  if (perInput && arguments.sceneGiven) {
    std::cerr << "tressel: wire: --scene: a scene holds one model; it cannot be combined with one output per input\n";
    return kExitUsage;
  }
  std::vector<CRunSummary> runs;
  int status = kExitOk;
  for (const CInputRun& input : inputs) {
    CWireArguments one = arguments;
    if (perInput) {
      one.meshes = input.meshes;
      one.output = input.output;
      one.outputGiven = true;
      one.preview = input.preview;
    }
    if (&input == &inputs.front()) {
      // The flags are the same for every input: a mistake in them is told once.
      try {
        CheckFlags(one);
      } catch (const CWireError& refused) {
        return Fail(refused.line);
      }
    }
    CRunSummary summary;
    summary.status = RunOnce(one, options, bar, &summary);
    if (summary.inputs.empty()) summary.inputs = input.meshes;
    runs.push_back(summary);
    if (summary.status != kExitOk && status == kExitOk) status = summary.status;
    if (CInterruptGuard::Interrupted()) break;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::ostream& report = toStdout ? std::cerr : std::cout;  // standard output may hold the wires
  if (arguments.json) {
    report << SummaryJson(runs, seconds, PeakMemoryBytes()) << std::flush;
  } else if (!arguments.quiet && (status == kExitOk || perInput)) {
    PrintSummary(report, runs, seconds, PeakMemoryBytes());
  }
  return status;
}

int RunWire(const CWireArguments& arguments, const CGlobalOptions& options) {
  CInterruptGuard interrupts;
  CProgressBar bar(arguments.quiet ? CProgressBar::Style::kNone : CProgressBar::StyleForStderr());
  SetPhase("reading the arguments");
  try {
    return RunWires(arguments, options, bar);
  } catch (const std::bad_alloc&) {
    bar.Clear();
    return Fail(OutOfMemoryLine());
  }
}

}  // namespace

void AddWireCommand(CLI::App& app, Action* action) {
  CLI::App* command = app.add_subcommand("wire", "Generate wires from meshes and write them to a file");
  auto arguments = std::make_shared<CWireArguments>();
  command->add_option("MESH", arguments->meshes, "mesh files, each mesh in them one child group (default: the bundled example)")->type_name("");
  command->add_option("--input-format", arguments->inputFormat, "what a MESH of '-' (standard input) holds: obj, off, stl, ply, glb, ...")->type_name("EXT");
  command->add_option("-o,--output", arguments->output, "output file: .obj .ply .gltf .glb (default wires.obj); - is standard output, with --format; {stem} in it: one output per MESH")->type_name("OUT");
  command->add_option("--format", arguments->format, "output format, for -o - (standard output): obj ply gltf glb")->type_name("FMT");
  command->add_option("--mode", arguments->mode, "0/rings: a ring per facet, 1/borders: border chains, 2/welded: border chains after merging coincident vertices")->type_name("MODE");
  command->add_option("--push", arguments->push, "distance along the facet normals, or a share of the model's size such as 2% (default 1%)")->type_name("X");
  command->add_option("--scale", arguments->scale, "factor about each wire's centre, or a percentage (default 1)")->type_name("Y");
  command->add_option("--select", arguments->select, "wire only the facets or chains this list names (e.g. \"1-3, *4\")")->type_name("TEXT");
  command->add_option("--scene", arguments->scene, "scene file to read when it exists and to save after the run")->type_name("FILE");
  command->add_option("--frames", arguments->frames, "frame range A-B: one output per frame, -o needs a %d pattern")->type_name("A-B");
  command->add_option("--preview", arguments->preview, "also draw the wires to a .png or .svg, or an interactive 3D .html page")->type_name("FILE");
  command->add_option("--view", arguments->view, "the preview picture's view (default iso)")->type_name("iso|front|back|left|right|top|bottom");
  command->add_flag("--each", arguments->each, "one output per MESH, named by -o with {stem} (default {stem}-wires.obj)");
  command->add_flag("-q,--quiet", arguments->quiet, "print no summary and no progress bar (warnings and errors still go to stderr)");
  command->add_flag("--json", arguments->json, "print the summary as one JSON document");
  command->callback([command, action, arguments] {
    if (arguments->quiet && arguments->json) throw CLI::ValidationError("--quiet and --json exclude each other");
    arguments->outputGiven = command->count("--output") > 0;
    arguments->formatGiven = command->count("--format") > 0;
    arguments->modeGiven = command->count("--mode") > 0;
    arguments->pushGiven = command->count("--push") > 0;
    arguments->scaleGiven = command->count("--scale") > 0;
    arguments->selectGiven = command->count("--select") > 0;
    arguments->sceneGiven = command->count("--scene") > 0;
    arguments->framesGiven = command->count("--frames") > 0;
    arguments->previewGiven = command->count("--preview") > 0;
    *action = [arguments](const CGlobalOptions& options) { return RunWire(*arguments, options); };
  });
}

}  // namespace cli
