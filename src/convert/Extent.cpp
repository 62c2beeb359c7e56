#include "convert/Extent.h"

#include <cmath>
#include <regex>

#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

// Full-width digits, letters and signs as ASCII, "×" and "＊" as "*": the patterns below are ASCII.
std::string Narrow(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size();) {
    const char32_t c = text::HalfWidth(text::NextCodePoint(value, i));
    text::AppendUtf8(out, c == 0xD7 || c == U'x' || c == U'X' ? U'*' : c);
  }
  return out;
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

}  // namespace

std::string Pages215(std::string_view cell) {
  const std::string_view t = text::TrimBlanks(cell);
  if (t.empty() || t.size() > 5 || t.find_first_not_of("0123456789") != std::string_view::npos || t[0] == '0')
    return std::string(cell);
  return std::string(t) + "页";
}

std::optional<std::string> SizeInCentimetres(std::string_view cell) {
  const std::string s = Narrow(cell);
  static const std::regex kCm(R"(^\s*(\d+(?:\.\d+)?)\s*(?:cm|CM|厘米)\s*$)");
  static const std::regex kSheet(R"(^\s*(\d{3,4})\s*(?:mm|毫米)?\s*\*\s*(\d{3,4})\s*(?:mm|毫米)?\s*(?:1/(\d+)|(\d+)开)\s*$)");
  static const std::regex kPage(R"(^\s*(\d{2,3}(?:\.\d)?)\s*(?:mm)?\s*\*\s*(\d{2,3}(?:\.\d)?)\s*(mm|cm|毫米|厘米)?\s*$)");
  static const std::regex kFormat(R"(^\s*(大)?\s*(8|16|32|64)\s*(?:开|K|k)\s*(?:本)?\s*$)");
  std::smatch m;
  if (std::regex_match(s, m, kCm)) return Centimetres(std::stod(m[1]) * 10);
  if (std::regex_match(s, m, kSheet)) {
    const double x = std::stod(m[1]), y = std::stod(m[2]);
    const int pieces = std::stoi(m[3].matched ? m[3].str() : m[4].str());
    if (std::min(x, y) < 500) return std::nullopt;
    const auto height = PageHeight(std::min(x, y), std::max(x, y), pieces);
    if (!height) return std::nullopt;
    return Centimetres(*height);
  }
  if (std::regex_match(s, m, kPage)) {
    const bool cm = m[3].matched && (m[3] == "cm" || m[3] == "厘米");
    const double longer = std::max(std::stod(m[1]), std::stod(m[2])) * (cm ? 10 : 1);
    if (longer < 50 || longer > 600) return std::nullopt;
    return Centimetres(longer);
  }
  if (std::regex_match(s, m, kFormat)) {
    // "16开" is a sixteenth of the common sheet, 787 × 1092 mm; "大16开" of 850 × 1168 mm.
    const bool large = m[1].matched;
    return Centimetres(*PageHeight(large ? 850 : 787, large ? 1168 : 1092, std::stoi(m[2])));
  }
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
