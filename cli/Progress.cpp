// The progress bar and the signal flag behind 'STAT' answers and the
// command's own phases. Drawing is one short write per changed line; the
// signal handler stores a flag the first time, and the second time removes
// the listed temporaries and ends the process by the signal it got.
#include "cli/Progress.h"

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/io/Printable.h"
#include "cli/io/AtomicFile.h"

namespace cli {
namespace {

volatile sig_atomic_t gSignal = 0;

// Asking the run to stop: the first one cancels, a second one ends it.
const int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};
// Ending the process (a crash, an abort, a signal meant to end it at once):
// the temporaries are removed and the signal then takes its previous course,
// so a sanitizer or a core dump still sees it.
const int kEndingSignals[] = {SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM,
                              SIGSEGV, SIGBUS,  SIGFPE,  SIGILL,  SIGABRT, SIGTRAP, SIGSYS};

struct sigaction gPrevious[NSIG];  // the dispositions the guard replaced

// Gives `signal` back its previous disposition and sends it again; it is
// delivered when the handler returns (or at once when it was not blocked).
void PassOn(int signal) {
  sigaction(signal, &gPrevious[signal], nullptr);
  raise(signal);
}

void OnEnding(int signal) {
  cliio::RemoveListedTemporaries();
  PassOn(signal);
}

void OnCancel(int signal) {
  if (gSignal == 0) {
    gSignal = signal;
    return;
  }
  // A second signal: the run did not stop in time (or the user insists).
  cliio::RemoveListedTemporaries();
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(signal, &standard, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signal);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(signal);
  _exit(128 + signal);  // not reached unless the signal is blocked elsewhere
}

// Installs `handler` for `signal` unless the command was started with the
// signal ignored (nohup, a background job): that choice is kept.
void Install(int signal, void (*handler)(int), const sigset_t& mask) {
  sigaction(signal, nullptr, &gPrevious[signal]);
  if (gPrevious[signal].sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_mask = mask;
  // On the alternate stack where there is one (the sanitizers make one), so
  // that a stack overflow can still be handled and then reported.
  action.sa_flags = SA_ONSTACK;
  sigaction(signal, &action, nullptr);
}

constexpr int kBarWidth = 30;
constexpr size_t kTitleWidth = 28;

}  // namespace

struct CInterruptGuard::CSaved {
  struct sigaction previousFileSize;
};

CInterruptGuard::CInterruptGuard() : mSaved(new CSaved) {
  gSignal = 0;
  sigset_t mask;
  sigemptyset(&mask);
  for (int signal : kCancelSignals) sigaddset(&mask, signal);
  for (int signal : kCancelSignals) Install(signal, OnCancel, mask);
  for (int signal : kEndingSignals) Install(signal, OnEnding, mask);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, &mSaved->previousFileSize);
}

CInterruptGuard::~CInterruptGuard() {
  for (int signal : kCancelSignals) sigaction(signal, &gPrevious[signal], nullptr);
  for (int signal : kEndingSignals) sigaction(signal, &gPrevious[signal], nullptr);
  sigaction(SIGXFSZ, &mSaved->previousFileSize, nullptr);
  delete mSaved;
}

bool CInterruptGuard::Interrupted() { return gSignal != 0; }

int CInterruptGuard::ExitStatus() { return 128 + (gSignal ? int(gSignal) : SIGINT); }

// --- bar

CProgressBar::CProgressBar(bool enabled) : CProgressBar(enabled ? Style::kBar : Style::kNone) {}

CProgressBar::CProgressBar(Style style) : mStyle(style), mStarted(std::chrono::steady_clock::now()) {}

CProgressBar::~CProgressBar() { Clear(); }

bool CProgressBar::StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

CProgressBar::Style CProgressBar::StyleForStderr() {
  const char* chosen = std::getenv("TRESSEL_PROGRESS");
  if (chosen && std::strcmp(chosen, "lines") == 0) return Style::kLines;
  if (chosen && std::strcmp(chosen, "none") == 0) return Style::kNone;
  return StderrIsTerminal() ? Style::kBar : Style::kNone;
}

void CProgressBar::Show(const std::string& title, float fraction) {
  if (mStyle == Style::kNone) return;
  const auto now = std::chrono::steady_clock::now();
  if (title != mTitle) {
    mTitle = title;
    mStarted = now;
    mPercent = -1;
  }
  double done = std::isfinite(fraction) ? fraction : 0.0;
  done = done < 0 ? 0 : done > 1 ? 1 : done;
  // Truncated, so 100% means done, never 99.5%.
  const int percent = int(done * 100);
  const double seconds = std::chrono::duration<double>(now - mStarted).count();
  if (mStyle == Style::kLines) {
    // One line per whole percent reached: a log, not an animation.
    if (percent == mPercent) return;
    mPercent = percent;
    std::fprintf(stderr, "%s: %d%% %.1fs\n", cliio::Printable(title).c_str(), percent, seconds);
    std::fflush(stderr);
    return;
  }
  mPercent = percent;
  const int filled = int(done * kBarWidth);
  std::string line = cliio::Printable(title).substr(0, kTitleWidth);
  line.resize(kTitleWidth, ' ');
  line += " [" + std::string(size_t(filled), '#') + std::string(size_t(kBarWidth - filled), '.') + "] ";
  char number[32];
  std::snprintf(number, sizeof number, "%3d%% %5.1fs", percent, seconds);
  line += number;
  if (line == mLastLine) return;
  mLastLine = line;
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
  mDrawn = true;
}

void CProgressBar::Complete() {
  if (mTitle.empty() || mPercent == 100) return;
  Show(mTitle, 1.0f);
}

void CProgressBar::Clear() {
  if (!mDrawn) return;
  std::fprintf(stderr, "\r%*s\r", int(mLastLine.size()), "");
  std::fflush(stderr);
  mDrawn = false;
  mLastLine.clear();
}

// --- phases

CProgressPhase::CProgressPhase(CProgressBar& bar, std::string title) : mBar(bar), mTitle(std::move(title)) {
  mBar.Show(mTitle, 0.0f);
}

CProgressPhase::~CProgressPhase() = default;

bool CProgressPhase::Report(double fraction) {
  if (CInterruptGuard::Interrupted()) return false;
  mBar.Show(mTitle, float(fraction));
  return true;
}

void CProgressPhase::Complete() {
  if (mCompleted) return;
  mCompleted = true;
  mBar.Show(mTitle, 1.0f);
}

}  // namespace cli
