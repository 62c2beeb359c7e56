#pragma once
// What catalogues answered, kept in an SQLite file in the user's cache folder: a second run over
// the same ISBNs asks nothing. Keyed by the target's URL and the ISBN-13; answers older than the
// age limit are asked again. A cache that cannot be opened is no cache, never an error.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace rowcaster::catalogue {

// $XDG_CACHE_HOME/rowcaster/catalogue.db, else ~/.cache/rowcaster/catalogue.db.
std::string DefaultCachePath();

class Cache {
 public:
  // `path` empty: nothing is kept.
  Cache(const std::string& path, int maxAgeDays, std::int64_t now);
  ~Cache();
  Cache(const Cache&) = delete;
  Cache& operator=(const Cache&) = delete;

  bool open() const { return db_ != nullptr; }
  // The raw records a target gave for an ISBN (none: it had none), or nothing when not kept.
  std::optional<std::vector<std::string>> Get(const std::string& target, const std::string& isbn13);
  // Kept until Flush.
  void Put(const std::string& target, const std::string& isbn13, std::vector<std::string> records);
  // Writes what was put, in one transaction.
  void Flush();

 private:
  sqlite3* db_ = nullptr;
  std::int64_t now_ = 0, oldest_ = 0;
  std::mutex mutex_;
  struct Entry {
    std::string target, isbn;
    std::vector<std::string> records;
  };
  std::vector<Entry> pending_;
};

}  // namespace rowcaster::catalogue
