#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace rowcaster {

std::string ExecutableDir() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
}

std::string DataDirFor(const std::string& exeDir) {
  const std::filesystem::path installed = std::filesystem::path(exeDir) / ".." / "share" / "rowcaster";
  std::error_code ec;
  if (std::filesystem::exists(installed / "pinyin.dat", ec))
    return std::filesystem::weakly_canonical(installed, ec).string();
  return exeDir;
}

std::string CbkPathIn(const std::string& dataDir) {
  if (const char* own = std::getenv("ROWCASTER_CBK"); own && *own) return own;
  return dataDir + "/cbk.db";
}

}  // namespace rowcaster
