#include "convert/Repeats.h"

#include <algorithm>
#include <functional>
#include <set>
#include <thread>

#include "convert/Imprint.h"
#include "convert/Persons.h"
#include "convert/RegionLookup.h"
#include "convert/Title.h"
#include "convert/Values.h"
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

// What the pre-pass knows of one row.
struct RowKeys {
  std::string book;   // what makes two rows one book; empty: the row is left alone (no title, a total)
  std::string isbn;   // IsbnKey; empty without a valid-looking ISBN
  std::string title;  // the title proper, as compared
  std::string stem;   // the title without a volume number it ends with, as compared
  std::optional<TrailingNumber> number;
  std::string cell;   // the title cell, cleaned
  std::size_t titleBytes = 0;   // of the title proper, with which the cell begins
  bool hasPart = false;         // 200 $h comes from its column or from the title
  std::string volume, copies, barcodes;  // the volume (905 $v), copies (905 $f) and barcode (905 $b) cells, cleaned
};

constexpr char kApart = '\x1f';

// The first author, first publisher and year, for a row without ISBN.
std::string WhoWhereWhen(const std::array<std::string, kParamCount>& v) {
  const std::vector<Responsible> persons = SplitResponsibility(v[d200f]);
  const Imprint imprint = SplitImprint(v[d210a], v[d210c], v[d210d]);
  const std::vector<PlacePublisher> pairs = SplitPublishers(imprint.place, imprint.publisher);
  std::vector<Finding> unused;
  const std::optional<int> year = PublicationYear(imprint.date, unused);
  return (persons.empty() ? std::string() : LooseKey(persons.front().name)) + kApart +
         (pairs.empty() ? std::string() : LooseKey(pairs.front().publisher)) + kApart +
         (year ? std::to_string(*year) : std::string());
}

RowKeys KeysOf(const std::vector<std::string_view>& cells, const std::array<int, kParamCount>& columns) {
  std::array<std::string, kParamCount> v;
  for (const Param p : {d010a, d200a, d200e, d200h, d200i, d205a, d200f, d210a, d210c, d210d, d905b, d905v, d905f}) {
    const int c = columns[p];
    if (c >= 0 && static_cast<std::size_t>(c) < cells.size()) v[p] = CleanValue(OneLine(cells[c]));
  }
  RowKeys k;
  k.cell = v[d200a];
  if (k.cell.empty() || IsTotalRow(k.cell)) return k;
  k.isbn = IsbnKey(v[d010a]);
  k.volume = v[d905v];
  k.copies = v[d905f];
  k.barcodes = v[d905b];
  // A shop listing's title stays as given; otherwise the pieces the title rules take off.
  const bool shop = LooksLikeShopListing(k.cell);
  const SplitOfTitle split = shop ? SplitOfTitle{k.cell, {}, {}} : SplitTitle(k.cell);
  const auto piece = [&](TitlePiece::Into into) {
    for (const TitlePiece& p : split.pieces)
      if (p.into == into) return p.value;
    return std::string();
  };
  const std::string part = v[d200h].empty() ? piece(TitlePiece::Into::PartNumber) : v[d200h];
  const std::string partName = v[d200i].empty() ? piece(TitlePiece::Into::PartName) : v[d200i];
  k.hasPart = !part.empty();
  k.title = LooseKey(split.title);
  if (!k.hasPart && !shop && k.cell.starts_with(split.title)) {
    k.number = TrailingVolumeNumber(split.title);
    k.titleBytes = split.title.size();
  }
  k.stem = k.number ? LooseKey(std::string_view(split.title).substr(0, k.number->titleEnd)) : k.title;
  k.book = k.title + kApart + LooseKey(part) + kApart + LooseKey(partName);
  if (!k.isbn.empty()) {
    k.book = "I" + k.isbn + kApart + k.book;
  } else {
    const std::string subtitle = v[d200e].empty() ? split.subtitle : v[d200e];
    const std::string edition = v[d205a].empty() ? piece(TitlePiece::Into::Edition) : v[d205a];
    k.book = "T" + k.book + kApart + LooseKey(subtitle) + kApart + LooseKey(edition) + kApart + WhoWhereWhen(v);
  }
  return k;
}

// Reads rows and gives their keys, with one buffer for the cells.
class KeyReader {
 public:
  KeyReader(const import::LoadedTable& table, const std::array<int, kParamCount>& columns)
      : table_(table), columns_(columns) {}
  RowKeys operator()(std::int64_t row) {
    table_.Row(static_cast<std::size_t>(row), cells_);
    return KeysOf(cells_, columns_);
  }

 private:
  const import::LoadedTable& table_;
  const std::array<int, kParamCount>& columns_;
  std::vector<std::string_view> cells_;
};

using Hashed = std::vector<std::pair<std::size_t, std::int64_t>>;  // a key's hash and its row
using Rows = std::vector<std::pair<std::int64_t, RowKeys>>;         // rows in order, with their keys
using KeyOf = std::string RowKeys::*;

// `rows` split by a key: the groups of two or more rows with one key, each in row order.
void ForEachSame(Rows& rows, KeyOf key, const std::function<void(Rows&)>& use) {
  while (!rows.empty()) {
    const std::string value = rows.front().second.*key;
    Rows same;
    std::erase_if(rows, [&](auto& r) {
      if (r.second.*key != value) return false;
      same.push_back(std::move(r));
      return true;
    });
    if (same.size() >= 2) use(same);
  }
}

// Each run of rows whose keys hash alike, read again and split by the key itself. The keys are
// made again on `threads` cores, a batch of runs at a time (so that only a batch's keys are held);
// the groups are then used one after another, in the order of the runs.
void ForEachGroup(Hashed& hashed, const import::LoadedTable& table, const std::array<int, kParamCount>& columns,
                  std::int64_t threads, KeyOf key, const std::function<void(Rows&)>& use) {
  std::sort(hashed.begin(), hashed.end());
  std::vector<std::pair<std::size_t, std::size_t>> runs;  // [at, end) in `hashed`
  for (std::size_t at = 0, end; at < hashed.size(); at = end) {
    for (end = at + 1; end < hashed.size() && hashed[end].first == hashed[at].first;) ++end;
    if (end - at >= 2) runs.emplace_back(at, end);
  }
  constexpr std::size_t kBatchRows = 1 << 16;
  std::vector<Rows> batch;
  for (std::size_t first = 0; first < runs.size();) {
    std::size_t last = first, rows = 0;
    while (last < runs.size() && (last == first || rows + runs[last].second - runs[last].first <= kBatchRows))
      rows += runs[last].second - runs[last].first, ++last;
    batch.assign(last - first, {});
    const auto readRuns = [&](std::int64_t t) {
      KeyReader read(table, columns);
      for (std::size_t r = first + static_cast<std::size_t>(t); r < last; r += static_cast<std::size_t>(threads))
        for (std::size_t k = runs[r].first; k < runs[r].second; ++k)
          batch[r - first].emplace_back(hashed[k].second, read(hashed[k].second));
    };
    std::vector<std::thread> workers;
    for (std::int64_t t = 1; t < threads && static_cast<std::size_t>(t) < last - first; ++t) workers.emplace_back(readRuns, t);
    readRuns(0);
    for (std::thread& w : workers) w.join();
    for (Rows& run : batch) ForEachSame(run, key, use);
    first = last;
  }
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
      barcodes += (barcodes.empty() ? "" : ",") + keys.barcodes;
      laterBarcodes = laterBarcodes || row != first;
    }
    const auto n = CopiesOf(keys.copies);
    if (n) copies += *n;
    else if (unreadable.empty()) unreadable = keys.copies;
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
  const std::string& firstIsbn = rows.front().second.isbn;
  const auto other = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.second.isbn != firstIsbn; });
  if (other == rows.end()) return;
  for (const auto& [row, keys] : rows) {
    RowPlan& plan = plans.At(row);
    const std::int64_t named = row == rows.front().first ? other->first : rows.front().first;
    plan.findings.push_back(MakeFinding(Kind::SameTitleOtherIsbn, "200 $a", {std::to_string(named + 1)}));
    if (bySets && keys.number) {
      plan.SetCells().title = keys.cell.substr(0, keys.number->titleEnd) + keys.cell.substr(keys.titleBytes);
      plan.SetCells().part = keys.number->number;
      plan.findings.push_back(MakeFinding(Kind::TitlePartMoved, "200 $h", {keys.number->written}));
    } else if (!keys.hasPart && !keys.volume.empty()) {
      plan.SetCells().part = keys.volume;
      plan.findings.push_back(MakeFinding(Kind::PartFromVolumeColumn, "200 $h", {keys.volume}));
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
  std::set<std::string> numbers, isbns;
  for (const auto& [row, keys] : group) {
    if (keys.number) numbers.insert(keys.number->number);
    isbns.insert(keys.isbn);
  }
  if (numbers.size() >= 2 && isbns.size() >= 2) {
    PlanSet(group, true, plans);
    return;
  }
  ForEachSame(group, &RowKeys::title, [&](Rows& same) { PlanSet(same, false, plans); });
}

}  // namespace

std::vector<Finding> RowPlan::Findings() const {
  if (sameAs <= 0) return findings;
  std::vector<Finding> all;
  all.reserve(findings.size() + 1);
  all.push_back(MakeFinding(Kind::DuplicateRow, {}, {std::to_string(sameAs)}));
  all.insert(all.end(), findings.begin(), findings.end());
  return all;
}

const RowPlan* RowPlans::Find(std::int64_t row) const {
  if (!building_.empty()) {
    const auto it = building_.find(row);
    return it == building_.end() ? nullptr : &it->second;
  }
  const auto it = std::lower_bound(sealed_.begin(), sealed_.end(), row, [](const auto& p, std::int64_t r) { return p.first < r; });
  return it != sealed_.end() && it->first == row ? &it->second : nullptr;
}

// Plans taken out of the hash table one by one, so that both never hold all of them.
void RowPlans::Seal() {
  sealed_.reserve(sealed_.size() + building_.size());
  for (auto it = building_.begin(); it != building_.end(); it = building_.erase(it))
    sealed_.emplace_back(it->first, std::move(it->second));
  std::sort(sealed_.begin(), sealed_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  building_ = decltype(building_)();  // its buckets too
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
  std::u32string t = U32(title);
  while (!t.empty() && IsBlank(t.back())) t.pop_back();
  if (t.empty()) return std::nullopt;
  std::size_t start = t.size();
  std::u32string_view inner;
  const std::size_t kind = std::u32string_view(U"）)]").find(t.back());
  const bool bracketed = kind != std::u32string_view::npos;
  if (bracketed) {
    start = t.rfind(U"（(["[kind]);
    if (start == std::u32string::npos) return std::nullopt;
    inner = std::u32string_view(t).substr(start + 1, t.size() - start - 2);
  } else {
    while (start > 0 && IsDigit(t[start - 1])) --start;
    if (start == t.size()) --start;
    inner = std::u32string_view(t).substr(start);
  }
  const bool digits = !inner.empty() && inner.size() <= 3 && std::all_of(inner.begin(), inner.end(), IsDigit);
  // A bracketed 上, 下 is the title rules' already.
  const bool mark = inner.size() == 1 && (IsRoman(inner[0]) || (!bracketed && std::u32string_view(U"上中下").find(inner[0]) != std::u32string_view::npos));
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

RowPlans PlanRows(const import::LoadedTable& table, const std::array<int, kParamCount>& columns, bool merge,
                  const std::atomic<bool>* stop, std::int64_t only) {
  RowPlans plans;
  const auto rows = static_cast<std::int64_t>(table.RowCount());
  if (columns[d200a] < 0 || only >= rows) return plans;
  KeyReader read(table, columns);
  // A row shares a key with `only` only when its title, as compared, begins with the other's stem.
  std::string stem;
  if (only >= 0) {
    const RowKeys k = read(only);
    if (k.book.empty()) return plans;
    stem = k.stem;
  }
  // The keys of every row, hashed, on every core: each thread takes a slice of the rows.
  const std::int64_t threads = only >= 0 ? 1 : std::clamp<std::int64_t>(std::thread::hardware_concurrency(), 1, 16);
  std::vector<Hashed> bookSlices(threads), titleSlices(threads);
  const auto hashSlice = [&](std::int64_t t) {
    KeyReader own(table, columns);
    const std::hash<std::string> hash;
    for (std::int64_t row = rows * t / threads; row < rows * (t + 1) / threads; ++row) {
      if (stop && row % 4096 == 0 && stop->load()) return;
      if (only >= 0 && !LooseKey(OneLine(table.Cell(static_cast<std::size_t>(row), columns[d200a]))).starts_with(stem))
        continue;
      const RowKeys k = own(row);
      if (k.book.empty()) continue;
      if (merge) bookSlices[t].emplace_back(hash(k.book), row);
      if (!k.isbn.empty()) titleSlices[t].emplace_back(hash(k.stem), row);
    }
  };
  std::vector<std::thread> workers;
  for (std::int64_t t = 1; t < threads; ++t) workers.emplace_back(hashSlice, t);
  hashSlice(0);
  for (std::thread& w : workers) w.join();
  if (stop && stop->load()) return plans;
  Hashed books, titles;
  for (std::int64_t t = 0; t < threads; ++t) {
    books.insert(books.end(), bookSlices[t].begin(), bookSlices[t].end());
    titles.insert(titles.end(), titleSlices[t].begin(), titleSlices[t].end());
  }
  const bool copiesMapped = columns[d905f] >= 0;
  ForEachGroup(books, table, columns, threads, &RowKeys::book, [&](Rows& group) { MergeGroup(group, copiesMapped, plans); });
  ForEachGroup(titles, table, columns, threads, &RowKeys::stem, [&](Rows& group) { PlanTitleGroup(group, plans); });
  plans.Seal();
  return plans;
}

}  // namespace rowcaster::convert
