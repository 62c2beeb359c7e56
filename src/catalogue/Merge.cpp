#include "catalogue/Merge.h"

#include <algorithm>

#include "catalogue/Held.h"
#include "catalogue/TitleMatch.h"
#include "platform/text/Utf8.h"

namespace rowcaster::catalogue {
namespace {

using iso2709::Field;
using iso2709::Record;

const Field* First(const Record& r, std::string_view tag) {
  for (const Field& f : r.fields)
    if (f.tag == tag) return &f;
  return nullptr;
}

Field* First(Record& r, std::string_view tag) {
  for (Field& f : r.fields)
    if (f.tag == tag) return &f;
  return nullptr;
}


// The row's price in the record's 010: added when it has none, replacing its own when asked.
void Price(Record& out, const Record& own, bool always) {
  const std::string price = FirstSubfield(own, "010", "d");
  Field* isbn = First(out, "010");
  if (!isbn) {
    if (const Field* mine = First(own, "010")) out.fields.push_back(*mine);
    return;
  }
  if (price.empty()) return;
  auto d = std::find_if(isbn->subfields.begin(), isbn->subfields.end(), [](const auto& s) { return s.code == "d"; });
  if (d == isbn->subfields.end()) isbn->subfields.push_back({"d", price});
  else if (always) d->data = price;
}

// Publisher and year told when the row and the record disagree.
void Conflicts(const Record& copied, const Record& own, std::vector<convert::Finding>& findings) {
  const std::string mine = FirstSubfield(own, "210", "c"), theirs = FirstSubfield(copied, "210", "c");
  if (!mine.empty() && !theirs.empty() && NormalTitle(mine) != NormalTitle(theirs))
    findings.push_back(convert::MakeFinding(convert::Kind::CopyConflict, "210 $c", {mine, theirs}));
  const std::string myYear = FirstYear(FirstSubfield(own, "210", "d")), theirYear = FirstYear(FirstSubfield(copied, "210", "d"));
  if (!myYear.empty() && !theirYear.empty() && myYear != theirYear)
    findings.push_back(convert::MakeFinding(convert::Kind::CopyConflict, "210 $d", {myYear, theirYear}));
}

// 100 $a says the character set of the record as it is written: ours.
void CharacterSets(Record& out, const Record& own) {
  Field* theirs = First(out, "100");
  const std::string mine = FirstSubfield(own, "100", "a");
  if (!theirs || theirs->subfields.empty() || theirs->subfields[0].code != "a" || text::Utf8Length(mine) < 30) return;
  std::string& value = theirs->subfields[0].data;
  if (value.size() < 30 || value.find_first_not_of(" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz|{}~") != std::string::npos)
    return;  // not the fixed-length ASCII 100 $a: left alone
  value.replace(26, 4, mine.substr(26, 4));
}

bool SameSubfields(const Field& a, const Field& b) {
  return std::equal(a.subfields.begin(), a.subfields.end(), b.subfields.begin(), b.subfields.end(),
                    [](const auto& x, const auto& y) { return x.code == y.code && x.data == y.data; });
}

}  // namespace

void MergeRecords(const Record& copied, const Record& own, const MergeSettings& settings, Record& out,
                  std::vector<convert::Finding>& findings) {
  out = {};
  out.leader = copied.leader.size() == 24 ? copied.leader : own.leader;
  for (const Field& f : copied.fields) {
    // Their id, time and local fields (9XX) are theirs.
    if (f.tag == "001" || f.tag == "005" || f.tag[0] == '9') continue;
    out.fields.push_back(f);
    out.fields.back().line = 0;
  }
  for (const char* tag : {"001", "005"})
    if (const Field* mine = First(own, tag)) out.fields.push_back(*mine);
  const std::string sourceId = RecordId(copied);
  if (!sourceId.empty())
    out.fields.push_back({"035", "  ", {}, {{"a", "(" + settings.targetName + ")" + sourceId}}, 0});
  Price(out, own, settings.priceAlways);
  CharacterSets(out, own);
  for (const Field& f : own.fields) {
    const bool note = f.tag == "300" && std::none_of(out.fields.begin(), out.fields.end(), [&](const Field& g) {
      return g.tag == "300" && SameSubfields(g, f);
    });
    if (note || f.tag[0] == '9') out.fields.push_back(f);
    if (f.tag == "801") {
      out.fields.push_back(f);
      out.fields.back().indicators = " 2";  // the modifying agency
    }
  }
  std::stable_sort(out.fields.begin(), out.fields.end(), [](const Field& a, const Field& b) { return a.tag < b.tag; });
  Conflicts(copied, own, findings);
  findings.push_back(convert::MakeFinding(convert::Kind::CopiedFrom, {}, {settings.targetName, sourceId}));
}

}  // namespace rowcaster::catalogue
