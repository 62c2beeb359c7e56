#pragma once
// Sorting a whole made of parts each sorted already (sorted as they were made, in several
// threads): the parts are merged, not sorted again.

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

namespace rowcaster {

// `v`, whose ranges from each of `starts` (ascending, the first 0) to the next (the last to the
// end of `v`) are sorted, sorted as a whole: the ranges are merged two by two.
template <typename T>
void MergeSortedRuns(std::vector<T>& v, std::vector<std::size_t> starts) {
  starts.push_back(v.size());
  const auto at = [&](std::size_t i) { return v.begin() + static_cast<std::ptrdiff_t>(starts[i]); };
  while (starts.size() > 2) {
    std::vector<std::size_t> merged;
    std::size_t i = 0;
    for (; i + 2 < starts.size(); i += 2) {
      std::inplace_merge(at(i), at(i + 1), at(i + 2));
      merged.push_back(starts[i]);
    }
    if (i + 1 < starts.size()) merged.push_back(starts[i]);  // a range left without a partner
    merged.push_back(v.size());
    starts = std::move(merged);
  }
}

}  // namespace rowcaster
