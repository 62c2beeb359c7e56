#include "platform/SortedRuns.h"

#include <gtest/gtest.h>

#include <random>

namespace rowcaster {
namespace {

// From no range to nine (odd and even counts, so that a range is left without a partner at some
// round), with empty ranges among them and values repeated across ranges.
TEST(SortedRuns, MergesAnyNumberOfSortedRangesIntoOne) {
  std::mt19937 random(20261208);
  for (std::size_t ranges = 0; ranges <= 9; ++ranges) {
    for (const bool withEmpty : {false, true}) {
      SCOPED_TRACE(std::to_string(ranges) + " ranges" + (withEmpty ? ", some empty" : ""));
      std::vector<std::pair<int, int>> v;  // value, its place: equal values keep their order
      std::vector<std::size_t> starts;
      for (std::size_t r = 0; r < ranges; ++r) {
        starts.push_back(v.size());
        const std::size_t n = withEmpty && r % 3 == 1 ? 0 : 1 + random() % 7;
        std::vector<int> values;
        for (std::size_t k = 0; k < n; ++k) values.push_back(static_cast<int>(random() % 10));
        std::sort(values.begin(), values.end());
        for (const int value : values) v.emplace_back(value, static_cast<int>(v.size()));
      }
      if (starts.empty()) starts.push_back(0);
      std::vector<std::pair<int, int>> expected = v;
      std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
      MergeSortedRuns(v, starts);
      EXPECT_EQ(v, expected);
    }
  }
}

}  // namespace
}  // namespace rowcaster
