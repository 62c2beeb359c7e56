#include "catalogue/Held.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "catalogue/TitleMatch.h"
#include "convert/Isbn.h"
#include "iso2709/Decoder.h"
#include "iso2709/Listing.h"
#include "iso2709/MarcXmlReader.h"
#include "platform/text/Gbk.h"

namespace rowcaster::catalogue {
namespace {

using iso2709::Field;
using iso2709::Record;

// The first person or body responsible (7XX), $a with $b: how a library system heads the book.
std::string FirstAuthor(const Record& r) {
  for (const Field& f : r.fields) {
    if (f.tag.size() != 3 || f.tag[0] != '7' || (f.tag[1] != '0' && f.tag[1] != '1')) continue;
    std::string name;
    for (const auto& s : f.subfields)
      if (s.code == "a" || s.code == "b") name += s.data;
    if (!name.empty()) return NormalTitle(name);
  }
  return {};
}

// The title proper, its part numbers and names (200 $a, $h, $i), each normalised and ended by "|":
// the parts stay apart ("上册" is not part of the title proper). Empty when none has a letter.
std::string TitleKey(const Record& r) {
  std::string key;
  bool any = false;
  for (const Field& f : r.fields) {
    if (f.tag != "200") continue;
    for (const auto& s : f.subfields) {
      if (s.code != "a" && s.code != "h" && s.code != "i") continue;
      const std::string part = NormalTitle(s.data);
      any = any || !part.empty();
      key.append(part).append("|");
    }
    break;
  }
  return any ? key : std::string();
}

std::string ReadAll(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  if (!ok) return {};
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ok = !in.bad();
  return bytes;
}

}  // namespace

std::optional<HeldAction> ParseHeldAction(std::string_view word) {
  if (word == "skip") return HeldAction::Skip;
  if (word == "convert") return HeldAction::Convert;
  if (word == "items") return HeldAction::Items;
  return std::nullopt;
}

std::string RecordId(const Record& record) {
  for (const Field& f : record.fields)
    if (f.tag == "001") return f.data;
  return {};
}

std::vector<std::string> RecordIsbns(const Record& record) {
  std::vector<std::string> isbns;
  for (const Field& f : record.fields) {
    if (f.tag != "010") continue;
    for (const auto& s : f.subfields)
      if (s.code == "a")
        if (std::string digits = convert::Isbn13(convert::ParseIsbn(s.data)); !digits.empty()) isbns.push_back(digits);
  }
  return isbns;
}

std::string HeldKey(const Record& record) {
  std::string key = TitleKey(record);
  if (key.empty()) return {};
  std::string year = FirstYear(FirstSubfield(record, "210", "d"));
  if (const std::string coded = FirstSubfield(record, "100", "a"); year.empty() && coded.size() >= 13)
    year = FirstYear(coded.substr(9, 4));
  key.append("|").append(FirstAuthor(record)).append("|").append(NormalTitle(FirstSubfield(record, "210", "c")));
  return key.append("|").append(year);
}

void HeldIndex::Add(const Record& record) {
  const std::size_t n = ids_.size();
  ids_.push_back(RecordId(record));
  const std::vector<std::string> isbns = RecordIsbns(record);
  hasIsbn_.push_back(!isbns.empty());
  for (const std::string& isbn : isbns) byIsbn_.emplace(isbn, n);
  if (std::string key = HeldKey(record); !key.empty()) byKey_.emplace(std::move(key), n);
}

HeldFileProblem HeldIndex::Load(const std::string& path) {
  bool ok = false;
  const std::string bytes = ReadAll(path, ok);
  if (!ok) return HeldFileProblem::Unreadable;
  const std::size_t start = bytes.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  if (start != std::string::npos && bytes[start] == '<') {
    std::vector<Record> records;
    if (!iso2709::ReadMarcXml(bytes, records)) return HeldFileProblem::Unreadable;
    for (const Record& r : records) Add(r);
    return records.empty() ? HeldFileProblem::NoRecords : HeldFileProblem::None;
  }
  const iso2709::Encoding encoding = text::IsValidUtf8(bytes) ? iso2709::Encoding::Utf8 : iso2709::Encoding::Gb18030;
  const std::string_view all(bytes);
  Record record;
  for (std::size_t at = 0; at < all.size();) {
    const iso2709::Frame frame = iso2709::FrameRecord(all.substr(at));
    if (frame.framing == iso2709::Framing::Whole && iso2709::ReadRecord(all.substr(at, frame.length), record, encoding)) {
      Add(record);
      at += frame.length;
      continue;
    }
    // A record that does not frame: on from the next record terminator.
    ++skipped_;
    const std::size_t end = all.find(iso2709::kRecordTerminator, at);
    if (end == std::string_view::npos) break;
    at = end + 1;
    while (at < all.size() && (all[at] == '\r' || all[at] == '\n')) ++at;
  }
  return ids_.empty() ? HeldFileProblem::NoRecords : HeldFileProblem::None;
}

std::optional<HeldMatch> HeldIndex::Find(const Record& own) const {
  const std::vector<std::string> isbns = RecordIsbns(own);
  for (const std::string& isbn : isbns)
    if (auto held = ByIsbn(isbn)) return held;
  const std::string key = HeldKey(own);
  if (key.empty()) return std::nullopt;
  const auto it = byKey_.find(key);
  // Two ISBNs that differ are two books (volumes, editions), however alike their titles.
  if (it == byKey_.end() || (!isbns.empty() && hasIsbn_[it->second])) return std::nullopt;
  return HeldMatch{ids_[it->second], true};
}

std::optional<HeldMatch> HeldIndex::FindIsbn(std::string_view cell) const {
  const std::string digits = convert::Isbn13(convert::ParseIsbn(cell));
  return digits.empty() ? std::nullopt : ByIsbn(digits);
}

std::optional<HeldMatch> HeldIndex::ByIsbn(const std::string& digits) const {
  const auto it = byIsbn_.find(digits);
  if (it == byIsbn_.end()) return std::nullopt;
  return HeldMatch{ids_[it->second], false};
}

void ItemsOnly(const Record& own, std::string_view source, std::string_view heldId,
               const std::vector<std::string>& itemTags, Record& out) {
  out = {};
  out.leader = own.leader;
  const auto kept = [&](const std::string& tag) {
    static constexpr std::string_view kBrief[] = {"001", "005", "010", "100", "200", "801"};
    return tag[0] == '9' || std::find(std::begin(kBrief), std::end(kBrief), tag) != std::end(kBrief) ||
           std::find(itemTags.begin(), itemTags.end(), tag) != itemTags.end();
  };
  for (const Field& f : own.fields)
    if (kept(f.tag)) out.fields.push_back(f);
  if (!heldId.empty()) {
    std::string id = "(";
    id.append(source).append(")").append(heldId);
    out.fields.push_back({"035", "  ", {}, {{"a", std::move(id)}}, 0});
  }
  std::stable_sort(out.fields.begin(), out.fields.end(), [](const Field& a, const Field& b) { return a.tag < b.tag; });
}

}  // namespace rowcaster::catalogue
