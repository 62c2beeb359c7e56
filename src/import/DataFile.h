#pragma once
// Choosing and reading the user's data file: its kind, the connection string and query text for
// that kind, which catalogue tables are offered, and the reading of one table into the grids, with
// every message the user sees on the way.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/LoadedTable.h"
#include "platform/data/TableReader.h"
#include "platform/ui/Ui.h"

namespace rowcaster::import {

inline constexpr char kSeparator = '/';

// Titles and texts of the import's messages.
inline constexpr const char* kTitle = "操作提示";
inline constexpr const char* kOpenTitle = "选择待转换的Excel文件";
// Every kind the program reads first, then the specified three, then the text tables.
inline constexpr const char* kOpenFilter =
    "所有支持的数据文件|*.xls *.xlsx *.mdb *.accdb *.dbf *.csv *.tsv *.txt|Excel(2003)|*.xls|Access数据库|*.mdb|FoxPro数据|*.dbf|"
    "Excel 工作簿(2007 以后)|*.xlsx|Access 数据库(2007 以后)|*.accdb|文本表格(CSV、TSV)|*.csv *.tsv *.txt";
inline constexpr const char* kFileMissing = "选择的数据文件不存在！";
inline constexpr const char* kFileInvalid = "选择的数据文件无效！";
inline constexpr const char* kOnlyThreeKinds =
    "目前数据文件类型只支持 .xls、.xlsx、.mdb、.accdb、.dbf 和文本表格 .csv、.tsv、.txt";
inline constexpr const char* kReadError = "读取数据文件出错！";
// Why a table could not be read whole.
inline constexpr const char* kOutOfMemory = "内存不足：表格太大，无法全部读入。请关闭其他程序，或把表格分成几部分再转换。";
std::string NoTableMessage(std::string_view kind);  // 选择的xls数据文件中，没有发现表，无法读取！

std::string TrimBlanks(std::string_view s);
// The kind of a data file by its extension: "xlsx" or "accdb", else the last three characters
// of the path in lower case.
std::string KindOfPath(std::string_view trimmedPath);
bool IsWorkbookKind(std::string_view kind);  // xls, xlsx
bool IsAccessKind(std::string_view kind);    // mdb, accdb
// A kind the program reads.
bool IsReadableKind(std::string_view kind);

struct PathParts {
  std::string folder;    // with its trailing separator
  std::string fileName;  // with its extension
};
// Splits at the last separator; nothing when there is none or the path ends with one.
std::optional<PathParts> SplitPath(std::string_view path);

std::string ConnectionStringFor(std::string_view kind, std::string_view path, std::string_view folder);
std::string QueryTextFor(std::string_view kind, std::string_view tableName, std::string_view fileName);
// The catalogue rows offered to the user, in catalogue order.
std::vector<std::string> OfferedTables(std::string_view kind, const std::vector<data::CatalogRow>& catalogue);

// The codes pre-filled into the mapping: a field named exactly like a code maps to it.
// A delimited text table (csv, tsv, txt): the file is the table.
bool IsTextKind(std::string_view kind);

std::vector<std::string> PrefilledMapping(const std::vector<std::string>& fieldNames, std::string_view marcCodeList);

// What the import reads and changes of the main window.
class ImportWindow {
 public:
  virtual ~ImportWindow() = default;
  virtual std::string ExcelPathText() const = 0;
  virtual void SetExcelPathText(const std::string& path) = 0;
  virtual std::string MarcPathText() const = 0;
  virtual void InitGrids() = 0;
  // Whether the grids show a table read earlier; a failed open leaves it there.
  virtual bool HasTable() const = 0;
  // Shows a table with rows in the content grid, and its fields with their pre-filled codes in the
  // mapping grid.
  virtual void ShowTable(std::shared_ptr<const LoadedTable> table, std::vector<std::string> mapping) = 0;
  virtual void SetStartEnabled(bool enabled) = 0;
  // The table picker: the chosen name, or the empty text when cancelled or closed.
  virtual std::string PickTable(const std::vector<std::string>& names) = 0;
};

// The button "选择路径(&F)". When the chosen file gives no table, a table shown before stays with
// its mapping and its path.
void SelectExcel_Click(ImportWindow& window, ui::Ui& ui, data::TableReader& reader, const std::string& marcCodeList);

// Reads one table of the file at `path` (trimmed) of kind `kind` into the window's grids; false
// when none was read (the message is shown, and a table shown before stays).
bool ReadDataFile(const std::string& path, const std::string& kind, ImportWindow& window, ui::Ui& ui,
                  data::TableReader& reader, const std::string& marcCodeList);

// Reads a whole table into a LoadedTable.
std::shared_ptr<LoadedTable> LoadTable(data::TableReader& reader, std::string_view kind,
                                       const std::string& connectionString, const std::string& queryText);

// Reads a whole table into `table` while other threads use the rows read so far: the caller has
// called table.BeginLoading() before handing the table to them; this ends the loading. Never
// throws: a failed read ends the loading with the reader's description (or kOutOfMemory).
void LoadTableWhileUsed(data::TableReader& reader, std::string_view kind, const std::string& connectionString,
                        const std::string& queryText, LoadedTable& table);

}  // namespace rowcaster::import
