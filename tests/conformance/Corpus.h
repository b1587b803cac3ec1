// The conformance corpus: fixed meshes, setups and settings that every build
// of the module is run on, and the text form of what it sends back.
//
// Every input number is exact in float and double alike (small integers and
// fractions with a power-of-two denominator, or decimal literals), so the
// inputs are the same bits in every build; only the module's arithmetic can
// make two builds' dumps differ.
#ifndef TRESSEL_TESTS_CONFORMANCE_CORPUS_H
#define TRESSEL_TESTS_CONFORMANCE_CORPUS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "host/Host.h"

namespace conformance {

// One 'GENM' over a set of child groups with one setting.
struct CCase {
  std::string name;  // unique, no spaces
  int32_t mode = 0;
  float push = 0;
  float scale = 1;
  int32_t useExclude = 0;
  std::string list;
  int setup = 0;     // kIdentity, kGeneral or kSingular
  int groups = 0;    // kCleanGroups or kHostileGroups
};

enum { kIdentity, kGeneral, kSingular };
enum { kCleanGroups, kHostileGroups };

// The child groups of a group set. kCleanGroups: the bundled example's groups
// (read from `exampleObj`), holes, touching and non-manifold parts, collinear
// facets, n-gons as a host splits them, a medium grid. kHostileGroups: a
// group whose coordinates overflow float arithmetic between two plain ones.
// False with *error when the example cannot be read.
bool CorpusGroups(int groups, const std::string& exampleObj, std::vector<host::CChildGroup>* out,
                  std::string* error);

// Every case, in a fixed order.
std::vector<CCase> CorpusCases();

void ApplySetup(host::CModelSetup& setup, int which);

// The stored settings stream of a case (big-endian, as every build stores it).
std::vector<uint8_t> SettingsStream(int32_t mode, float push, float scale, int32_t useExclude,
                                    const std::string& list);

// Appends the exact text of what one group received: every vertex field and
// every segment, numbers in the shortest form that reads back to the same double.
void DumpReceived(const host::CReceivedGeometry& received, std::string* text);

// 64-bit FNV-1a of a text, as 16 hex digits.
std::string Hash(const std::string& text);

}  // namespace conformance

#endif  // TRESSEL_TESTS_CONFORMANCE_CORPUS_H
