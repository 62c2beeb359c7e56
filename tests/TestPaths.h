#pragma once
// Where the tests find the build's data files and the repository's fixtures.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace rowcaster::test {

inline std::string BuildFile(const std::string& name) { return std::string(ROWCASTER_BUILD_DIR) + "/" + name; }
inline std::string SourceFile(const std::string& name) { return std::string(ROWCASTER_TEST_DIR) + "/" + name; }

// A path for a scratch file of this test process: tests run in parallel processes.
inline std::string TempPath(const std::string& name) {
  return testing::TempDir() + "rowcaster-" + std::to_string(getpid()) + "-" + name;
}

}  // namespace rowcaster::test
