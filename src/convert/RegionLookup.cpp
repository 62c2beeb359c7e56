#include "convert/RegionLookup.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <unordered_map>

#include "convert/HantHansChanging.h"
#include "convert/Pinyin.h"
#include "platform/Paths.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

// The cbk table's rows with a region code, each as (c_sbn, c_cbs, c_cbd, c_cbno), in table order.
template <typename Each>
void ForEachPublisherRow(data::Connection& connection, Each each) {
  auto rows = connection.Query("select * from cbk");
  const auto& names = rows->FieldNames();
  int sbn = -1, cbs = -1, cbd = -1, cbno = -1;
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    const std::string n = text::AsciiLower(names[i]);
    if (n == "c_sbn") sbn = i;
    if (n == "c_cbs") cbs = i;
    if (n == "c_cbd") cbd = i;
    if (n == "c_cbno") cbno = i;
  }
  if (sbn < 0 || cbs < 0 || cbd < 0 || cbno < 0) throw data::DataError("出版社库的 cbk 表缺少 c_sbn、c_cbs、c_cbd 或 c_cbno 字段");
  std::vector<std::string> v;
  while (rows->Next(v))
    if (!v[cbno].empty()) each(v[sbn], v[cbs], v[cbd], v[cbno]);
}

// Each two characters side by side in `key`.
template <typename Use>
void ForEachPair(std::string_view key, Use use) {
  std::size_t first = 0, second = 0;
  if (second < key.size()) text::NextCodePoint(key, second);
  for (std::size_t end = second; end < key.size();) {
    text::NextCodePoint(key, end);
    use(key.substr(first, end - first));
    first = second;
    second = end;
  }
}

// A value as the database compares it: Jet, and the cbk table's "collate nocase" columns, compare
// Latin letters without case.
std::string AsStored(std::string_view value) { return text::AsciiLower(value); }

}  // namespace

std::string CbkConnStr(const std::string& dataDir) {
  const std::string dir = !dataDir.empty() && dataDir.back() == '/' ? dataDir.substr(0, dataDir.size() - 1) : dataDir;
  return CbkConnStrForFile(CbkPathIn(dir));
}

std::string CbkConnStrForFile(const std::string& path) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False";
}

std::string IsbnPrefix(std::string_view d010a) {
  std::string_view v = d010a;
  if (v.substr(0, 4) == "978-") v.remove_prefix(4);
  // Positions count characters from 1.
  const std::size_t dash1 = v.find('-');
  const std::size_t p1 = dash1 == std::string_view::npos ? 0 : text::Utf8Length(v.substr(0, dash1)) + 1;
  const std::string_view after = dash1 == std::string_view::npos ? v : v.substr(dash1 + 1);
  const std::size_t dash2 = after.find('-');
  const std::size_t p2 = dash2 == std::string_view::npos ? 0 : text::Utf8Length(after.substr(0, dash2)) + 1;
  const long long length = static_cast<long long>(p1 + p2) - 1;
  return std::string(length > 3 ? text::Utf8Substr(v, 0, static_cast<std::size_t>(length)) : v);
}

RegionLookup::RegionLookup(std::string connectionString) : connectionString_(std::move(connectionString)) {
  try {
    connection_ = data::OpenConnection(connectionString_);
    try {
      connection_->FirstValue("select * from cbk where c_sbn=? and  c_cbno<>''", {""}, "c_cbno");
    } catch (const data::DataError&) {
      // No parameterised queries: a Jet database, read whole now so that a damaged one is said
      // when it is opened.
      IndexOf(asStored_, AsStored, true);
    }
  } catch (const data::DataError& e) {
    connection_.reset();
    openError_ = e.what();
  } catch (const ComposeError& e) {
    connection_.reset();
    openError_ = e.finding().values.empty() ? std::string() : e.finding().values.front();
  }
}

RegionLookup::~RegionLookup() = default;

void RegionLookup::Index::Add(const std::string& sbn, const std::string& cbs, const std::string& cbd,
                              const std::string& cbno) {
  rows_.push_back({cbno, cbd, cbs, key_(cbs)});
  byColumn_[Sbn].emplace(key_(sbn), rows_.size() - 1);
  byColumn_[Cbs].emplace(rows_.back().nameKey, rows_.size() - 1);
  byColumn_[Cbd].emplace(key_(cbd), rows_.size() - 1);
}

const RegionLookup::Publisher* RegionLookup::Index::FindKey(Column column, std::string_view key) const {
  if (key.empty() && !emptyKeys_) return nullptr;
  const auto it = byColumn_[column].find(key);
  return it == byColumn_[column].end() ? nullptr : &rows_[it->second];
}

const RegionLookup::Publisher* RegionLookup::Index::FindHolding(std::string_view key) const {
  if (text::Utf8Length(key) < 2) return nullptr;
  if (!pairsMade_) {  // made on first use: only the recommended rules look for a part of a name
    for (std::uint32_t row = 0; row < rows_.size(); ++row)
      ForEachPair(rows_[row].nameKey, [&](std::string_view pair) {
        std::vector<std::uint32_t>& rows = byPair_[std::string(pair)];
        if (rows.empty() || rows.back() != row) rows.push_back(row);
      });
    pairsMade_ = true;
  }
  // A row holding the key holds each of its pairs: the rows of the rarest pair are all there is to try.
  const std::vector<std::uint32_t>* fewest = nullptr;
  bool missing = false;
  ForEachPair(key, [&](std::string_view pair) {
    const auto it = byPair_.find(std::string(pair));
    if (it == byPair_.end()) missing = true;
    else if (!fewest || it->second.size() < fewest->size()) fewest = &it->second;
  });
  if (missing || !fewest) return nullptr;
  for (const std::uint32_t i : *fewest)
    if (rows_[i].nameKey.size() > key.size() && rows_[i].nameKey.find(key) != std::string::npos) return &rows_[i];
  return nullptr;
}

const RegionLookup::Index& RegionLookup::IndexOf(std::unique_ptr<Index>& index, Index::KeyOf key, bool emptyKeys) {
  if (!connection_) throw ComposeError(MakeFinding(Kind::PublisherTableUnusable, {}, {openError_}));
  if (index) return *index;
  auto made = std::make_unique<Index>(key, emptyKeys);
  try {
    ForEachPublisherRow(*connection_, [&](const std::string& sbn, const std::string& cbs, const std::string& cbd,
                                          const std::string& cbno) { made->Add(sbn, cbs, cbd, cbno); });
  } catch (const data::DataError& e) {
    throw ComposeError(MakeFinding(Kind::PublisherTableUnusable, {}, {e.what()}));
  }
  index = std::move(made);
  return *index;
}

namespace {

// Traditional characters as simplified ones. A transliterator is not shared between threads, so
// each thread makes its own once.
std::string Simplified(const std::string& text) {
  thread_local std::unique_ptr<icu::Transliterator> hantHans = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> t(icu::Transliterator::createInstance("Hant-Hans", UTRANS_FORWARD, status));
    return U_SUCCESS(status) ? std::move(t) : nullptr;
  }();
  if (!hantHans) return text;
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(text);
  hantHans->transliterate(u);
  std::string out;
  return u.toUTF8String(out);
}

// Whether ICU's Hant-Hans would leave `text` as it is (see HantHansChanging.h).
bool HantHansLeavesAsIs(std::string_view text) {
  bool phraseCharacter = false;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = text::NextCodePoint(text, i);
    if (!HantHansMayChange(c)) continue;
    if (!std::binary_search(std::begin(kHantHansPhraseCharacters), std::end(kHantHansPhraseCharacters), c))
      return false;  // a character changed alone
    phraseCharacter = true;
  }
  return !phraseCharacter || std::none_of(std::begin(kHantHansPhrases), std::end(kHantHansPhrases),
                                          [&](std::string_view phrase) { return text.find(phrase) != std::string_view::npos; });
}

bool LeftOutOfKey(char32_t c) {
  return c == U' ' || c == 0xA0 || c == U'(' || c == U')' || c == U'[' || c == U']' || c == 0x3010 || c == 0x3011 ||
         c == 0x3014 || c == 0x3015 || c == U'<' || c == U'>' || c == 0x300A || c == 0x300B || c == U'.' ||
         c == 0xB7 || c == 0x2022 || c == 0x30FB || c == 0x2027;  // . · • ・ ‧
}

}  // namespace

std::string LooseKey(std::string_view name) {
  std::string key;
  AppendLooseKey(key, name);
  return key;
}

void AppendLooseKey(std::string& key, std::string_view name) {
  key.reserve(key.size() + name.size());
  for (std::size_t i = 0; i < name.size();) {
    // Han characters from U+4000 to U+9FFF are kept as they stand: none is folded or left out.
    if (const char32_t han = text::PlainThreeByteAt(name, i); han >= 0x4000 && han <= 0x9FFF) {
      key.append(name.data() + i, 3);
      i += 3;
      continue;
    }
    char32_t c = text::HalfWidth(text::NextCodePoint(name, i));
    if (c == 0x3000) c = U' ';
    if (LeftOutOfKey(c)) continue;
    if (c >= U'A' && c <= U'Z') c += 32;
    text::AppendUtf8(key, c);
  }
}

std::string PublisherKey(std::string_view name) {
  std::string key = LooseKey(name);
  const bool ascii = std::all_of(key.begin(), key.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return key;
  // Most names are written in simplified characters already: ICU is not asked (nor loaded).
  if (HantHansLeavesAsIs(key)) return key;
  // A table names few publishers many times, and transliterating is dear: each thread remembers
  // the keys it made (a bounded number of them).
  thread_local std::unordered_map<std::string, std::string> made;
  if (const auto known = made.find(key); known != made.end()) return known->second;
  if (made.size() >= 65536) made.clear();
  std::string simplified = Simplified(key);
  made.emplace(std::move(key), simplified);
  return simplified;
}

const RegionLookup::Publisher* RegionLookup::FindByIsbn(std::string_view hyphenatedIsbn) {
  if (hyphenatedIsbn.empty()) return nullptr;
  return IndexOf(normalised_, PublisherKey, false).Find(Index::Sbn, IsbnPrefix(hyphenatedIsbn));
}

const RegionLookup::Publisher* RegionLookup::FindByName(std::string_view nameKey) {
  return IndexOf(normalised_, PublisherKey, false).FindKey(Index::Cbs, nameKey);
}

const RegionLookup::Publisher* RegionLookup::FindByPlace(std::string_view placeKey) {
  return IndexOf(normalised_, PublisherKey, false).FindKey(Index::Cbd, placeKey);
}

std::optional<std::string> RegionLookup::NameHolding(std::string_view partKey) {
  const Publisher* found = IndexOf(normalised_, PublisherKey, false).FindHolding(partKey);
  if (!found) return std::nullopt;
  return found->name;
}

std::string RegionLookup::LookupRegionCode(std::string_view d010a, std::string_view d210c, std::string_view d210a) {
  if (!connection_) throw ComposeError(MakeFinding(Kind::PublisherTableUnusable, {}, {openError_}));
  const Index& index = IndexOf(asStored_, AsStored, true);
  const Publisher* found = d010a.empty() ? nullptr : index.Find(Index::Sbn, IsbnPrefix(d010a));
  if (!found && !d210c.empty()) found = index.Find(Index::Cbs, d210c);
  if (!found && !d210a.empty()) found = index.Find(Index::Cbd, d210a);
  return found ? "|b " + found->regionCode : std::string();
}

}  // namespace rowcaster::convert
