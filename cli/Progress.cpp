// The progress bar and the Ctrl-C flag behind 'STAT' answers. Drawing is one
// short write per changed line; the signal handler only stores a flag.
#include "cli/Progress.h"

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace cli {
namespace {

volatile sig_atomic_t mInterrupted = 0;

void OnInterrupt(int) { mInterrupted = 1; }

constexpr int kBarWidth = 30;
constexpr size_t kTitleWidth = 28;

}  // namespace

struct CInterruptGuard::CSaved {
  struct sigaction previous;
};

CInterruptGuard::CInterruptGuard() : mSaved(new CSaved) {
  mInterrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &mSaved->previous);
}

CInterruptGuard::~CInterruptGuard() {
  sigaction(SIGINT, &mSaved->previous, nullptr);
  delete mSaved;
}

bool CInterruptGuard::Interrupted() { return mInterrupted != 0; }

CProgressBar::CProgressBar(bool enabled) : mEnabled(enabled) {}

CProgressBar::~CProgressBar() { Clear(); }

bool CProgressBar::StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void CProgressBar::Show(const std::string& title, float fraction) {
  if (!mEnabled) return;
  double done = std::isfinite(fraction) ? fraction : 0.0;
  done = done < 0 ? 0 : done > 1 ? 1 : done;
  int filled = int(done * kBarWidth + 0.5);
  int percent = int(done * 100 + 0.5);
  std::string line = title.substr(0, kTitleWidth);
  line.resize(kTitleWidth, ' ');
  line += " [" + std::string(size_t(filled), '#') + std::string(size_t(kBarWidth - filled), '.') + "] ";
  char number[8];
  std::snprintf(number, sizeof number, "%3d%%", percent);
  line += number;
  if (line == mLastLine) return;
  mLastLine = line;
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
  mDrawn = true;
}

void CProgressBar::Clear() {
  if (!mDrawn) return;
  std::fprintf(stderr, "\r%*s\r", int(mLastLine.size()), "");
  std::fflush(stderr);
  mDrawn = false;
  mLastLine.clear();
}

}  // namespace cli
