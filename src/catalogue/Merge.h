#pragma once
// A catalogue's record completed with what is local to the row (套录): the catalogue's record is
// the base; the row gives the record its id (001), its price when the record has none (or always),
// its holdings (905) and notes (300) the record lacks, and a second 801 for our agency. The
// source's id is kept in 035 $a as "(NAME)id".

#include <string>
#include <vector>

#include "convert/Finding.h"
#include "iso2709/Record.h"

namespace rowcaster::catalogue {

struct MergeSettings {
  std::string targetName;   // for 035 $a and the findings
  bool priceAlways = false; // the row's price replaces the record's
};

// `copied` merged with the row's own record `own` into `out`, fields in tag order. Publisher and
// year that differ between them are notes in `findings`, beside a note naming the source.
void MergeRecords(const iso2709::Record& copied, const iso2709::Record& own, const MergeSettings& settings,
                  iso2709::Record& out, std::vector<convert::Finding>& findings);

}  // namespace rowcaster::catalogue
