#pragma once
// The publisher's region code for field 102 $b, looked up in the publisher database cbk.db: by
// the ISBN's publisher prefix, then by the publisher's name, then by the place of publication.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/data/Connection.h"

namespace rowcaster::convert {

// The connection string of the publisher database of the data folder `dataDir` (or the user's own,
// named by ROWCASTER_CBK).
std::string CbkConnStr(const std::string& dataDir);
// The connection string of the publisher database file `path`.
std::string CbkConnStrForFile(const std::string& path);

// The ISBN prefix that is compared with c_sbn: group and publisher parts with their hyphen.
std::string IsbnPrefix(std::string_view d010a);

// One open publisher database, used for the records of one run. If the database cannot be opened,
// the failure is kept and every lookup fails with it.
class RegionLookup {
 public:
  struct Publisher {
    std::string regionCode, place, name;
    std::string nameKey;  // the name as the lookup compares it (PublisherKey for the recommended rules)
  };
  explicit RegionLookup(std::string connectionString);
  ~RegionLookup();

  // "|b " + the region code of the first row whose prefix, name or place equals the value as the
  // database compares, or the empty text when none does. Throws ComposeError when the database
  // cannot be opened or read.
  std::string LookupRegionCode(std::string_view d010a, std::string_view d210c, std::string_view d210a);

  // The recommended rules' lookups. The names and places are looked for by their keys (PublisherKey),
  // which a record makes once for each name it looks at. They throw ComposeError as
  // LookupRegionCode does. The row found is the lookup's own: it lives as long as the lookup.
  // Nothing when none is found.
  // The row of a hyphenated ISBN's publisher prefix.
  const Publisher* FindByIsbn(std::string_view hyphenatedIsbn);
  // The first row of a publisher's name, of a place; nothing for an empty key.
  const Publisher* FindByName(std::string_view nameKey);
  const Publisher* FindByPlace(std::string_view placeKey);
  // The first name in the table whose key holds `partKey` and is longer, as "中国水利水电出版社" holds
  // "水利水电出版社"; nothing for a part of fewer than two characters.
  std::optional<std::string> NameHolding(std::string_view partKey);

 private:
  // The rows of the publisher table with a region code, held once and found by ISBN prefix, name or
  // place under a key: the text as the database compares it (classic) or normalised (recommended).
  // The first row with a key wins, as the database's first answer does.
  class Index {
   public:
    using KeyOf = std::string (*)(std::string_view);
    Index(KeyOf key, bool emptyKeys) : key_(key), emptyKeys_(emptyKeys) {}
    void Add(const std::string& sbn, const std::string& cbs, const std::string& cbd, const std::string& cbno);
    enum Column { Sbn, Cbs, Cbd };
    const Publisher* Find(Column column, std::string_view value) const { return FindKey(column, key_(value)); }
    const Publisher* FindKey(Column column, std::string_view key) const;
    const Publisher* FindHolding(std::string_view key) const;

   private:
    KeyOf key_;
    bool emptyKeys_;  // an empty value finds a row whose column is empty (the database's "=")
    std::vector<Publisher> rows_;
    // Found by a view of the key: no text is made for a find.
    struct KeyHash {
      using is_transparent = void;
      std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    std::unordered_map<std::string, std::size_t, KeyHash, std::equal_to<>> byColumn_[3];
    // The rows (in order) whose name keys hold each pair of characters: a key is only looked for in
    // the rows that hold its rarest pair. Made by the first FindHolding (an index is one thread's).
    mutable std::unordered_map<std::string, std::vector<std::uint32_t>> byPair_;
    mutable bool pairsMade_ = false;
  };
  // The index under `key`, read from the database on first use. Throws ComposeError.
  const Index& IndexOf(std::unique_ptr<Index>& index, Index::KeyOf key, bool emptyKeys);

  std::string connectionString_;
  std::unique_ptr<data::Connection> connection_;
  std::string openError_;
  std::unique_ptr<Index> asStored_, normalised_;
};

// A name as the recommended lookup compares it: no blanks, brackets or "·•." separators,
// full-width letters and digits as ASCII, Latin letters small, traditional characters as
// simplified ones (商務印書館 as 商务印书馆).
std::string PublisherKey(std::string_view name);

// PublisherKey without traditional characters made simplified: cheap enough for every cell of a table.
std::string LooseKey(std::string_view name);
// LooseKey(name) appended to `key`.
void AppendLooseKey(std::string& key, std::string_view name);

}  // namespace rowcaster::convert
