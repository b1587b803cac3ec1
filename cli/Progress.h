// The command's progress display and its answer to Ctrl-C and termination
// signals: a bar on stderr (when stderr is a terminal, or as plain lines when
// $TRESSEL_PROGRESS=lines), phases that each end at 100%, and a cancel flag
// that every long step checks.
#ifndef TRESSEL_CLI_PROGRESS_H
#define TRESSEL_CLI_PROGRESS_H

#include <stdint.h>

#include <chrono>
#include <string>

namespace cli {

// For its lifetime: SIGINT, SIGTERM and SIGHUP only set the cancel flag the
// first time, so the run stops at its next check and removes what it staged;
// any second one of them removes every listed temporary (AtomicFile.h) at once
// and ends the process by that signal. Every other signal that ends a process
// (SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1/2, SIGXCPU, SIGVTALRM, and the crashes:
// SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS) removes them too
// and then takes its previous course. A signal the command was started with
// ignored stays ignored. SIGXFSZ is ignored, so a file size limit is a failed
// write, not a killed process. The previous dispositions come back on
// destruction. One instance at a time.
class CInterruptGuard {
 public:
  CInterruptGuard();
  ~CInterruptGuard();
  CInterruptGuard(const CInterruptGuard&) = delete;
  CInterruptGuard& operator=(const CInterruptGuard&) = delete;
  // True once one of the signals arrived during the guard's life.
  static bool Interrupted();
  // The exit status for a run cancelled by that signal: 128 + its number
  // (130 for Ctrl-C), as a shell reports it.
  static int ExitStatus();

 private:
  struct CSaved;
  CSaved* mSaved;
};

// A one-line bar: "title [#####.....]  42%  1.3s" redrawn in place, the time
// being how long the current title has been shown. Does nothing when disabled.
// Texts are UTF-8 and printed through Printable.
class CProgressBar {
 public:
  enum class Style { kNone, kBar, kLines };
  explicit CProgressBar(bool enabled);
  explicit CProgressBar(Style style);
  ~CProgressBar();  // clears the line when anything was drawn
  static bool StderrIsTerminal();
  // The style for this run: kLines when $TRESSEL_PROGRESS is "lines", kNone
  // when it is "none", else kBar on a terminal and kNone elsewhere.
  static Style StyleForStderr();
  // fraction outside 0..1 (or NaN, as a maximum of 0 gives) is drawn clamped.
  void Show(const std::string& title, float fraction);
  // Shows the current title at 100% (when one is shown and not yet there).
  void Complete();
  void Clear();

 private:
  Style mStyle;
  bool mDrawn = false;
  std::string mLastLine, mTitle;
  int mPercent = -1;
  std::chrono::steady_clock::time_point mStarted;
};

// One phase of the run with a known amount of work: Report(done) draws the
// share done and answers whether to go on (false once the run is cancelled).
// Complete() draws it at 100%; a phase left without it (a failure) is not.
class CProgressPhase {
 public:
  CProgressPhase(CProgressBar& bar, std::string title);
  ~CProgressPhase();
  bool Report(double fraction);
  void Complete();

 private:
  CProgressBar& mBar;
  std::string mTitle;
  bool mCompleted = false;
};

}  // namespace cli

#endif  // TRESSEL_CLI_PROGRESS_H
