#include "cli/PreviewDrawing.h"

#include <pthread.h>
#include <signal.h>

#include <system_error>
#include <utility>

#include "cli/OutOfMemory.h"

namespace cli {

CPreviewDrawing::CPreviewDrawing(std::filesystem::path file, const cliio::CWireSources& wires,
                                 const std::vector<cliio::CImportedMesh>& meshes, cliio::CPreviewOptions options)
    : mFile(std::move(file)), mWires(wires), mMeshes(meshes), mOptions(std::move(options)) {
  mOptions.stop = &mStop;
  try {
    mThread = std::thread([this] {
      // The signals that cancel a run are left to the main thread, whose
      // writing notices them.
      sigset_t cancels;
      sigemptyset(&cancels);
      for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&cancels, signal);
      pthread_sigmask(SIG_BLOCK, &cancels, nullptr);
      SetPhase("drawing " + mFile.string());
      Draw();
    });
  } catch (const std::system_error&) {
    // No thread to be had: Finish draws it.
  }
}

CPreviewDrawing::~CPreviewDrawing() {
  mStop = true;
  if (mThread.joinable()) mThread.join();
}

void CPreviewDrawing::Draw() {
  // Nothing may leave a thread's function: what is thrown is thrown again
  // by Finish, as if it had been drawn there.
  try {
    mDrawn = cliio::RenderPreview(mFile, mWires, mMeshes, mOptions, &mBytes, &mError);
  } catch (...) {
    mFailure = std::current_exception();
  }
}

bool CPreviewDrawing::Finish(std::string* bytes, std::string* error) {
  if (mThread.joinable())
    mThread.join();
  else
    Draw();
  if (mFailure) std::rethrow_exception(mFailure);
  if (!mDrawn) {
    *error = mError;
    return false;
  }
  *bytes = std::move(mBytes);
  return true;
}

}  // namespace cli
