#include "convert/Subjects.h"

#include <algorithm>

#include "convert/Values.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

bool IsPlaceholderTerm(std::string_view term) {
  static constexpr std::string_view kNone[] = {"其他", "其它", "无", "暂无", "不详", "空", "none", "-"};
  return std::find(std::begin(kNone), std::end(kNone), term) != std::end(kNone);
}

}  // namespace

std::vector<std::string> Subjects(std::string_view cell) {
  // Blanks part terms only among Han words: "Computer science" is one term.
  const bool blanksPart = text::HasHanIdeograph(cell);
  std::vector<std::string> out;
  // A term is the run of characters from `start` to the next separator.
  std::size_t start = 0;
  const auto flush = [&](std::size_t end) {
    const std::string_view t = TrimWide(cell.substr(start, end - start));
    if (!t.empty() && !IsPlaceholderTerm(t)) out.emplace_back(t);
  };
  for (std::size_t i = 0; i < cell.size();) {
    const std::size_t at = i;
    const char32_t c = text::NextCodePoint(cell, i);
    const bool blank = c == U' ' || c == 0x3000 || c == 0xA0;
    if (c == 0xFF1B || c == U';' || c == 0x3001 || c == U',' || c == 0xFF0C || (blank && blanksPart)) {
      flush(at);
      start = i;
    }
  }
  flush(cell.size());
  return out;
}

bool IsClassNumber(std::string_view value) {
  // The main classes: A-K, N-V, X, Z (no L, M, W, Y).
  const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (value.empty() || !upper(value[0]) || value[0] == 'L' || value[0] == 'M' || value[0] == 'W' || value[0] == 'Y')
    return false;
  std::size_t i = 1;
  if (i < value.size() && upper(value[i])) ++i;  // "TP312"
  if (i >= value.size() || !digit(value[i])) return false;
  // Then digits, letters and the signs of the classification's notation.
  return std::all_of(value.begin() + static_cast<std::ptrdiff_t>(i), value.end(), [&](char c) {
    return digit(c) || upper(c) || (c >= 'a' && c <= 'z') || std::string_view(".-=:/()\"+<>").find(c) != std::string_view::npos;
  });
}

std::string ClassNumber690(std::string_view cell, std::vector<Finding>& findings) {
  if (cell.empty() || IsClassNumber(cell)) return std::string(cell);
  findings.push_back(MakeFinding(Kind::NotAClassNumber, "690", {std::string(cell)}));
  return {};
}

}  // namespace rowcaster::convert
