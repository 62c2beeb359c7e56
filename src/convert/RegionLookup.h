#pragma once
// The publisher's region code for field 102 $b, looked up in the publisher database cbk.db: by
// the ISBN's publisher prefix, then by the publisher's name, then by the place of publication.

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
  explicit RegionLookup(std::string connectionString);
  ~RegionLookup();

  // "|b " + the region code of the first matching row, or the empty text when no query finds
  // one. Throws ComposeError when the database cannot be opened or queried.
  std::string LookupRegionCode(std::string_view d010a, std::string_view d210c, std::string_view d210a);

  // The recommended rules' lookup: by the prefix of a hyphenated ISBN, then by the publisher's name
  // compared without blanks, brackets and full-/half-width differences, then by the place. Gives
  // the region code and the publisher's place. Throws ComposeError as LookupRegionCode does.
  struct Publisher {
    std::string regionCode, place;
  };
  std::optional<Publisher> FindPublisher(std::string_view hyphenatedIsbn, std::string_view publisher,
                                         std::string_view place);

 private:
  enum class Column { Sbn, Cbs, Cbd };
  std::optional<std::string> Find(Column column, std::string_view value);
  void LoadTable();

  std::string connectionString_;
  std::unique_ptr<data::Connection> connection_;
  std::string openError_;
  bool parameters_ = true;  // the source answers parameterised queries
  // A source without parameter support (a Jet cbk.db) is read once into these, first row wins.
  std::unordered_map<std::string, std::string> bySbn_, byCbs_, byCbd_;
  // Every row with a region code, by normalised prefix, name and place; read on first use.
  std::vector<Publisher> rows_;
  std::unordered_map<std::string, std::size_t> rowBySbn_, rowByCbs_, rowByCbd_;
  bool rowsLoaded_ = false;
};

// A name as the recommended lookup compares it: no blanks or brackets, full-width letters and
// digits as ASCII, Latin letters small.
std::string PublisherKey(std::string_view name);

}  // namespace rowcaster::convert
