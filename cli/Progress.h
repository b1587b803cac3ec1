// The command's side of the module's 'STAT' reports: a progress bar on stderr
// (only when stderr is a terminal) and Ctrl-C turned into a cancel answer.
#ifndef TRESSEL_CLI_PROGRESS_H
#define TRESSEL_CLI_PROGRESS_H

#include <stdint.h>

#include <string>

namespace cli {

// Installs a SIGINT handler for its lifetime that only sets a flag; the
// previous handler comes back on destruction. The handler resets itself after
// one Ctrl-C, so a second one ends the process the ordinary way when the module
// never reports again. One instance at a time.
class CInterruptGuard {
 public:
  CInterruptGuard();
  ~CInterruptGuard();
  CInterruptGuard(const CInterruptGuard&) = delete;
  CInterruptGuard& operator=(const CInterruptGuard&) = delete;
  // True once Ctrl-C arrived during the guard's life.
  static bool Interrupted();

 private:
  struct CSaved;
  CSaved* mSaved;
};

// A one-line bar: "title [#####.....]  42%" redrawn in place. Does nothing when
// disabled (stderr not a terminal). Texts are UTF-8.
class CProgressBar {
 public:
  explicit CProgressBar(bool enabled);
  ~CProgressBar();  // clears the line when anything was drawn
  static bool StderrIsTerminal();
  // fraction outside 0..1 (or NaN, as a maximum of 0 gives) is drawn clamped.
  void Show(const std::string& title, float fraction);
  void Clear();

 private:
  bool mEnabled;
  bool mDrawn = false;
  std::string mLastLine;
};

}  // namespace cli

#endif  // TRESSEL_CLI_PROGRESS_H
