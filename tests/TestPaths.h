#pragma once
// Where the tests find the build's data files and the repository's fixtures.

#include <string>

namespace rowcaster::test {

inline std::string BuildFile(const std::string& name) { return std::string(ROWCASTER_BUILD_DIR) + "/" + name; }
inline std::string SourceFile(const std::string& name) { return std::string(ROWCASTER_TEST_DIR) + "/" + name; }

}  // namespace rowcaster::test
