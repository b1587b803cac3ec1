// Staging every written file before renaming any; the chunked writes are the
// points where progress is drawn and a cancel is noticed.
#include "cli/WriteStage.h"

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "cli/io/Preview.h"
#include "cli/io/WireWriters.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

constexpr size_t kChunkBytes = size_t(4) << 20;
constexpr size_t kNamesListed = 3;  // destinations named in a partial-commit error, per state

struct CIdentity {
  std::optional<std::pair<dev_t, ino_t>> node;
  fs::path resolved;
};

CIdentity IdentityOf(const fs::path& file) {
  CIdentity identity;
  struct stat status;
  if (::stat(file.c_str(), &status) == 0) identity.node = std::make_pair(status.st_dev, status.st_ino);
  std::error_code failure;
  identity.resolved = fs::weakly_canonical(fs::absolute(file, failure), failure);
  if (failure) identity.resolved = fs::absolute(file, failure).lexically_normal();
  return identity;
}

bool Same(const CIdentity& a, const CIdentity& b) {
  if (a.node && b.node) return *a.node == *b.node;
  return a.resolved == b.resolved;
}

std::string Names(const std::vector<fs::path>& files) {
  std::string text;
  for (size_t k = 0; k < files.size() && k < kNamesListed; ++k) text += (k ? ", " : "") + files[k].string();
  if (files.size() > kNamesListed) text += " and " + std::to_string(files.size() - kNamesListed) + " more";
  return text;
}

std::string Cancelled(const fs::path& file) { return file.string() + ": not written: the run was cancelled"; }

}  // namespace

bool CheckFrameCount(int32_t first, int32_t last, std::string* error) {
  const int64_t count = int64_t(last) - int64_t(first) + 1;
  if (count <= kMaxFramesPerRun) return true;
  *error = "--frames: " + std::to_string(first) + "-" + std::to_string(last) + " is " + std::to_string(count) +
           " frames; one run writes at most " + std::to_string(kMaxFramesPerRun) + " (split the range)";
  return false;
}

bool CheckWrittenApart(const std::vector<fs::path>& written, const std::vector<fs::path>& read, std::string* error) {
  std::vector<CIdentity> readIds;
  for (const fs::path& file : read) readIds.push_back(IdentityOf(file));
  std::map<fs::path, size_t> byResolved;
  std::map<std::pair<dev_t, ino_t>, size_t> byNode;
  for (size_t w = 0; w < written.size(); ++w) {
    const CIdentity id = IdentityOf(written[w]);
    for (size_t r = 0; r < read.size(); ++r) {
      if (!Same(id, readIds[r])) continue;
      *error = written[w].string() + ": refused: the run would overwrite " +
               (read[r] == written[w] ? std::string("a file it reads") : read[r].string() + ", a file it reads") +
               "; choose another output";
      return false;
    }
    auto earlier = byResolved.find(id.resolved);
    if (earlier == byResolved.end() && id.node) {
      auto node = byNode.find(*id.node);
      if (node != byNode.end()) earlier = byResolved.find(IdentityOf(written[node->second]).resolved);
    }
    if (earlier != byResolved.end()) {
      *error = written[w].string() + ": refused: " + written[earlier->second].string() +
               " is the same file, and the run writes both";
      return false;
    }
    byResolved.emplace(id.resolved, w);
    if (id.node) byNode.emplace(*id.node, w);
  }
  return true;
}

namespace {

// A test aid: $TRESSEL_SIGNALS_AT_WRITE names signals ("INT", "TERM", "HUP",
// "QUIT", "ABRT", "USR1", "PIPE", in order, separated by commas) that the run sends itself once, when its
// first temporary holds its first chunk, so that tests can stop a run while a
// temporary exists without racing it from outside.
void RaiseTestSignals() {
  static bool raised = false;
  const char* list = std::getenv("TRESSEL_SIGNALS_AT_WRITE");
  if (raised || !list || !*list) return;
  raised = true;
  std::string names(list);
  for (size_t start = 0; start <= names.size();) {
    size_t comma = names.find(',', start);
    if (comma == std::string::npos) comma = names.size();
    const std::string name = names.substr(start, comma - start);
    static const struct {
      const char* name;
      int number;
    } kSignals[] = {{"INT", SIGINT}, {"TERM", SIGTERM}, {"HUP", SIGHUP}, {"QUIT", SIGQUIT}, {"ABRT", SIGABRT},
                    {"USR1", SIGUSR1}, {"PIPE", SIGPIPE}};
    for (const auto& known : kSignals)
      if (name == known.name) ::raise(known.number);
    start = comma + 1;
  }
}

}  // namespace

bool ProbeWritable(const std::vector<fs::path>& written, std::string* error) {
  std::set<fs::path> probed;
  for (const fs::path& file : written) {
    fs::path target;
    if (!cliio::ResolveWriteTarget(file, &target, error)) return false;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!probed.insert(folder).second) continue;
    cliio::CStagedFile probe;
    if (!probe.Open(file, error)) return false;
  }
  return true;
}

bool CWriteStage::WriteInChunks(cliio::CStagedFile& file, const std::string& bytes, std::string* error) {
  CProgressPhase phase(mBar, "Writing " + file.Destination().filename().string());
  for (size_t done = 0; done < bytes.size(); done += kChunkBytes) {
    if (!phase.Report(double(done) / double(bytes.size()))) {
      file.Abandon();
      *error = Cancelled(file.Destination());
      return false;
    }
    if (!file.Write(std::string_view(bytes).substr(done, kChunkBytes), error)) return false;
    RaiseTestSignals();
  }
  if (CInterruptGuard::Interrupted()) {
    file.Abandon();
    *error = Cancelled(file.Destination());
    return false;
  }
  if (!file.Finish(error)) return false;
  phase.Complete();
  return true;
}

bool CWriteStage::StageWires(const fs::path& output, cliio::WireFormat format, const cliio::CWireSources& groups,
                             std::string* error, bool checked) {
  cliio::CStagedFile staged;
  if (!staged.Open(output, error)) return false;
  CProgressPhase phase(mBar, "Writing " + output.filename().string());
  cliio::CStagedFileSink sink(staged, &RaiseTestSignals);
  std::string detail;
  const bool written = cliio::WriteWires(groups, format, sink, &detail,
                                         [&phase](double fraction) { return phase.Report(fraction); }, checked);
  if (!written || CInterruptGuard::Interrupted()) {
    staged.Abandon();
    if (CInterruptGuard::Interrupted() || detail == cliio::kWriteCancelled) *error = Cancelled(output);
    else *error = sink.Failed() ? sink.Error() : output.string() + ": not written: " + detail;
    return false;
  }
  if (!staged.Finish(error)) return false;
  phase.Complete();
  mFiles.push_back(std::move(staged));
  return true;
}

bool CWriteStage::StagePreview(const fs::path& file, const cliio::CWireSources& groups,
                               const std::vector<cliio::CImportedMesh>& meshes, const cliio::CPreviewOptions& options,
                               std::string* error) {
  // The preview writer writes whole files: it draws into the temporary's name
  // (which keeps the extension it chooses the format by).
  cliio::CStagedFile staged;
  if (!staged.Open(file, error)) return false;
  CProgressPhase phase(mBar, "Drawing " + file.filename().string());
  if (!cliio::WritePreview(staged.Temporary(), groups, meshes, options, error)) {
    // Its errors name the temporary; the user knows the destination.
    const std::string temporary = staged.Temporary().string();
    if (error->compare(0, temporary.size(), temporary) == 0) error->replace(0, temporary.size(), file.string());
    return false;
  }
  if (CInterruptGuard::Interrupted()) {
    *error = Cancelled(file);
    return false;
  }
  if (!staged.Replaced(error)) return false;
  phase.Complete();
  mFiles.push_back(std::move(staged));
  return true;
}

bool CWriteStage::StageDrawing(const fs::path& file, CPreviewDrawing& drawing, std::string* error) {
  CProgressPhase phase(mBar, "Drawing " + file.filename().string());
  std::string bytes;
  if (!drawing.Finish(&bytes, error)) return false;
  if (CInterruptGuard::Interrupted()) {
    *error = Cancelled(file);
    return false;
  }
  if (!StageBytes(file, bytes, error)) return false;
  phase.Complete();
  return true;
}

bool CWriteStage::StageBytes(const fs::path& file, const std::string& bytes, std::string* error) {
  cliio::CStagedFile staged;
  if (!staged.Open(file, error) || !WriteInChunks(staged, bytes, error)) return false;
  mFiles.push_back(std::move(staged));
  return true;
}

bool CWriteStage::Commit(std::string* error) {
  // The renames are not interrupted: a signal now waits until they are done,
  // so the files are either all replaced or the error below says which are.
  sigset_t cancels, previous;
  sigemptyset(&cancels);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&cancels, signal);
  sigprocmask(SIG_BLOCK, &cancels, &previous);
  std::vector<fs::path> replaced;
  bool committed = true;
  for (size_t k = 0; k < mFiles.size() && committed; ++k) {
    if (mFiles[k].Commit(error)) {
      replaced.push_back(mFiles[k].Destination());
      continue;
    }
    committed = false;
    std::vector<fs::path> kept;
    for (size_t rest = k; rest < mFiles.size(); ++rest) kept.push_back(mFiles[rest].Destination());
    Abandon();
    if (!replaced.empty()) *error += "; already replaced: " + Names(replaced);
    *error += "; left as they were: " + Names(kept);
  }
  mFiles.clear();
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  return committed;
}

void CWriteStage::Abandon() {
  for (cliio::CStagedFile& file : mFiles) file.Abandon();
}

}  // namespace cli
