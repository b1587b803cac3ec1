// A preview drawn on a thread of its own while the command writes the wires:
// both only read the wires where the host holds them, so on a machine with a
// core to spare the picture costs the run little more than its writing.
#ifndef TRESSEL_CLI_PREVIEWDRAWING_H
#define TRESSEL_CLI_PREVIEWDRAWING_H

#include <atomic>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/io/Preview.h"

namespace cli {

class CPreviewDrawing {
 public:
  // Starts drawing `file`'s preview (cliio::RenderPreview) of `wires` over
  // `meshes`, on a thread whose phase (OutOfMemory.h) is "drawing FILE";
  // where no thread can be started it is drawn in Finish instead.
  // Until Finish returns or the drawing is destroyed, the wires and meshes
  // must stay as they are and the meshes must not be read elsewhere.
  CPreviewDrawing(std::filesystem::path file, const cliio::CWireSources& wires,
                  const std::vector<cliio::CImportedMesh>& meshes, cliio::CPreviewOptions options);
  // Stops the drawing unless Finish has returned, and waits for its thread
  // (a run cancelled or failed elsewhere does not wait for the picture).
  ~CPreviewDrawing();
  CPreviewDrawing(const CPreviewDrawing&) = delete;
  CPreviewDrawing& operator=(const CPreviewDrawing&) = delete;

  // Waits for the drawing: true with the file's bytes, or false with *error,
  // one line naming the file; what the drawing threw (std::bad_alloc) is
  // thrown here. Call once. REQUIRES: bytes, error not null.
  bool Finish(std::string* bytes, std::string* error);

 private:
  void Draw();

  std::filesystem::path mFile;
  cliio::CWireSources mWires;
  const std::vector<cliio::CImportedMesh>& mMeshes;
  cliio::CPreviewOptions mOptions;
  std::atomic<bool> mStop{false};  // the options' stop
  std::string mBytes, mError;
  bool mDrawn = false;
  std::exception_ptr mFailure;
  std::thread mThread;
};

}  // namespace cli

#endif  // TRESSEL_CLI_PREVIEWDRAWING_H
