// libFuzzer target: any bytes as a BIFF5/BIFF8 workbook stream must read or give a DataError.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/data/XlsSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    rowcaster::data::XlsWorkbook book(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> values;
    for (const auto& sheet : book.Sheets()) {
      book.ReadSheet(sheet);
      // The rows as a table, the texts copied from where the reader keeps them.
      for (auto rows = book.SheetRows(sheet); rows->Next(values);) {
      }
    }
  } catch (const rowcaster::data::DataError&) {
  }
  return 0;
}
