#include "import/DataFile.h"

#include <filesystem>

#include "mapping/MarcFields.h"
#include "platform/text/Utf8.h"

namespace rowcaster::import {
namespace {

class TableFiller : public data::TableSink {
 public:
  explicit TableFiller(LoadedTable& table) : table_(table) {}
  void Begin(const std::vector<std::string>& names, std::optional<std::int64_t>) override { table_.SetFieldNames(names); }
  void Row(const std::vector<std::string_view>& values) override { table_.AppendRow(values); }

 private:
  LoadedTable& table_;
};

// The wait pointer for as long as it is held; Release ends it early.
class WaitPointer {
 public:
  explicit WaitPointer(ui::Ui& ui) : ui_(ui) { Set(true); }
  ~WaitPointer() { Set(false); }
  void Set(bool on) {
    if (on != on_) ui_.SetWaitPointer(on);
    on_ = on;
  }

 private:
  ui::Ui& ui_;
  bool on_ = false;
};

void SetStartButton(ImportWindow& window) {
  window.SetStartEnabled(!window.ExcelPathText().empty() && !window.MarcPathText().empty());
}

}  // namespace

std::string NoTableMessage(std::string_view kind) {
  return "选择的" + std::string(kind) + "数据文件中，没有发现表，无法读取！";
}

std::string TrimBlanks(std::string_view s) { return std::string(text::TrimBlanks(s)); }

bool IsTextKind(std::string_view kind) { return kind == "csv" || kind == "tsv" || kind == "txt"; }

bool IsWorkbookKind(std::string_view kind) { return kind == "xls" || kind == "xlsx"; }
bool IsAccessKind(std::string_view kind) { return kind == "mdb" || kind == "accdb"; }

bool IsReadableKind(std::string_view kind) {
  return kind == "dbf" || IsWorkbookKind(kind) || IsAccessKind(kind) || IsTextKind(kind);
}

std::string KindOfPath(std::string_view path) {
  const std::size_t n = text::Utf8Length(path);
  // The two kinds whose extension is longer than three letters.
  for (const std::string_view longer : {"xlsx", "accdb"})
    if (n > longer.size() && text::AsciiLower(text::Utf8Substr(path, n - longer.size() - 1, longer.size() + 1)) ==
                                 "." + std::string(longer))
      return std::string(longer);
  return text::AsciiLower(text::Utf8Substr(path, n > 3 ? n - 3 : 0, 3));
}

std::optional<PathParts> SplitPath(std::string_view path) {
  const std::size_t sep = path.rfind(kSeparator);
  if (sep == std::string_view::npos || sep + 1 == path.size()) return std::nullopt;
  return PathParts{std::string(path.substr(0, sep + 1)), std::string(path.substr(sep + 1))};
}

std::string ConnectionStringFor(std::string_view kind, std::string_view path, std::string_view folder) {
  if (kind == "xls")
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + std::string(path) +
           ";Extended properties=Excel 5.0;User ID=Admin;Password=;Persist Security Info=False";
  if (kind == "xlsx")
    return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + std::string(path) + ";Extended Properties=\"Excel 12.0 Xml;HDR=YES\"";
  if (kind == "mdb")
    return "driver={microsoft access driver (*.mdb)};dbq=" + std::string(path) +
           ";DriverId=25;FIL=MS Access;MaxBufferSize=2048;PageTimeout=5;";
  if (kind == "accdb") return "Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=" + std::string(path) + ";";
  if (IsTextKind(kind))
    return "Driver={Microsoft Text Driver (*.txt; *.csv)};Dbq=" + std::string(folder) + ";Extensions=asc,csv,tab,txt;";
  return "Driver={Microsoft Visual FoxPro Driver};SourceType=DBF;SourceDB=" + std::string(folder) +
         ";UID=;PWD=;Exclusive=No;BackgroundFetch=Yes;Collate=;Null=Yes;Deleted=Yes;";
}

std::string QueryTextFor(std::string_view kind, std::string_view tableName, std::string_view fileName) {
  if (IsWorkbookKind(kind)) return "select * from [" + std::string(tableName) + "]";
  if (IsAccessKind(kind)) return "select * from " + std::string(tableName);
  if (IsTextKind(kind)) return "select * from [" + std::string(fileName) + "]";
  return "select * from " + std::string(fileName);
}

std::vector<std::string> OfferedTables(std::string_view kind, const std::vector<data::CatalogRow>& catalogue) {
  std::vector<std::string> names;
  for (const auto& row : catalogue) {
    if (text::AsciiLower(row.tableType) != "table") continue;
    if (IsWorkbookKind(kind) && (row.tableName.empty() || row.tableName.back() != '$')) continue;
    names.push_back(row.tableName);
  }
  return names;
}

std::vector<std::string> PrefilledMapping(const std::vector<std::string>& fieldNames, std::string_view marcCodeList) {
  std::vector<std::string> mapping;
  for (const auto& name : fieldNames) mapping.push_back(mapping::IsMarcCode(name, marcCodeList) ? name : std::string());
  return mapping;
}

namespace {

// A sheet or a text file has its header on the first line; a database's records have no line.
int FirstDataLineOf(std::string_view kind) { return IsWorkbookKind(kind) || IsTextKind(kind) ? 2 : 0; }

}  // namespace

std::shared_ptr<LoadedTable> LoadTable(data::TableReader& reader, std::string_view kind,
                                       const std::string& connectionString, const std::string& queryText) {
  auto table = std::make_shared<LoadedTable>();
  TableFiller filler(*table);
  reader.ReadTable(connectionString, queryText, filler);
  table->SetFirstDataLine(FirstDataLineOf(kind));
  return table;
}

void LoadTableWhileUsed(data::TableReader& reader, std::string_view kind, const std::string& connectionString,
                        const std::string& queryText, LoadedTable& table) {
  table.SetFirstDataLine(FirstDataLineOf(kind));
  std::string error;
  try {
    TableFiller filler(table);
    reader.ReadTable(connectionString, queryText, filler);
  } catch (const std::bad_alloc&) {
    error = kOutOfMemory;
  } catch (const std::exception& e) {
    error = *e.what() ? e.what() : kReadError;
  }
  table.EndLoading(std::move(error));
}

namespace {

// A failed open leaves a table loaded before as it was, mapping and all (the caller puts its path
// back); with none the grids are emptied, and the path box too where `clearPath`.
void FailedOpen(ImportWindow& window, bool clearPath) {
  if (window.HasTable()) return;
  if (clearPath) window.SetExcelPathText("");
  window.InitGrids();
}

// Opens the file named in the path box; false when no table was read from it.
bool OpenPathText(ImportWindow& window, ui::Ui& ui, data::TableReader& reader, const std::string& marcCodeList) {
  const std::string s = TrimBlanks(window.ExcelPathText());
  if (s.empty()) return false;
  if (text::Utf8Length(s) > 3) {
    std::error_code ec;
    if (!std::filesystem::exists(s, ec)) {
      ui.Message(kFileMissing, kTitle, ui::Icon::Error, ui::Buttons::Ok);
      FailedOpen(window, true);
      return false;
    }
    const std::string kind = KindOfPath(s);
    if (IsReadableKind(kind)) {
      const bool read = ReadDataFile(s, kind, window, ui, reader, marcCodeList);
      SetStartButton(window);
      return read;
    }
  }
  ui.Message(std::string(kFileInvalid) + "\r\n" + kOnlyThreeKinds, kTitle, ui::Icon::Error, ui::Buttons::Ok);
  FailedOpen(window, true);
  SetStartButton(window);
  return false;
}

// The query of the table to read: the file itself, or the catalogue table the user picks; nothing
// when the file has no table or the picker is cancelled.
std::optional<std::string> ChooseQuery(const std::string& kind, const std::string& connection, const PathParts& parts,
                                       ImportWindow& window, ui::Ui& ui, data::TableReader& reader,
                                       WaitPointer& wait) {
  if (kind == "dbf" || IsTextKind(kind)) return QueryTextFor(kind, "", parts.fileName);  // the file is the table
  const std::vector<data::CatalogRow> catalogue = reader.ReadCatalogue(connection);
  const std::vector<std::string> offered = OfferedTables(kind, catalogue);
  wait.Set(false);
  if (offered.empty()) {
    ui.Message(NoTableMessage(kind), kTitle, ui::Icon::Error, ui::Buttons::Ok);
    // An empty catalogue keeps the chosen path; tables that are not offered empty it.
    FailedOpen(window, !catalogue.empty());
    return std::nullopt;
  }
  const std::string table = window.PickTable(offered);
  if (table.empty()) {
    FailedOpen(window, false);
    return std::nullopt;
  }
  wait.Set(true);
  return QueryTextFor(kind, table, parts.fileName);
}

}  // namespace

void SelectExcel_Click(ImportWindow& window, ui::Ui& ui, data::TableReader& reader, const std::string& marcCodeList) {
  const std::string chosen = ui.OpenFile(kOpenTitle, kOpenFilter, "");
  if (chosen.empty()) return;
  const std::string previous = window.ExcelPathText();
  window.SetExcelPathText(chosen);
  if (OpenPathText(window, ui, reader, marcCodeList) || !window.HasTable()) return;
  // The table still shown is the one from the previous path.
  window.SetExcelPathText(previous);
  SetStartButton(window);
}

bool ReadDataFile(const std::string& path, const std::string& kind, ImportWindow& window, ui::Ui& ui,
                  data::TableReader& reader, const std::string& marcCodeList) {
  const std::optional<PathParts> parts = SplitPath(path);
  if (!parts) {
    ui.Message(kFileInvalid, kTitle, ui::Icon::Error, ui::Buttons::Ok);
    FailedOpen(window, false);
    return false;
  }
  WaitPointer wait(ui);
  try {
    const std::string connection = ConnectionStringFor(kind, path, parts->folder);
    const std::optional<std::string> query = ChooseQuery(kind, connection, *parts, window, ui, reader, wait);
    if (!query) return false;
    std::shared_ptr<LoadedTable> table = LoadTable(reader, kind, connection, *query);
    window.InitGrids();
    if (table->RowCount() > 0) {
      std::vector<std::string> mapping = PrefilledMapping(table->FieldNames(), marcCodeList);
      window.ShowTable(std::move(table), std::move(mapping));
    }
    return true;
  } catch (const std::bad_alloc&) {
    // What was read so far is released with the table.
    wait.Set(false);
    ui.Message(std::string(kReadError) + "\r\n" + kOutOfMemory, kTitle, ui::Icon::Error, ui::Buttons::Ok);
  } catch (const std::exception& e) {
    wait.Set(false);
    ui.Message(std::string(kReadError) + "\r\n" + e.what(), kTitle, ui::Icon::Error, ui::Buttons::Ok);
  }
  FailedOpen(window, true);
  return false;
}

}  // namespace rowcaster::import
