#include "platform/Team.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace rowcaster {
namespace {

// Every member takes every job once, job after job; Run returns only when all are done; what a
// member throws (the caller or another) comes out of Run, and the team goes on with the next job.
TEST(Team, RunsEachJobOnEveryMemberThenTheNext) {
  for (const std::int64_t members : {1, 2, 4}) {
    SCOPED_TRACE(std::to_string(members) + " members");
    Team team(members);
    ASSERT_EQ(team.size(), members);
    std::vector<std::atomic<int>> ran(static_cast<std::size_t>(members));
    for (int job = 1; job <= 50; ++job) {
      team.Run([&](std::int64_t m) { ++ran[static_cast<std::size_t>(m)]; });
      for (std::int64_t m = 0; m < members; ++m) ASSERT_EQ(ran[static_cast<std::size_t>(m)].load(), job) << m;
    }
    for (const std::int64_t thrower : {std::int64_t{0}, members - 1}) {
      EXPECT_THROW(team.Run([&](std::int64_t m) {
        if (m == thrower) throw std::runtime_error("member " + std::to_string(m));
      }), std::runtime_error);
    }
    std::atomic<std::int64_t> after{0};
    team.Run([&](std::int64_t) { ++after; });
    EXPECT_EQ(after.load(), members);
  }
}

}  // namespace
}  // namespace rowcaster
