#include "platform/text/Numeric.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace rowcaster::text {

std::optional<double> ReadNumber(std::string_view s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto digit = [&](std::size_t k) { return k < n && s[k] >= '0' && s[k] <= '9'; };
  while (i < n && s[i] == ' ') ++i;
  std::string clean;
  if (i < n && (s[i] == '+' || s[i] == '-')) clean += s[i++];
  while (i < n && s[i] == ' ') ++i;  // "- 5" reads as -5, as the platform test allows
  bool anyDigit = false;
  while (digit(i) || (anyDigit && i < n && s[i] == ',')) {
    if (s[i] != ',') {
      clean += s[i];
      anyDigit = true;
    }
    ++i;
  }
  if (i < n && s[i] == '.') {
    clean += s[i++];
    while (digit(i)) {
      clean += s[i++];
      anyDigit = true;
    }
  }
  if (!anyDigit) return std::nullopt;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t k = i + 1;
    std::string exp = "e";
    if (k < n && (s[k] == '+' || s[k] == '-')) exp += s[k++];
    if (!digit(k)) return std::nullopt;
    while (digit(k)) exp += s[k++];
    clean += exp;
    i = k;
  }
  while (i < n && s[i] == ' ') ++i;
  if (i != n) return std::nullopt;
  return std::strtod(clean.c_str(), nullptr);
}

}  // namespace rowcaster::text
