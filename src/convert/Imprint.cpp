#include "convert/Imprint.h"

#include <array>

#include "convert/Values.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

bool IsColon(char32_t c) { return c == U':' || c == 0xFF1A; }
bool IsComma(char32_t c) { return c == U',' || c == 0xFF0C; }

std::string Trim(std::string_view s) { return std::string(TrimWide(s)); }

// Byte offset of the first character for which `is` holds, or npos.
template <typename Pred>
std::size_t FindChar(std::string_view s, Pred is, std::size_t from = 0) {
  for (std::size_t i = from; i < s.size();) {
    const std::size_t at = i;
    if (is(text::NextCodePoint(s, i))) return at;
  }
  return std::string_view::npos;
}

template <typename Pred>
std::size_t FindLastChar(std::string_view s, Pred is) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t at = i;
    if (is(text::NextCodePoint(s, i))) last = at;
  }
  return last;
}

std::size_t CharBytesAt(std::string_view s, std::size_t at) {
  std::size_t i = at;
  text::NextCodePoint(s, i);
  return i - at;
}

// "地：社，年" → its parts; false when the value holds no colon.
bool SplitCombined(std::string_view value, Imprint& out) {
  const std::size_t colon = FindChar(value, IsColon);
  if (colon == std::string_view::npos) return false;
  out.place = Trim(value.substr(0, colon));
  std::string_view rest = value.substr(colon + CharBytesAt(value, colon));
  // A date after the last comma, when it holds a year.
  const std::size_t comma = FindLastChar(rest, IsComma);
  if (comma != std::string_view::npos && ParseYear(rest.substr(comma))) {
    out.date = Trim(rest.substr(comma + CharBytesAt(rest, comma)));
    rest = rest.substr(0, comma);
  }
  out.publisher = Trim(rest);
  return true;
}

int DigitOf(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= 0xFF10 && c <= 0xFF19) return static_cast<int>(c - 0xFF10);
  static constexpr std::array<char32_t, 10> kHan = {0x3007, 0x4E00, 0x4E8C, 0x4E09, 0x56DB,
                                                    0x4E94, 0x516D, 0x4E03, 0x516B, 0x4E5D};  // 〇一二…九
  for (int d = 0; d < 10; ++d)
    if (c == kHan[d]) return d;
  if (c == 0x96F6) return 0;  // 零
  return -1;
}

}  // namespace

Imprint SplitImprint(std::string_view place, std::string_view publisher, std::string_view date) {
  Imprint result{Trim(place), Trim(publisher), Trim(date)};
  Imprint combined;
  if (SplitCombined(result.publisher, combined) || SplitCombined(result.place, combined)) {
    const bool placeWasCombined = FindChar(result.place, IsColon) != std::string_view::npos;
    const bool publisherWasCombined = FindChar(result.publisher, IsColon) != std::string_view::npos;
    if (result.place.empty() || placeWasCombined) result.place = combined.place;
    if (result.publisher.empty() || publisherWasCombined) result.publisher = combined.publisher;
    if (result.date.empty()) result.date = combined.date;
  } else if (!result.publisher.empty() && result.date.empty()) {
    // "清华大学出版社，2008"
    const std::size_t comma = FindLastChar(result.publisher, IsComma);
    if (comma != std::string::npos && ParseYear(std::string_view(result.publisher).substr(comma))) {
      result.date = Trim(std::string_view(result.publisher).substr(comma + CharBytesAt(result.publisher, comma)));
      result.publisher = Trim(std::string_view(result.publisher).substr(0, comma));
    }
  }
  return result;
}

std::optional<int> ParseYear(std::string_view date) {
  // Runs of digits (ASCII, full-width or Han numerals); a year is a run of exactly four.
  int run = 0, value = 0;
  const auto yearOf = [&]() -> std::optional<int> {
    if (run == 4 && value >= 1000 && value <= 2999) return value;
    return std::nullopt;
  };
  for (std::size_t i = 0; i < date.size();) {
    const int d = DigitOf(text::NextCodePoint(date, i));
    if (d >= 0) {
      value = run < 5 ? value * 10 + d : value;
      ++run;
      continue;
    }
    if (const auto y = yearOf()) return y;
    run = value = 0;
  }
  return yearOf();
}

std::string PublicationDates100(std::optional<int> year) {
  if (!year) return "f        ";
  return "d" + std::to_string(*year) + "    ";
}

}  // namespace rowcaster::convert
