#pragma once
// Where the program's own files are: beside the executable.

#include <string>

namespace rowcaster {

// The folder of the running executable, without a trailing separator.
std::string ExecutableDir();

// A file that ships beside the executable (pinyin.dat, cbk.db).
inline std::string BesideExecutable(const std::string& name) { return ExecutableDir() + "/" + name; }

}  // namespace rowcaster
