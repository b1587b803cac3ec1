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

#include "cli/Printable.h"
#include "cli/io/AtomicFile.h"

namespace cli {
namespace {

volatile sig_atomic_t gSignal = 0;

const int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int signal) {
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

constexpr int kBarWidth = 30;
constexpr size_t kTitleWidth = 28;

}  // namespace

struct CInterruptGuard::CSaved {
  struct sigaction previous[3];
  struct sigaction previousFileSize;
};

CInterruptGuard::CInterruptGuard() : mSaved(new CSaved) {
  gSignal = 0;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kCancelSignals) sigaddset(&action.sa_mask, signal);
  for (size_t k = 0; k < 3; ++k) sigaction(kCancelSignals[k], &action, &mSaved->previous[k]);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, &mSaved->previousFileSize);
}

CInterruptGuard::~CInterruptGuard() {
  for (size_t k = 0; k < 3; ++k) sigaction(kCancelSignals[k], &mSaved->previous[k], nullptr);
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
    std::fprintf(stderr, "%s: %d%% %.1fs\n", Printable(title).c_str(), percent, seconds);
    std::fflush(stderr);
    return;
  }
  mPercent = percent;
  const int filled = int(done * kBarWidth);
  std::string line = Printable(title).substr(0, kTitleWidth);
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
