#include "convert/Persons.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <unordered_map>
#include <utility>
#include <vector>

#include "convert/Values.h"
#include "platform/text/CharClass.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

// Role words; the longest one a name ends with wins (编著 over 著, 主编 over 编); secondary roles
// give 702. A role that only stands apart (辑, 书) is never cut off the end of a name: 王玉书.
struct Role {
  std::string_view word;
  bool secondary;
  bool apartOnly = false;
};
constexpr Role kRoles[] = {
    {"编著", false}, {"主编", false}, {"编写", false}, {"撰写", false}, {"撰文", false}, {"撰稿", false},
    {"选编", false}, {"改编", false}, {"编选", false}, {"编纂", false}, {"编辑", false}, {"合著", false},
    {"原著", false}, {"著述", false}, {"口述", false}, {"书绘", false}, {"文图", false}, {"编绘", false},
    {"总主编", false}, {"副主编", false}, {"执笔", false},
    {"编译", true},  {"译注", true},  {"译著", true},  {"翻译", true},  {"合译", true},  {"校注", true},
    {"校订", true},  {"校译", true},  {"审校", true},  {"审订", true},  {"主审", true},  {"点校", true},
    {"评注", true},  {"点评", true},  {"注释", true},  {"整理", true},  {"绘图", true},  {"插图", true},
    {"摄影", true},  {"绘画", true},  {"导读", true},  {"辑校", true},  {"辑注", true},  {"校对", true},
    {"审定", true},  {"评", true},    {"审", true},    {"译", true},    {"校", true},    {"注", true},
    {"绘", true},    {"图", true},    {"著", false},   {"编", false},   {"撰", false},   {"辑", false, true},
    {"书", false, true},
};

// Endings that mark a body rather than a person.
constexpr std::string_view kBodies[] = {"出版社", "委员会", "编委会", "编辑部", "编写组", "研究会", "研究所", "研究院",
                                        "研究中心", "中心", "学会", "协会", "大学", "学院", "学校", "公司", "集团",
                                        "组", "部", "局", "厅", "馆", "办公室", "工作室", "杂志社", "教研室",
                                        "研究室", "报社"};

// What vendors write into an author cell that names nobody.
constexpr std::string_view kPlaceholders[] = {"佚名", "不详", "无", "暂无", "暂无图片", "无名氏", "未知",
                                              "-", "--", "—", "——"};
// The cover's image file put into the wrong column: "img1010.jpg".
constexpr std::string_view kImageEndings[] = {".jpg", ".jpeg", ".png", ".gif", ".bmp", ".webp", ".tif"};

// Marks of a dynasty, a period or a Chinese region: the person is no foreign author.
constexpr std::string_view kHomeMarks[] = {"清", "明", "元", "宋", "唐", "汉", "晋", "隋", "秦", "周", "魏", "辽",
                                           "金", "北宋", "南宋", "西汉", "东汉", "西晋", "东晋", "南朝", "北朝",
                                           "五代", "三国", "先秦", "春秋", "战国", "民国", "近代", "现代", "当代",
                                           "中", "中国", "港", "台", "香港", "台湾", "澳门"};  // (澳) alone is Australia

// Nationality marks and the language their authors most often write in (MARC language codes); a
// country's mark may end in 国 (美国). Countries of many languages (瑞士, 比, 印) are not guessed.
constexpr std::pair<std::string_view, std::string_view> kMarkLanguages[] = {
    {"美", "eng"}, {"英", "eng"}, {"加", "eng"}, {"加拿大", "eng"}, {"澳", "eng"}, {"澳大利亚", "eng"},
    {"新西兰", "eng"}, {"爱尔兰", "eng"}, {"法", "fre"}, {"德", "ger"}, {"奥", "ger"}, {"奥地利", "ger"},
    {"日", "jpn"}, {"日本", "jpn"}, {"俄", "rus"}, {"俄罗斯", "rus"}, {"苏", "rus"}, {"苏联", "rus"},
    {"意", "ita"}, {"意大利", "ita"}, {"西", "spa"}, {"西班牙", "spa"}, {"墨", "spa"}, {"墨西哥", "spa"},
    {"阿根廷", "spa"}, {"哥伦比亚", "spa"}, {"智利", "spa"}, {"秘鲁", "spa"}, {"韩", "kor"}, {"朝", "kor"},
    {"朝鲜", "kor"}, {"葡", "por"}, {"葡萄牙", "por"}, {"巴西", "por"}, {"荷", "dut"}, {"荷兰", "dut"},
    {"瑞典", "swe"}, {"挪威", "nor"}, {"丹麦", "dan"}, {"芬", "fin"}, {"芬兰", "fin"}, {"波", "pol"},
    {"波兰", "pol"}, {"捷", "cze"}, {"捷克", "cze"}, {"匈", "hun"}, {"匈牙利", "hun"}, {"希腊", "gre"},
    {"古希腊", "grc"}, {"古罗马", "lat"}, {"以色列", "heb"}, {"土耳其", "tur"}, {"越", "vie"}, {"越南", "vie"},
    {"泰", "tha"}, {"泰国", "tha"}, {"伊朗", "per"}, {"波斯", "per"}, {"阿拉伯", "ara"}, {"埃及", "ara"}};

// Latin name suffixes; they stay with the name, in $c.
constexpr std::string_view kLatinSuffixes[] = {"Jr.", "Jr", "Sr.", "Sr", "II", "III", "IV"};

template <std::size_t N>
bool OneOf(std::string_view word, const std::string_view (&list)[N]) {
  return std::find(std::begin(list), std::end(list), word) != std::end(list);
}

// In names 〇 counts with the ideographs.
bool IsHan(char32_t c) { return text::IsHanIdeograph(c) || c == 0x3007; }

bool HasHan(std::string_view s) {
  for (std::size_t i = 0; i < s.size();)
    if (IsHan(text::NextCodePoint(s, i))) return true;
  return false;
}
bool AllLatin(std::string_view s) {
  bool letter = false;
  for (std::size_t i = 0; i < s.size();) {
    const char32_t c = text::NextCodePoint(s, i);
    if (IsHan(c)) return false;
    letter = letter || text::IsLatinLetter(c);
  }
  return letter;
}
bool OneHan(std::string_view s) {
  std::size_t i = 0;
  return !s.empty() && IsHan(text::NextCodePoint(s, i)) && i == s.size();
}

// The role words by word, and by their last character (longest first): every word of a statement
// is looked up, and the end of every name.
struct RoleIndex {
  std::unordered_map<std::string_view, const Role*> byWord;
  std::bitset<0x10000> lastCharacters;  // of the role words, all three-byte characters
  std::unordered_map<char32_t, std::vector<const Role*>> byLast;
  RoleIndex() {
    for (const Role& r : kRoles) {
      byWord.emplace(r.word, &r);
      const char32_t last = text::PlainThreeByteAt(r.word, r.word.size() - 3);
      lastCharacters.set(last);
      byLast[last].push_back(&r);
    }
    for (auto& [last, roles] : byLast)
      std::stable_sort(roles.begin(), roles.end(), [](const Role* a, const Role* b) { return a->word.size() > b->word.size(); });
  }
  // The last character of `word` when a role word ends with it; 0 for most words.
  char32_t RoleLast(std::string_view word) const {
    const char32_t last = word.size() >= 3 ? text::PlainThreeByteAt(word, word.size() - 3) : 0;
    return last != 0 && lastCharacters.test(last) ? last : 0;
  }
};
const RoleIndex& Roles() {
  static const RoleIndex index;
  return index;
}

const Role* RoleWord(std::string_view word) {
  if (Roles().RoleLast(word) == 0) return nullptr;  // most words: not looked up
  const auto& byWord = Roles().byWord;
  const auto it = byWord.find(word);
  return it == byWord.end() ? nullptr : it->second;
}

// A role word, or the one who has it: 译者, 作者, 校注者.
const Role* RoleOrDoer(std::string_view word) {
  if (const Role* r = RoleWord(word)) return r;
  if (word == "作者" || word == "著者") return RoleWord("著");
  if (word.size() > 3 && word.ends_with("者")) return RoleWord(word.substr(0, word.size() - 3));
  return nullptr;
}

// The role word a name ends with (longest), or nothing; the name must be longer than the word.
const Role* RoleEnding(std::string_view name) {
  const char32_t last = Roles().RoleLast(name);
  if (last == 0) return nullptr;
  for (const Role* r : Roles().byLast.at(last))
    if (name.size() > r->word.size() && name.ends_with(r->word) && !r->apartOnly) return r;
  return nullptr;
}

bool IsPlaceholder(std::string_view name) {
  return OneOf(name, kPlaceholders) || EndsWithExtension(name, kImageEndings);
}

bool IsInitial(std::string_view word) { return word.size() == 2 && text::IsLatinLetter(word[0]) && word[1] == '.'; }

// "S.", "Jr.", "S. E.": Latin words that are no name on their own.
bool IsLatinFragment(std::string_view name) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(name.find(' ', start), name.size());
    const std::string_view word = name.substr(start, end - start);
    if (!word.empty() && !IsInitial(word) && !OneOf(word, kLatinSuffixes)) return false;
    if (end == name.size()) return true;
    start = end + 1;
  }
}

// A foreign author: a nationality mark, or a name transliterated with "·".
bool IsForeign(const Responsible& r) {
  if (!r.mark.empty() && !OneOf(r.mark, kHomeMarks)) return true;
  for (std::string_view dot : {"·", "•", "・", "．"})
    if (r.name.find(dot) != std::string::npos) return true;
  return false;
}

// The closing bracket of an opening one, or nothing.
std::string_view ClosingOf(char32_t c) {
  switch (c) {
    case U'(': return ")";
    case 0xFF08: return "）";
    case U'[': return "]";
    case 0xFF3B: return "］";
    case 0x3014: return "〕";
    case 0x3010: return "】";
    default: return {};
  }
}

bool IsSeparator(char32_t c) {
  return c == U',' || c == 0xFF0C || c == 0x3001 || c == 0xFF1B || c == U';' || c == U'/' || c == 0xFF0F;
}

// Splits at the separators , ， 、 ； ; / ／ outside brackets and keeps "Surname, Forename" of Latin
// names and "Shotts, Jr." together; `out` (its room reused) gets the segments.
void Segments(std::string_view statement, std::vector<std::string>& out) {
  // The pieces between separators, as they stand in the statement, each with whether an ASCII
  // comma ended it (it may join a Latin surname to its forenames).
  struct Piece {
    std::string_view text;
    bool comma;
  };
  thread_local std::vector<Piece> pieces;  // room kept from statement to statement
  pieces.clear();
  std::string_view closing;  // of the bracket we are in
  std::size_t start = 0;
  for (std::size_t i = 0; i < statement.size();) {
    const std::size_t at = i;
    const char32_t c = text::NextCodePoint(statement, i);
    if (closing.empty()) closing = ClosingOf(c);
    else if (statement.substr(at, i - at) == closing) closing = {};
    if (!closing.empty() || !IsSeparator(c)) continue;
    pieces.push_back({statement.substr(start, at - start), c == U','});
    start = i;
  }
  pieces.push_back({statement.substr(start), false});
  // A piece's own last \x01 counts as a comma too: the comma was once written as that byte.
  const auto unmarked = [&](std::size_t k) {
    Piece p = pieces[k];
    if (!p.comma && p.text.ends_with('\x01')) {
      p.text.remove_suffix(1);
      p.comma = true;
    }
    return p;
  };
  out.clear();
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const auto [piece, comma] = unmarked(k);
    const std::string_view trimmed = TrimWide(piece);
    const std::string_view next = k + 1 < pieces.size() ? TrimWide(unmarked(k + 1).text) : std::string_view();
    if (comma && k + 1 < pieces.size() && AllLatin(trimmed)) {
      // "William E. Shotts, Jr. 著"
      if (OneOf(next.substr(0, next.find(' ')), kLatinSuffixes)) {
        out.push_back(std::string(trimmed).append(" ").append(next));
        ++k;
        continue;
      }
      // "Silberschatz, Abraham": one Latin word, a comma, then Latin words that are no role.
      if (trimmed.find(' ') == std::string_view::npos && AllLatin(next)) {
        out.push_back(std::string(trimmed).append(", ").append(next));
        ++k;
        continue;
      }
    }
    out.emplace_back(trimmed);
  }
}

struct Token {
  std::string text;
  bool bracket = false;      // the text between brackets
  bool blankBefore = false;  // a blank parts it from the token before
};

// A segment's words at blanks, with bracketed text as a token of its own: "加缪（Albert Camus）著"
// gives 加缪, Albert Camus, 著. Blanks inside brackets part nothing.
void Tokens(std::string_view segment, std::vector<Token>& tokens) {
  tokens.clear();
  // A word is a run of the segment's characters: taken whole once a blank, a bracket or the end
  // closes it.
  std::size_t start = std::string_view::npos;
  bool blank = false, blankBefore = false;
  const auto flush = [&](std::size_t end) {
    if (start != std::string_view::npos) tokens.push_back({std::string(segment.substr(start, end - start)), false, blankBefore});
    start = std::string_view::npos;
  };
  for (std::size_t i = 0; i < segment.size();) {
    const std::size_t at = i;
    const char32_t c = text::NextCodePoint(segment, i);
    if (text::IsWideBlank(c)) {
      flush(at);
      blank = true;
      continue;
    }
    const std::string_view close = ClosingOf(c);
    const std::size_t end = close.empty() ? std::string_view::npos : segment.find(close, i);
    if (end != std::string_view::npos) {
      flush(at);
      tokens.push_back({std::string(TrimWide(segment.substr(i, end - i))), true, std::exchange(blank, false)});
      i = end + close.size();
      continue;
    }
    if (start == std::string_view::npos) {
      start = at;
      blankBefore = std::exchange(blank, false);
    }
  }
  flush(segment.size());
}

// Words that make one name together: Latin words ("Abraham Silberschatz"), two single Han
// characters ("杨 婷": vendors pad two-character names to the width of three).
bool JoinsWith(std::string_view name, std::string_view next) {
  if (RoleOrDoer(next) || next.starts_with("等") || next == "副") return false;
  if (AllLatin(name) && AllLatin(next)) return true;
  return OneHan(name) && OneHan(next) && !RoleWord(name) && name != "副";
}

bool IsCorporate(std::string_view name) {
  if (name.starts_with("《")) return true;  // 《某某》编委会
  // Most names end in a character no body's ending ends with.
  static const std::bitset<0x10000> kLast = [] {
    std::bitset<0x10000> last;
    for (const std::string_view end : kBodies) last.set(text::PlainThreeByteAt(end, end.size() - 3));
    return last;
  }();
  const char32_t last = name.size() >= 3 ? text::PlainThreeByteAt(name, name.size() - 3) : 0;
  if (last == 0 || !kLast.test(last)) return false;
  for (std::string_view end : kBodies)
    if (name.size() > end.size() && name.ends_with(end)) return true;
  return false;
}

// 等, 等著, 等编 … after the last name: the statement names only some of them.
std::string DropEtAl(std::string name, bool& dropped) {
  for (;;) {
    const Role* role = RoleEnding(name);
    std::string_view stem = name;
    if (role) stem.remove_suffix(role->word.size());
    if (stem.size() > 3 && stem.ends_with("等")) {
      stem.remove_suffix(3);
      dropped = true;
      name = std::string(stem) + (role ? std::string(role->word) : std::string());
      continue;
    }
    return name;
  }
}

// "William E. Shotts Jr.": the suffix goes to $c.
void TakeLatinSuffix(Responsible& r) {
  const std::size_t blank = r.name.rfind(' ');
  if (blank == std::string::npos || !OneOf(std::string_view(r.name).substr(blank + 1), kLatinSuffixes)) return;
  r.addition = r.name.substr(blank + 1);
  r.name.resize(blank);
  while (!r.name.empty() && (r.name.back() == ',' || r.name.back() == ' ')) r.name.pop_back();
}

// Reads the statements of one cell into persons, each statement's role words giving roles.
class Reader {
 public:
  // `firstOnly`: reading stops once a name is read (a name is whole when it is read).
  explicit Reader(std::vector<Finding>* findings, bool firstOnly = false) : firstOnly_(firstOnly), findings_(findings) {}
  void Statement(std::string_view statement);
  bool Done() const { return firstOnly_ && !persons_.empty(); }
  std::vector<Responsible> Take() { return std::move(persons_); }

 private:
  // What the reading knows of a person beside what it hands out.
  struct Reading {
    bool roleGiven = false;
    bool afterBlank = false;  // parted from the person before by a blank only
  };
  void Segment(const std::vector<Token>& tokens);
  void Bracket(const Token& t);
  bool Word(const std::string& word, bool afterBlank);
  void GiveRole(const Role& role);
  void CloseGroup(std::size_t end);
  void InferTranslators(std::size_t from);
  void Add(Kind kind, std::string field, std::vector<std::string> values) {
    if (findings_) findings_->push_back(MakeFinding(kind, std::move(field), std::move(values)));
  }

  std::vector<Responsible> persons_;
  std::vector<Reading> readings_;  // by person
  std::size_t pending_ = 0;            // the first person still waiting for a role word
  std::size_t blankStart_ = 0;         // the last person parted by a blank from the one before
  const Role* given_ = nullptr;        // "译者:" before the statement's names
  std::string mark_;                   // a mark waiting for the next name
  bool lastWasName_ = false;           // a bracket may still belong to the last name
  bool firstOnly_;
  std::vector<Finding>* findings_;
};

void Reader::Statement(std::string_view statement) {
  const std::size_t first = persons_.size();
  pending_ = first;
  given_ = nullptr;
  mark_.clear();
  // "译者:张三", "校注：李四": the role before a colon holds for the statement.
  for (std::string_view colon : {":", "："}) {
    const std::size_t at = statement.find(colon);
    if (at == std::string_view::npos) continue;
    if (const Role* role = RoleOrDoer(TrimWide(statement.substr(0, at)))) {
      given_ = role;
      statement.remove_prefix(at + colon.size());
      break;
    }
  }
  // Room kept from statement to statement: a statement is read whole before the next.
  thread_local std::vector<std::string> segments;
  thread_local std::vector<Token> tokens;
  Segments(statement, segments);
  for (const std::string& segment : segments) {
    Tokens(segment, tokens);
    Segment(tokens);
    if (Done()) return;
  }
  CloseGroup(persons_.size());
  InferTranslators(first);
}

void Reader::Segment(const std::vector<Token>& tokens) {
  bool named = false;  // a person of this segment was read
  lastWasName_ = false;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].bracket) {
      Bracket(tokens[i]);
      continue;
    }
    const bool blank = tokens[i].blankBefore;
    std::string word = tokens[i].text;
    while (i + 1 < tokens.size() && !tokens[i + 1].bracket && JoinsWith(word, tokens[i + 1].text))
      word += (AllLatin(word) ? " " : "") + tokens[++i].text;
    // "副 主编"
    if (word == "副" && i + 1 < tokens.size() && RoleWord("副" + tokens[i + 1].text)) word += tokens[++i].text;
    if (Word(word, blank && named)) named = true;
  }
}

// After a name, its original form ("罗恩·彻诺(Ron Chernow)") or nationality ("Galen Grimes（美国）");
// before one, its nationality or dynasty ("[美]", "〔清〕").
void Reader::Bracket(const Token& t) {
  if (t.text.empty()) return;
  if (lastWasName_ && !persons_.empty()) {
    Responsible& p = persons_.back();
    if (AllLatin(t.text) && !p.latin && p.original.empty()) {
      p.original = t.text;
      return;
    }
    if (const Role* role = RoleOrDoer(t.text)) {
      GiveRole(*role);
      lastWasName_ = false;
      return;
    }
    if (!t.blankBefore && p.mark.empty() && HasHan(t.text) && t.text.size() <= 12) {
      p.mark = t.text;
      return;
    }
  }
  if (HasHan(t.text) && t.text.size() <= 12) mark_ = t.text;
}

// One word of a segment: a role word, a name with its role word, or nothing to write.
bool Reader::Word(const std::string& word, bool afterBlank) {
  lastWasName_ = false;
  // "李仲轩 口述": a role word of its own; "… 等著": the same after 等.
  const std::string_view bare = std::string_view(word).starts_with("等") ? std::string_view(word).substr(3) : word;
  if (bare.size() != word.size() && !persons_.empty()) persons_.back().etAl = true;
  if (const Role* role = RoleOrDoer(bare)) {
    GiveRole(*role);
    return false;
  }
  if (word == "等" || word == "副") return false;
  bool etAl = false;
  std::string name = DropEtAl(word, etAl);
  const Role* role = HasHan(name) ? RoleEnding(name) : nullptr;
  if (role) name.resize(name.size() - role->word.size());
  Responsible r;
  r.name = std::string(TrimWide(name));
  if (r.name.empty()) return false;
  if (IsPlaceholder(r.name)) {
    Add(Kind::NotAPerson, "7XX", {r.name});
    return false;
  }
  r.etAl = etAl;
  r.latin = AllLatin(r.name);
  r.corporate = IsCorporate(r.name);
  if (r.latin) TakeLatinSuffix(r);
  if (r.latin && IsLatinFragment(r.name)) {
    // A lone "Jr." after a name is that name's; a lone initial names nobody.
    if (!persons_.empty() && persons_.back().latin && persons_.back().addition.empty() &&
        OneOf(r.name, kLatinSuffixes)) {
      persons_.back().addition = r.name;
    } else {
      Add(Kind::NameFragment, "7XX", {r.name});
    }
    if (role) GiveRole(*role);
    return false;
  }
  r.mark = std::exchange(mark_, {});
  if (afterBlank) blankStart_ = persons_.size();
  if (persons_.empty()) {  // most cells name up to four
    persons_.reserve(4);
    readings_.reserve(4);
  }
  persons_.push_back(std::move(r));
  readings_.push_back({false, afterBlank});
  lastWasName_ = !role;
  if (role) GiveRole(*role);
  return true;
}

void Reader::GiveRole(const Role& role) {
  // "（日）某某  张三 审校", "村上春树 林少华 译": a secondary role word reaches back no further than
  // the last blank between names; a main one ("王小明 李华 编著") is shared.
  if (role.secondary && blankStart_ > pending_ && blankStart_ < persons_.size()) CloseGroup(blankStart_);
  for (std::size_t k = pending_; k < persons_.size(); ++k) {
    persons_[k].role = std::string(role.word);
    persons_[k].secondary = role.secondary;
    readings_[k].roleGiven = true;
  }
  pending_ = persons_.size();
}

// The persons no role word reached: the statement's role, or 著.
void Reader::CloseGroup(std::size_t end) {
  for (std::size_t k = pending_; k < end; ++k) {
    persons_[k].role = given_ ? std::string(given_->word) : "著";
    persons_[k].secondary = given_ && given_->secondary;
    persons_[k].roleAssumed = given_ == nullptr;
    readings_[k].roleGiven = given_ != nullptr;
  }
  pending_ = end;
}

// "（法）某某·某某  张三": a bare Han name after a foreign author is the translator's.
void Reader::InferTranslators(std::size_t from) {
  for (std::size_t k = from + 1; k < persons_.size(); ++k) {
    Responsible& p = persons_[k];
    const Responsible& before = persons_[k - 1];
    if (readings_[k].roleGiven || !readings_[k].afterBlank || p.latin || p.corporate || !p.mark.empty() || !HasHan(p.name))
      continue;
    if (before.secondary || before.corporate || !IsForeign(before)) continue;
    p.role = "译";
    p.secondary = true;
    p.roleAssumed = false;  // told as a translator instead
    Add(Kind::TranslatorInferred, "702", {p.name});
  }
}

}  // namespace
namespace {

// The statements of a cell read one by one: "张三 著｜译者:李四｜校注:王五" holds three, apart at the bars.
std::vector<Responsible> Read(std::string_view statement, Reader reader) {
  // Most cells hold one statement: without a bar among their bytes, and without the lead bytes of
  // overlong forms (E0, F0) that could be read as one, they are not read character by character.
  if (statement.find('|') == std::string_view::npos && statement.find("｜") == std::string_view::npos &&
      statement.find('\xE0') == std::string_view::npos && statement.find('\xF0') == std::string_view::npos) {
    reader.Statement(statement);
    return reader.Take();
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i <= statement.size() && !reader.Done();) {
    const std::size_t at = i;
    const char32_t c = i < statement.size() ? text::NextCodePoint(statement, i) : (++i, U'|');
    if (c != U'|' && c != 0xFF5C) continue;
    reader.Statement(statement.substr(start, at - start));
    start = i;
  }
  return reader.Take();
}

}  // namespace

std::vector<Responsible> SplitResponsibility(std::string_view statement, std::vector<Finding>* findings) {
  return Read(statement, Reader(findings));
}

std::string FirstResponsibleName(std::string_view statement) {
  std::vector<Responsible> first = Read(statement, Reader(nullptr, true));
  return first.empty() ? std::string() : std::move(first.front().name);
}

void OnePerPerson(std::vector<Responsible>& all, std::vector<Finding>* findings) {
  // The persons kept stay at the front, in their order; most lists repeat nobody and move nothing.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    Responsible& r = all[i];
    const auto end = all.begin() + static_cast<std::ptrdiff_t>(kept);
    const auto same = std::find_if(all.begin(), end, [&](const Responsible& k) {
      return k.name == r.name && k.corporate == r.corporate;
    });
    if (same == end) {
      if (i != kept) all[kept] = std::move(r);
      ++kept;
      continue;
    }
    std::string dropped = r.role;
    if (same->secondary && !r.secondary) {  // the main role wins
      dropped = std::exchange(same->role, r.role);
      same->secondary = false;
    }
    if (same->mark.empty()) same->mark = r.mark;
    if (same->original.empty()) same->original = r.original;
    if (findings) findings->push_back(MakeFinding(Kind::SamePersonOnce, "7XX", {same->name, dropped}));
  }
  all.erase(all.begin() + static_cast<std::ptrdiff_t>(kept), all.end());
}

std::vector<std::string> ResponsibilityGroups(const std::vector<Responsible>& all) {
  std::vector<std::string> groups;
  for (std::size_t k = 0; k < all.size(); ++k) {
    const Responsible& r = all[k];
    // A name of the same role as the one before joins its group, before the role they share.
    const bool joins = k > 0 && all[k - 1].role == r.role;
    std::string& group = joins ? groups.back() : groups.emplace_back();
    if (joins) {
      group.resize(group.size() - r.role.size());
      group.append("，");
    }
    if (!r.mark.empty()) group.append("(").append(r.mark).append(")");
    group.append(r.name);
    if (!r.addition.empty()) group.append(" ").append(r.addition);
    if (!r.original.empty()) group.append("(").append(r.original).append(")");
    if (r.etAl) group.append("等");
    group.append(r.role);
  }
  return groups;
}

Translation TranslationOf(const std::vector<Responsible>& all) {
  Translation t;
  const Responsible* marked = nullptr;
  for (const Responsible& r : all) {
    if (r.role.find("译") != std::string::npos) t.translated = true;
    if (r.mark.empty() || OneOf(r.mark, kHomeMarks)) continue;
    // An author's mark tells the original language rather than an editor's or translator's.
    if (!marked || (marked->secondary && !r.secondary)) marked = &r;
  }
  if (!marked) return t;
  t.translated = true;
  t.mark = marked->mark;
  std::string_view country = t.mark;
  if (country.size() > 3 && country.ends_with("国")) country.remove_suffix(3);
  for (const auto& [mark, language] : kMarkLanguages)
    if (mark == t.mark || mark == country) t.language = language;
  return t;
}

namespace {

// One 7XX line; `kind` 0 to 3 for 701, 702, 711, 712.
void AppendResponsibleLine(std::string& out, const Responsible& r, int kind, const PinyinSource& pinyin) {
  out += kind == 0 ? "701" : kind == 1 ? "702" : kind == 2 ? "711" : "712";
  if (r.corporate) {
    out.append(" 02 |a ").append(r.name);
  } else if (r.latin) {
    // Surname first: "Silberschatz, Abraham" as it is, "Abraham Silberschatz" turned round.
    std::string_view surname = r.name, forenames;
    if (const std::size_t comma = r.name.find(", "); comma != std::string::npos) {
      surname = std::string_view(r.name).substr(0, comma);
      forenames = std::string_view(r.name).substr(comma + 2);
    } else if (const std::size_t blank = r.name.rfind(' '); blank != std::string::npos) {
      surname = std::string_view(r.name).substr(blank + 1);
      forenames = std::string_view(r.name).substr(0, blank);
    }
    out.append("  1 |a ").append(surname);
    if (!forenames.empty()) out.append(" |b ").append(forenames);
  } else {
    out.append("  0 |a ").append(r.name);
  }
  if (!r.latin && HasHan(r.name)) {
    // A transliterated foreign name has no Chinese surname: 查理 is cha li, not zha li.
    const std::string pinyinText = PinyinOf(pinyin, r.name, !r.corporate && !IsForeign(r));
    const std::string_view reading = text::TrimBlanks(pinyinText);
    if (!reading.empty()) out.append(" |A ").append(reading);
  }
  if (!r.addition.empty()) out.append(" |c ").append(r.addition);
  if (!r.mark.empty()) out.append(" |c (").append(r.mark).append(")");
  if (!r.original.empty()) out.append(" |g ").append(r.original);
  if (!r.role.empty()) out.append(" |4 ").append(r.role);
  out += "\r\n";
}

}  // namespace

void AppendResponsibleLines(std::string& out, const std::vector<Responsible>& all, const PinyinSource& pinyin) {
  // A pass for each tag: a record names a few persons.
  for (int kind = 0; kind < 4; ++kind)
    for (const Responsible& r : all)
      if ((r.corporate ? 2 : 0) + (r.secondary ? 1 : 0) == kind) AppendResponsibleLine(out, r, kind, pinyin);
}

}  // namespace rowcaster::convert
