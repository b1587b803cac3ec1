// The model setup block: the last 'SETM' record with two matrix inverses, and
// the host's creator code (asked once).
#ifndef TRESSEL_PLUGIN_SETUPBLOCK_H
#define TRESSEL_PLUGIN_SETUPBLOCK_H

#include <stddef.h>
#include <stdint.h>

#include "plugin/HostRecords.h"

constexpr uint32_t kCreatorUnknown = FourCC("ABCD");  // not asked yet
constexpr uint32_t kCreatorShared = FourCC("EIAR");   // duplicates share their settings

struct CSetupBlock {
  uint32_t creatorCode = kCreatorUnknown;
  PluginModelSetupRec setup;  // byte copy of the last 'SETM' record
  double inverse0[16];        // inverse of setup matrix 0
  double inverse1[16];        // inverse of setup matrix 1

  // The creator code, asking the host ('CREA') the first time. Leaves the
  // current task's status and result at 0 whatever the host answered.
  // REQUIRES: a call of Main is active.
  uint32_t Creator();
  // With a record: stores it and computes the inverses. With null: makes the
  // block usable (identity matrices) the first time, and changes nothing later.
  void Init(PluginModelSetupRec* rec);
  // Every matrix of the block becomes identity; the rest of setup is kept.
  void InitMatr();

  bool initialized = false;  // whether the block has ever been set up
};

// The stored matrices are used as double arrays, so the packed record must sit
// where they come out aligned.
static_assert((offsetof(CSetupBlock, setup) + offsetof(PluginModelSetupRec, matrices)) % alignof(double) == 0,
              "setup matrices are aligned inside the block");

extern CSetupBlock theModelSetup;

void InitMatrix4(double m[16]);
// Gaussian elimination with scaled partial pivoting; the input is copied first,
// so out may alias in. A singular input yields non-finite values.
void InvertMatrix4(double out[16], const double in[16]);

#endif  // TRESSEL_PLUGIN_SETUPBLOCK_H
