// The model setup block and the two 4x4 matrix routines. Matrices are 16
// doubles, row-major; InvertMatrix4 is O(4^3) with rows addressed through a
// permutation vector, never swapped.
#include "plugin/SetupBlock.h"

#include <math.h>
#include <string.h>

#include "plugin/PluginTask.h"

CSetupBlock theModelSetup;

void InitMatrix4(double m[16]) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

void InvertMatrix4(double out[16], const double in[16]) {
  double a[4][4];
  memcpy(a, in, sizeof a);
  int perm[4];
  double scale[4];
  for (int i = 0; i < 4; ++i) {
    perm[i] = i;
    double largest = 0.0;
    for (int c = 0; c < 4; ++c) largest = fmax(largest, fabs(a[i][c]));
    scale[i] = largest;
  }
  for (int j = 0; j < 3; ++j) {
    double best = 0.0;
    int chosen = j;
    for (int k = j; k < 4; ++k) {
      const double ratio = fabs(a[perm[k]][j]) / scale[perm[k]];
      if (ratio > best) {
        best = ratio;
        chosen = k;
      }
    }
    const int swap = perm[j];
    perm[j] = perm[chosen];
    perm[chosen] = swap;
    const int p = perm[j];
    for (int k = j + 1; k < 4; ++k) {
      const int r = perm[k];
      const double f = a[r][j] / a[p][j];
      for (int c = j + 1; c < 4; ++c) a[r][c] -= f * a[p][c];
      a[r][j] = f;
    }
  }
  double result[16];
  for (int c = 0; c < 4; ++c) {
    double b[4] = {0, 0, 0, 0};
    b[c] = 1.0;
    for (int i = 0; i < 3; ++i)
      for (int k = i + 1; k < 4; ++k) b[perm[k]] -= a[perm[k]][i] * b[perm[i]];
    double x[4];
    x[3] = b[perm[3]] / a[perm[3]][3];
    // The known terms are summed first (k ascending), then taken from b once:
    // every build and every other implementation rounds the same way.
    for (int i = 2; i >= 0; --i) {
      double sum = 0.0;
      for (int k = i + 1; k < 4; ++k) sum += a[perm[i]][k] * x[k];
      x[i] = (b[perm[i]] - sum) / a[perm[i]][i];
    }
    for (int r = 0; r < 4; ++r) result[r * 4 + c] = x[r];
  }
  memcpy(out, result, sizeof result);
}

uint32_t CSetupBlock::Creator() {
  if (creatorCode == kCreatorUnknown) {
    HostCreatorRec rec;
    memset(&rec, 0, sizeof rec);
    rec.hostContext = CurrentHostContext();
    rec.creator = creatorCode;
    Run_Host(Request::kCreator, sizeof rec, &rec);
    creatorCode = rec.creator;
  }
  plug->status = 0;
  plug->result = 0;
  return creatorCode;
}

void CSetupBlock::InitMatr() {
  for (auto& m : setup.matrices) InitMatrix4(m);
  InitMatrix4(inverse0);
  InitMatrix4(inverse1);
}

void CSetupBlock::Init(PluginModelSetupRec* rec) {
  if (!rec) {
    if (!initialized) InitMatr();
    initialized = true;
    return;
  }
  initialized = true;
  memcpy(&setup, rec, sizeof setup);
  if (creatorCode == kCreatorUnknown) Creator();
  InvertMatrix4(inverse0, setup.matrices[0]);
  InvertMatrix4(inverse1, setup.matrices[1]);
}
