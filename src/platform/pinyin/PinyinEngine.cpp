#include "platform/pinyin/PinyinEngine.h"
#include "platform/text/CharClass.h"
#include "platform/text/Utf8.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>

namespace rowcaster::pinyin {
namespace {

constexpr std::uint16_t kNoChar = 0xFFFF;
constexpr std::uint32_t kNoPhrase = 0xFFFFFFFF;
constexpr std::uint16_t kUnknownCost = 3000;  // a character no dictionary entry starts with: p ≈ 1e-13

inline std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

using text::NextCodePoint;

inline bool IsStrippable(char c) {
  switch (c) {
    case '.': case ',': case ':': case ';': case '!': case '?': case '\'': case '"':
    case '(': case ')': case '[': case ']': case '{': case '}':
      return true;
    default:
      return false;
  }
}

inline bool IsOpening(char32_t cp) {
  return cp == '(' || cp == '[' || cp == 0x3014 || cp == 0x3010 || cp == 0x3008 || cp == 0x300A || cp == 0x3016;
}
inline bool IsClosing(char32_t cp) {
  return cp == ')' || cp == ']' || cp == 0x3015 || cp == 0x3011 || cp == 0x3009 || cp == 0x300B || cp == 0x3017;
}
// Where one person's name ends and the next begins.
inline bool IsNameSeparator(char32_t cp) {
  return cp == ' ' || cp == ',' || cp == ';' || cp == '/' || cp == 0x3001 /* 、 */ || cp == '&';
}


// Latin letters with diacritics stay in a word, lower-cased.
inline char32_t LowerLatin(char32_t cp) {
  if (cp >= 0xC0 && cp <= 0xDE) return cp + 0x20;
  if (cp >= 0x100 && cp <= 0x17F && cp % 2 == 0 && cp != 0x138) return cp + 1;
  return cp;
}

}  // namespace

// Reads the dictionary file front to back; running past its end is damage.
class PinyinEngine::Cursor {
 public:
  Cursor(const std::vector<std::uint8_t>& d, const std::string& path) : d_(d), path_(path) {}
  const std::uint8_t* Take(std::size_t n) {
    if (n > d_.size() - pos_) throw std::runtime_error("拼音词典 " + path_ + " 已损坏（文件过短）");
    const std::uint8_t* p = d_.data() + pos_;
    pos_ += n;
    return p;
  }
  std::uint32_t U32() {
    const std::uint8_t* p = Take(4);
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  }
  std::uint8_t U8() { return *Take(1); }
  std::string CString() {
    const std::size_t start = pos_;
    while (pos_ < d_.size() && d_[pos_] != 0) ++pos_;
    if (pos_ >= d_.size()) throw std::runtime_error("拼音词典 " + path_ + " 已损坏（音节表）");
    return std::string(reinterpret_cast<const char*>(d_.data() + start), pos_++ - start);
  }
  bool AtEnd() const { return pos_ == d_.size(); }

 private:
  const std::vector<std::uint8_t>& d_;
  std::string path_;
  std::size_t pos_ = 0;
};

std::shared_ptr<const PinyinEngine> PinyinEngine::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("找不到拼音词典 " + path);
  std::shared_ptr<PinyinEngine> e(new PinyinEngine);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0);
  e->data_.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  if (!in.read(reinterpret_cast<char*>(e->data_.data()), static_cast<std::streamsize>(e->data_.size())))
    throw std::runtime_error("读不出拼音词典 " + path);
  Cursor c(e->data_, path);
  if (std::memcmp(c.Take(4), "RCPY", 4) != 0 || c.U32() != 1)
    throw std::runtime_error(path + " 不是本程序的拼音词典");
  e->ReadCharacters(c, path);
  e->ReadFolds(c, path);
  for (PhraseTable* t : {&e->words_, &e->surnames_}) e->ReadPhrases(c, *t, path);
  if (!c.AtEnd()) throw std::runtime_error("拼音词典 " + path + " 已损坏（多余数据）");
  std::sort(e->astralId_.begin(), e->astralId_.end());
  e->IndexSingleCharacters();
  return e;
}

// The syllables, the characters with their readings, and the readings.
void PinyinEngine::ReadCharacters(Cursor& c, const std::string& path) {
  const std::uint32_t nSyl = c.U32();
  for (std::uint32_t i = 0; i < nSyl; ++i) syllables_.push_back(c.CString());
  const std::uint32_t nChars = c.U32();
  if (nChars >= kNoChar) throw std::runtime_error("拼音词典 " + path + " 已损坏（字数）");
  bmpId_.assign(0x10000, 0);
  for (std::uint32_t i = 0; i < nChars; ++i) {
    const char32_t cp = c.U32();
    charCp_.push_back(cp);
    charFirstReading_.push_back(c.U32());
    charReadingCount_.push_back(c.U8());
    if (cp < 0x10000) {
      bmpId_[cp] = static_cast<std::uint16_t>(i + 1);
    } else {
      astralId_.emplace_back(cp, static_cast<std::uint16_t>(i));
    }
  }
  const std::uint32_t nReadings = c.U32();
  const std::uint8_t* r = c.Take(std::size_t{nReadings} * 2);
  for (std::uint32_t i = 0; i < nReadings; ++i) {
    readings_.push_back(U16(r + 2 * i));
    if (readings_.back() >= nSyl) throw std::runtime_error("拼音词典 " + path + " 已损坏（读音）");
  }
  for (std::uint32_t i = 0; i < nChars; ++i)
    if (charReadingCount_[i] == 0 || charFirstReading_[i] + charReadingCount_[i] > nReadings)
      throw std::runtime_error("拼音词典 " + path + " 已损坏（字表）");
}

// Traditional characters to simplified ones; every other character folds to itself.
void PinyinEngine::ReadFolds(Cursor& c, const std::string& path) {
  const std::uint32_t nChars = static_cast<std::uint32_t>(charCp_.size());
  fold_.resize(nChars);
  for (std::uint32_t i = 0; i < nChars; ++i) fold_[i] = static_cast<std::uint16_t>(i);
  const std::uint32_t nFolds = c.U32();
  const std::uint8_t* f = c.Take(std::size_t{nFolds} * 4);
  for (std::uint32_t i = 0; i < nFolds; ++i) {
    const std::uint16_t from = U16(f + 4 * i), to = U16(f + 4 * i + 2);
    if (from >= nChars || to >= nChars) throw std::runtime_error("拼音词典 " + path + " 已损坏（繁简表）");
    fold_[from] = to;
  }
}

// One phrase table, checked against the characters, with its indexes.
void PinyinEngine::ReadPhrases(Cursor& c, PhraseTable& t, const std::string& path) const {
  const std::uint32_t nChars = static_cast<std::uint32_t>(charCp_.size());
  t.count = c.U32();
  const std::uint32_t keyChars = c.U32();
  t.length = c.Take(t.count);
  t.cost = c.Take(std::size_t{t.count} * 2);
  t.keys = c.Take(std::size_t{keyChars} * 2);
  t.sel = c.Take(keyChars);
  t.start.resize(t.count + 1);
  std::uint32_t pos = 0;
  for (std::uint32_t i = 0; i < t.count; ++i) {
    t.start[i] = pos;
    if (t.length[i] == 0) throw std::runtime_error("拼音词典 " + path + " 已损坏（词表）");
    pos += t.length[i];
  }
  t.start[t.count] = pos;
  if (pos != keyChars) throw std::runtime_error("拼音词典 " + path + " 已损坏（词表长度）");
  for (std::uint32_t k = 0; k < keyChars; ++k) {
    if (U16(t.keys + 2 * k) >= nChars) throw std::runtime_error("拼音词典 " + path + " 已损坏（词条）");
  }
  IndexFirstCharacters(t, nChars);
  IndexPairs(t);
  for (std::uint32_t i = 0; i < t.count; ++i)
    for (std::uint32_t d = 0; d < t.length[i]; ++d) {
      const std::uint16_t id = U16(t.keys + 2 * (t.start[i] + d));
      if (t.sel[t.start[i] + d] >= charReadingCount_[id])
        throw std::runtime_error("拼音词典 " + path + " 已损坏（词条读音）");
    }
}

// Phrases are sorted by their characters: the phrases of one first character stand together.
void PinyinEngine::IndexFirstCharacters(PhraseTable& t, std::uint32_t nChars) {
  t.first.assign(nChars + 1, t.count);
  for (std::uint32_t i = t.count; i-- > 0;) t.first[U16(t.keys + 2 * t.start[i])] = i;
  for (std::uint32_t id = nChars; id-- > 0;)
    if (t.first[id] == t.count || t.first[id] > t.first[id + 1]) t.first[id] = t.first[id + 1];
}

// The pair index: phrases sharing their first two characters stand together. Its table holds
// twice as many slots as there are pairs (about half as many as phrases): never more than half full.
void PinyinEngine::IndexPairs(PhraseTable& t) {
  const auto pairOf = [&t](std::uint32_t i) {
    return static_cast<std::uint32_t>(U16(t.keys + 2 * t.start[i])) << 16 | U16(t.keys + 2 * (t.start[i] + 1));
  };
  std::vector<PhraseTable::PairSlot> groups;
  for (std::uint32_t i = 0; i < t.count;) {
    if (t.length[i] < 2) {
      ++i;
      continue;
    }
    const std::uint32_t key = pairOf(i);
    std::uint32_t j = i + 1;
    while (j < t.count && t.length[j] >= 2 && pairOf(j) == key) ++j;
    groups.push_back({key, i, j});
    i = j;
  }
  std::size_t slots = 1024;
  while (slots < groups.size() * 2) slots <<= 1;
  t.pairs.assign(slots, {});
  t.pairMask = static_cast<std::uint32_t>(slots - 1);
  t.pairShift = 32 - std::countr_zero(slots);
  for (const PhraseTable::PairSlot& g : groups) {
    std::uint32_t h = t.PairHome(g.key);
    while (t.pairs[h].key != 0xFFFFFFFF) h = (h + 1) & t.pairMask;
    t.pairs[h] = g;
  }
}

void PinyinEngine::IndexSingleCharacters() {
  // A character's cost as a word of its own: its single-character entry, else the floor.
  singleCost_.assign(charCp_.size(), kUnknownCost);
  for (std::uint32_t i = 0; i < words_.count; ++i)
    if (words_.length[i] == 1) singleCost_[U16(words_.keys + 2 * words_.start[i])] = U16(words_.cost + 2 * i);

  const std::uint16_t zhuan = CharId(U'传');
  if (zhuan != kNoChar) {
    for (std::uint8_t k = 0; k < charReadingCount_[zhuan]; ++k)
      if (Syllable(zhuan, k) == "zhuan") {
        zhuanId_ = zhuan, zhuanReading_ = k, hasZhuan_ = true;
      }
  }
}

std::uint16_t PinyinEngine::CharId(char32_t cp) const {
  if (cp < 0x10000) return static_cast<std::uint16_t>(bmpId_[cp] - 1);  // 0 - 1 wraps to kNoChar
  auto it = std::lower_bound(astralId_.begin(), astralId_.end(), std::make_pair(cp, std::uint16_t{0}));
  return it != astralId_.end() && it->first == cp ? it->second : kNoChar;
}

std::uint16_t PinyinEngine::KeyAt(const PhraseTable& t, std::uint32_t phrase, std::uint32_t d) const {
  return U16(t.keys + 2 * (t.start[phrase] + d));
}

std::string_view PinyinEngine::Syllable(std::uint16_t charId, std::uint8_t reading) const {
  if (reading >= charReadingCount_[charId]) reading = 0;
  return syllables_[readings_[charFirstReading_[charId] + reading]];
}

// Every phrase of the table that `ids` (n characters) begins with.
void PinyinEngine::Matches(const PhraseTable& t, const std::uint16_t* ids, std::size_t n,
                           std::vector<Match>& out) const {
  std::uint32_t lo = t.first[ids[0]], hi = t.first[ids[0] + 1];
  if (lo < hi && t.length[lo] == 1) out.push_back({lo, 1});
  if (n < 2) return;
  // The phrases that begin with the first two characters, from the pair index.
  const std::uint32_t key = static_cast<std::uint32_t>(ids[0]) << 16 | ids[1];
  std::uint32_t h = t.PairHome(key);
  while (t.pairs[h].key != key) {
    if (t.pairs[h].key == 0xFFFFFFFF) return;
    h = (h + 1) & t.pairMask;
  }
  lo = t.pairs[h].lo, hi = t.pairs[h].hi;
  for (std::uint32_t d = 2; lo < hi; ++d) {
    // [lo, hi) share the first d characters; a phrase of exactly d characters sorts first.
    if (t.length[lo] == d) {
      out.push_back({lo, static_cast<std::uint16_t>(d)});
      ++lo;
    }
    if (d >= n || lo >= hi) break;
    const std::uint16_t want = ids[d];
    std::uint32_t a = lo, b = hi;
    while (a < b) {  // first with key[d] >= want
      const std::uint32_t m = a + (b - a) / 2;
      if (KeyAt(t, m, d) < want) a = m + 1; else b = m;
    }
    std::uint32_t z = a, y = hi;
    while (z < y) {  // first with key[d] > want
      const std::uint32_t m = z + (y - z) / 2;
      if (KeyAt(t, m, d) <= want) z = m + 1; else y = m;
    }
    lo = a, hi = z;
  }
}

void PinyinEngine::Segment(const std::vector<std::uint16_t>& ids, const std::vector<std::uint16_t>& folded,
                           std::size_t from, std::vector<Token>& tokens) const {
  const std::size_t n = ids.size();
  struct Cell {
    std::uint32_t cost = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t count = 0;
    std::uint32_t phrase = kNoPhrase;
    std::uint16_t length = 0;
  };
  thread_local std::vector<Cell> best;
  thread_local std::vector<Match> found;
  best.assign(n + 1, Cell{});
  best[from].cost = 0;
  const bool anyFold = folded != ids;
  auto offer = [&](std::size_t s, std::uint32_t phrase, std::uint16_t len, std::uint32_t cost) {
    Cell& cell = best[s + len];
    const std::uint32_t total = best[s].cost + cost, count = best[s].count + 1;
    if (total < cell.cost || (total == cell.cost && count < cell.count)) cell = {total, count, phrase, len};
  };
  for (std::size_t s = from; s < n; ++s) {
    if (best[s].cost == std::numeric_limits<std::uint32_t>::max()) continue;
    offer(s, kNoPhrase, 1, singleCost_[ids[s]]);
    found.clear();
    Matches(words_, ids.data() + s, n - s, found);
    if (anyFold && !std::equal(ids.begin() + s, ids.end(), folded.begin() + s))
      Matches(words_, folded.data() + s, n - s, found);
    for (const Match& m : found) offer(s, m.phrase, m.length, U16(words_.cost + 2 * m.phrase));
  }
  const std::size_t mark = tokens.size();
  for (std::size_t e = n; e > from; e -= best[e].length) tokens.push_back({best[e].phrase, best[e].length, false});
  std::reverse(tokens.begin() + mark, tokens.end());
}

void PinyinEngine::PutSyllable(std::string& out, std::string_view syllable) const {
  if (!out.empty() && out.back() != ' ') out += ' ';
  out.append(syllable);
}

void PinyinEngine::ReadRun(std::string& out, const std::vector<std::uint16_t>& ids,
                           const std::vector<std::uint16_t>& folded, bool nameStart) const {
  thread_local std::vector<Token> tokens;
  tokens.clear();
  std::size_t from = 0;
  if (nameStart) {
    // The longest surname the name begins with. (Scratch kept per thread: a name is read per row.)
    thread_local std::vector<Match> surnames;
    surnames.clear();
    for (const auto* seq : {&ids, &folded}) {
      const std::uint16_t id = (*seq)[0];
      for (std::uint32_t i = surnames_.first[id]; i < surnames_.first[id + 1]; ++i) {
        const std::uint32_t len = surnames_.length[i];
        if (len > seq->size()) continue;
        bool same = true;
        for (std::uint32_t d = 0; d < len && same; ++d) same = KeyAt(surnames_, i, d) == (*seq)[d];
        if (same) surnames.push_back({i, static_cast<std::uint16_t>(len)});
      }
    }
    const Match* surname = surnames.empty() ? nullptr
                                            : &*std::max_element(surnames.begin(), surnames.end(),
                                                                 [](const Match& a, const Match& b) { return a.length < b.length; });
    thread_local std::vector<Match> found;
    found.clear();
    Matches(words_, ids.data(), ids.size(), found);
    Matches(words_, folded.data(), ids.size(), found);
    // A name the dictionary knows whole (贾平凹) is read whole, unless that reading gives its
    // surname another sound (单位 read as a name is shan wei, not dan wei).
    const auto whole = std::find_if(found.begin(), found.end(), [&](const Match& m) {
      if (m.length != ids.size()) return false;
      if (!surname) return true;
      for (std::uint32_t d = 0; d < surname->length; ++d)
        if (Syllable(KeyAt(words_, m.phrase, d), words_.sel[words_.start[m.phrase] + d]) !=
            Syllable(KeyAt(surnames_, surname->phrase, d), surnames_.sel[surnames_.start[surname->phrase] + d]))
          return false;
      return true;
    });
    if (whole != found.end()) {
      tokens.push_back({whole->phrase, whole->length, false});
      from = ids.size();
    } else if (surname) {
      tokens.push_back({surname->phrase, surname->length, true});
      from = surname->length;
    }
  }
  if (from < ids.size()) Segment(ids, folded, from, tokens);

  std::size_t pos = 0;
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    const Token& tok = tokens[t];
    if (tok.phrase == kNoPhrase) {
      const bool titleEndZhuan = hasZhuan_ && t + 1 == tokens.size() && ids.size() >= 2 && ids[pos] == zhuanId_;
      PutSyllable(out, titleEndZhuan ? Syllable(zhuanId_, static_cast<std::uint8_t>(zhuanReading_))
                                     : Syllable(ids[pos], 0));
    } else {
      const PhraseTable& table = tok.surname ? surnames_ : words_;
      for (std::uint32_t d = 0; d < tok.length; ++d)
        PutSyllable(out, Syllable(KeyAt(table, tok.phrase, d), table.sel[table.start[tok.phrase] + d]));
    }
    pos += tok.length;
  }
}

void PinyinEngine::Append(std::string& out, std::string_view utf8, bool names) const {
  thread_local std::vector<std::uint16_t> run, folded;
  thread_local std::string word;
  run.clear(), folded.clear(), word.clear();
  bool nameStart = true, runIsNameStart = false;
  int bracketDepth = 0;
  auto flushWord = [&] {
    std::size_t a = 0, b = word.size();
    while (a < b && IsStrippable(word[a])) ++a;
    while (b > a && IsStrippable(word[b - 1])) --b;
    if (a < b) {
      if (!out.empty() && out.back() != ' ') out += ' ';
      out.append(word, a, b - a);
    }
    word.clear();
  };
  auto flushRun = [&] {
    if (run.empty()) return;
    ReadRun(out, run, folded, names && runIsNameStart);
    run.clear();
    folded.clear();
  };
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = NextCodePoint(utf8, i);
    cp = text::HalfWidth(cp);
    if (cp == 0x3000) cp = ' ';
    const std::uint16_t id = cp >= 0x3000 ? CharId(cp) : kNoChar;
    if (id != kNoChar) {
      flushWord();
      if (run.empty()) {
        runIsNameStart = nameStart && bracketDepth == 0;
        if (bracketDepth == 0) nameStart = false;
      }
      run.push_back(id);
      folded.push_back(fold_[id]);
      continue;
    }
    flushRun();
    if (IsOpening(cp)) ++bracketDepth;
    if (IsClosing(cp) && bracketDepth > 0 && --bracketDepth == 0) nameStart = true;
    if (IsNameSeparator(cp) && bracketDepth == 0) nameStart = true;
    if (cp > 0x20 && cp < 0x7F) {
      word += static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp + 0x20 : cp);
    } else if (text::IsLatinLetter(cp)) {
      text::AppendUtf8(word, LowerLatin(cp));
    } else {
      flushWord();
    }
  }
  flushRun();
  flushWord();
}

std::string PinyinEngine::Pinyin(std::string_view utf8, bool names) const {
  std::string out;
  Append(out, utf8, names);
  return out;
}

}  // namespace rowcaster::pinyin
