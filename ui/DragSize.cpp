// CEIU_Window::DragSize: resizes the dialog while the user drags a grip
// control, from the mouse positions EI_TrackMouseDown reports until release.
// Each new mouse position costs a few host calls; sizes change only in even
// steps and stay within the monitor's right and bottom edges minus 10.
#include <algorithm>

#include "ui/Window.h"

namespace {

constexpr int kMonitorMargin = 10;

// The change from `from` toward `to`, truncated toward zero to an even number.
// Shrinking toward a monitor limit rounds toward the old size, which could
// leave the size one unit past the limit; it then takes one more even step.
int EvenStep(int from, int to, bool limited, int limit) {
  int d = ((to - from) / 2) * 2;
  if (limited && from + d > limit && from + d - 2 >= 0) d -= 2;
  return d;
}

}  // namespace

void CEIU_Window::DragSize(short id, const EI_Point* minSize, const EI_Point* maxSize, bool proportional) {
  CE_Control* grip = FindControl(id);
  if (!grip) return;
  int lastX = 0, lastY = 0;
  if (EI_TrackMouseDown(grip, &lastX, &lastY) == 0) return;

  // Without the host's monitor query the edges read as 0; the dialog is then
  // not limited by a monitor rather than squeezed to nothing.
  const EI_Point edge = GetMonitorRB_();
  const bool limitW = edge.x > 0, limitH = edge.y > 0;
  const int maxW = edge.x - kMonitorMargin;
  const int maxH = edge.y - kMonitorMargin;
  const EI_Point start = GetClientSize();

  int cx = lastX, cy = lastY;
  while (EI_TrackMouseDown(grip, &cx, &cy) != 0) {
    if (cx == lastX && cy == lastY) continue;
    lastX = cx;
    lastY = cy;
    const EI_Rect r = GetItemRect(id);
    const int gx = (r.left + r.right) / 2;
    const int gy = (r.top + r.bottom) / 2;
    int x = cx, y = cy;
    if (proportional && (modifiers & Modifier::kShift) == 0) {
      const int d = std::min(x - gx, y - gy);
      x = gx + d;
      y = gy + d;
    }
    const EI_Point size = GetClientSize();
    int newW = size.x + x - gx;
    int newH = size.y + y - gy;
    if (minSize) {
      newW = std::max(newW, minSize->x);
      newH = std::max(newH, minSize->y);
    }
    if (maxSize) {
      newW = std::min(newW, maxSize->x);
      newH = std::min(newH, maxSize->y);
    }
    // The monitor wins over a minimum that does not fit on it, and a size
    // never goes below 0.
    if (limitW) newW = std::min(newW, maxW);
    if (limitH) newH = std::min(newH, maxH);
    newW = std::max(newW, 0);
    newH = std::max(newH, 0);
    const int dw = EvenStep(size.x, newW, limitW, maxW);
    const int dh = EvenStep(size.y, newH, limitH, maxH);
    if (dw == 0 && dh == 0) continue;
    SetClientSize(EI_Point{size.x + dw, size.y + dh});
    OffsetItem(id, EI_Point{dw, dh});
    RedrawItem(id);
  }

  const EI_Point end = GetClientSize();
  if (end.x != start.x || end.y != start.y)
    AdjustSize(static_cast<short>(end.x - start.x), static_cast<short>(end.y - start.y));
}
