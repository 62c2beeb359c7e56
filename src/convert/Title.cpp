#include "convert/Title.h"

#include <algorithm>
#include <optional>

#include "convert/Pinyin.h"
#include "convert/Values.h"
#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

using Into = TitlePiece::Into;

using text::U32;
using text::U8;

bool IsBlank(char32_t c) { return c == U' ' || c == 0x3000 || c == 0xA0 || c == U'\t'; }

std::u32string_view Trim(std::u32string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

constexpr std::u32string_view kHanDigits = U"〇一二三四五六七八九";

bool IsNumeral(char32_t c) {
  return (c >= U'0' && c <= U'9') || (c >= 0xFF10 && c <= 0xFF19) || kHanDigits.find(c) != std::u32string_view::npos ||
         c == U'零' || c == U'两' || c == U'十' || c == U'百';
}

// "3", "３", "三", "十二", "二十" as a number; nothing for other forms.
std::optional<int> NumberOf(std::u32string_view s) {
  if (s.empty()) return std::nullopt;
  int value = 0, digit = -1;
  for (const char32_t c : s) {
    const char32_t h = text::HalfWidth(c);
    if (h >= U'0' && h <= U'9') {
      value = value * 10 + static_cast<int>(h - U'0');
    } else if (kHanDigits.find(c) != std::u32string_view::npos || c == U'两') {
      digit = c == U'两' ? 2 : static_cast<int>(kHanDigits.find(c));
    } else if (c == U'十') {
      value += (digit < 0 ? 1 : digit) * 10;
      digit = -1;
    } else {
      return std::nullopt;
    }
  }
  return value + std::max(digit, 0);
}

// Where "第" + numerals + one of `units` ends `s`, or npos.
std::size_t NumberedSuffix(std::u32string_view s, std::u32string_view units) {
  if (s.size() < 3 || units.find(s.back()) == std::u32string_view::npos) return std::u32string_view::npos;
  std::size_t i = s.size() - 1;
  while (i > 0 && IsNumeral(s[i - 1])) --i;
  if (i == s.size() - 1 || i == 0 || s[i - 1] != U'第') return std::u32string_view::npos;
  return i - 1;
}

bool IsWhole(std::u32string_view s, std::u32string_view units) { return NumberedSuffix(s, units) == 0; }

bool OneOf(std::u32string_view s, std::initializer_list<std::u32string_view> list) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

bool IsEdition(std::u32string_view s) {
  return IsWhole(s, U"版") || OneOf(s, {U"修订版", U"增订版", U"修订本", U"增订本", U"增补本", U"修订增补本"});
}

bool IsBinding(std::u32string_view s) { return OneOf(s, {U"平装", U"精装", U"简装", U"线装", U"软精装"}); }

// A part's number: bare "上" "下" only inside brackets, where nothing else can be meant.
bool IsPartNumber(std::u32string_view s, bool bracketed) {
  if (bracketed && OneOf(s, {U"上", U"中", U"下"})) return true;
  return IsWhole(s, U"卷册辑编分部") ||
         OneOf(s, {U"上册", U"中册", U"下册", U"上卷", U"中卷", U"下卷", U"上编", U"下编"});
}

// "全3册", "共三卷": the count as 215 $a writes it.
std::optional<std::string> VolumeCount(std::u32string_view s) {
  if (s.size() < 3 || (s.front() != U'全' && s.front() != U'共') || (s.back() != U'册' && s.back() != U'卷'))
    return std::nullopt;
  const auto n = NumberOf(s.substr(1, s.size() - 2));
  if (!n || *n < 2) return std::nullopt;
  return std::to_string(*n) + "册";
}

// What a bracketed piece holds; a part's number with its name ("第2卷 远古时代") gives both.
std::vector<TitlePiece> Bracketed(std::u32string_view inner, const std::string& written) {
  const std::u32string_view s = Trim(inner);
  if (IsEdition(s)) return {{Into::Edition, written, U8(s)}};
  if (IsBinding(s)) return {{Into::Binding, written, U8(s)}};
  if (const auto count = VolumeCount(s)) return {{Into::Volumes, written, *count}};
  if (IsPartNumber(s, true)) return {{Into::PartNumber, written, U8(s)}};
  const std::size_t mark = s.find_first_of(U" 　:：");
  if (mark == std::u32string_view::npos) return {};
  const std::u32string_view number = s.substr(0, mark), name = Trim(s.substr(mark + 1));
  if (!IsPartNumber(number, true) || name.empty()) return {};
  return {{Into::PartNumber, written, U8(number)}, {Into::PartName, written, U8(name)}};
}

constexpr std::u32string_view kOpen = U"（([〔", kClose = U"）)]〕";
// The characters an unbracketed piece ends with: an edition 版 本, a binding 装, a part 卷 册 辑 编 分 部.
constexpr std::u32string_view kPieceEnds = U"版本装卷册辑编分部";

// One piece taken off the end of `s`; `s` keeps what is before it. Nothing when the end is title.
std::vector<TitlePiece> TakeTrailingPiece(std::u32string_view& s) {
  const std::u32string_view t = Trim(s);
  if (t.empty()) return {};
  if (const std::size_t kind = kClose.find(t.back()); kind != std::u32string_view::npos) {
    const std::size_t open = t.rfind(kOpen[kind]);
    if (open == std::u32string_view::npos || Trim(t.substr(0, open)).empty()) return {};
    std::vector<TitlePiece> pieces = Bracketed(t.substr(open + 1, t.size() - open - 2), U8(t.substr(open)));
    if (!pieces.empty()) s = t.substr(0, open);
    return pieces;
  }
  // Unbracketed, the piece must leave a title of at least two characters before it. Most titles
  // end in no character such a piece ends with and are left at once.
  if (kPieceEnds.find(t.back()) == std::u32string_view::npos) return {};
  for (std::size_t length = 2; length + 2 <= t.size() && length <= 6; ++length) {
    const std::u32string_view tail = t.substr(t.size() - length);
    std::optional<Into> into;
    if (IsEdition(tail)) into = Into::Edition;
    else if (IsBinding(tail)) into = Into::Binding;
    else if (IsPartNumber(tail, false) && tail.back() != U'部' && tail.back() != U'编') into = Into::PartNumber;
    if (!into) continue;
    s = t.substr(0, t.size() - length);
    return {{*into, U8(tail), U8(tail)}};
  }
  return {};
}

// The first subtitle mark, "：", ":" or "——", and its length; npos when there is none.
std::pair<std::size_t, std::size_t> SubtitleMark(std::u32string_view s) {
  const std::size_t colon = s.find_first_of(U":："), dash = s.find(U"——");
  if (dash < colon) return {dash, 2};
  return {colon, 1};
}

// Most titles neither end in a bracket or in a character an edition, a binding or a part ends with
// (see TakeTrailingPiece) nor hold a subtitle mark: such a title is the cell trimmed, and is not
// decoded. Nothing for any other title, and for one that is not well-formed UTF-8.
std::optional<std::string_view> PlainTitle(std::string_view cell) {
  const std::string_view t = TrimWide(cell);
  if (t.empty()) return t;
  if (t.find(':') != std::string_view::npos || t.find("：") != std::string_view::npos ||
      t.find("——") != std::string_view::npos)
    return std::nullopt;
  std::size_t last = t.size() - 1;
  while (last > 0 && (static_cast<unsigned char>(t[last]) & 0xC0) == 0x80) --last;
  std::size_t end = last;
  const char32_t c = text::NextCodePoint(t, end);
  if (end != t.size() || kClose.find(c) != std::u32string_view::npos || kPieceEnds.find(c) != std::u32string_view::npos)
    return std::nullopt;
  if (!text::IsValidUtf8(t)) return std::nullopt;
  return t;
}

}  // namespace

SplitOfTitle SplitTitle(std::string_view cell) {
  if (const auto plain = PlainTitle(cell)) return {std::string(*plain), {}, {}};
  const std::u32string whole = U32(cell);
  std::u32string_view rest = whole;
  SplitOfTitle split;
  for (std::vector<TitlePiece> taken; !(taken = TakeTrailingPiece(rest)).empty();)
    split.pieces.insert(split.pieces.begin(), taken.begin(), taken.end());
  rest = Trim(rest);
  const auto [at, length] = SubtitleMark(rest);
  if (at != std::u32string_view::npos) {
    const std::u32string_view before = Trim(rest.substr(0, at)), after = Trim(rest.substr(at + length));
    // "中国通史（第一卷）：远古时代": a part's number before the mark, its name after it.
    std::u32string_view proper = before;
    const std::vector<TitlePiece> number = after.empty() ? std::vector<TitlePiece>{} : TakeTrailingPiece(proper);
    if (number.size() == 1 && number[0].into == Into::PartNumber) {
      split.pieces.insert(split.pieces.begin(), {number[0], {Into::PartName, U8(after), U8(after)}});
      split.title = U8(Trim(proper));
      return split;
    }
    // "第一部：风起", "三体 第一部：…": the part before the mark names a part, not a title.
    const bool namesAPart = IsPartNumber(before, true) || NumberedSuffix(before, U"卷册辑编分部") != std::u32string_view::npos;
    if (before.size() >= 2 && !after.empty() && !namesAPart) {
      split.title = U8(before);
      split.subtitle = U8(after);
      return split;
    }
  }
  split.title = U8(rest);
  return split;
}

bool LooksLikeShopListing(std::string_view title) {
  // One pass over the characters for the signs 【 】 正版 包邮 畅销 赠送 附赠 赠品 现货 and the
  // exclamation marks. All are three-byte characters or "!", which no other character's bytes hold.
  std::size_t marks = 0;
  for (std::size_t i = 0; i < title.size();) {
    const char32_t c = text::PlainThreeByteAt(title, i);
    if (c == 0) {
      marks += title[i++] == '!' ? 1 : 0;
      continue;
    }
    i += 3;
    if (c == U'！') {
      ++marks;
      continue;
    }
    if (c == U'【' || c == U'】') return true;
    // The character after is read only after the first of a pair.
    if (c != U'正' && c != U'包' && c != U'畅' && c != U'赠' && c != U'附' && c != U'现') continue;
    const char32_t next = text::PlainThreeByteAt(title, i);
    if ((c == U'正' && next == U'版') || (c == U'包' && next == U'邮') || (c == U'畅' && next == U'销') ||
        (c == U'赠' && (next == U'送' || next == U'品')) || (c == U'附' && next == U'赠') || (c == U'现' && next == U'货'))
      return true;
  }
  if (marks >= 2) return true;
  if (title.size() <= 40) return false;  // up to 40 bytes are up to 40 characters
  const std::u32string t = U32(title);
  if (t.size() <= 40) return false;
  // A second title: joined by "+", a set, a second 《》, a gift.
  const bool secondTitle = t.find_first_of(U"+＋") != std::u32string::npos || t.find(U"套装") != std::u32string::npos ||
                           t.find(U"全套") != std::u32string::npos || std::count(t.begin(), t.end(), U'《') >= 2 ||
                           t.find(U'赠') != std::u32string::npos;
  return secondTitle;
}

bool IsTotalRow(std::string_view title) {
  // Each of the words ends in 计 but 结束: a title holding neither is none (most are not).
  if (title.find("计") == std::string_view::npos && title.find("结束") == std::string_view::npos) return false;
  const std::u32string t = U32(title);
  const std::u32string_view s = Trim(t);
  for (const std::u32string_view word : {U"合计", U"总计", U"小计", U"共计", U"结束"}) {
    if (!s.starts_with(word)) continue;
    // A count, an amount or a colon may follow: "合计：256册", "总计 1234.00元".
    return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(word.size()), s.end(), [](char32_t c) {
      return IsBlank(c) || IsNumeral(c) || std::u32string_view(U":：.,，册本种元件").find(c) != std::u32string_view::npos;
    });
  }
  return false;
}

void ApplyTitleRules(SubfieldValues& v, std::vector<Finding>& findings) {
  if (IsTotalRow(v[d200a])) throw ComposeError(MakeFinding(Kind::NotABook, "200 $a", {v[d200a]}));
  if (LooksLikeShopListing(v[d200a])) {
    findings.push_back(MakeFinding(Kind::ShopTitle, "200 $a"));
    return;
  }
  SplitOfTitle split = SplitTitle(v[d200a]);
  static constexpr std::pair<Param, std::string_view> kTargets[] = {
      {d205a, "205 $a"}, {d200h, "200 $h"}, {d200i, "200 $i"}, {d010b, "010 $b"}, {d215a, "215 $a"}};
  // A column of the row's own wins: a piece goes only where nothing else stands.
  const auto free = [&](Param p, const std::string& value) { return v[p].empty() || v[p] == value; };
  if (!split.subtitle.empty() && !free(d200e, split.subtitle)) return;
  for (const TitlePiece& piece : split.pieces) {
    if (piece.into == Into::Volumes && !v[d215a].empty()) continue;  // joined with the pages below
    if (!free(kTargets[static_cast<int>(piece.into)].first, piece.value)) return;
  }
  v[d200a] = split.title;
  if (!split.subtitle.empty()) {
    v[d200e] = split.subtitle;
    findings.push_back(MakeFinding(Kind::TitleSplit, "200 $e", {split.title, split.subtitle}));
  }
  for (const TitlePiece& piece : split.pieces) {
    const auto& [param, field] = kTargets[static_cast<int>(piece.into)];
    // "（全3册）" beside a page count: "3册（353页）".
    v[param] = piece.into == Into::Volumes && !v[d215a].empty() ? piece.value + "（" + v[d215a] + "）" : piece.value;
    findings.push_back(MakeFinding(Kind::TitlePartMoved, std::string(field), {piece.written}));
  }
}

}  // namespace rowcaster::convert
