// The end-of-run summary of `tressel wire` (see WireSummary.h).
#include "cli/WireSummary.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include <nlohmann/json.hpp>

#include "cli/io/Printable.h"
#include "cli/WireOptions.h"

namespace cli {

namespace {

struct CTotals {
  uint64_t groups = 0, vertices = 0, facets = 0, dropped = 0, wires = 0, segments = 0;
  void Add(const CGroupCounts& group) {
    ++groups;
    vertices += group.vertices;
    facets += group.facets;
    dropped += group.dropped;
    wires += group.wires;
    segments += group.segments;
  }
};

CTotals TotalsOf(const std::vector<CRunSummary>& runs) {
  CTotals totals;
  for (const CRunSummary& run : runs)
    for (const CGroupCounts& group : run.groups) totals.Add(group);
  return totals;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Shortest text that reads back as the same float (for JSON).
double JsonFloat(float value) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  return std::strtod(std::string(text, written.ptr).c_str(), nullptr);
}

// Four significant digits, for people.
std::string Readable(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

std::string SettingsLine(const CRunSummary& run) {
  std::string line = "settings: mode " + std::to_string(run.mode) + " (" + WireModeName(run.mode) + "), push " +
                     Readable(run.push);
  if (run.pushShare)
    line += " (" + Readable(run.pushPercent) + "% of the model's size " + Readable(run.modelSize) + ")";
  line += ", scale " + Readable(run.scale);
  if (run.selection) line += ", select '" + run.selectionText + "'";
  return line;
}

nlohmann::json CountsJson(const CTotals& totals) {
  return {{"groups", totals.groups}, {"vertices", totals.vertices}, {"facets", totals.facets},
          {"dropped", totals.dropped}, {"wires", totals.wires}, {"segments", totals.segments}};
}

}  // namespace

uint64_t PeakMemoryBytes() {
  // The command's own peak, or the import worker's (the library's formats
  // are read in that child) where that was larger.
  struct rusage self {}, children {};
  if (::getrusage(RUSAGE_SELF, &self) != 0) return 0;
  if (::getrusage(RUSAGE_CHILDREN, &children) != 0) children.ru_maxrss = 0;
  return uint64_t(std::max(self.ru_maxrss, children.ru_maxrss)) * 1024;  // Linux reports kilobytes
}

std::string HumanBytes(uint64_t bytes) {
  static const char* const kUnits[] = {"B", "kB", "MB", "GB", "TB"};
  double value = double(bytes);
  size_t unit = 0;
  while (value >= 1000 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    value /= 1000;
    ++unit;
  }
  return (unit == 0 ? std::to_string(bytes) : Fixed(value, 1)) + " " + kUnits[unit];
}

void PrintSummary(std::ostream& out, const std::vector<CRunSummary>& runs, double totalSeconds,
                  uint64_t peakBytes) {
  double importSeconds = 0, moduleSeconds = 0, writeSeconds = 0;
  for (const CRunSummary& run : runs) {
    if (runs.size() > 1) {
      out << "input";
      for (const std::string& input : run.inputs) out << " " << cliio::Printable(input);
      if (!run.outputs.empty()) out << " -> " << cliio::Printable(run.outputs.front()) << (run.outputs.size() > 1 ? " ..." : "");
      if (run.status != 0) out << ": failed (status " << run.status << ")";
      out << "\n";
    }
    for (const CGroupCounts& group : run.groups) {
      if (group.framed) out << "frame " << group.frame << ": ";
      out << cliio::Printable(group.name) << ": vertices " << group.vertices << ", facets " << group.facets << ", dropped "
          << group.dropped << ", wires " << group.wires << ", segments " << group.segments << "\n";
    }
    if (run.settingsKnown && run.status == 0) out << SettingsLine(run) << "\n";
    importSeconds += run.importSeconds;
    moduleSeconds += run.moduleSeconds;
    writeSeconds += run.writeSeconds;
  }
  const CTotals totals = TotalsOf(runs);
  out << "total: " << totals.groups << (totals.groups == 1 ? " group" : " groups") << ", vertices "
      << totals.vertices << ", facets " << totals.facets << ", dropped " << totals.dropped << ", wires "
      << totals.wires << ", segments " << totals.segments << "\n";
  out << "time: import " << Fixed(importSeconds, 3) << " s, module " << Fixed(moduleSeconds, 3) << " s, write "
      << Fixed(writeSeconds, 3) << " s, total " << Fixed(totalSeconds, 3) << " s\n";
  out << "peak memory: " << HumanBytes(peakBytes) << "\n";
}

std::string SummaryJson(const std::vector<CRunSummary>& runs, double totalSeconds, uint64_t peakBytes) {
  nlohmann::json document;
  nlohmann::json list = nlohmann::json::array();
  // Every group and output of every run once more at the top, so the common
  // case of one run reads without going through "runs".
  nlohmann::json allGroups = nlohmann::json::array(), allOutputs = nlohmann::json::array();
  double importSeconds = 0, moduleSeconds = 0, writeSeconds = 0;
  for (const CRunSummary& run : runs) {
    nlohmann::json entry = {{"inputs", run.inputs}, {"outputs", run.outputs}, {"status", run.status}};
    if (run.settingsKnown) {
      nlohmann::json settings = {{"mode", run.mode}, {"mode_name", WireModeName(run.mode)}, {"push", JsonFloat(run.push)},
                                 {"scale", JsonFloat(run.scale)}, {"model_size", run.modelSize}};
      if (run.pushShare) settings["push_percent"] = JsonFloat(run.pushPercent);
      settings["select"] = run.selection ? nlohmann::json(run.selectionText) : nlohmann::json(nullptr);
      entry["settings"] = settings;
    }
    nlohmann::json groups = nlohmann::json::array();
    CTotals totals;
    for (const CGroupCounts& group : run.groups) {
      nlohmann::json item = {{"name", group.name},       {"vertices", group.vertices}, {"facets", group.facets},
                             {"dropped", group.dropped}, {"wires", group.wires},       {"segments", group.segments}};
      if (group.framed) item["frame"] = group.frame;
      groups.push_back(item);
      if (runs.size() > 1 && run.inputs.size() == 1) item["input"] = run.inputs.front();
      allGroups.push_back(item);
      totals.Add(group);
    }
    entry["groups"] = groups;
    entry["totals"] = CountsJson(totals);
    entry["times"] = {{"import", run.importSeconds}, {"module", run.moduleSeconds}, {"write", run.writeSeconds}};
    list.push_back(entry);
    for (const std::string& output : run.outputs) allOutputs.push_back(output);
    importSeconds += run.importSeconds;
    moduleSeconds += run.moduleSeconds;
    writeSeconds += run.writeSeconds;
  }
  document["runs"] = list;
  document["groups"] = allGroups;
  document["outputs"] = allOutputs;
  document["totals"] = CountsJson(TotalsOf(runs));
  document["times"] = {{"import", importSeconds}, {"module", moduleSeconds}, {"write", writeSeconds},
                       {"total", totalSeconds}};
  document["peak_memory_bytes"] = peakBytes;
  return document.dump(2) + "\n";
}

}  // namespace cli
