#include "convert/Price.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <span>

#include "convert/Values.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {

std::optional<std::string> CurrencyPrice(std::string_view value) {
  // Full-width digits and signs as ASCII, and the upper-case text for the currency words.
  std::string v =
      NarrowWith(value, [](char32_t c) { return c >= U'a' && c <= U'z' ? static_cast<char32_t>(c - 32) : c; });
  struct Sign {
    std::string_view text, code;
  };
  // Longer signs first: HK$ and US$ before $, 美元 and the other …元 before 元.
  static constexpr Sign kSigns[] = {
      {"HK$", "HKD"},  {"NT$", "TWD"},  {"US$", "USD"},  {"USD", "USD"},  {"HKD", "HKD"},  {"TWD", "TWD"},
      {"GBP", "GBP"},  {"EUR", "EUR"},  {"JPY", "JPY"},  {"RMB", "CNY"},  {"CNY", "CNY"},  {"$", "USD"},
      {"£", "GBP"},    {"€", "EUR"},    {"¥", "CNY"},    {"￥", "CNY"},   {"港币", "HKD"}, {"港元", "HKD"},
      {"美元", "USD"}, {"欧元", "EUR"}, {"英镑", "GBP"}, {"日元", "JPY"}, {"元", "CNY"},   {"圆", "CNY"}};
  std::string_view code = "CNY";
  // A bare amount ("25.00") has no sign to look for.
  const bool bare = v.find_first_not_of("0123456789.") == std::string::npos;
  for (const Sign& s : bare ? std::span<const Sign>() : std::span<const Sign>(kSigns)) {
    const std::size_t at = v.find(s.text);
    if (at == std::string::npos) continue;
    code = s.code;
    v.erase(at, s.text.size());
    break;
  }
  // The amount: the first number in what is left (定价：25.00, 25.00元/册).
  std::string number;
  bool negative = false, point = false;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (c >= '0' && c <= '9') {
      number += c;
    } else if (c == '.' && !point && !number.empty()) {
      point = true;
      number += c;
    } else if (c == ',' && !number.empty() && !point) {
      continue;  // thousands
    } else if (c == '-' && number.empty()) {
      negative = true;
    } else if (!number.empty()) {
      break;
    } else if (static_cast<unsigned char>(c) >= 0x80 || c == ':' || c == ' ' || (c >= 'A' && c <= 'Z')) {
      continue;  // 定价, a label, blanks
    } else {
      negative = false;
    }
  }
  if (number.empty() || negative) return std::nullopt;
  // An amount below 10^13 with at most two decimals is held by the double closer than half a cent
  // (its spacing there is below 1/128): it is written from its own digits (the common case), any
  // other as the double rounds. Its digits tell whether it is above nothing.
  const std::size_t dot = number.find('.');
  const std::string_view cents = dot == std::string::npos ? std::string_view() : std::string_view(number).substr(dot + 1);
  std::string_view whole = std::string_view(number).substr(0, dot);
  whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size()));
  if (cents.size() <= 2 && whole.size() <= 13) {
    if (whole.empty() && cents.find_first_not_of('0') == std::string_view::npos) return std::nullopt;
    return std::string(code).append(whole.empty() ? "0" : whole).append(".").append(cents).append(2 - cents.size(), '0');
  }
  // Read and written as in the "C" locale, whatever the user's.
  double amount = 0;
  std::from_chars(number.data(), number.data() + number.size(), amount);
  if (!(amount > 0) || !std::isfinite(amount)) return std::nullopt;
  char buf[400];  // the longest finite double with two decimals fits
  const auto written = std::to_chars(buf, buf + sizeof buf, amount, std::chars_format::fixed, 2);
  return std::string(code).append(buf, written.ptr);
}

}  // namespace rowcaster::convert
