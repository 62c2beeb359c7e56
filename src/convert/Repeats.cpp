#include "convert/Repeats.h"

#include <algorithm>
#include <functional>
#include <thread>

#include "convert/Imprint.h"
#include "convert/Persons.h"
#include "convert/RegionLookup.h"
#include "convert/Title.h"
#include "convert/Values.h"
#include "platform/Memory.h"
#include "platform/SortedRuns.h"
#include "platform/Team.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

using text::U32;
using text::U8;

bool IsDigit(char32_t c) { return (c >= U'0' && c <= U'9') || (c >= 0xFF10 && c <= 0xFF19); }
bool IsRoman(char32_t c) { return c >= 0x2160 && c <= 0x216B; }  // Ⅰ to Ⅻ
bool IsBlank(char32_t c) { return c == U' ' || c == 0x3000 || c == 0xA0; }

// The ISBN-13 of an ISBN-10 and the ISBN-13 itself give the same key, their first twelve digits,
// whatever their check digit; a cell of another length gives none.
std::string IsbnKey(std::string_view isbn) {
  std::string digits;
  for (const char c : isbn)
    if ((c >= '0' && c <= '9') || c == 'X' || c == 'x') digits += c;
  if (digits.size() == 10) return "978" + digits.substr(0, 9);
  if (digits.size() == 13) return digits.substr(0, 12);
  return {};
}

constexpr char kApart = '\x1f';

// What the pre-pass knows of one row. Two rows are one book when their ISBN, title, parts and rest
// are the same. One is kept by each reader and filled row after row: its texts keep their room.
struct RowKeys {
  bool grouped = false;  // false: the row is left alone (no title, a total)
  std::string isbn;      // IsbnKey; empty without a valid-looking ISBN
  std::string title;     // the title proper, as compared
  std::string stem;      // the title without a volume number it ends with, as compared
  std::string parts;     // the part number and name, as compared
  std::string rest;      // without ISBN: the subtitle, edition, first author, first publisher and year
  std::optional<TrailingNumber> number;
  std::string cell;      // the title cell, cleaned
  std::size_t titleBytes = 0;   // of the title proper, with which the cell begins
  bool hasPart = false;         // 200 $h comes from its column or from the title
  std::string volume, copies, barcodes;  // the volume (905 $v), copies (905 $f) and barcode (905 $b) cells, cleaned

  // The book's key as one text, for hashing, written into `out`.
  void Book(std::string& out) const {
    out.clear();
    if (isbn.empty())
      out.append(1, 'T').append(title).append(1, kApart).append(parts).append(1, kApart).append(rest);
    else
      out.append(1, 'I').append(isbn).append(1, kApart).append(title).append(1, kApart).append(parts);
  }
};

// A row's cells as CleanLine gives them: a view of the cell itself where cleaning leaves it as it
// is (most cells), else of its room, which then holds the cleaned text.
struct CleanCells {
  std::array<std::string_view, kParamCount> v;
  std::array<std::string, kParamCount> room;

  void Clean(const std::vector<std::string_view>& cells, const std::array<int, kParamCount>& columns,
             std::initializer_list<Param> params) {
    for (const Param p : params) {
      const int c = columns[p];
      const std::string_view cell =
          c >= 0 && static_cast<std::size_t>(c) < cells.size() ? cells[c] : std::string_view();
      if (CleanLeavesAsIs(cell)) {
        v[p] = cell;
        continue;
      }
      room[p] = CleanLine(cell);
      v[p] = room[p];
    }
  }
};

// The first author, first publisher and year, for a row without ISBN, appended to `out`.
void AppendWhoWhereWhen(std::string& out, const std::array<std::string_view, kParamCount>& v) {
  const Imprint imprint = SplitImprint(v[d210a], v[d210c], v[d210d]);
  const std::vector<PlacePublisher> pairs = SplitPublishers(imprint.place, imprint.publisher);
  std::vector<Finding> unused;
  const std::optional<int> year = PublicationYear(imprint.date, unused);
  AppendLooseKey(out, FirstResponsibleName(v[d200f]));
  out += kApart;
  if (!pairs.empty()) AppendLooseKey(out, pairs.front().publisher);
  out += kApart;
  if (year) out += std::to_string(*year);
}

// AppendWhoWhereWhen for the cells of the rows read last, kept by their cells: the rows of a table
// of copies repeat them row after row, and reading the statement of responsibility is the dearest
// part of a row's keys.
class RecentWhoWhereWhen {
 public:
  void Append(std::string& out, const std::array<std::string_view, kParamCount>& v) {
    cells_.clear();
    for (const Param p : {d200f, d210a, d210c, d210d}) {  // each with its length: no cell can pass for another
      const auto n = static_cast<std::uint32_t>(v[p].size());
      cells_.append(reinterpret_cast<const char*>(&n), sizeof n).append(v[p]);
    }
    Entry& e = entries_[std::hash<std::string>{}(cells_) % kEntries];
    if (e.cells != cells_) {  // an entry not yet used holds no cells, and a row's are never none
      e.cells = cells_;
      e.key.clear();
      AppendWhoWhereWhen(e.key, v);
    }
    out += e.key;
  }

 private:
  static constexpr std::size_t kEntries = 256;
  struct Entry {
    std::string cells, key;
  };
  std::array<Entry, kEntries> entries_;
  std::string cells_;
};

// The keys of a row of `cells` into `k`, with `c` for the cleaned cells and `recent` for the
// authors, publishers and years of the rows before.
void KeysOf(const std::vector<std::string_view>& cells, const std::array<int, kParamCount>& columns, CleanCells& c,
            RecentWhoWhereWhen& recent, RowKeys& k) {
  const auto& v = c.v;
  c.Clean(cells, columns, {d010a, d200a, d200h, d200i, d905b, d905v, d905f});
  k.cell.assign(v[d200a]);
  k.grouped = !k.cell.empty() && !IsTotalRow(k.cell);
  if (!k.grouped) return;
  k.isbn = IsbnKey(v[d010a]);
  k.volume.assign(v[d905v]);
  k.copies.assign(v[d905f]);
  k.barcodes.assign(v[d905b]);
  // A shop listing's title stays as given; otherwise the pieces the title rules take off.
  const bool shop = LooksLikeShopListing(k.cell);
  const SplitOfTitle split = shop ? SplitOfTitle{k.cell, {}, {}} : SplitTitle(k.cell);
  const auto piece = [&](TitlePiece::Into into) -> std::string_view {
    for (const TitlePiece& p : split.pieces)
      if (p.into == into) return p.value;
    return {};
  };
  const std::string_view part = v[d200h].empty() ? piece(TitlePiece::Into::PartNumber) : v[d200h];
  const std::string_view partName = v[d200i].empty() ? piece(TitlePiece::Into::PartName) : v[d200i];
  k.hasPart = !part.empty();
  k.title.clear();
  AppendLooseKey(k.title, split.title);
  k.number.reset();
  k.titleBytes = 0;
  if (!k.hasPart && !shop && k.cell.starts_with(split.title)) {
    k.number = TrailingVolumeNumber(split.title);
    k.titleBytes = split.title.size();
  }
  k.stem.clear();
  if (k.number)
    AppendLooseKey(k.stem, std::string_view(split.title).substr(0, k.number->titleEnd));
  else
    k.stem.append(k.title);
  k.parts.clear();
  AppendLooseKey(k.parts, part);
  k.parts += kApart;
  AppendLooseKey(k.parts, partName);
  k.rest.clear();
  if (!k.isbn.empty()) return;
  c.Clean(cells, columns, {d200e, d205a, d200f, d210a, d210c, d210d});  // only a row without ISBN is keyed by these
  AppendLooseKey(k.rest, v[d200e].empty() ? std::string_view(split.subtitle) : v[d200e]);
  k.rest += kApart;
  AppendLooseKey(k.rest, v[d205a].empty() ? piece(TitlePiece::Into::Edition) : v[d205a]);
  k.rest += kApart;
  recent.Append(k.rest, v);
}

// Reads rows and gives their keys, with one buffer for the cells and one for the keys.
class KeyReader {
 public:
  KeyReader(const import::LoadedTable& table, const std::array<int, kParamCount>& columns)
      : table_(table), columns_(columns) {}
  // The keys of `row`, kept until the next call.
  const RowKeys& operator()(std::int64_t row) {
    table_.Row(static_cast<std::size_t>(row), cells_);
    KeysOf(cells_, columns_, clean_, recent_, keys_);
    return keys_;
  }

 private:
  const import::LoadedTable& table_;
  const std::array<int, kParamCount>& columns_;
  std::vector<std::string_view> cells_;
  CleanCells clean_;
  RecentWhoWhereWhen recent_;
  RowKeys keys_;
};

// A row's keys as kept while the rows are grouped.
struct KeysView {
  std::string_view isbn, title, stem, parts, rest;
  std::string_view cell;  // only with a number
  std::string_view volume, copies, barcodes;
  bool hasNumber = false;
  std::string_view written, number;  // of its TrailingNumber
  std::size_t titleEnd = 0;
  std::size_t titleBytes = 0;
  bool hasPart = false;
};

bool SameBook(const KeysView& a, const KeysView& b) {
  return a.isbn == b.isbn && a.title == b.title && a.parts == b.parts && a.rest == b.rest;
}
bool SameTitle(const KeysView& a, const KeysView& b) { return a.title == b.title; }
bool SameStem(const KeysView& a, const KeysView& b) { return a.stem == b.stem; }

// The keys of a slice of rows, made once and kept packed: their texts in large blocks, a row's
// texts side by side, with their lengths. What the grouping does not need is left out: the stem
// when it is the title, the title cell when the title ends with no volume number.
class KeySlice {
 public:
  explicit KeySlice(std::int64_t first = 0) : first_(first) {}
  std::int64_t first() const { return first_; }  // the slice's first row

  void Skip() { entries_.push_back({}); }  // a row not grouped

  void Add(const RowKeys& k) {
    const TrailingNumber none;
    const TrailingNumber& n = k.number ? *k.number : none;
    const bool stemApart = k.stem != k.title;
    const std::string_view stem = stemApart ? std::string_view(k.stem) : std::string_view();
    const std::string_view cell = k.number ? std::string_view(k.cell) : std::string_view();
    const std::string_view texts[kTexts] = {k.isbn, k.title,  stem,       k.parts,   k.rest,   cell,
                                            k.volume, k.copies, k.barcodes, n.written, n.number};
    std::size_t total = 0;
    for (const std::string_view t : texts) total += t.size();
    Entry e;
    e.at = Room(total);
    e.titleEnd = static_cast<std::uint32_t>(n.titleEnd);
    e.titleBytes = static_cast<std::uint32_t>(k.titleBytes);
    e.hasNumber = k.number.has_value();
    e.hasPart = k.hasPart;
    e.stemApart = stemApart;
    char* at = e.at;
    for (std::size_t i = 0; i < kTexts; ++i) {
      e.length[i] = static_cast<std::uint32_t>(texts[i].size());
      at = std::copy(texts[i].begin(), texts[i].end(), at);
    }
    entries_.push_back(e);
  }

  KeysView View(std::int64_t row) const {
    const Entry& e = entries_[static_cast<std::size_t>(row - first_)];
    std::string_view t[kTexts];
    const char* at = e.at;
    for (std::size_t i = 0; i < kTexts; ++i) t[i] = std::string_view(at, e.length[i]), at += e.length[i];
    return {t[0], t[1], e.stemApart ? t[2] : t[1], t[3], t[4], t[5], t[6], t[7], t[8],
            e.hasNumber, t[9], t[10], e.titleEnd, e.titleBytes, e.hasPart};
  }

 private:
  static constexpr std::size_t kTexts = 11;
  static constexpr std::size_t kBlock = 1 << 16;
  struct Entry {
    char* at = nullptr;
    std::uint32_t length[kTexts] = {};
    std::uint32_t titleEnd = 0, titleBytes = 0;  // the texts are cells of a row: well under 4 GB
    bool hasNumber = false, hasPart = false, stemApart = false;
  };

  // Room for `bytes` more in the last block, or in a new one.
  char* Room(std::size_t bytes) {
    if (blocks_.empty() || used_ + bytes > blockSize_) {
      blockSize_ = std::max(kBlock, bytes);
      blocks_.push_back(std::make_unique<char[]>(blockSize_));
      used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    used_ += bytes;
    return at;
  }

  std::int64_t first_;
  std::vector<Entry> entries_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockSize_ = 0, used_ = 0;
};

// The keys of every row, slice by slice.
class KeptKeys {
 public:
  // Rows of a slice, each but the last: small enough that the keying threads end together.
  static constexpr std::int64_t kBlockRows = 1024;
  explicit KeptKeys(std::vector<KeySlice> slices) : slices_(std::move(slices)) {}
  KeysView View(std::int64_t row) const { return slices_[static_cast<std::size_t>(row / kBlockRows)].View(row); }

 private:
  std::vector<KeySlice> slices_;  // by block of rows
};

using Hashed = std::vector<std::pair<std::size_t, std::int64_t>>;  // a key's hash and its row
using Rows = std::vector<std::pair<std::int64_t, KeysView>>;        // rows in order, with their keys
using Same = bool (*)(const KeysView&, const KeysView&);

// `rows` split by a key: the groups of two or more rows with one key, each in row order.
void ForEachSame(Rows& rows, Same key, const std::function<void(Rows&)>& use) {
  // Most runs are one key throughout.
  if (std::all_of(rows.begin() + 1, rows.end(), [&](const auto& r) { return key(r.second, rows.front().second); })) {
    if (rows.size() >= 2) use(rows);
    return;
  }
  while (!rows.empty()) {
    const KeysView first = rows.front().second;
    Rows same;
    std::erase_if(rows, [&](auto& r) {
      if (!key(r.second, first)) return false;
      same.push_back(r);
      return true;
    });
    if (same.size() >= 2) use(same);
  }
}

// Each run of rows whose keys hash alike (sorted), split by the key itself. The runs are shared out
// among the team in slices of about as many rows: `use` is called for groups of distinct rows at once.
void ForEachGroup(const Hashed& hashed, const KeptKeys& keys, Same key, Team& team, const std::function<void(Rows&)>& use) {
  std::vector<std::pair<std::size_t, std::size_t>> runs;  // [at, end) in `hashed`
  for (std::size_t at = 0, end; at < hashed.size(); at = end) {
    for (end = at + 1; end < hashed.size() && hashed[end].first == hashed[at].first;) ++end;
    if (end - at >= 2) runs.emplace_back(at, end);
  }
  // Slice m ends where the runs pass (m + 1)/members of the hashed rows.
  const auto members = static_cast<std::size_t>(team.size());
  const std::size_t grouped = runs.empty() ? 0 : runs.back().second;
  std::vector<std::size_t> ends;
  for (std::size_t m = 1, to = 0; m <= members; ++m) {
    while (to < runs.size() && (m == members || runs[to].first < grouped * m / members)) ++to;
    ends.push_back(to);
  }
  team.Run([&](std::int64_t member) {
    const auto m = static_cast<std::size_t>(member);
    Rows run;
    for (std::size_t r = m == 0 ? 0 : ends[m - 1]; r < ends[m]; ++r) {
      run.clear();
      for (std::size_t k = runs[r].first; k < runs[r].second; ++k) run.emplace_back(hashed[k].second, keys.View(hashed[k].second));
      ForEachSame(run, key, use);
    }
  });
}

// The later rows of a group left out, the first taking their copies and barcodes.
void MergeGroup(const Rows& group, bool copiesMapped, RowPlans& plans) {
  const std::int64_t first = group.front().first;
  std::int64_t copies = 0;
  std::string unreadable, barcodes;
  bool laterBarcodes = false;
  std::vector<std::string> values(2);
  for (const auto& [row, keys] : group) {
    if (!keys.barcodes.empty()) {
      if (!barcodes.empty()) barcodes += ',';
      barcodes += keys.barcodes;
      laterBarcodes = laterBarcodes || row != first;
    }
    const auto n = CopiesOf(keys.copies);
    if (n) copies += *n;
    else if (unreadable.empty()) unreadable = std::string(keys.copies);
    if (row == first) continue;
    values.push_back(std::to_string(row + 1));
    plans.At(row).sameAs = first + 1;  // its DuplicateRow finding is made when asked for
  }
  RowPlan& plan = plans.At(first);
  if (laterBarcodes) plan.SetCells().barcodes = barcodes;
  if (copiesMapped && unreadable.empty()) plan.SetCells().copies = values[0] = std::to_string(copies);
  if (copiesMapped) values[1] = unreadable;
  plan.findings.push_back(MakeFinding(Kind::RowsMerged, {}, std::move(values)));
}

// Rows with one title under two or more ISBNs: every one reported with another, and given its
// volume number when the title ends with one (the rows then differ in it) or a volume column has it.
void PlanSet(const Rows& rows, bool bySets, RowPlans& plans) {
  const std::string_view firstIsbn = rows.front().second.isbn;
  const auto other = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.second.isbn != firstIsbn; });
  if (other == rows.end()) return;
  for (const auto& [row, keys] : rows) {
    RowPlan& plan = plans.At(row);
    const std::int64_t named = row == rows.front().first ? other->first : rows.front().first;
    plan.sameTitleAs = named + 1;  // its SameTitleOtherIsbn finding is made when asked for
    if (bySets && keys.hasNumber) {
      plan.SetCells().title = std::string(keys.cell.substr(0, keys.titleEnd)).append(keys.cell.substr(keys.titleBytes));
      plan.SetCells().part = keys.number;
      plan.findings.push_back(MakeFinding(Kind::TitlePartMoved, "200 $h", {std::string(keys.written)}));
    } else if (!keys.hasPart && !keys.volume.empty()) {
      plan.SetCells().part = keys.volume;
      plan.findings.push_back(MakeFinding(Kind::PartFromVolumeColumn, "200 $h", {std::string(keys.volume)}));
    }
  }
}

// The rows whose titles are one but for a volume number they may end with. Rows merged into another
// take no part: the row they repeat stands for them.
void PlanTitleGroup(Rows& group, RowPlans& plans) {
  std::erase_if(group, [&](const auto& r) {
    const RowPlan* p = plans.Find(r.first);
    return p && p->sameAs > 0;
  });
  // The volume numbers are taken for such when the rows differ in them and in their ISBN; otherwise
  // only the rows with the very same title are one set.
  if (group.size() < 2) return;
  // Two numbers or ISBNs differ when one differs from the first: a set of them all is not needed.
  const std::string_view isbn = group.front().second.isbn;
  const std::string_view* number = nullptr;
  bool numbers = false, isbns = false;
  for (const auto& [row, keys] : group) {
    if (keys.hasNumber && !number) number = &keys.number;
    numbers = numbers || (keys.hasNumber && keys.number != *number);
    isbns = isbns || keys.isbn != isbn;
  }
  if (numbers && isbns) {
    PlanSet(group, true, plans);
    return;
  }
  ForEachSame(group, SameTitle, [&](Rows& same) { PlanSet(same, false, plans); });
}

}  // namespace

std::vector<Finding> RowPlan::Findings() const {
  std::vector<Finding> all;
  AppendFindings(all);
  return all;
}

void RowPlan::AppendFindings(std::vector<Finding>& out) const {
  if (sameAs > 0) out.push_back(MakeFinding(Kind::DuplicateRow, {}, {std::to_string(sameAs)}));
  // The rows merged into this one were found before the titles were compared.
  const bool merged = !findings.empty() && findings.front().kind == Kind::RowsMerged;
  if (merged) out.push_back(findings.front());
  if (sameTitleAs > 0) out.push_back(MakeFinding(Kind::SameTitleOtherIsbn, "200 $a", {std::to_string(sameTitleAs)}));
  out.insert(out.end(), findings.begin() + (merged ? 1 : 0), findings.end());
}

const RowPlan* RowPlans::Find(std::int64_t row) const {
  if (!building_.empty()) {
    const bool planned = row >= 0 && static_cast<std::size_t>(row) < building_.size() && Planned(building_[row]);
    return planned ? &building_[row] : nullptr;
  }
  const auto it = std::lower_bound(sealed_.begin(), sealed_.end(), row, [](const auto& p, std::int64_t r) { return p.first < r; });
  return it != sealed_.end() && it->first == row ? &it->second : nullptr;
}

void RowPlans::Reserve(std::int64_t rows) {
  if (static_cast<std::size_t>(rows) > building_.size()) building_.resize(static_cast<std::size_t>(rows));
}

RowPlan& RowPlans::At(std::int64_t row) {
  const auto at = static_cast<std::size_t>(row);
  if (at >= building_.size()) {
    building_.reserve(std::max(at + 1, 2 * building_.size()));
    building_.resize(at + 1);
  }
  return building_[at];
}

void RowPlans::Seal() {
  std::size_t planned = 0;
  for (const RowPlan& p : building_) planned += Planned(p) ? 1 : 0;
  // With half the rows planned or more, moving the plans would take longer than the room it saves
  // is worth (at most two fifths of the array): they stay by row.
  if (planned * 2 >= building_.size()) return;
  sealed_.reserve(sealed_.size() + planned);
  for (std::size_t row = 0; row < building_.size(); ++row)  // in row order: sealed_ comes out sorted
    if (Planned(building_[row])) sealed_.emplace_back(static_cast<std::int64_t>(row), std::move(building_[row]));
  building_ = decltype(building_)();
}

std::size_t RowPlans::size() const {
  return sealed_.size() + static_cast<std::size_t>(std::count_if(building_.begin(), building_.end(), Planned));
}

std::optional<std::int64_t> CopiesOf(std::string_view cell) {
  const std::u32string s = U32(cell);
  std::size_t digits = 0;
  std::int64_t n = 0;
  for (; digits < s.size() && IsDigit(s[digits]) && digits < 9; ++digits) n = n * 10 + (text::HalfWidth(s[digits]) - U'0');
  if (s.empty()) return 1;
  if (digits == 0) return std::nullopt;
  const std::u32string_view unit = std::u32string_view(s).substr(digits);
  if (unit.empty() || unit == U"册" || unit == U"本" || unit == U"套" || unit == U"部") return n;
  return std::nullopt;
}

std::optional<TrailingNumber> TrailingVolumeNumber(std::string_view title) {
  constexpr std::u32string_view kClosing = U"）)]", kOpening = U"（([", kMarks = U"上中下";
  // Most titles end in a character no number nor a blank after one can end with, ASCII or a
  // common three-byte one (a Han character): they are left before being decoded.
  const auto mayEnd = [&](char32_t c) {
    return IsDigit(c) || IsRoman(c) || IsBlank(c) || kClosing.find(c) != kClosing.npos || kMarks.find(c) != kMarks.npos;
  };
  if (!title.empty()) {
    const auto last = static_cast<unsigned char>(title.back());
    const char32_t end = last < 0x80 ? last : title.size() >= 3 ? text::PlainThreeByteAt(title, title.size() - 3) : 0;
    if (end != 0 && !mayEnd(end)) return std::nullopt;
  }
  std::u32string t = U32(title);
  while (!t.empty() && IsBlank(t.back())) t.pop_back();
  if (t.empty()) return std::nullopt;
  std::size_t start = t.size();
  std::u32string_view inner;
  const std::size_t kind = kClosing.find(t.back());
  const bool bracketed = kind != std::u32string_view::npos;
  if (bracketed) {
    start = t.rfind(kOpening[kind]);
    if (start == std::u32string::npos) return std::nullopt;
    inner = std::u32string_view(t).substr(start + 1, t.size() - start - 2);
  } else {
    while (start > 0 && IsDigit(t[start - 1])) --start;
    if (start == t.size()) --start;
    inner = std::u32string_view(t).substr(start);
  }
  const bool digits = !inner.empty() && inner.size() <= 3 && std::all_of(inner.begin(), inner.end(), IsDigit);
  // A bracketed 上, 下 is the title rules' already.
  const bool mark = inner.size() == 1 && (IsRoman(inner[0]) || (!bracketed && kMarks.find(inner[0]) != kMarks.npos));
  if (!digits && !mark) return std::nullopt;
  std::u32string_view before = std::u32string_view(t).substr(0, start);
  while (!before.empty() && IsBlank(before.back())) before.remove_suffix(1);
  if (before.size() < 2 || !text::IsHanIdeograph(before.back())) return std::nullopt;
  TrailingNumber out;
  out.titleEnd = U8(before).size();
  std::u32string_view written = std::u32string_view(t).substr(before.size());
  while (!written.empty() && IsBlank(written.front())) written.remove_prefix(1);
  out.written = U8(written);
  for (const char32_t c : inner) text::AppendUtf8(out.number, text::HalfWidth(c));
  return out;
}

namespace {

// The keys of the rows: hashed (a book's and, with an ISBN, a stem's) and kept.
struct KeyedRows {
  Hashed books, titles;
  std::vector<KeySlice> kept;  // by block of rows
};

// The keys of every row, on each member of `team`, each taking the next block of rows; a table still
// being read is keyed as its rows come. With `stem`, only the rows whose titles begin with it.
// False when stopped.
bool KeyRows(const import::LoadedTable& table, const std::array<int, kParamCount>& columns, bool merge,
             const std::atomic<bool>* stop, const std::optional<std::string>& stem, Team& team, KeyedRows& out) {
  constexpr std::int64_t kBlock = KeptKeys::kBlockRows;
  std::atomic<std::int64_t> next{0};
  std::vector<KeyedRows> each(static_cast<std::size_t>(team.size()));
  const auto keyBlocks = [&](std::int64_t t) {
    KeyReader own(table, columns);
    std::string book;
    const std::hash<std::string> hash;
    KeyedRows& mine = each[static_cast<std::size_t>(t)];
    std::vector<std::size_t> bookRuns, titleRuns;  // where each block's hashes begin
    // While the table is read, one member keys as the rows come and the reading keeps a core of its
    // own; the others join once it is read.
    while (t > 0 && table.Loading() && !(stop && stop->load()))
      table.WaitForRows(table.RowCount() + static_cast<std::size_t>(kBlock));  // a stop is seen a block later at most
    for (std::int64_t b = next++;; b = next++) {
      const auto rows = static_cast<std::int64_t>(table.WaitForRows(static_cast<std::size_t>((b + 1) * kBlock)));
      if (stop && stop->load()) return;
      if (rows <= b * kBlock) break;
      bookRuns.push_back(mine.books.size());
      titleRuns.push_back(mine.titles.size());
      KeySlice& slice = mine.kept.emplace_back(b * kBlock);
      for (std::int64_t row = b * kBlock; row < std::min(rows, (b + 1) * kBlock); ++row) {
        if (stem && !LooseKey(OneLine(table.Cell(static_cast<std::size_t>(row), columns[d200a]))).starts_with(*stem)) {
          slice.Skip();
          continue;
        }
        const RowKeys& k = own(row);
        if (!k.grouped) {
          slice.Skip();
          continue;
        }
        slice.Add(k);
        if (merge) {
          k.Book(book);
          mine.books.emplace_back(hash(book), row);
        }
        if (!k.isbn.empty()) mine.titles.emplace_back(hash(k.stem), row);
      }
      // Each block's hashes are sorted as it is keyed, while the table is still read: at its end
      // they are only merged.
      std::sort(mine.books.begin() + static_cast<std::ptrdiff_t>(bookRuns.back()), mine.books.end());
      std::sort(mine.titles.begin() + static_cast<std::ptrdiff_t>(titleRuns.back()), mine.titles.end());
    }
    // Each thread's sorted part, merged from its blocks, is then merged with the others'.
    MergeSortedRuns(mine.books, std::move(bookRuns));
    MergeSortedRuns(mine.titles, std::move(titleRuns));
  };
  team.Run(keyBlocks);
  if (stop && stop->load()) return false;
  const auto rows = static_cast<std::int64_t>(table.RowCount());
  out.kept.resize(static_cast<std::size_t>((rows + kBlock - 1) / kBlock));
  // The threads' sorted parts merged one by one, each part freed once merged in: no more memory
  // than the parts and the whole.
  const auto mergeAll = [&](Hashed KeyedRows::*part) {
    Hashed all = std::move(each.front().*part);
    for (std::size_t t = 1; t < each.size(); ++t) {
      Hashed next = std::move(each[t].*part);
      Hashed merged(all.size() + next.size());
      std::merge(all.begin(), all.end(), next.begin(), next.end(), merged.begin());
      all = std::move(merged);
    }
    return all;
  };
  out.books = mergeAll(&KeyedRows::books);
  out.titles = mergeAll(&KeyedRows::titles);
  for (KeyedRows& mine : each)
    for (KeySlice& slice : mine.kept) out.kept[static_cast<std::size_t>(slice.first() / kBlock)] = std::move(slice);
  return true;
}

}  // namespace

RowPlans PlanRows(const import::LoadedTable& table, const std::array<int, kParamCount>& columns, bool merge,
                  const std::atomic<bool>* stop, std::int64_t only) {
  RowPlans plans;
  if (columns[d200a] < 0 || only >= static_cast<std::int64_t>(table.RowCount())) return plans;
  // A row shares a key with `only` only when its title, as compared, begins with the other's stem.
  std::optional<std::string> stem;
  if (only >= 0) {
    KeyReader reader(table, columns);
    const RowKeys& k = reader(only);
    if (!k.grouped) return plans;
    stem = k.stem;
  }
  Team team(only >= 0 ? 1 : std::clamp<std::int64_t>(std::thread::hardware_concurrency(), 1, 16));
  KeyedRows keyed;
  if (!KeyRows(table, columns, merge, stop, stem, team, keyed)) return plans;
  {
    const KeptKeys keys(std::move(keyed.kept));
    const bool copiesMapped = columns[d905f] >= 0;
    plans.Reserve(static_cast<std::int64_t>(table.RowCount()));  // groups of distinct rows are planned at once
    ForEachGroup(keyed.books, keys, SameBook, team, [&](Rows& group) { MergeGroup(group, copiesMapped, plans); });
    // Once the repeated rows are known: rows merged into another take no part in a set.
    ForEachGroup(keyed.titles, keys, SameStem, team, [&](Rows& group) { PlanTitleGroup(group, plans); });
  }
  plans.Seal();
  // The keys are gone; what they held goes back to the system before the records take memory.
  keyed = KeyedRows();
  ReturnFreedMemory();
  return plans;
}

}  // namespace rowcaster::convert
