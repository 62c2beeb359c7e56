#pragma once
// Office Open XML workbooks (.xlsx, as Excel, WPS, LibreOffice, openpyxl and SheetJS write them):
// every worksheet, hidden ones too, is a table "name$"; chart sheets are not tables. The ZIP
// container is read with libgsf and the XML with expat, as streams: no document tree is held.
// Values become text by the same rules as in .xls workbooks.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/data/Connection.h"
#include "platform/data/XlsSource.h"

typedef struct _GsfInfile GsfInfile;

namespace rowcaster::data {

std::unique_ptr<Connection> OpenXlsx(const std::string& path);

struct XlsxOptions {
  // Threads that parse a worksheet's rows while it is being inflated; 1: the plain reader only.
  unsigned threads = 2;
};

class XlsxWorkbook {
 public:
  using Options = XlsxOptions;
  // Opens the workbook at `path`, or one held in memory. Throws DataError for what it cannot read.
  explicit XlsxWorkbook(const std::string& path, Options options = {});
  struct InMemory {
    std::string bytes;
  };
  explicit XlsxWorkbook(InMemory data, Options options = {});
  ~XlsxWorkbook();
  XlsxWorkbook(const XlsxWorkbook&) = delete;
  XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

  struct Sheet {
    std::string name;
    std::string part;        // its part in the package, "xl/worksheets/sheet1.xml"
    bool worksheet = true;   // false for chart, dialog and macro sheets
    bool hidden = false;
  };
  const std::vector<Sheet>& Sheets() const { return sheets_; }
  bool DateSystem1904() const { return date1904_; }

  // The cells of a worksheet that hold values, in row and column order.
  std::vector<SheetCell> ReadSheet(const Sheet& sheet);
  // The worksheet as a table (SheetRowSet's), its texts copied once, as rows are read. The
  // workbook must outlive it.
  std::unique_ptr<RowSet> SheetRows(const Sheet& sheet);

  // A number as its cell shows it by the cell format `style`.
  std::string TextOfNumber(double value, std::size_t style) const;


 private:
  void Open();
  void ReadStringsAndStyles();
  CompactSheet ReadCompactSheet(const Sheet& sheet);
  std::optional<CompactSheet> ReadSheetInParallel(const Sheet& sheet);

  Options options_;
  std::string path_;      // for messages
  std::string memory_;    // the bytes of a workbook held in memory
  bool inMemory_ = false;
  GsfInfile* zip_ = nullptr;
  std::vector<Sheet> sheets_;
  bool date1904_ = false;
  std::string stringsPart_, stylesPart_;
  bool stringsRead_ = false;
  std::vector<std::string> strings_;
  std::vector<bool> styleIsDate_;  // by cell format (the cells' "s")
};

}  // namespace rowcaster::data
