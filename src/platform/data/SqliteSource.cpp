#include "platform/data/SqliteSource.h"

#include <sqlite3.h>

#include <map>

namespace rowcaster::data {
namespace {

struct StatementCloser {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

std::string Text(sqlite3_stmt* s, int column) {
  switch (sqlite3_column_type(s, column)) {
    case SQLITE_NULL:
    case SQLITE_BLOB:
      return {};
    default: {
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
      return t ? std::string(t, sqlite3_column_bytes(s, column)) : std::string();
    }
  }
}

class SqliteRowSet : public RowSet {
 public:
  SqliteRowSet(Statement statement, std::optional<std::int64_t> count, sqlite3* db)
      : statement_(std::move(statement)), count_(count), db_(db) {
    for (int c = 0; c < sqlite3_column_count(statement_.get()); ++c) names_.emplace_back(sqlite3_column_name(statement_.get(), c));
  }
  std::optional<std::int64_t> RecordCount() const override { return count_; }
  const std::vector<std::string>& FieldNames() const override { return names_; }
  bool Next(std::vector<std::string>& values) override {
    const int rc = sqlite3_step(statement_.get());
    if (rc == SQLITE_DONE) return false;
    if (rc != SQLITE_ROW) throw DataError(std::string("读取数据出错：") + sqlite3_errmsg(db_));
    values.resize(names_.size());
    for (std::size_t c = 0; c < names_.size(); ++c) values[c] = Text(statement_.get(), static_cast<int>(c));
    return true;
  }

 private:
  Statement statement_;
  std::optional<std::int64_t> count_;
  sqlite3* db_;
  std::vector<std::string> names_;
};

class SqliteConnection : public Connection {
 public:
  explicit SqliteConnection(const std::string& path) : path_(path) {
    // No global memory statistics: they take a lock on every allocation of every connection.
    static const bool configured = [] { return sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK; }();
    (void)configured;
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw DataError("无法打开数据库 " + path + "：" + why);
    }
    sqlite3_busy_timeout(db_, 2000);
    // Keep the shared lock between queries: a connection only reads, and taking the file lock
    // anew for every query would cost more than the query itself.
    sqlite3_exec(db_, "pragma locking_mode=exclusive", nullptr, nullptr, nullptr);
  }
  ~SqliteConnection() override {
    cached_.clear();
    sqlite3_close(db_);
  }

  std::vector<CatalogRow> Tables() override {
    std::vector<CatalogRow> rows;
    Statement s = Prepare("select type, name from sqlite_master where type in ('table','view') order by rowid");
    for (int rc; (rc = sqlite3_step(s.get())) == SQLITE_ROW;) {
      const std::string type = Text(s.get(), 0), name = Text(s.get(), 1);
      rows.push_back({name.rfind("sqlite_", 0) == 0 ? "SYSTEM TABLE" : type == "view" ? "VIEW" : "TABLE", name});
    }
    return rows;
  }

  std::unique_ptr<RowSet> Query(const std::string& queryText) override {
    Statement s = Prepare(queryText);
    std::optional<std::int64_t> count;
    Statement counter = TryPrepare("select count(*) from (" + queryText + ")");
    if (counter && sqlite3_step(counter.get()) == SQLITE_ROW) count = sqlite3_column_int64(counter.get(), 0);
    return std::make_unique<SqliteRowSet>(std::move(s), count, db_);
  }

  std::optional<std::string> FirstValue(const std::string& queryText, const std::vector<std::string>& params,
                                        const std::string& column) override {
    auto it = cached_.find(queryText);
    if (it == cached_.end()) it = cached_.emplace(queryText, Prepare(queryText)).first;
    sqlite3_stmt* s = it->second.get();
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    for (std::size_t i = 0; i < params.size(); ++i)
      sqlite3_bind_text(s, static_cast<int>(i + 1), params[i].data(), static_cast<int>(params[i].size()), SQLITE_STATIC);
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return std::nullopt;
    if (rc != SQLITE_ROW) throw DataError("查询出错：" + std::string(sqlite3_errmsg(db_)));
    for (int c = 0; c < sqlite3_column_count(s); ++c)
      if (sqlite3_stricmp(sqlite3_column_name(s, c), column.c_str()) == 0) {
        std::string value = Text(s, c);
        sqlite3_reset(s);
        return value;
      }
    sqlite3_reset(s);
    throw DataError("查询结果中没有字段 " + column);
  }

 private:
  Statement TryPrepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr) != SQLITE_OK) {
      sqlite3_finalize(s);
      return nullptr;
    }
    return Statement(s);
  }
  Statement Prepare(const std::string& sql) {
    Statement s = TryPrepare(sql);
    if (!s) throw DataError("无法执行查询“" + sql + "”：" + sqlite3_errmsg(db_));
    return s;
  }

  std::string path_;
  sqlite3* db_ = nullptr;
  std::map<std::string, Statement> cached_;
};

}  // namespace

std::unique_ptr<Connection> OpenSqlite(const std::string& path) { return std::make_unique<SqliteConnection>(path); }

}  // namespace rowcaster::data
