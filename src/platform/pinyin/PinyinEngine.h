#pragma once
// The pinyin engine: Chinese text to toneless, lower-case pinyin, one blank between syllables.
// Words are read as words (银行 yin hang, 会计 kuai ji) by a most-probable segmentation over a
// phrase dictionary; in name mode a leading surname takes its surname reading (单 shan, 曾 zeng).
// Other text: full-width ASCII is folded to ASCII; a run of non-blank ASCII characters is kept as
// one lower-case word without the punctuation . , : ; ! ? ' " ( ) [ ] { } at its ends; Chinese
// punctuation and other symbols are dropped.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::pinyin {

class PinyinEngine {
 public:
  // Loads the dictionary file written by data/pinyin/generate.js. Throws std::runtime_error with a
  // one-line description when the file is missing or damaged.
  static std::shared_ptr<const PinyinEngine> Load(const std::string& path);

  // The pinyin of `utf8` (well-formed UTF-8); `names` reads it as personal names.
  std::string Pinyin(std::string_view utf8, bool names = false) const;
  void Append(std::string& out, std::string_view utf8, bool names) const;

  PinyinEngine(const PinyinEngine&) = delete;
  PinyinEngine& operator=(const PinyinEngine&) = delete;

 private:
  PinyinEngine() = default;
  struct PhraseTable {
    std::uint32_t count = 0;
    const std::uint8_t* length = nullptr;
    const std::uint8_t* cost = nullptr;  // u16, unaligned
    const std::uint8_t* keys = nullptr;  // u16 per key char, unaligned
    const std::uint8_t* sel = nullptr;   // reading index per key char
    std::vector<std::uint32_t> start;    // first key char of each phrase
    std::vector<std::uint32_t> first;    // first phrase of each first char id (size chars + 1)
    // The phrases of two or more characters that begin with a given pair: an open-addressing table
    // keyed by (first << 16 | second), giving [lo, hi) in the sorted phrases.
    struct PairSlot {
      std::uint32_t key = 0xFFFFFFFF, lo = 0, hi = 0;
    };
    std::vector<PairSlot> pairs;
    std::uint32_t pairMask = 0;
    int pairShift = 32;  // 32 - log2(pairs.size())
    // The first slot to look at for a pair key: the product's high bits, which every bit of the key
    // reaches (its low bits hold only the key's low bits: the second character).
    std::uint32_t PairHome(std::uint32_t key) const { return (key * 2654435761u) >> pairShift; }
  };
  struct Match {
    std::uint32_t phrase;
    std::uint16_t length;
  };
  struct Token {
    std::uint32_t phrase;  // index into the table, or kNone for a single character
    std::uint16_t length;
    bool surname;
  };

  // Loading, in the order of the file.
  class Cursor;
  void ReadCharacters(Cursor& c, const std::string& path);
  void ReadFolds(Cursor& c, const std::string& path);
  void ReadPhrases(Cursor& c, PhraseTable& t, const std::string& path) const;
  static void IndexFirstCharacters(PhraseTable& t, std::uint32_t nChars);
  static void IndexPairs(PhraseTable& t);
  void IndexSingleCharacters();

  std::uint16_t CharId(char32_t cp) const;
  std::uint16_t KeyAt(const PhraseTable& t, std::uint32_t phrase, std::uint32_t d) const;
  void Matches(const PhraseTable& t, const std::uint16_t* ids, std::size_t n, std::vector<Match>& out) const;
  void ReadRun(std::string& out, const std::vector<std::uint16_t>& ids, const std::vector<std::uint16_t>& folded,
               bool nameStart) const;
  void Segment(const std::vector<std::uint16_t>& ids, const std::vector<std::uint16_t>& folded, std::size_t from,
               std::vector<Token>& tokens) const;
  std::string_view Syllable(std::uint16_t charId, std::uint8_t reading) const;
  void PutSyllable(std::string& out, std::string_view syllable) const;

  std::vector<std::uint8_t> data_;
  std::vector<std::string> syllables_;
  std::vector<char32_t> charCp_;
  std::vector<std::uint32_t> charFirstReading_;
  std::vector<std::uint8_t> charReadingCount_;
  std::vector<std::uint16_t> readings_;
  std::vector<std::uint16_t> bmpId_;                           // code point → char id + 1 (0: none)
  std::vector<std::pair<char32_t, std::uint16_t>> astralId_;  // sorted, for code points past U+FFFF
  std::vector<std::uint16_t> fold_;                            // char id → simplified char id
  std::vector<std::uint16_t> singleCost_;                      // char id → cost as a one-char word
  std::uint16_t zhuanId_ = 0, zhuanReading_ = 0;               // 传 read zhuan at the end of a title
  bool hasZhuan_ = false;
  PhraseTable words_, surnames_;
};

}  // namespace rowcaster::pinyin
