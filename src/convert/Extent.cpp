#include "convert/Extent.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "convert/Values.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

// Full-width digits, letters and signs as ASCII, "×" and "＊" as "*": the patterns below are ASCII.
std::string Narrow(std::string_view value) {
  return NarrowWith(value, [](char32_t c) { return c == 0xD7 || c == U'x' || c == U'X' ? U'*' : c; });
}

std::string Centimetres(double millimetres) {
  // A fraction of a centimetre counts as a whole one, as catalogues measure a book's height.
  return std::to_string(static_cast<int>(std::ceil(millimetres / 10.0 - 1e-9))) + "cm";
}

// The trimmed height in millimetres of a page cut into `pieces` from a sheet: the common sheets by
// the trade's table of trimmed sizes, others as the sheet's longer side halved until the page is
// reached, less the 13 mm the trimming takes.
std::optional<double> PageHeight(double sheetShort, double sheetLong, int pieces) {
  struct Trimmed { int shortSide, longSide, pieces, height; };
  static constexpr Trimmed kTable[] = {
      {787, 1092, 8, 370}, {787, 1092, 16, 260}, {787, 1092, 32, 184}, {787, 1092, 64, 126},
      {850, 1168, 8, 420}, {850, 1168, 16, 285}, {850, 1168, 32, 203}, {850, 1168, 64, 137},
      {880, 1230, 16, 297}, {880, 1230, 32, 210}};
  for (const Trimmed& t : kTable)
    if (t.shortSide == sheetShort && t.longSide == sheetLong && t.pieces == pieces) return t.height;
  if (pieces < 2 || (pieces & (pieces - 1)) != 0 || pieces > 128) return std::nullopt;
  double a = sheetShort, b = sheetLong;
  for (int n = pieces; n > 1; n /= 2) {
    b /= 2;
    if (a > b) std::swap(a, b);
  }
  return b - 13;
}

// A size cell read left to right. A number's digits are taken all at once: no form has a digit
// right after a number.
struct Scan {
  std::string_view s;
  std::size_t at = 0;
  bool ok = true;  // false once a number fits no form

  void Blanks() {
    while (at < s.size() && (s[at] == ' ' || (s[at] >= '\t' && s[at] <= '\r'))) ++at;
  }
  bool Take(std::string_view word) {
    if (!ok || s.substr(at).substr(0, word.size()) != word) return false;
    at += word.size();
    return true;
  }
  std::string_view Digits() {
    const std::size_t from = at;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
    return s.substr(from, at - from);
  }
  // Digits, then a point and `fraction` digits (0: one or more) if there are any.
  std::string_view Number(std::size_t fraction) {
    const std::size_t from = at;
    if (Digits().empty()) return {};
    if (at + 1 < s.size() && s[at] == '.' && s[at + 1] >= '0' && s[at + 1] <= '9') {
      ++at;
      const std::size_t digits = Digits().size();
      ok = ok && (!fraction || digits == fraction);  // "18.55" is no page side
    }
    return s.substr(from, at - from);
  }
  bool End() {
    Blanks();
    return ok && at == s.size();
  }
  bool Millimetres() { return Take("mm") || Take("毫米"); }
};

double Value(std::string_view number) {
  double v = 0;
  std::from_chars(number.data(), number.data() + number.size(), v);
  return v;
}

bool DigitsBetween(std::string_view number, std::size_t least, std::size_t most) {
  const std::size_t digits = number.substr(0, number.find('.')).size();
  return !number.empty() && digits >= least && digits <= most;
}

// What a form makes of a cell it fits: a height, or none it can tell (an unknown sheet).
struct Size {
  bool known = false;
  double millimetres = 0;
};
std::optional<Size> Height(double millimetres) { return Size{true, millimetres}; }
std::optional<Size> Height(std::optional<double> millimetres) {
  return millimetres ? Height(*millimetres) : Size{};
}

// "26cm", "18.4 厘米"
std::optional<Size> CentimetresForm(Scan in) {
  in.Blanks();
  const std::string_view n = in.Number(0);
  in.Blanks();
  if (n.empty() || !(in.Take("cm") || in.Take("CM") || in.Take("厘米")) || !in.End()) return std::nullopt;
  const double mm = Value(n) * 10;
  return mm < 1e9 ? Height(mm) : Size{};  // past what a count of whole centimetres holds
}

// "787*1092 1/16", "787mm×1092mm 16开"
std::optional<Size> SheetForm(Scan in) {
  in.Blanks();
  const std::string_view x = in.Digits();
  in.Blanks();
  in.Millimetres();
  in.Blanks();
  if (!DigitsBetween(x, 3, 4) || !in.Take("*")) return std::nullopt;
  in.Blanks();
  // The second side and the fraction may touch ("787*109216开"): its last digit may be the fraction's.
  const std::size_t side = in.at, digits = in.Digits().size();
  std::string_view y, pieces;
  for (std::size_t length = 4; length >= 3 && pieces.empty(); --length) {
    if (digits < length) continue;
    Scan rest = in;
    rest.at = side + length;
    rest.Blanks();
    rest.Millimetres();
    rest.Blanks();
    if (rest.Take("1/")) pieces = rest.Digits();
    else if (pieces = rest.Digits(); !rest.Take("开")) pieces = {};
    if (!rest.End()) pieces = {};
    y = in.s.substr(side, length);
  }
  if (pieces.empty()) return std::nullopt;
  const double a = std::min(Value(x), Value(y)), b = std::max(Value(x), Value(y));
  if (a < 500) return Size{};
  return Height(PageHeight(a, b, pieces.size() > 9 ? 0 : static_cast<int>(Value(pieces))));
}

// "185*260", "18.5*26cm"
std::optional<Size> PageForm(Scan in) {
  in.Blanks();
  const std::string_view x = in.Number(1);
  in.Blanks();
  in.Take("mm");
  in.Blanks();
  if (!DigitsBetween(x, 2, 3) || !in.Take("*")) return std::nullopt;
  in.Blanks();
  const std::string_view y = in.Number(1);
  in.Blanks();
  bool cm = false;
  if (!in.Millimetres()) cm = in.Take("cm") || in.Take("厘米");
  if (!DigitsBetween(y, 2, 3) || !in.End()) return std::nullopt;
  const double longer = std::max(Value(x), Value(y)) * (cm ? 10 : 1);
  return longer < 50 || longer > 600 ? Size{} : Height(longer);
}

// "16开", "大32开本": of the common sheet, 787 × 1092 mm; "大" of 850 × 1168 mm.
std::optional<Size> FormatForm(Scan in) {
  in.Blanks();
  const bool large = in.Take("大");
  in.Blanks();
  const std::string_view n = in.Digits();
  in.Blanks();
  if (n != "8" && n != "16" && n != "32" && n != "64") return std::nullopt;
  if (!in.Take("开") && !in.Take("K") && !in.Take("k")) return std::nullopt;
  in.Blanks();
  in.Take("本");
  if (!in.End()) return std::nullopt;
  return Height(PageHeight(large ? 850 : 787, large ? 1168 : 1092, static_cast<int>(Value(n))));
}

}  // namespace

std::string Pages215(std::string_view cell) {
  const std::string_view t = text::TrimBlanks(cell);
  if (t.empty() || t.size() > 5 || t.find_first_not_of("0123456789") != std::string_view::npos || t[0] == '0')
    return std::string(cell);
  return std::string(t) + "页";
}

std::optional<std::string> SizeInCentimetres(std::string_view cell) {
  const std::string narrow = Narrow(cell);
  for (const auto form : {CentimetresForm, SheetForm, PageForm, FormatForm})
    if (const std::optional<Size> size = form(Scan{narrow})) return size->known ? std::optional(Centimetres(size->millimetres)) : std::nullopt;
  return std::nullopt;
}

std::string Size215(std::string_view cell, std::vector<Finding>& findings) {
  if (cell.empty()) return {};
  const std::optional<std::string> cm = SizeInCentimetres(cell);
  if (!cm) {
    findings.push_back(MakeFinding(Kind::SizeUnreadable, "215 $d", {std::string(cell)}));
    return std::string(cell);
  }
  if (*cm != cell) findings.push_back(MakeFinding(Kind::SizeConverted, "215 $d", {std::string(cell), *cm}));
  return *cm;
}

}  // namespace rowcaster::convert
