#pragma once
// Checking a table against what the library already holds (查重): its own catalogue, asked like any
// target, or an export of it (ISO 2709 or MARCXML) indexed here by ISBN and by title, first
// author, publisher and year. A held row is skipped, converted anyway, or given only its items.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "iso2709/Record.h"

namespace rowcaster::catalogue {

enum class HeldAction {
  Skip,     // no record; the row is reported
  Convert,  // the row's record as usual, reported
  Items,    // a brief record the library system adds the row's items from (its match on 010 or 035)
};

// "skip", "convert", "items"; nothing for any other word.
std::optional<HeldAction> ParseHeldAction(std::string_view word);

// A held record the row matched: its id (001) and whether the match was by title, author,
// publisher and year rather than by ISBN.
struct HeldMatch {
  std::string id;
  bool byTitle = false;
};

// What an export file gave, or why it gave nothing.
enum class HeldFileProblem { None, Unreadable, NoRecords };

class HeldIndex {
 public:
  // The records of `path`: ISO 2709 (UTF-8 when the whole file is valid UTF-8, else GB18030) or
  // MARCXML. Records that do not frame or read are counted in `skipped`, not indexed.
  HeldFileProblem Load(const std::string& path);
  void Add(const iso2709::Record& record);

  // The held record `own` is, by any of its ISBNs; else, when the two do not carry different ISBNs,
  // by title (with its parts), first author, publisher and year.
  std::optional<HeldMatch> Find(const iso2709::Record& own) const;
  // The held record with the ISBN a row's cell holds, if it is valid.
  std::optional<HeldMatch> FindIsbn(std::string_view cell) const;

  std::size_t records() const { return ids_.size(); }
  std::size_t skipped() const { return skipped_; }

 private:
  std::optional<HeldMatch> ByIsbn(const std::string& digits) const;  // the 13 digits
  std::vector<std::string> ids_;  // by record
  std::vector<bool> hasIsbn_;     // by record
  std::unordered_map<std::string, std::size_t> byIsbn_, byKey_;
  std::size_t skipped_ = 0;
};

// A record's id: its 001.
std::string RecordId(const iso2709::Record& record);
// The 13 digits of every valid ISBN in a record's 010 $a.
std::vector<std::string> RecordIsbns(const iso2709::Record& record);
// Title with its parts, first author, publisher and year, normalised: what two records of one
// book share. Empty when the record has no title.
std::string HeldKey(const iso2709::Record& record);

// The row's record reduced to what a library system needs to add its items to the held record:
// leader, 001, 005, 010, 100, 200, 801, the local fields (9XX) and any other item field
// (`itemTags`), and 035 $a "(SOURCE)id".
void ItemsOnly(const iso2709::Record& own, std::string_view source, std::string_view heldId,
               const std::vector<std::string>& itemTags, iso2709::Record& out);

}  // namespace rowcaster::catalogue
