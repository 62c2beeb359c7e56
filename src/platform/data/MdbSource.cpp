#include "platform/data/MdbSource.h"

#include <mdbtools.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string_view>

#include "platform/data/ValueText.h"
#include "platform/text/CodePage.h"
#include "platform/text/Utf8.h"

namespace rowcaster::data {
namespace {

constexpr std::size_t kBindSize = 256 * 1024;  // a whole memo of 65,535 Chinese characters

// "123.4500" → "123.45", "7.000" → "7": the text of an exact decimal without trailing zeros.
std::string DecimalText(std::string s) {
  if (s.find('.') == std::string::npos) return s;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s.empty() || s == "-") return "0";
  return s;
}

std::string NumberFromText(const char* text) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text) return text;
  return NumberText(v);
}

// A Jet date: days since 1899-12-30, the fraction the time of day (for days before it as well:
// -1.25 is 1899-12-29 06:00). Rounded to the second.
std::string JetDateText(double value) {
  if (!std::isfinite(value) || value <= -657435.0 || value >= 2958466.0) return {};  // years 100 to 9999
  const double whole = std::trunc(value);
  std::int64_t seconds = std::llround(std::fabs(value - whole) * 86400.0);
  std::int64_t day = static_cast<std::int64_t>(whole) + DaysFromCivil(1899, 12, 30);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day;
  }
  int y, m, d;
  CivilFromDays(day, y, m, d);
  return DateText(y, m, d, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
}

// Jet 3 keeps text in the code page its header names (936 for Chinese files, 1252 for Western
// ones). mdbtools is given a byte-for-byte decoding (Latin-1), and the bytes are decoded here by
// that code page; Jet 4 text is Unicode and mdbtools' own.
class Jet3Text {
 public:
  explicit Jet3Text(MdbHandle* mdb) {
    if (!IS_JET3(mdb)) return;
    decoder_ = std::make_unique<text::CodePageDecoder>(mdb->f->code_page ? mdb->f->code_page : text::kSystemCodePage);
    mdb_iconv_close(mdb);
    mdb->iconv_in = iconv_open("UTF-8", "ISO-8859-1");
    mdb->iconv_out = iconv_open("ISO-8859-1", "UTF-8");
  }
  // What mdbtools handed over, as text.
  std::string operator()(std::string_view fromMdb) const {
    if (!decoder_) return std::string(fromMdb);
    return decoder_->Decode(Latin1Bytes(fromMdb));
  }

 private:
  static std::string Latin1Bytes(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      if (c >= 0xC0 && i + 1 < utf8.size()) {
        bytes += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
      } else {
        bytes += static_cast<char>(c);
      }
    }
    return bytes;
  }
  std::unique_ptr<text::CodePageDecoder> decoder_;
};

class MdbRowSet : public RowSet {
 public:
  MdbRowSet(MdbHandle* mdb, MdbTableDef* table, const Jet3Text& text) : mdb_(mdb), table_(table), text_(text) {
    mdb_read_columns(table_);
    mdb_rewind_table(table_);
    const unsigned n = table_->num_cols;
    buffers_.resize(n);
    lengths_.assign(n, 0);
    for (unsigned i = 0; i < n; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
      names_.push_back(text_(col->name));
      types_.push_back(col->col_type);
      buffers_[i].assign(kBindSize, '\0');
      mdb_bind_column(table_, static_cast<int>(i + 1), buffers_[i].data(), &lengths_[i]);
    }
  }
  ~MdbRowSet() override { mdb_free_tabledef(table_); }

  std::optional<std::int64_t> RecordCount() const override { return table_->num_rows; }
  const std::vector<std::string>& FieldNames() const override { return names_; }

  bool Next(std::vector<std::string>& values) override {
    if (!mdb_fetch_row(table_)) return false;
    values.resize(names_.size());
    for (std::size_t i = 0; i < names_.size(); ++i) {
      const char* text = buffers_[i].data();
      const bool empty = lengths_[i] == 0 && text[0] == '\0';
      switch (types_[i]) {
        case MDB_BOOL:
          values[i] = BoolText(std::strcmp(text, "1") == 0 || text::AsciiLower(text) == "true");
          break;
        case MDB_OLE:
        case MDB_BINARY:
        case MDB_COMPLEX:
          values[i].clear();
          break;
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_MONEY:
          values[i] = empty ? std::string() : NumberFromText(text);
          break;
        case MDB_NUMERIC:
          values[i] = empty ? std::string() : DecimalText(text);
          break;
        case MDB_DATETIME: {
          // From the stored value: mdbtools' own text is wrong outside 1900 to 2100.
          const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
          values[i] = empty || col->cur_value_len != 8 ? std::string()
                                                       : JetDateText(mdb_get_double(mdb_->pg_buf, col->cur_value_start));
          break;
        }
        case MDB_TEXT:
        case MDB_MEMO:
          values[i] = text_(std::string_view(text, strnlen(text, kBindSize)));
          break;
        default:
          values[i].assign(text, strnlen(text, kBindSize));
          break;
      }
      buffers_[i][0] = '\0';
    }
    return true;
  }

 private:
  MdbHandle* mdb_;
  MdbTableDef* table_;
  const Jet3Text& text_;
  std::vector<std::string> names_;
  std::vector<int> types_;
  std::vector<std::vector<char>> buffers_;
  std::vector<int> lengths_;
};

// Why a database mdbtools cannot open cannot be read, as far as its header tells.
std::string Unreadable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[21] = {};
  in.read(head, sizeof head);
  if (in.gcount() == sizeof head && std::string_view(head + 4, 15) == "Standard ACE DB") {
    static const char* const kVersions[] = {"Access 2007", "Access 2010", "Access 2013", "Access 2016 以后"};
    const int v = static_cast<unsigned char>(head[20]);
    const char* version = kVersions[std::clamp(v, 2, 5) - 2];
    return path + " 是 " + version + " 的数据库（.accdb），但读不出它的表目录：它可能用密码加密了（Access 的“用密码进行加密”把整个文件加密，"
                  "不知道密码就读不了），或者文件已损坏。请在 Access 中撤销数据库密码后保存，或者把要转换的表导出为 .xlsx 或 .csv，再选择它";
  }
  return "读不出数据库 " + path + " 的表目录：它不是 Access 数据库，或者文件已损坏";
}

class MdbConnection : public Connection {
 public:
  explicit MdbConnection(const std::string& path) {
    // mdbtools keeps some state of its own while it opens a file: one opening at a time.
    static std::mutex opening;
    std::lock_guard<std::mutex> lock(opening);
    mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!mdb_) throw DataError(Unreadable(path));
    text_ = std::make_unique<Jet3Text>(mdb_);
    mdb_set_date_fmt(mdb_, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb_, "%Y-%m-%d %H:%M:%S");
    mdb_set_bind_size(mdb_, kBindSize);
    if (!mdb_read_catalog(mdb_, MDB_ANY)) {
      mdb_close(mdb_);
      throw DataError(Unreadable(path));
    }
  }
  ~MdbConnection() override { mdb_close(mdb_); }

  std::vector<CatalogRow> Tables() override {
    std::vector<CatalogRow> rows;
    for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
      auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
      if (entry->object_type == MDB_TABLE) {
        rows.push_back({mdb_is_system_table(entry) ? "SYSTEM TABLE" : "TABLE", (*text_)(entry->object_name)});
      } else if (entry->object_type == MDB_QUERY) {
        rows.push_back({"VIEW", (*text_)(entry->object_name)});
      }
    }
    return rows;
  }

  std::unique_ptr<RowSet> Query(const std::string& queryText) override {
    const std::string name = TableOfQuery(queryText);
    MdbTableDef* table = nullptr;
    for (unsigned i = 0; i < mdb_->num_catalog && !table; ++i) {
      auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
      // Jet compares names without case.
      if (entry->object_type == MDB_TABLE && text::AsciiLower((*text_)(entry->object_name)) == text::AsciiLower(name))
        table = mdb_read_table(entry);
    }
    if (!table) throw DataError("数据库中没有表“" + name + "”");
    return std::make_unique<MdbRowSet>(mdb_, table, *text_);
  }

 private:
  MdbHandle* mdb_ = nullptr;
  std::unique_ptr<Jet3Text> text_;
};

}  // namespace

std::unique_ptr<Connection> OpenMdb(const std::string& path) { return std::make_unique<MdbConnection>(path); }

}  // namespace rowcaster::data
