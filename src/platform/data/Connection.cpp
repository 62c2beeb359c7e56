#include "platform/data/Connection.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/data/SqliteSource.h"

namespace rowcaster::data {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

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
    const std::string key = Lower(Trim(item.substr(0, eq)));
    std::string value = Trim(item.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '{' && value.back() == '}') value = value.substr(1, value.size() - 2);
    if (key == "provider") provider = Lower(value);
    else if (key == "driver") driver = Lower(value);
    else if (key == "extended properties") extended = Lower(value);
    else if (key == "data source" || key == "dbq" || key == "sourcedb") cs.dataSource = value;
    else if (key == "deleted") cs.hideDeleted = Lower(value) != "no";
  }
  if (provider.find("jet.oledb") != std::string::npos || provider.find("ace.oledb") != std::string::npos) {
    cs.kind = extended.find("excel") != std::string::npos ? Kind::Excel : Kind::Jet;
  } else if (driver.find("access driver") != std::string::npos) {
    cs.kind = Kind::Access;
  } else if (driver.find("foxpro") != std::string::npos || driver.find("dbase") != std::string::npos) {
    cs.kind = Kind::FoxPro;
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
  return FileFormat::Other;
}

std::unique_ptr<Connection> OpenConnection(const std::string& connectionString) {
  const ConnectionString cs = ConnectionString::Parse(connectionString);
  if (cs.kind == ConnectionString::Kind::Unknown)
    throw DataError("连接字符串中没有可识别的数据提供程序或驱动程序");
  if (cs.dataSource.empty()) throw DataError("连接字符串中没有数据源路径");
  const FileFormat format = SniffFile(cs.dataSource);
  if (format == FileFormat::Missing) throw DataError("找不到文件 " + cs.dataSource);
  if (format == FileFormat::Unreadable)
    throw DataError("无法打开文件 " + cs.dataSource + "：" + std::strerror(errno));
  if (cs.kind == ConnectionString::Kind::Jet && format == FileFormat::Sqlite) return OpenSqlite(cs.dataSource);
  throw DataError("暂不支持此类数据文件：" + cs.dataSource);
}

}  // namespace rowcaster::data
