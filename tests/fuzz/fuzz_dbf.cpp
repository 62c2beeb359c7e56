// libFuzzer target: any bytes as a .dbf table (with no memo file) must read or give a DataError.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/data/DbfSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/rowcaster-fuzz-" + std::to_string(getpid()) + ".dbf";
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  try {
    auto rows = rowcaster::data::OpenDbfTable(path, true);
    std::vector<std::string> values;
    while (rows->Next(values)) {
    }
  } catch (const rowcaster::data::DataError&) {
  }
  return 0;
}
