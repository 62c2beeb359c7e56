// Region-code lookups per second over the shipped cbk.db: ISBN hits, misses that fall through to
// the publisher's name, and misses that fall through to the place.
//
//   build/bench_lookup_speed

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "convert/RegionLookup.h"
#include "platform/Paths.h"

int main() {
  using namespace rowcaster;
  convert::RegionLookup lookup(convert::CbkConnStr(ExecutableDir()));
  struct Row {
    std::string isbn, publisher, place;
  };
  const std::vector<Row> rows = {
      {"978-7-5327-1234-5", "上海译文出版社", "上海"},
      {"7-301-12345-6", "北京大学出版社", "北京"},
      {"978-7-9999-0000-1", "人民文学出版社", "北京"},
      {"9787501234567", "无名出版社", "长沙"},
      {"978-7-5012-3456-7", "", ""},
      {"", "", "杭州"},
  };
  const int n = 300000;
  std::size_t found = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) {
    const Row& r = rows[i % rows.size()];
    found += !lookup.LookupRegionCode(r.isbn, r.publisher, r.place).empty();
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("lookups: %d, found: %zu, %.3f s\n", n, found, s);
  std::printf("LookupRegionCode: %.0f calls/s (target 100000)\n", n / s);
  return 0;
}
