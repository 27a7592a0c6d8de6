// What both benchmarks of the real backends share about a table's rows: the turns the
// configurations take, the spread of a row's times and how a count's change is shown.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace vimo::bench {

// Configurations that are compared take turns of kBatch ticks, each after kSettleTicks
// that are not timed, so that a change in the machine's load falls on all of them alike.
inline constexpr int kBatch = 100;
inline constexpr int kSettleTicks = 20;

struct Spread {
  double median = 0;
  double p95 = 0;
  double mean = 0;
};

// The median, 95th percentile and mean of a row's times (sorted in place).
inline Spread SpreadOf(std::vector<double>& times) {
  if (times.empty()) return {};
  std::sort(times.begin(), times.end());
  double sum = 0;
  for (const double t : times) sum += t;
  const auto count = static_cast<double>(times.size());
  return {times[times.size() / 2], times[static_cast<std::size_t>(std::ceil(0.95 * count)) - 1],
          sum / count};
}

// "+change (after)", or "n/a" where either count is unknown (negative).
inline std::string Delta(long before, long after) {
  if (before < 0 || after < 0) return "n/a";
  char text[48];
  std::snprintf(text, sizeof(text), "%+ld (%ld)", after - before, after);
  return text;
}

}  // namespace vimo::bench
