#pragma once
// Where the program's own files are. Built, they lie beside the executables; installed, the
// executables are in PREFIX/bin and the data in PREFIX/share/rowcaster. Never the working folder.

#include <string>

namespace rowcaster {

// The folder of the running executable, without a trailing separator.
std::string ExecutableDir();

// The folder of the data files (pinyin.dat, cbk.db) for executables in `exeDir`:
// exeDir/../share/rowcaster when it holds them, else exeDir itself.
std::string DataDirFor(const std::string& exeDir);
inline std::string DataDir() { return DataDirFor(ExecutableDir()); }

// A data file that ships with the program (pinyin.dat, cbk.db).
inline std::string DataFile(const std::string& name) { return DataDir() + "/" + name; }

// An executable installed beside this one (rowcaster-cli, the reader the window runs).
inline std::string BesideExecutable(const std::string& name) { return ExecutableDir() + "/" + name; }

// The publisher database: the file named by the environment variable ROWCASTER_CBK when it is
// set and not empty (a user's own cbk.db), else cbk.db in `dataDir`.
std::string CbkPathIn(const std::string& dataDir);

}  // namespace rowcaster
