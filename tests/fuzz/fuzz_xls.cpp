// libFuzzer target: any bytes as a BIFF5/BIFF8 workbook stream must read or give a DataError.
#include <cstdint>
#include <string>

#include "platform/data/XlsSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    rowcaster::data::XlsWorkbook book(std::string(reinterpret_cast<const char*>(data), size));
    for (const auto& sheet : book.Sheets()) book.ReadSheet(sheet);
  } catch (const rowcaster::data::DataError&) {
  }
  return 0;
}
