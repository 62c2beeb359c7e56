#pragma once
// Place, publisher and date of publication (field 210) as tables hold them: in three columns, or
// combined in one ("北京：清华大学出版社，2008.10", "上海 : 译文出版社, 2015"); and the year, parsed
// once for 210 $d and 100 $a.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/Finding.h"
#include "convert/RegionLookup.h"
#include "convert/Subfields.h"

namespace rowcaster::convert {

struct Imprint {
  std::string place, publisher, date;
};

// Splits a combined value found in the publisher or the place column into place, publisher and
// date; a part the row has in its own column keeps the row's value.
Imprint SplitImprint(std::string_view place, std::string_view publisher, std::string_view date);

// One place and publisher of 210; a publisher without a place of its own follows the place before it.
struct PlacePublisher {
  std::string place, publisher;
};

// The publishers of one cell, each with the place written before it: "甲出版社；乙出版社", "甲/乙",
// "北京：甲；上海：乙". The row's place goes with the first. At least one pair, maybe empty.
std::vector<PlacePublisher> SplitPublishers(std::string_view place, std::string_view publisher);

// A publisher cell that holds an edition and a date, or one of them, instead of a name:
// "第1版 (2005年7月1日)" gives "第1版" and "2005年7月1日".
struct EditionAndDate {
  std::string edition, date;
};
std::optional<EditionAndDate> EditionOrDateIn(std::string_view publisher);

// 210 as the recommended rules write it, with the region code of 102 $b and the year of 100 $a.
struct RecommendedImprint {
  std::string field210a, field210c;  // the first place (or "[出版地不详]") and publisher, then the further pairs
  std::string regionCode;
  bool publisherFound = false;  // the first publisher is in the publisher table
  std::optional<int> year;
};
// The row's imprint: split, its publishers named as the publisher table names them when the ISBN
// confirms it, its places from the table. May set the row's edition (205 $a).
RecommendedImprint ComposeImprint(SubfieldValues& v, std::string_view hyphenatedIsbn, RegionLookup& lookup,
                                  std::vector<Finding>& findings);

// The year of publication in a date as tables write it: 2015, 2015-4, 2015.10, 2015年4月,
// 2015/04/03, "April 2010", 二〇一五年, c2015, [2015], 20151003, 201510. Nothing when no year from 1000 to 2999
// stands in it.
std::optional<int> ParseYear(std::string_view date);

// A year typed into a cell formatted as a date: the readers give the day its serial number falls
// on ("1905-06-30" for 2008). A date from 1900 to 1909 whose serial (days since 1899-12-30) is
// 1000 to 2100 gives that serial as the year.
std::optional<int> YearTypedIntoDateCell(std::string_view date);

// A date cell written as its spreadsheet serial number (40466 for 2010-10-15): the year of that
// day, for five-digit serials from 1927 to 2099.
std::optional<int> YearOfDateSerial(std::string_view date);

// The year of publication of a row's date, the findings telling what was inferred (a note) or that
// no year stands in the date (a warning).
std::optional<int> PublicationYear(std::string_view date, std::vector<Finding>& findings);

// Positions 8-16 of 100 $a: the type of publication date and dates 1 and 2. A known year gives
// "d" + year + four blanks; an unknown one "u" with both dates blank.
std::string PublicationDates100(std::optional<int> year);

}  // namespace rowcaster::convert
