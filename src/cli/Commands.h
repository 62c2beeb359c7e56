#pragma once
// The rowcaster-cli commands. Each takes its own arguments (after the command word) and returns
// the exit status.

#include <string>
#include <vector>

namespace rowcaster::cli {

int IsoCommand(std::vector<std::string> args);
int PinyinCommand(std::vector<std::string> args);
int ComposeCommand(std::vector<std::string> args);
int ReadCommand(std::vector<std::string> args);
int TablesCommand(std::vector<std::string> args);
int DumpCommand(std::vector<std::string> args);
int ConvertCommand(std::vector<std::string> args);
int CodesCommand(std::vector<std::string> args);
int PreviewCommand(std::vector<std::string> args);
int ProfileCommand(std::vector<std::string> args);
int LookupCommand(std::vector<std::string> args);
int TargetsCommand(std::vector<std::string> args);

}  // namespace rowcaster::cli
