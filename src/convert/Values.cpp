#include "convert/Values.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "platform/text/Gbk.h"
#include "platform/text/CharClass.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
std::string_view TrimWide(std::string_view s) {
  // The blanks (" ", tab, U+00A0, U+3000) begin with 0x20, 0x09, 0xC2 or 0xE3 and end with 0x20,
  // 0x09, 0xA0 or 0x80: most values neither begin nor end so, and are left undecoded.
  const auto mayBegin = [](char c) { return c == ' ' || c == '\t' || c == '\xC2' || c == '\xE3'; };
  const auto mayEnd = [](char c) { return c == ' ' || c == '\t' || c == '\xA0' || c == '\x80'; };
  if (s.empty() || (!mayBegin(s.front()) && !mayEnd(s.back()))) return s;
  while (!s.empty()) {
    std::size_t i = 0;
    if (!text::IsWideBlank(text::NextCodePoint(s, i))) break;
    s.remove_prefix(i);
  }
  while (!s.empty()) {
    std::size_t start = s.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    std::size_t i = start;
    if (!text::IsWideBlank(text::NextCodePoint(s, i))) break;
    s.remove_suffix(s.size() - start);
  }
  return s;
}

bool HasLineBreak(std::string_view value, bool orTab) {
  // Tab, LF and CR are the only bytes below 0x0E a value commonly holds: eight bytes at a time are
  // looked at closely only when one of them is that low.
  const auto breaks = [orTab](std::string_view part) {
    for (const char c : part)
      if (c == '\r' || c == '\n' || (orTab && c == '\t')) return true;
    return false;
  };
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  std::size_t i = 0;
  for (; i + 8 <= value.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, value.data() + i, 8);
    if (((word - kOnes * 0x0E) & ~word & kHigh) && breaks(value.substr(i, 8))) return true;
  }
  return breaks(value.substr(i));
}

std::string OneLine(std::string_view value) {
  if (!HasLineBreak(value, true)) return std::string(value);
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
    out += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
  }
  return out;
}

std::string ClassicOneLine(std::string_view value) {
  if (!HasLineBreak(value, false)) return std::string(value);
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;  // the LF makes the blank
    if (c == '\n') {
      out += ' ';
    } else if (c != '\r') {
      out += c;
    }
  }
  return out;
}

void MakeClassicOneLine(std::string& value) {
  if (HasLineBreak(value, false)) value = ClassicOneLine(value);
}

bool IsNoneValue(std::string_view v) {
  static constexpr std::string_view kNone[] = {"无", "暂无", "暂无简介", "暂无内容", "空", "无简介", "n/a", "na",
                                               "none", "null", "-", "--", "—", "——", "/", "#n/a", "不详", "0.jpg"};
  // Compared without case and without a lower-case copy: most values are none of these.
  const auto same = [](std::string_view a, std::string_view lower) {
    return a.size() == lower.size() &&
           std::equal(a.begin(), a.end(), lower.begin(), [](char c, char l) { return text::AsciiLower(c) == l; });
  };
  static constexpr std::uint32_t kSizes = [] {  // bit n: a word of n bytes
    std::uint32_t sizes = 0;
    for (const std::string_view none : kNone) sizes |= 1u << none.size();
    return sizes;
  }();
  static constexpr std::array<bool, 256> kLastBytes = [] {  // of the words, in either case
    std::array<bool, 256> last{};
    for (const std::string_view none : kNone) {
      const auto b = static_cast<unsigned char>(none.back());
      last[b] = true;
      if (b >= 'a' && b <= 'z') last[b - 32] = true;
    }
    return last;
  }();
  if (v.size() < 32 && (kSizes >> v.size()) & 1 && kLastBytes[static_cast<unsigned char>(v.back())])
    for (const std::string_view none : kNone)
      if (same(v, none)) return true;
  // An image file name where a text was expected (the cover of a shop list), without blanks.
  static constexpr std::string_view kImages[] = {".jpg", ".jpeg", ".png", ".gif", ".bmp", ".webp"};
  return EndsWithExtension(v, kImages) && v.find(' ') == std::string_view::npos;
}

std::string CleanValue(std::string_view value) {
  if (value.empty()) return {};
  const std::string_view trimmed = TrimWide(value);
  if (IsNoneValue(trimmed)) return {};
  if (trimmed.find('|') == std::string_view::npos) return std::string(trimmed);
  std::string out;
  out.reserve(trimmed.size());
  for (char c : trimmed) {
    if (c == '|') {
      out += "｜";
    } else {
      out += c;
    }
  }
  return out;
}

std::string CleanLine(std::string_view value) {
  return HasLineBreak(value, true) ? CleanValue(OneLine(value)) : CleanValue(value);
}

bool GbkHoldsAll(std::string_view value) { return text::GbkEncodesAll(value); }

std::string FoldForGbk(std::string_view value) {
  if (GbkHoldsAll(value)) return std::string(value);  // the common case, nothing to build
  // Pairs of a character GBK lacks and the look-alike it has.
  static constexpr std::array<std::pair<char32_t, char32_t>, 15> kFolds = {{
      {0xA0, U' '},     {0x2022, 0xB7},   {0x30FB, 0xB7},   {0xFF65, 0xB7},   {0x2027, 0xB7}, {0x2219, 0xB7},
      {0x2012, 0x2013}, {0x2015, 0x2014}, {0x2212, U'-'},   {0x2011, U'-'},   {0x2010, U'-'}, {0x201B, 0x2018},
      {0x201F, 0x201C}, {0x00B4, U'\''}, {0x02BC, 0x2019},
  }};
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size();) {
    char32_t c = text::NextCodePoint(value, i);
    if (!text::GbkEncodes(c)) {
      for (const auto& [from, to] : kFolds)
        if (c == from) c = to;
    }
    text::AppendUtf8(out, c);
  }
  return out;
}

}  // namespace rowcaster::convert
