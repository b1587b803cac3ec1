// The write stage of `tressel wire`: every file the run writes (outputs per
// frame, previews, the scene) goes to a temporary of its own as soon as it is
// known, and all of them are renamed into place only after every one was
// written. A failure or a cancel before that leaves every destination as it
// was and no temporary behind.
#ifndef TRESSEL_CLI_WRITESTAGE_H
#define TRESSEL_CLI_WRITESTAGE_H

#include <stdint.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/PreviewDrawing.h"
#include "cli/Progress.h"
#include "cli/io/AtomicFile.h"
#include "cli/io/MeshData.h"
#include "cli/io/Preview.h"
#include "cli/io/WireWriters.h"
#include "cli/io/WireData.h"

namespace cli {

// At most this many frames in one run: each is a file staged until the run
// ends, and a range beyond it is far more than any animation of one model.
constexpr int64_t kMaxFramesPerRun = 100000;

// False with *error when first..last holds more than kMaxFramesPerRun frames.
bool CheckFrameCount(int32_t first, int32_t last, std::string* error);

// Refuses, before anything runs, a file written by the run that is also read
// by it (an input mesh), or two written files that are one (an output that
// is the scene, read and saved by the run): the same file when both exist (device and inode, through
// links), else the same absolute path once links and dot-dots are resolved.
// *error names both. REQUIRES: error != nullptr.
bool CheckWrittenApart(const std::vector<std::filesystem::path>& written, const std::vector<std::filesystem::path>& read,
                       std::string* error);

// Makes and removes one temporary in the folder of each written file (once
// per folder), so that a folder the run cannot write to is found before the
// run rather than after it. False with *error, one line naming the file.
bool ProbeWritable(const std::vector<std::filesystem::path>& written, std::string* error);

class CWriteStage {
 public:
  explicit CWriteStage(CProgressBar& bar) : mBar(bar) {}
  // Streams `groups` in `format` into a new temporary for `output`,
  // reporting progress; the groups may be dropped afterwards. False with
  // *error (one line naming `output`) on failure, or when the run was
  // cancelled meanwhile (the partial temporary removed). `checked`: the
  // caller has checked the groups (cliio::WriteWires).
  bool StageWires(const std::filesystem::path& output, cliio::WireFormat format, const cliio::CWireSources& groups,
                  std::string* error, bool checked = false);
  // Draws a preview (Preview.h) into a new temporary for `file`.
  // The groups are read in place while it draws.
  bool StagePreview(const std::filesystem::path& file, const cliio::CWireSources& groups,
                    const std::vector<cliio::CImportedMesh>& meshes, const cliio::CPreviewOptions& options,
                    std::string* error);
  // Waits for a preview drawn meanwhile (PreviewDrawing.h) and writes it to
  // a new temporary for `file`.
  bool StageDrawing(const std::filesystem::path& file, CPreviewDrawing& drawing, std::string* error);
  // Writes `bytes` to a new temporary for `file`.
  bool StageBytes(const std::filesystem::path& file, const std::string& bytes, std::string* error);
  // Renames every temporary over its destination, in the order staged. On a
  // failure the rest are removed and *error says which destinations were
  // already replaced and which were left as they were.
  bool Commit(std::string* error);
  // Removes every temporary staged and not yet committed.
  void Abandon();
  size_t StagedCount() const { return mFiles.size(); }

 private:
  bool WriteInChunks(cliio::CStagedFile& file, const std::string& bytes, std::string* error);

  CProgressBar& mBar;
  std::deque<cliio::CStagedFile> mFiles;
};

}  // namespace cli

#endif  // TRESSEL_CLI_WRITESTAGE_H
