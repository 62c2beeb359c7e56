#include "catalogue/Cache.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

namespace rowcaster::catalogue {
namespace {

// Records stored one after another, each after its length in 8 digits.
std::string Pack(const std::vector<std::string>& records) {
  std::string out;
  for (const std::string& r : records) {
    const std::string n = std::to_string(r.size());
    out += std::string(8 - n.size(), '0') + n + r;
  }
  return out;
}

std::optional<std::vector<std::string>> Unpack(std::string_view packed) {
  std::vector<std::string> records;
  while (!packed.empty()) {
    if (packed.size() < 8 || packed.substr(0, 8).find_first_not_of("0123456789") != std::string_view::npos)
      return std::nullopt;
    const std::size_t n = std::stoul(std::string(packed.substr(0, 8)));
    if (packed.size() - 8 < n) return std::nullopt;
    records.emplace_back(packed.substr(8, n));
    packed.remove_prefix(8 + n);
  }
  return records;
}

}  // namespace

std::string DefaultCachePath() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  const std::string base = cache && *cache ? cache : std::string(home ? home : ".") + "/.cache";
  return base + "/rowcaster/catalogue.db";
}

Cache::Cache(const std::string& path, int maxAgeDays, std::int64_t now)
    : now_(now), oldest_(now - std::int64_t{maxAgeDays} * 86400) {
  if (path.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
          SQLITE_OK ||
      sqlite3_exec(db_,
                   "PRAGMA busy_timeout=2000;"
                   "CREATE TABLE IF NOT EXISTS answers(target TEXT, isbn TEXT, fetched INTEGER, records BLOB,"
                   " PRIMARY KEY(target, isbn))",
                   nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

Cache::~Cache() {
  Flush();
  if (db_) sqlite3_close(db_);
}

std::optional<std::vector<std::string>> Cache::Get(const std::string& target, const std::string& isbn13) {
  if (!db_ || isbn13.empty()) return std::nullopt;
  std::lock_guard<std::mutex> lock(mutex_);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT records FROM answers WHERE target=?1 AND isbn=?2 AND fetched>=?3", -1, &st,
                         nullptr) != SQLITE_OK)
    return std::nullopt;
  sqlite3_bind_text(st, 1, target.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, isbn13.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(st, 3, oldest_);
  std::optional<std::vector<std::string>> out;
  if (sqlite3_step(st) == SQLITE_ROW) {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(st, 0));
    out = Unpack(std::string_view(data ? data : "", static_cast<std::size_t>(sqlite3_column_bytes(st, 0))));
  }
  sqlite3_finalize(st);
  return out;
}

void Cache::Put(const std::string& target, const std::string& isbn13, std::vector<std::string> records) {
  if (!db_ || isbn13.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.push_back({target, isbn13, std::move(records)});
}

void Cache::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_ || pending_.empty()) return;
  sqlite3_stmt* st = nullptr;
  sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
  if (sqlite3_prepare_v2(db_, "INSERT OR REPLACE INTO answers VALUES(?1, ?2, ?3, ?4)", -1, &st, nullptr) == SQLITE_OK) {
    for (const Entry& e : pending_) {
      const std::string packed = Pack(e.records);
      sqlite3_bind_text(st, 1, e.target.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(st, 2, e.isbn.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(st, 3, now_);
      sqlite3_bind_blob(st, 4, packed.data(), static_cast<int>(packed.size()), SQLITE_TRANSIENT);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
  }
  sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  pending_.clear();
}

}  // namespace rowcaster::catalogue
