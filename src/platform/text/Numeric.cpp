#include "platform/text/Numeric.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace rowcaster::text {

namespace {

// Whether `s` reads as a number; when `clean` is given, the number's characters without blanks
// and separators go there, for strtod.
bool ScanNumber(std::string_view s, std::string* clean) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto digit = [&](std::size_t k) { return k < n && s[k] >= '0' && s[k] <= '9'; };
  auto keep = [clean](char c) {
    if (clean) *clean += c;
  };
  while (i < n && s[i] == ' ') ++i;
  if (i < n && (s[i] == '+' || s[i] == '-')) keep(s[i++]);
  while (i < n && s[i] == ' ') ++i;  // "- 5" reads as -5, as the platform test allows
  bool anyDigit = false;
  while (digit(i) || (anyDigit && i < n && s[i] == ',')) {
    if (s[i] != ',') {
      keep(s[i]);
      anyDigit = true;
    }
    ++i;
  }
  if (i < n && s[i] == '.') {
    keep(s[i++]);
    while (digit(i)) {
      keep(s[i++]);
      anyDigit = true;
    }
  }
  if (!anyDigit) return false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t k = i + 1;
    const std::size_t e = k;
    if (k < n && (s[k] == '+' || s[k] == '-')) ++k;
    if (!digit(k)) return false;
    while (digit(k)) ++k;
    keep('e');
    for (std::size_t j = e; j < k; ++j) keep(s[j]);
    i = k;
  }
  while (i < n && s[i] == ' ') ++i;
  return i == n;
}

}  // namespace

std::optional<double> ReadNumber(std::string_view s) {
  std::string clean;
  if (!ScanNumber(s, &clean)) return std::nullopt;
  return std::strtod(clean.c_str(), nullptr);
}

bool ReadsAsNumber(std::string_view s) { return ScanNumber(s, nullptr); }

}  // namespace rowcaster::text
