#include "convert/Persons.h"

#include <algorithm>
#include <array>
#include <utility>

#include "convert/Values.h"
#include "platform/text/CharClass.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

// Role words, longest first so that 编著 wins over 著 and 主编 over 编; secondary roles give 702.
struct Role {
  std::string_view word;
  bool secondary;
};
constexpr std::array<Role, 52> kRoles = {{
    {"编著", false}, {"主编", false}, {"编写", false}, {"撰写", false}, {"撰文", false}, {"撰稿", false},
    {"选编", false}, {"改编", false}, {"编选", false}, {"编纂", false}, {"编辑", false}, {"合著", false},
    {"原著", false}, {"著述", false}, {"口述", false}, {"书绘", false}, {"文图", false}, {"编绘", false},
    {"总主编", false}, {"副主编", false}, {"执笔", false},
    {"编译", true},  {"译注", true},  {"译著", true},  {"翻译", true},  {"合译", true},  {"校注", true},
    {"校订", true},  {"校译", true},  {"审校", true},  {"审订", true},  {"主审", true},  {"点校", true},
    {"评注", true},  {"点评", true},  {"注释", true},  {"整理", true},  {"绘图", true},  {"插图", true},
    {"摄影", true},  {"绘画", true},  {"导读", true},  {"评", true},    {"审", true},    {"译", true},
    {"校", true},    {"注", true},    {"绘", true},    {"图", true},    {"著", false},   {"编", false},
    {"撰", false},
}};

// Endings that mark a body rather than a person.
constexpr std::string_view kBodies[] = {"出版社", "委员会", "编委会", "编辑部", "编写组", "研究会", "研究所", "研究院",
                                        "研究中心", "中心", "学会", "协会", "大学", "学院", "学校", "公司", "集团",
                                        "组", "部", "局", "厅", "馆", "办公室"};

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

const Role* RoleWord(std::string_view word) {
  for (const Role& r : kRoles)
    if (word == r.word) return &r;
  return nullptr;
}

// The role word a name ends with (longest), or nothing.
const Role* RoleEnding(std::string_view name) {
  const Role* best = nullptr;
  for (const Role& r : kRoles)
    if (name.size() > r.word.size() && name.ends_with(r.word) && (!best || r.word.size() > best->word.size())) best = &r;
  return best;
}

// A leading nationality or dynasty mark in brackets: [美] (美) （美） 〔清〕 【英】.
std::string TakeMark(std::string& name) {
  static constexpr std::pair<std::string_view, std::string_view> kBrackets[] = {
      {"[", "]"}, {"(", ")"}, {"（", "）"}, {"〔", "〕"}, {"【", "】"}, {"［", "］"}};
  for (const auto& [open, close] : kBrackets) {
    if (!name.starts_with(open)) continue;
    const std::size_t end = name.find(close, open.size());
    if (end == std::string::npos || end - open.size() > 12) continue;
    std::string mark = name.substr(open.size(), end - open.size());
    name = std::string(TrimWide(std::string_view(name).substr(end + close.size())));
    return std::string(TrimWide(mark));
  }
  return {};
}

// Splits at the separators , ， 、 ； ; / ／ and keeps "Surname, Forename" of Latin names together.
std::vector<std::string> Segments(std::string_view statement) {
  std::vector<std::string> pieces;
  std::string current;
  for (std::size_t i = 0; i < statement.size();) {
    const std::size_t at = i;
    const char32_t c = text::NextCodePoint(statement, i);
    const bool separator = c == U',' || c == 0xFF0C || c == 0x3001 || c == 0xFF1B || c == U';' || c == U'/' || c == 0xFF0F;
    if (!separator) {
      current.append(statement.substr(at, i - at));
      continue;
    }
    pieces.push_back(current);
    current.clear();
    if (c == U',') pieces.back() += '\x01';  // an ASCII comma may join a Latin surname to its forenames
  }
  pieces.push_back(current);
  std::vector<std::string> out;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    std::string piece = pieces[k];
    const bool comma = !piece.empty() && piece.back() == '\x01';
    if (comma) piece.pop_back();
    const std::string_view trimmed = TrimWide(piece);
    // "Silberschatz, Abraham": one Latin word, a comma, then Latin words that are no role.
    if (comma && k + 1 < pieces.size() && AllLatin(trimmed) && trimmed.find(' ') == std::string_view::npos) {
      std::string next = pieces[k + 1];
      if (!next.empty() && next.back() == '\x01') next.pop_back();
      if (AllLatin(TrimWide(next))) {
        out.push_back(std::string(trimmed) + ", " + std::string(TrimWide(next)));
        ++k;
        continue;
      }
    }
    out.push_back(std::string(trimmed));
  }
  return out;
}

std::vector<std::string> Words(std::string_view segment) {
  std::vector<std::string> words;
  std::string current;
  for (std::size_t i = 0; i < segment.size();) {
    const std::size_t at = i;
    const char32_t c = text::NextCodePoint(segment, i);
    if (text::IsWideBlank(c)) {
      if (!current.empty()) words.push_back(std::move(current));
      current.clear();
    } else {
      current.append(segment.substr(at, i - at));
    }
  }
  if (!current.empty()) words.push_back(std::move(current));
  return words;
}

bool IsCorporate(std::string_view name) {
  for (std::string_view end : kBodies)
    if (name.size() > end.size() && name.ends_with(end)) return true;
  return false;
}

// 等, 等著, 等编 … after the last name: the statement names only some of them.
std::string DropEtAl(std::string name) {
  for (;;) {
    const Role* role = RoleEnding(name);
    std::string_view stem = name;
    if (role) stem.remove_suffix(role->word.size());
    if (stem.size() > 3 && stem.ends_with("等")) {
      stem.remove_suffix(3);
      name = std::string(stem) + (role ? std::string(role->word) : std::string());
      continue;
    }
    return name;
  }
}

}  // namespace

std::vector<Responsible> SplitResponsibility(std::string_view statement) {
  std::vector<Responsible> all;
  std::size_t pending = 0;  // the first name still waiting for a role word
  const auto giveRole = [&](const Role& role) {
    for (std::size_t k = pending; k < all.size(); ++k) {
      all[k].role = std::string(role.word);
      all[k].secondary = role.secondary;
    }
    pending = all.size();
  };
  for (std::string segment : Segments(statement)) {
    std::string segmentMark = TakeMark(segment);  // "[美] Abraham Silberschatz"
    std::vector<std::string> words = Words(segment);
    // Latin words next to each other are one name ("Abraham Silberschatz"), and so are the words
    // of "Silberschatz, Abraham".
    std::vector<std::string> names;
    for (std::string& w : words) {
      if (!names.empty() && AllLatin(names.back()) && AllLatin(w) && !RoleWord(w)) {
        names.back() += " " + w;
      } else {
        names.push_back(std::move(w));
      }
    }
    for (std::string& word : names) {
      // "李仲轩 口述": a role word of its own; "… 等著": the same after 等.
      const std::string_view bare = std::string_view(word).starts_with("等") ? std::string_view(word).substr(3) : word;
      if (const Role* role = RoleWord(bare)) {
        giveRole(*role);
        continue;
      }
      if (word == "等") continue;
      Responsible r;
      std::string name = DropEtAl(word);
      r.mark = TakeMark(name);
      if (r.mark.empty()) r.mark = std::exchange(segmentMark, {});
      if (name.empty()) continue;  // a bare mark
      const Role* role = HasHan(name) ? RoleEnding(name) : nullptr;
      if (role) name.resize(name.size() - role->word.size());
      r.name = std::string(TrimWide(name));
      r.latin = AllLatin(r.name);
      r.corporate = IsCorporate(r.name);
      if (r.name.empty()) continue;
      all.push_back(std::move(r));
      if (role) giveRole(*role);
    }
  }
  for (std::size_t k = pending; k < all.size(); ++k) all[k].role = "著";
  return all;
}

std::string ResponsibleLines(const std::vector<Responsible>& all, const PinyinSource& pinyin) {
  std::string lines[4];  // 701, 702, 711, 712
  for (const Responsible& r : all) {
    const int kind = (r.corporate ? 2 : 0) + (r.secondary ? 1 : 0);
    std::string& out = lines[kind];
    out += kind == 0 ? "701" : kind == 1 ? "702" : kind == 2 ? "711" : "712";
    if (r.corporate) {
      out += " 02 |a " + r.name;
    } else if (r.latin) {
      // Surname first: "Silberschatz, Abraham" as it is, "Abraham Silberschatz" turned round.
      std::string surname = r.name, forenames;
      if (const std::size_t comma = r.name.find(", "); comma != std::string::npos) {
        surname = r.name.substr(0, comma);
        forenames = r.name.substr(comma + 2);
      } else if (const std::size_t blank = r.name.rfind(' '); blank != std::string::npos) {
        surname = r.name.substr(blank + 1);
        forenames = r.name.substr(0, blank);
      }
      out += "  1 |a " + surname + (forenames.empty() ? "" : " |b " + forenames);
    } else {
      out += "  0 |a " + r.name;
    }
    if (!r.latin && HasHan(r.name)) {
      const std::string reading(text::TrimBlanks(PinyinOf(pinyin, r.name, !r.corporate)));
      if (!reading.empty()) out += " |A " + reading;
    }
    if (!r.mark.empty()) out += " |c (" + r.mark + ")";
    out += " |4 " + r.role + "\r\n";
  }
  return lines[0] + lines[1] + lines[2] + lines[3];
}

}  // namespace rowcaster::convert
