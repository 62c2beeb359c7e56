// libFuzzer target: any bytes as a delimited text table must parse or give a DataError.
#include <cstdint>
#include <string_view>

#include "platform/data/CsvSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    rowcaster::data::ParseTextTable(bytes, ".csv");
    rowcaster::data::ParseTextTable(bytes, ".tsv");
  } catch (const rowcaster::data::DataError&) {
  }
  return 0;
}
