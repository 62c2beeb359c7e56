#include "platform/data/MdbSource.h"

#include <mdbtools.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/data/ValueText.h"
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

class MdbRowSet : public RowSet {
 public:
  MdbRowSet(MdbHandle* mdb, MdbTableDef* table) : table_(table) {
    mdb_read_columns(table_);
    mdb_rewind_table(table_);
    const unsigned n = table_->num_cols;
    buffers_.resize(n);
    lengths_.assign(n, 0);
    for (unsigned i = 0; i < n; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
      names_.emplace_back(col->name);
      types_.push_back(col->col_type);
      buffers_[i].assign(kBindSize, '\0');
      mdb_bind_column(table_, static_cast<int>(i + 1), buffers_[i].data(), &lengths_[i]);
    }
    (void)mdb;
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
          std::string t = empty ? std::string() : std::string(text);
          if (t.size() == 19 && t.compare(10, 9, " 00:00:00") == 0) t.resize(10);
          values[i] = std::move(t);
          break;
        }
        default:
          values[i].assign(text, strnlen(text, kBindSize));
          break;
      }
      buffers_[i][0] = '\0';
    }
    return true;
  }

 private:
  MdbTableDef* table_;
  std::vector<std::string> names_;
  std::vector<int> types_;
  std::vector<std::vector<char>> buffers_;
  std::vector<int> lengths_;
};

class MdbConnection : public Connection {
 public:
  explicit MdbConnection(const std::string& path) {
    // Jet 3 keeps text in the system code page; mdbtools reads the name of that code page here.
    setenv("MDB_JET3_CHARSET", "CP936", 0);
    mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!mdb_) throw DataError(path + " 不是 Access 数据库，或者文件已损坏");
    mdb_set_date_fmt(mdb_, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb_, "%Y-%m-%d %H:%M:%S");
    mdb_set_bind_size(mdb_, kBindSize);
    if (!mdb_read_catalog(mdb_, MDB_ANY)) {
      mdb_close(mdb_);
      throw DataError("读不出数据库 " + path + " 的表目录，文件可能已损坏");
    }
  }
  ~MdbConnection() override { mdb_close(mdb_); }

  std::vector<CatalogRow> Tables() override {
    std::vector<CatalogRow> rows;
    for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
      auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
      if (entry->object_type == MDB_TABLE) {
        rows.push_back({mdb_is_system_table(entry) ? "SYSTEM TABLE" : "TABLE", entry->object_name});
      } else if (entry->object_type == MDB_QUERY) {
        rows.push_back({"VIEW", entry->object_name});
      }
    }
    return rows;
  }

  std::unique_ptr<RowSet> Query(const std::string& queryText) override {
    std::string name = TableOfQuery(queryText);
    MdbTableDef* table = mdb_read_table_by_name(mdb_, name.data(), MDB_TABLE);
    if (!table) throw DataError("数据库中没有表“" + name + "”");
    return std::make_unique<MdbRowSet>(mdb_, table);
  }

 private:
  MdbHandle* mdb_ = nullptr;
};

}  // namespace

std::unique_ptr<Connection> OpenMdb(const std::string& path) { return std::make_unique<MdbConnection>(path); }

}  // namespace rowcaster::data
