// `tressel wire [MESH...]`: imports the meshes as the model's child groups,
// hands the module its stored settings the way a host restores a scene, runs
// 'INIT', then per frame 'SETM', ('ICHN' once), 'LCHN', 'GENM', then 'FINI',
// and writes the wires each frame produced. Nothing is written unless every
// frame succeeded; a scene file, when named, is saved last.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/ExampleMesh.h"
#include "cli/Progress.h"
#include "cli/SceneFile.h"
#include "cli/Session.h"
#include "cli/StoredSettings.h"
#include "cli/WireGroups.h"
#include "cli/io/FramePattern.h"
#include "cli/io/MeshImport.h"
#include "cli/io/Preview.h"
#include "cli/io/WireWriters.h"
#include "host/MacRoman.h"

namespace cli {
namespace {

constexpr int kExitCancelled = 130;  // as a shell reports a run ended by Ctrl-C
constexpr int32_t kCancelAnswer = 4;  // the module's "user canceled" code
constexpr size_t kTagSlotBytes = sizeof(void*);

struct CWireArguments {
  std::vector<std::string> meshes;
  std::string output, mode, push, scale, select, scene, frames, preview, format;
  bool formatGiven = false;
  bool outputGiven = false, modeGiven = false, pushGiven = false, scaleGiven = false, selectGiven = false;
  bool sceneGiven = false, framesGiven = false, previewGiven = false;
};

// A usage mistake or a file problem: one line for stderr, exit status 2.
struct CWireError {
  std::string line;
};

[[noreturn]] void Refuse(const std::string& line) { throw CWireError{line}; }

int32_t ParseMode(const std::string& text) {
  if (text == "0" || text == "1" || text == "2") return text[0] - '0';
  Refuse("--mode: '" + text + "' is not 0, 1 or 2");
}

float ParseFloat(const std::string& flag, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  float value = std::strtof(text.c_str(), &end);
  if (text.empty() || *end != '\0' || std::isspace(static_cast<unsigned char>(text[0])))
    Refuse(flag + ": '" + text + "' is not a number");
  if (!std::isfinite(value) || (errno == ERANGE && std::fabs(value) > 1))
    Refuse(flag + ": '" + text + "' is not a finite single-precision number");
  return value;
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
}

bool IsPreviewFile(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".png" || extension == ".svg";
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
  int32_t firstFrame = 0, lastFrame = 0;
  bool frames = false;
};

std::vector<uint8_t> SettingsFor(const CWireArguments& arguments, const CScene& scene, const std::string& sceneName) {
  bool overrides = arguments.modeGiven || arguments.pushGiven || arguments.scaleGiven || arguments.selectGiven;
  CStoredSettings settings;
  if (scene.hasSettings) {
    if (!overrides) return scene.settings;
    std::string detail;
    if (!DecodeSettings(scene.settings, &settings, &detail))
      Refuse(sceneName + ": " + detail + "; the command line's settings cannot be applied to them");
  }
  if (arguments.modeGiven) settings.mode = ParseMode(arguments.mode);
  if (arguments.pushGiven) settings.push = ParseFloat("--push", arguments.push);
  if (arguments.scaleGiven) settings.scale = ParseFloat("--scale", arguments.scale);
  if (arguments.selectGiven) {
    if (arguments.select.size() > kMaxSelectionText)
      Refuse("--select: the list has " + std::to_string(arguments.select.size()) + " characters, at most 254 are stored");
    settings.useExclude = 1;
    settings.text = arguments.select;
  }
  return EncodeSettings(settings);
}

CWirePlan Plan(const CWireArguments& arguments) {
  CWirePlan plan;
  // Flag values first, so a mistake is reported before any file is read.
  if (arguments.modeGiven) ParseMode(arguments.mode);
  if (arguments.pushGiven) ParseFloat("--push", arguments.push);
  if (arguments.scaleGiven) ParseFloat("--scale", arguments.scale);
  if (arguments.framesGiven) {
    ParseFrames(arguments.frames, &plan.firstFrame, &plan.lastFrame);
    plan.frames = true;
  }
  plan.output = arguments.outputGiven ? arguments.output : cliio::kDefaultWireOutput;
  if (arguments.outputGiven && arguments.output.empty()) Refuse("-o: the output name is empty");
  plan.toStdout = plan.output == "-";
  cliio::WireFormat named;
  if (arguments.formatGiven && !cliio::WireFormatNamed(arguments.format, &named))
    Refuse("--format: '" + arguments.format + "' is not obj, ply, gltf or glb");
  if (plan.toStdout && !arguments.formatGiven) Refuse("-o -: standard output needs --format obj|ply|gltf|glb");
  if (!plan.toStdout && !cliio::WireFormatFor(plan.output, &plan.format))
    Refuse("-o: " + plan.output.string() + ": the extension is not .obj, .ply, .gltf or .glb");
  if (!plan.toStdout && arguments.formatGiven && named != plan.format)
    Refuse("--format " + arguments.format + ": -o " + plan.output.string() + " names another format");
  if (arguments.formatGiven) plan.format = named;
  std::string patternError;
  if (plan.frames) {
    if (!arguments.outputGiven) Refuse("--frames: needs -o with a %d or %04d pattern for the frame number");
    cliio::CFramePattern pattern;
    if (!cliio::CFramePattern::Parse(arguments.output, &pattern, &patternError)) Refuse("-o: " + patternError);
    plan.outputPattern = pattern;
  }
  RequireFolderOf(plan.output, "-o");
  if (arguments.previewGiven) {
    plan.preview = arguments.preview;
    RequireFolderOf(plan.preview, "--preview");
    if (!IsPreviewFile(plan.preview)) Refuse("--preview: " + arguments.preview + ": the extension is not .png or .svg");
    if (plan.frames) {
      cliio::CFramePattern pattern;
      if (!cliio::CFramePattern::Parse(arguments.preview, &pattern, &patternError)) Refuse("--preview: " + patternError);
      plan.previewPattern = pattern;
    }
  }

  if (arguments.sceneGiven) {
    if (arguments.scene.empty()) Refuse("--scene: the file name is empty");
    plan.sceneFile = arguments.scene;
    std::error_code failure;
    if (std::filesystem::exists(plan.sceneFile, failure)) {
      std::string error;
      if (!LoadScene(plan.sceneFile, &plan.scene, &error)) Refuse(error);
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

  for (const std::filesystem::path& file : plan.meshFiles) {
    std::string error;
    std::vector<cliio::CImportedMesh> imported = cliio::ImportMeshFile(file, &error);
    if (imported.empty()) Refuse(error.empty() ? file.string() + ": no mesh in the file" : error);
    for (cliio::CImportedMesh& mesh : imported) plan.meshes.push_back(std::move(mesh));
  }
  plan.stream = SettingsFor(arguments, plan.scene, arguments.scene);
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
    mBar.Show(host::MacRomanToUtf8(host::PascalBytes(status.title)), status.fraction);
  }
  bool CancelAnswered() const { return mCancelAnswered; }

 private:
  host::CHost& mHost;
  CProgressBar& mBar;
  long mReports = 0;
  long mInterruptAt = 0;
  long mDelayMicroseconds = 0;
  bool mCancelAnswered = false;
};

struct CFrameResult {
  int32_t frame = 0;
  std::vector<cliio::CWireGroup> groups;
};

// The scene as the run leaves it: the meshes used, the stream the module left
// after the tag slot, the setup as read, the keys read plus those the host's
// channels of this instance hold now.
bool SaveRunScene(const CWirePlan& plan, const host::CHost& host, std::string* error) {
  CScene saved = plan.scene;
  saved.meshes = plan.storedMeshes;
  std::vector<uint8_t> stored = host.InstanceData(0);
  saved.hasSettings = stored.size() >= kTagSlotBytes;
  saved.settings.assign(stored.begin() + std::ptrdiff_t(std::min(stored.size(), kTagSlotBytes)), stored.end());
  for (const auto& channel : host.Channels())
    if (channel->instance == 0 && !channel->keys.empty()) saved.channels[channel->name] = channel->keys;
  return SaveScene(plan.sceneFile, saved, error);
}

void PrintSummary(const CWirePlan& plan, const std::vector<CFrameResult>& results, std::ostream& stream) {
  for (const CFrameResult& result : results) {
    for (size_t p = 0; p < result.groups.size(); ++p) {
      const cliio::CWireGroup& wires = result.groups[p];
      const cliio::CImportedMesh& mesh = plan.meshes[p];
      if (plan.frames) stream << "frame " << result.frame << ": ";
      stream << wires.name << ": vertices " << mesh.vertices.size() << ", facets " << mesh.facets.size()
                << ", dropped " << DroppedFacets(mesh) << ", wires " << cliio::CountPolylines(wires.segments)
                << ", segments " << wires.segments.size() << "\n";
    }
  }
}

int RunWire(const CWireArguments& arguments, const CGlobalOptions& options) {
  CWirePlan plan;
  try {
    plan = Plan(arguments);
  } catch (const CWireError& error) {
    std::cerr << "tressel: wire: " << error.line << "\n";
    return kExitUsage;
  }

  CSession session;
  if (!session.Open(ModulePath(options.modulePath))) return kExitUsage;
  host::CHost& host = session.Host();
  for (const cliio::CImportedMesh& mesh : plan.meshes) host.AddGroup(ChildGroupFor(mesh));
  std::vector<uint8_t> block(kTagSlotBytes + plan.stream.size(), 0);
  std::copy(plan.stream.begin(), plan.stream.end(), block.begin() + std::ptrdiff_t(kTagSlotBytes));
  host.SetInstanceData(0, block);
  host.Setup() = plan.scene.setup;

  CInterruptGuard interrupts;
  CProgressBar bar(CProgressBar::StderrIsTerminal());
  CStatusWatch watch(host, bar);
  host.onRequest = [&watch](uint32_t selector, void* record) { watch.OnRequest(selector, record); };

  std::vector<CFrameResult> results;
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
  bool initialized = send(Selector::kInitialize);
  bool running = initialized;
  for (int64_t frame = plan.firstFrame; running && frame <= plan.lastFrame; ++frame) {
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
    CFrameResult result;
    result.frame = int32_t(frame);
    for (int p = 0; p < host.GroupCount(); ++p) result.groups.push_back(WiresOf(plan.meshes[size_t(p)].name, host.Received(p)));
    results.push_back(std::move(result));
  }
  bool cancelled = watch.CancelAnswered() || CInterruptGuard::Interrupted();
  host.onRequest = nullptr;
  bar.Clear();
  if (initialized) send(Selector::kFinish);

  if (!host.Clean()) return session.Finish(failedSelector, 0);
  if (cancelled) {
    std::cerr << "tressel: wire: cancelled; nothing was written\n";
    return kExitCancelled;
  }
  if (failedSelector) return session.Finish(failedSelector, failedResult);

  std::string error;
  for (const CFrameResult& result : results) {
    std::filesystem::path output = plan.outputPattern ? std::filesystem::path(plan.outputPattern->NameFor(result.frame)) : plan.output;
    cliio::CDescriptorSink standardOutput(STDOUT_FILENO);
    if (plan.toStdout ? !cliio::WriteWires(result.groups, plan.format, standardOutput, &error)
                      : !cliio::WriteWireFile(output, result.groups, &error)) {
      if (plan.toStdout) error = "standard output: " + error;
      std::cerr << "tressel: wire: " << error << "\n";
      return kExitUsage;
    }
    if (!plan.preview.empty()) {
      std::filesystem::path preview = plan.previewPattern ? std::filesystem::path(plan.previewPattern->NameFor(result.frame)) : plan.preview;
      if (!cliio::WritePreview(preview, result.groups, plan.meshes, &error)) {
        std::cerr << "tressel: wire: " << error << "\n";
        return kExitUsage;
      }
    }
  }
  if (!plan.sceneFile.empty() && !SaveRunScene(plan, host, &error)) {
    std::cerr << "tressel: wire: " << error << "\n";
    return kExitUsage;
  }
  PrintSummary(plan, results, plan.toStdout ? std::cerr : std::cout);  // stdout may hold the wires
  return kExitOk;
}

}  // namespace

void AddWireCommand(CLI::App& app, Action* action) {
  CLI::App* command = app.add_subcommand("wire", "Generate wires from meshes and write them to a file");
  auto arguments = std::make_shared<CWireArguments>();
  command->add_option("MESH", arguments->meshes, "mesh files, each mesh in them one child group (default: the bundled example)")->type_name("");
  command->add_option("-o,--output", arguments->output, "output file: .obj .ply .gltf .glb (default wires.obj); - is standard output, with --format")->type_name("OUT");
  command->add_option("--format", arguments->format, "output format, for -o - (standard output): obj ply gltf glb")->type_name("FMT");
  command->add_option("--mode", arguments->mode, "0: a ring per facet, 1: border chains, 2: border chains after merging coincident vertices")->type_name("0|1|2");
  command->add_option("--push", arguments->push, "distance along the facet normals (default 10)")->type_name("X");
  command->add_option("--scale", arguments->scale, "factor about each wire's centre (default 1)")->type_name("Y");
  command->add_option("--select", arguments->select, "wire only the facets or chains this list names (e.g. \"1-3, *4\")")->type_name("TEXT");
  command->add_option("--scene", arguments->scene, "scene file to read when it exists and to save after the run")->type_name("FILE");
  command->add_option("--frames", arguments->frames, "frame range A-B: one output per frame, -o needs a %d pattern")->type_name("A-B");
  command->add_option("--preview", arguments->preview, "also draw the wires to a .png or .svg")->type_name("FILE");
  command->callback([command, action, arguments] {
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
