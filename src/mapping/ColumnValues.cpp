#include "mapping/ColumnValues.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/text/Utf8.h"

namespace rowcaster::mapping {
namespace {

// What a code's values are expected to look like.
enum class Expect { Text, Isbn, Price, Year, Pages, Size, ClassNumber, Count };

constexpr std::pair<std::string_view, Expect> kExpected[] = {
    {"200a", Expect::Text},  {"200d", Expect::Text},  {"200e", Expect::Text},        {"200f", Expect::Text},
    {"200g", Expect::Text},  {"210a", Expect::Text},  {"210c", Expect::Text},        {"225a", Expect::Text},
    {"330a", Expect::Text},  {"606a", Expect::Text},  {"010a", Expect::Isbn},        {"010d", Expect::Price},
    {"210d", Expect::Year},  {"215a", Expect::Pages}, {"215d", Expect::Size},        {"690a", Expect::ClassNumber},
    {"905f", Expect::Count},
};

// `s` with full-width ASCII forms (１２, ＩＳＢＮ, ￥ excepted) as ASCII.
std::string HalfWidth(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t at = i;
    const char32_t c = text::NextCodePoint(s, i);
    if (c >= 0xFF01 && c <= 0xFF5E)
      out += static_cast<char>(text::HalfWidth(c));
    else
      out.append(s, at, i - at);
  }
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The lengths and starts of the runs of ASCII digits.
std::vector<std::pair<std::size_t, std::size_t>> DigitRuns(std::string_view s) {
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (std::size_t i = 0; i < s.size();) {
    if (!IsDigit(s[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    runs.emplace_back(start, i - start);
  }
  return runs;
}

bool HasDigit(std::string_view s) { return std::any_of(s.begin(), s.end(), IsDigit); }

// Digits with nothing but separators, signs and date words around them: 35.00, 2019-05-01, ¥42, 1.
bool OnlyNumbers(std::string_view s) {
  if (!HasDigit(s)) return false;
  for (std::size_t i = 0; i < s.size();) {
    const char32_t c = text::NextCodePoint(s, i);
    const bool ascii = c < 0x80 && (IsDigit(static_cast<char>(c)) ||
                                    std::string_view(" .,-+/:;%()$#").find(static_cast<char>(c)) != std::string_view::npos);
    if (!ascii && std::u32string_view(U"¥￥年月日·\u3000").find(c) == std::u32string_view::npos) return false;
  }
  return true;
}

// A price's marks: a currency, or a number with one or two decimals (35.00, 42.5).
bool PriceLike(std::string_view s) {
  for (std::string_view mark : {"¥", "￥", "$", "元", "RMB", "CNY", "rmb", "cny"})
    if (s.find(mark) != std::string_view::npos) return true;
  for (const auto& [start, length] : DigitRuns(s)) {
    const std::size_t end = start + length;
    if (end + 1 < s.size() && s[end] == '.' && IsDigit(s[end + 1]) &&
        (end + 2 >= s.size() || !IsDigit(s[end + 2]) || end + 3 >= s.size() || !IsDigit(s[end + 3])))
      return true;
  }
  return false;
}

// An ISBN's run of 10 or 13 digits (9 and an X), hyphens and blanks apart.
bool HasIsbn(std::string_view s) {
  std::string joined;
  for (char c : s)
    if (c != '-' && c != ' ') joined += c;
  for (const auto& [start, length] : DigitRuns(joined)) {
    const std::size_t end = start + length;
    if (length == 10 || length == 13) return true;
    if (length == 9 && end < joined.size() && (joined[end] == 'X' || joined[end] == 'x')) return true;
  }
  return false;
}

// A year: four digits from 1400 to 2099 starting a run (2019, 2019-05, 20190501, 201905), a date
// cell's serial number (five digits), or a year in Chinese numerals (一九八二年, 二〇一九).
bool HasYear(std::string_view s) {
  for (const auto& [start, length] : DigitRuns(s)) {
    if (length == 5) return true;
    if (length < 4) continue;
    const int year = std::stoi(std::string(s.substr(start, 4)));
    if (year >= 1400 && year <= 2099) return true;
  }
  int hanDigits = 0;
  for (std::size_t i = 0; i < s.size();) {
    const char32_t c = text::NextCodePoint(s, i);
    hanDigits = std::u32string_view(U"〇零一二三四五六七八九").find(c) != std::u32string_view::npos ? hanDigits + 1 : 0;
    if (hanDigits == 4) return true;
  }
  return false;
}

// A page count: a number of one to five digits that is no price (320, 320页, 320p, xii, 320).
bool PageCount(std::string_view s) {
  if (PriceLike(s)) return false;
  const auto runs = DigitRuns(s);
  return std::any_of(runs.begin(), runs.end(), [](const auto& run) { return run.second <= 5; });
}

// A CLC class number: one or two letters, then a digit (I247.5, TP312), or a main class alone (K).
bool ClassNumber(std::string_view s) {
  const auto letter = [&](std::size_t i) {
    return i < s.size() && ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'));
  };
  if (!letter(0)) return false;
  const std::size_t after = letter(1) ? 2 : 1;
  return after == s.size() || IsDigit(s[after]);
}

// A count of copies: a whole number (3, 3册, 12本).
bool Count(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i == 0 || i > 5) return false;
  const std::string_view rest = s.substr(i);
  return rest.empty() || rest == "册" || rest == "本" || rest == "套" || rest == "部" || rest == ".0";
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool Fits(Expect expect, std::string_view value) {
  switch (expect) {
    case Expect::Text: return !OnlyNumbers(value);
    case Expect::Isbn: return HasIsbn(value);
    case Expect::Price: return HasDigit(value);
    case Expect::Year: return HasYear(value);
    case Expect::Pages: return PageCount(value);
    case Expect::Size: return HasDigit(value);
    case Expect::ClassNumber: return ClassNumber(value);
    case Expect::Count: return Count(value);
  }
  return true;
}

Misfit MisfitOf(Expect expect) {
  switch (expect) {
    case Expect::Text: return Misfit::OnlyNumbers;
    case Expect::Isbn: return Misfit::NoIsbn;
    case Expect::Price: return Misfit::NoNumber;
    case Expect::Year: return Misfit::NoYear;
    case Expect::Pages: return Misfit::NoPageCount;
    case Expect::Size: return Misfit::NoNumber;
    case Expect::ClassNumber: return Misfit::NoClassNumber;
    case Expect::Count: return Misfit::NoCount;
  }
  return Misfit::None;
}

}  // namespace

ColumnSamples SampleColumns(const import::LoadedTable& table, std::size_t perColumn, std::size_t maxRows) {
  ColumnSamples samples(table.ColumnCount());
  std::size_t full = 0;
  std::vector<std::string_view> cells;
  for (std::size_t r = 0; r < table.RowCount() && r < maxRows && full < samples.size(); ++r) {
    table.Row(r, cells);
    for (std::size_t c = 0; c < samples.size() && c < cells.size(); ++c) {
      const std::string_view cell = Trimmed(cells[c]);
      if (cell.empty() || samples[c].size() >= perColumn) continue;
      samples[c].emplace_back(cell);
      if (samples[c].size() == perColumn) ++full;
    }
  }
  return samples;
}

ValueCheck CheckValues(std::string_view code, const std::vector<std::string>& values) {
  const auto* expected =
      std::find_if(std::begin(kExpected), std::end(kExpected), [&](const auto& e) { return e.first == code; });
  if (expected == std::end(kExpected) || values.empty()) return {};
  const Expect expect = expected->second;
  std::size_t fit = 0, prices = 0;
  const std::string* firstMisfit = nullptr;
  const std::string* firstPrice = nullptr;
  for (const std::string& raw : values) {
    const std::string value = HalfWidth(Trimmed(raw));
    if (Fits(expect, value)) {
      ++fit;
    } else if (!firstMisfit) {
      firstMisfit = &raw;
    }
    if (expect == Expect::Pages && PriceLike(value) && ++prices == 1) firstPrice = &raw;
  }
  if (fit * 2 >= values.size()) return {};
  // Pages that are prices say so: the column is the price, named wrongly.
  if (prices * 2 >= values.size()) return {Misfit::Prices, *firstPrice};
  return {MisfitOf(expect), *firstMisfit};
}

}  // namespace rowcaster::mapping
