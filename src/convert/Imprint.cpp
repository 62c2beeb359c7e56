#include "convert/Imprint.h"

#include <array>

#include "convert/Composition.h"
#include "convert/Values.h"
#include "platform/data/ValueText.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

std::string Trim(std::string_view s) { return std::string(TrimWide(s)); }

// Byte offset of the first character for which `is` holds, or npos.
template <typename Pred>
std::size_t FindChar(std::string_view s, Pred is, std::size_t from = 0) {
  for (std::size_t i = from; i < s.size();) {
    const std::size_t at = i;
    if (is(text::NextCodePoint(s, i))) return at;
  }
  return std::string_view::npos;
}

template <typename Pred>
std::size_t FindLastChar(std::string_view s, Pred is) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t at = i;
    if (is(text::NextCodePoint(s, i))) last = at;
  }
  return last;
}

// The first colon (":" or "：") and the last comma ("," or "，"), found by their bytes: in UTF-8 a
// character's bytes never stand inside another's, nor does a malformed byte join them to one.
std::size_t FindColon(std::string_view s) { return std::min(s.find(':'), s.find("\uFF1A")); }
std::size_t FindLastComma(std::string_view s) {
  const std::size_t ascii = s.rfind(','), wide = s.rfind("\uFF0C");
  if (ascii == std::string_view::npos) return wide;
  return wide == std::string_view::npos ? ascii : std::max(ascii, wide);
}

std::size_t CharBytesAt(std::string_view s, std::size_t at) {
  std::size_t i = at;
  text::NextCodePoint(s, i);
  return i - at;
}

// "地：社，年" → its parts; false when the value holds no colon.
bool SplitCombined(std::string_view value, Imprint& out) {
  const std::size_t colon = FindColon(value);
  if (colon == std::string_view::npos) return false;
  out.place = Trim(value.substr(0, colon));
  std::string_view rest = value.substr(colon + CharBytesAt(value, colon));
  // A date after the last comma, when it holds a year.
  const std::size_t comma = FindLastComma(rest);
  if (comma != std::string_view::npos && ParseYear(rest.substr(comma))) {
    out.date = Trim(rest.substr(comma + CharBytesAt(rest, comma)));
    rest = rest.substr(0, comma);
  }
  out.publisher = Trim(rest);
  return true;
}

int DigitOf(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= 0xFF10 && c <= 0xFF19) return static_cast<int>(c - 0xFF10);
  static constexpr std::array<char32_t, 10> kHan = {0x3007, 0x4E00, 0x4E8C, 0x4E09, 0x56DB,
                                                    0x4E94, 0x516D, 0x4E03, 0x516B, 0x4E5D};  // 〇一二…九
  for (int d = 0; d < 10; ++d)
    if (c == kHan[d]) return d;
  if (c == 0x96F6) return 0;  // 零
  return -1;
}

}  // namespace

Imprint SplitImprint(std::string_view place, std::string_view publisher, std::string_view date) {
  Imprint result{Trim(place), Trim(publisher), Trim(date)};
  Imprint combined;
  if (SplitCombined(result.publisher, combined) || SplitCombined(result.place, combined)) {
    const bool placeWasCombined = FindColon(result.place) != std::string_view::npos;
    const bool publisherWasCombined = FindColon(result.publisher) != std::string_view::npos;
    if (result.place.empty() || placeWasCombined) result.place = combined.place;
    if (result.publisher.empty() || publisherWasCombined) result.publisher = combined.publisher;
    if (result.date.empty()) result.date = combined.date;
  } else if (!result.publisher.empty() && result.date.empty()) {
    // "清华大学出版社，2008"
    const std::size_t comma = FindLastComma(result.publisher);
    if (comma != std::string::npos && ParseYear(std::string_view(result.publisher).substr(comma))) {
      result.date = Trim(std::string_view(result.publisher).substr(comma + CharBytesAt(result.publisher, comma)));
      result.publisher = Trim(std::string_view(result.publisher).substr(0, comma));
    }
  }
  return result;
}

namespace {

bool IsYear(int value) { return value >= 1000 && value <= 2999; }

// A run of digits that is a year: four of them, or a year with its month (201510), its month and
// day (20151003), or a time of day too (201510031200, 20151003120000) run together.
std::optional<int> YearOfRun(const std::string& run) {
  if (run.size() != 4 && run.size() != 6 && run.size() != 8 && run.size() != 12 && run.size() != 14)
    return std::nullopt;
  const int year = std::stoi(run.substr(0, 4));
  if (!IsYear(year)) return std::nullopt;
  if (run.size() >= 6) {
    const int month = std::stoi(run.substr(4, 2));
    if (month < 1 || month > 12) return std::nullopt;
  }
  if (run.size() >= 8) {
    const int day = std::stoi(run.substr(6, 2));
    if (day < 1 || day > 31) return std::nullopt;
  }
  return year;
}

// Days since 1899-12-30: a spreadsheet's serial number of the day.
std::int64_t SerialOf(int year, int month, int day) {
  return data::DaysFromCivil(year, month, day) - data::DaysFromCivil(1899, 12, 30);
}

}  // namespace

std::optional<int> ParseYear(std::string_view date) {
  // Runs of digits (ASCII, full-width or Han numerals).
  std::string run;
  for (std::size_t i = 0; i < date.size();) {
    const int d = DigitOf(text::NextCodePoint(date, i));
    if (d >= 0) {
      if (run.size() < 15) run += static_cast<char>('0' + d);
      continue;
    }
    if (const auto y = YearOfRun(run)) return y;
    run.clear();
  }
  return YearOfRun(run);
}

std::optional<int> YearTypedIntoDateCell(std::string_view date) {
  // The readers' form: "YYYY-MM-DD", maybe with a time of day.
  const std::string_view day = date.substr(0, 10);
  if (day.size() != 10 || !day.starts_with("190") || day[4] != '-' || day[7] != '-') return std::nullopt;
  if (date.size() > 10 && date[10] != ' ') return std::nullopt;
  for (const std::size_t k : {3, 5, 6, 8, 9})
    if (day[k] < '0' || day[k] > '9') return std::nullopt;
  const int year = 1900 + (day[3] - '0'), month = (day[5] - '0') * 10 + (day[6] - '0'), dom = (day[8] - '0') * 10 + (day[9] - '0');
  if (month < 1 || month > 12 || dom < 1 || dom > 31) return std::nullopt;
  const std::int64_t serial = SerialOf(year, month, dom);
  if (serial < 1000 || serial > 2100) return std::nullopt;
  return static_cast<int>(serial);
}

std::optional<int> YearOfDateSerial(std::string_view date) {
  const std::string_view t = TrimWide(date);
  if (t.size() != 5 || t.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const int serial = std::stoi(std::string(t));
  // 1927-01-01 to 2099-12-31; a smaller number is no date a book of today was published on.
  if (serial < SerialOf(1927, 1, 1) || serial > SerialOf(2099, 12, 31)) return std::nullopt;
  int year, month, day;
  data::CivilFromDays(serial + data::DaysFromCivil(1899, 12, 30), year, month, day);
  return year;
}

std::optional<int> PublicationYear(std::string_view date, std::vector<Finding>& findings) {
  if (const auto typed = YearTypedIntoDateCell(date)) {
    findings.push_back(MakeFinding(Kind::YearFromSerial, "100 $a", {std::string(date), std::to_string(*typed)}));
    return typed;
  }
  if (const auto serial = YearOfDateSerial(date)) {
    findings.push_back(MakeFinding(Kind::YearFromDateSerial, "100 $a", {std::string(date), std::to_string(*serial)}));
    return serial;
  }
  const std::optional<int> year = ParseYear(date);
  if (!year)
    findings.push_back(date.empty() ? MakeFinding(Kind::NoYear, "100 $a")
                                    : MakeFinding(Kind::DateWithoutYear, "100 $a", {std::string(date)}));
  return year;
}

std::string PublicationDates100(std::optional<int> year) {
  // 100 $a/8, type of publication date: UNIMARC code "u" is "dates of publication unknown", with
  // dates 1 and 2 blank.
  if (!year) return "u        ";
  return "d" + std::to_string(*year) + "    ";
}

}  // namespace rowcaster::convert

namespace rowcaster::convert {
namespace {

bool IsPublisherSeparator(char32_t c) { return c == U';' || c == 0xFF1B || c == U'/' || c == 0xFF0F; }

// Brackets, blanks and punctuation around an edition or a date.
bool IsWrapping(char32_t c) {
  return c == U' ' || c == 0x3000 || c == U'(' || c == U')' || c == 0xFF08 || c == 0xFF09 || c == U'[' || c == U']' ||
         c == 0x3010 || c == 0x3011 || c == U',' || c == 0xFF0C || c == 0x3001 || c == U'.' || c == 0x3002 ||
         c == U':' || c == 0xFF1A || c == U';' || c == 0xFF1B || c == U'-' || c == U'/';
}

// The characters of editions ("第1版", "修订版", "第2版第3次印刷") and dates ("2005年7月1日").
bool IsEditionOrDateChar(char32_t c) {
  static constexpr char32_t kWords[] = {0x7B2C, 0x7248, 0x5E74, 0x6708, 0x65E5, 0x6B21, 0x5370, 0x5237,
                                        0x4FEE, 0x8BA2, 0x521D, 0x518D, 0x5341, 0x53F7};  // 第版年月日次印刷修订初再十号
  for (const char32_t w : kWords)
    if (c == w) return true;
  return DigitOf(c) >= 0 || IsWrapping(c);
}

std::string TrimWrapping(std::string_view s) {
  const auto kept = [](char32_t c) { return !IsWrapping(c); };
  const std::size_t first = FindChar(s, kept);
  if (first == std::string_view::npos) return {};
  const std::size_t last = FindLastChar(s, kept);
  return std::string(s.substr(first, last + CharBytesAt(s, last) - first));
}

// The row's own edition wins over one found in the publisher column; a date found there is the
// row's date when the row has none. The ISBN's publisher prefix names the publisher.
void EditionOrDateAsPublisher(Imprint& imprint, std::string& edition, const RegionLookup::Publisher* byIsbn,
                              std::vector<Finding>& findings) {
  const auto moved = EditionOrDateIn(imprint.publisher);
  if (!moved) return;
  findings.push_back(MakeFinding(Kind::PublisherNotAName, "210 $c", {imprint.publisher}));
  if (edition.empty()) edition = moved->edition;
  if (imprint.date.empty()) imprint.date = moved->date;
  imprint.publisher.clear();
  if (!byIsbn || byIsbn->name.empty()) return;
  imprint.publisher = byIsbn->name;
  findings.push_back(MakeFinding(Kind::PublisherFromIsbn, "210 $c", {byIsbn->name}));
}

// A shortened name ("科学", "水利水电出版社") becomes the table's name only when the ISBN's prefix
// row holds it; otherwise it stays as written and a warning names the table's name it may stand for.
// `key` is given the key of the name as it then stands.
void CompletePublisher(std::string& publisher, std::string& key, const RegionLookup::Publisher* byIsbn,
                       RegionLookup& lookup, std::vector<Finding>& findings) {
  key = PublisherKey(publisher);
  if (text::Utf8Length(key) < 2) return;
  if (byIsbn) {
    if (byIsbn->nameKey == key) return;
    if (byIsbn->nameKey.find(key) != std::string::npos) {
      findings.push_back(MakeFinding(Kind::PublisherCompleted, "210 $c", {publisher, byIsbn->name}));
      publisher = byIsbn->name;
      key = byIsbn->nameKey;
      return;
    }
  }
  const auto byName = lookup.FindByName(key);
  if (byName && byName->nameKey == key) return;
  if (const auto holding = lookup.NameHolding(key))
    findings.push_back(MakeFinding(Kind::PublisherAbbreviated, "210 $c", {publisher, *holding}));
}

// A record without a place says so in 210 $a, as cataloguers write it.
std::string PlaceOrUnknown(const std::string& place, std::vector<Finding>& findings) {
  if (!place.empty()) return place;
  findings.push_back(MakeFinding(Kind::PlaceUnknown, "210 $a"));
  return "[出版地不详]";
}

}  // namespace

std::vector<PlacePublisher> SplitPublishers(std::string_view place, std::string_view publisher) {
  std::vector<PlacePublisher> pairs;
  for (std::size_t start = 0; start <= publisher.size();) {
    std::size_t end = FindChar(publisher, IsPublisherSeparator, start);
    if (end == std::string_view::npos) end = publisher.size();
    const std::string piece = Trim(publisher.substr(start, end - start));
    Imprint own;
    if (!piece.empty()) pairs.push_back(SplitCombined(piece, own) ? PlacePublisher{own.place, own.publisher} : PlacePublisher{"", piece});
    if (end == publisher.size()) break;
    start = end + CharBytesAt(publisher, end);
  }
  if (pairs.empty()) pairs.push_back({});
  if (pairs.front().place.empty()) pairs.front().place = Trim(place);
  return pairs;
}

std::optional<EditionAndDate> EditionOrDateIn(std::string_view publisher) {
  const std::string cell = Trim(publisher);
  if (cell.empty() || FindChar(cell, [](char32_t c) { return !IsEditionOrDateChar(c); }) != std::string::npos)
    return std::nullopt;
  EditionAndDate out;
  std::string_view rest = cell;
  const std::size_t ban = rest.find("版");
  if (ban != std::string_view::npos) {
    out.edition = TrimWrapping(rest.substr(0, ban + std::string_view("版").size()));
    rest.remove_prefix(ban + std::string_view("版").size());
  }
  if (ParseYear(rest)) out.date = TrimWrapping(rest);
  if (out.edition.empty() && out.date.empty()) return std::nullopt;
  return out;
}

RecommendedImprint ComposeImprint(SubfieldValues& v, std::string_view hyphenatedIsbn, RegionLookup& lookup,
                                  std::vector<Finding>& findings) {
  Imprint imprint = SplitImprint(v[d210a], v[d210c], v[d210d]);
  const auto byIsbn = lookup.FindByIsbn(hyphenatedIsbn);
  EditionOrDateAsPublisher(imprint, v[d205a], byIsbn, findings);
  RecommendedImprint out;
  out.year = PublicationYear(imprint.date, findings);
  std::vector<PlacePublisher> pairs = SplitPublishers(imprint.place, imprint.publisher);
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    PlacePublisher& pair = pairs[k];
    // The ISBN is the first publisher's.
    std::string key;
    CompletePublisher(pair.publisher, key, k == 0 ? byIsbn : nullptr, lookup, findings);
    // The ISBN's prefix row, when there is one, is the first publisher's row: not looked up again.
    const RegionLookup::Publisher* found = k == 0 && byIsbn ? byIsbn : lookup.FindByName(key);
    if (!found) found = lookup.FindByPlace(PublisherKey(pair.place));
    if (pair.place.empty() && found) pair.place = found->place;
    if (k == 0) {
      out.regionCode = found ? found->regionCode : "";
      out.publisherFound = found != nullptr;
      out.field210a = SubfieldText('a', PlaceOrUnknown(pair.place, findings));
      out.field210c = SubfieldText('c', pair.publisher);
    } else {
      out.field210c += SubfieldText('a', pair.place) + SubfieldText('c', pair.publisher);
    }
  }
  return out;
}

}  // namespace rowcaster::convert
