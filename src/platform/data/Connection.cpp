#include "platform/data/Connection.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include <filesystem>

#include "platform/data/CsvSource.h"
#include "platform/data/DbfSource.h"
#include "platform/data/MdbSource.h"
#include "platform/data/SqliteSource.h"
#include "platform/data/XlsSource.h"
#include "platform/data/XlsxSource.h"
#include "platform/text/Utf8.h"

namespace rowcaster::data {
namespace {

std::string Trim(const std::string& s) {
  const auto a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

}  // namespace

std::optional<std::string> Connection::FirstValue(const std::string&, const std::vector<std::string>&,
                                                  const std::string&) {
  throw DataError("此类数据源不支持带参数的查询");
}

std::string TableOfQuery(const std::string& queryText) {
  static const std::string kPrefix = "select * from ";
  if (text::AsciiLower(queryText.substr(0, kPrefix.size())) != kPrefix) throw DataError("不支持的查询：" + queryText);
  std::string name = queryText.substr(kPrefix.size());
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  return name;
}

void RequireFolder(const std::string& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder.empty() ? "." : folder, ec)) throw DataError("找不到文件夹 " + folder);
}

std::vector<CatalogRow> FilesAsTables(const std::string& folder, std::initializer_list<std::string_view> extensions) {
  std::vector<CatalogRow> rows;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string ext = text::AsciiLower(it->path().extension().string());
    if (std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
      rows.push_back({"TABLE", it->path().filename().string()});
  }
  std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.tableName < b.tableName; });
  return rows;
}

ConnectionString ConnectionString::Parse(const std::string& text) {
  ConnectionString cs;
  std::string provider, driver, extended;
  std::size_t start = 0;
  while (start <= text.size()) {
    // A value in braces may hold ";" (Driver={…}).
    std::size_t end = start;
    int braces = 0;
    while (end < text.size() && (text[end] != ';' || braces > 0)) {
      if (text[end] == '{') ++braces;
      if (text[end] == '}' && braces > 0) --braces;
      ++end;
    }
    const std::string item = text.substr(start, end - start);
    start = end + 1;
    const auto eq = item.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = text::AsciiLower(Trim(item.substr(0, eq)));
    std::string value = Trim(item.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '{' && value.back() == '}') value = value.substr(1, value.size() - 2);
    if (key == "provider") provider = text::AsciiLower(value);
    else if (key == "driver") driver = text::AsciiLower(value);
    else if (key == "extended properties") extended = text::AsciiLower(value);
    else if (key == "data source" || key == "dbq" || key == "sourcedb") cs.dataSource = value;
    else if (key == "deleted") cs.hideDeleted = text::AsciiLower(value) != "no";
  }
  if (provider.find("jet.oledb") != std::string::npos || provider.find("ace.oledb") != std::string::npos) {
    cs.kind = extended.find("excel") != std::string::npos ? Kind::Excel : Kind::Jet;
  } else if (driver.find("access driver") != std::string::npos) {
    cs.kind = Kind::Access;
  } else if (driver.find("foxpro") != std::string::npos || driver.find("dbase") != std::string::npos) {
    cs.kind = Kind::FoxPro;
  } else if (driver.find("text driver") != std::string::npos) {
    cs.kind = Kind::Text;
  }
  return cs;
}

FileFormat SniffFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return errno == ENOENT ? FileFormat::Missing : FileFormat::Unreadable;
  char head[32] = {};
  in.read(head, sizeof head);
  const std::streamsize n = in.gcount();
  if (n >= 16 && std::memcmp(head, "SQLite format 3\0", 16) == 0) return FileFormat::Sqlite;
  if (n >= 8 && std::memcmp(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0) return FileFormat::CompoundFile;
  if (n >= 19 && (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 || std::memcmp(head + 4, "Standard ACE DB", 15) == 0))
    return FileFormat::Jet;
  if (n >= 4 && std::memcmp(head, "PK\x03\x04", 4) == 0) return FileFormat::Zip;
  return FileFormat::Other;
}

std::unique_ptr<Connection> OpenConnection(const std::string& connectionString) {
  const ConnectionString cs = ConnectionString::Parse(connectionString);
  if (cs.kind == ConnectionString::Kind::Unknown)
    throw DataError("连接字符串中没有可识别的数据提供程序或驱动程序");
  if (cs.dataSource.empty()) throw DataError("连接字符串中没有数据源路径");
  if (cs.kind == ConnectionString::Kind::FoxPro) return OpenDbfFolder(cs.dataSource, cs.hideDeleted);
  if (cs.kind == ConnectionString::Kind::Text) return OpenTextFolder(cs.dataSource);

  std::error_code ec;
  if (std::filesystem::is_directory(cs.dataSource, ec)) throw DataError(cs.dataSource + " 是文件夹，不是数据文件");
  const FileFormat format = SniffFile(cs.dataSource);
  switch (format) {
    case FileFormat::Missing:
      throw DataError("找不到文件 " + cs.dataSource);
    case FileFormat::Unreadable:
      throw DataError("无法打开文件 " + cs.dataSource + "（可能被其他程序锁定或没有读取权限）");
    case FileFormat::Sqlite:
      if (cs.kind == ConnectionString::Kind::Excel) break;
      return OpenSqlite(cs.dataSource);
    case FileFormat::CompoundFile:
      if (cs.kind == ConnectionString::Kind::Excel) return OpenXls(cs.dataSource);
      break;
    case FileFormat::Jet:
      if (cs.kind != ConnectionString::Kind::Excel) return OpenMdb(cs.dataSource);
      break;
    case FileFormat::Zip:
      if (cs.kind == ConnectionString::Kind::Excel) return OpenXlsx(cs.dataSource);
      break;
    default:
      break;
  }
  if (cs.kind == ConnectionString::Kind::Excel)
    throw DataError(cs.dataSource + " 不是 Excel 工作簿（.xls、.xlsx），或者文件已损坏。请在 Excel 或 WPS 中打开它，另存为 .xlsx 后再试");
  throw DataError(cs.dataSource + " 不是 Access 数据库（.mdb、.accdb），或者文件已损坏");
}

}  // namespace rowcaster::data
