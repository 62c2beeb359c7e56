#pragma once
// What a cell's text becomes before it goes into a record.

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/Utf8.h"

namespace rowcaster::convert {

// A value's line breaks (CR LF, LF, CR) and tabs each become one blank, so a value stays on its
// template line (nothing after a line break is lost, no line of its own is made): the recommended
// rules' values, and the texts of the tab-separated row report.
std::string OneLine(std::string_view value);

// The classic rules' values: a line break (CR LF or LF) becomes one blank so the value stays on its
// template line; a lone CR is dropped, as the work form's lines drop it; a tab stays.
std::string ClassicOneLine(std::string_view value);
// ClassicOneLine in place; a value without a line break is left untouched.
void MakeClassicOneLine(std::string& value);

// `s` without blanks (ASCII, U+3000, NBSP, tab) at either end.
std::string_view TrimWide(std::string_view s);

// The recommended rules for every value: blanks (ASCII, U+3000, NBSP) trimmed at both ends; a
// value that only says "none" (无, 暂无, 暂无简介, 空, N/A, -, an image file name …) made empty; a
// "|" kept as text ("｜"), never a subfield mark.
std::string CleanValue(std::string_view value);
// Whether the text holds CR or LF (or a tab, when asked): one pass, where find_first_of would
// search the set once for every character.
bool HasLineBreak(std::string_view value, bool orTab);
// CleanValue of the value on one line (OneLine), without a copy when it is one already.
std::string CleanLine(std::string_view value);
bool IsNoneValue(std::string_view trimmed);
// Whether CleanLine gives `value` back as it is (most cells): one line without tabs or bars,
// trimmed, not a word for "none". With `lineChecked` the caller has looked for the breaks, tabs and
// bars already. Inline: it is asked of every cell.
inline bool CleanLeavesAsIs(std::string_view value, bool lineChecked = false) {
  if (value.empty()) return true;
  if (!lineChecked && (HasLineBreak(value, true) || value.find('|') != std::string_view::npos)) return false;
  return TrimWide(value).size() == value.size() && !IsNoneValue(value);
}
// Whether `name` ends with one of `extensions` (written small, five bytes at most: ".jpeg"), in
// either case, after at least one other character: an image file's name where a text was expected.
template <std::size_t N>
bool EndsWithExtension(std::string_view name, const std::string_view (&extensions)[N]) {
  // An extension's dot is in the name's last five bytes, where most names have none.
  if (name.substr(name.size() - std::min<std::size_t>(name.size(), 5)).find('.') == std::string_view::npos) return false;
  return std::any_of(std::begin(extensions), std::end(extensions), [&](std::string_view ext) {
    return name.size() > ext.size() && std::equal(ext.begin(), ext.end(), name.end() - ext.size(),
                                                  [](char e, char c) { return text::AsciiLower(c) == e; });
  });
}

// `value` with its full-width forms as ASCII (text::HalfWidth) and every character then given to
// `rule` (char32_t to char32_t, ASCII to ASCII), which may change it further. ASCII bytes are not
// decoded: most values are ASCII or have little beyond it.
template <typename Rule>
std::string NarrowWith(std::string_view value, Rule rule) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size();) {
    if (const auto a = static_cast<unsigned char>(value[i]); a < 0x80) {
      out += static_cast<char>(rule(static_cast<char32_t>(a)));
      ++i;
      continue;
    }
    text::AppendUtf8(out, rule(text::HalfWidth(text::NextCodePoint(value, i))));
  }
  return out;
}

// Characters that GBK lacks but has a look-alike for (NBSP → blank, • ・ ･ → ·, dashes and
// quotes under another code point) replaced by it.
std::string FoldForGbk(std::string_view value);
// Whether GBK has every character of `value` (UTF-8).
bool GbkHoldsAll(std::string_view value);

}  // namespace rowcaster::convert
