// What `tressel wire` tells at the end of a run: per group its counts, the
// totals, the settings the module ran with, the times of the stages and the
// process's peak memory; as lines for people or as one JSON document.
#ifndef TRESSEL_CLI_WIRESUMMARY_H
#define TRESSEL_CLI_WIRESUMMARY_H

#include <stdint.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

struct CGroupCounts {
  std::string name;
  bool framed = false;  // --frames: the counts are of one frame
  int32_t frame = 0;
  uint64_t vertices = 0, facets = 0, dropped = 0;  // as read from the file
  uint64_t wires = 0, segments = 0;                // as the module sent them
};

// One run of the module: all inputs of a plain run, or one input of --each.
struct CRunSummary {
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;  // the files written, in order
  int status = 0;                    // the exit status this run alone would have
  // The settings the module was given; known unless a scene's stream could
  // not be decoded (it is then handed over untouched).
  bool settingsKnown = false;
  int32_t mode = 0;
  float push = 0, scale = 1;
  bool pushShare = false;  // push came from a share of the model's size
  float pushPercent = 0;
  double modelSize = 0;    // the largest bounding-box diagonal of the groups
  bool selection = false;
  std::string selectionText;
  std::vector<CGroupCounts> groups;  // frame by frame, group by group
  double importSeconds = 0, moduleSeconds = 0, writeSeconds = 0;
};

// The peak resident memory so far, in bytes (getrusage): the process's own,
// or its largest waited-for child's (the import worker) where that is larger.
uint64_t PeakMemoryBytes();
// "35.2 MB" style, powers of 1000.
std::string HumanBytes(uint64_t bytes);

// For people: the group lines, then (unless the run failed before the module)
// the settings, totals, times, and last the peak memory.
void PrintSummary(std::ostream& out, const std::vector<CRunSummary>& runs, double totalSeconds,
                  uint64_t peakBytes);
// The same as one JSON document (text with a final newline): "runs" (each
// with its inputs, outputs, status, settings, groups, totals and times), then
// every group ("input" added when there are several runs) and output of all
// runs, the totals, the times and "peak_memory_bytes".
std::string SummaryJson(const std::vector<CRunSummary>& runs, double totalSeconds, uint64_t peakBytes);

}  // namespace cli

#endif  // TRESSEL_CLI_WIRESUMMARY_H
