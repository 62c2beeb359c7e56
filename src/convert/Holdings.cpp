#include "convert/Holdings.h"

#include <algorithm>
#include <optional>

#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

// A barcode cut into the letters before its number and the number, with its width.
struct Split {
  std::string prefix, digits;
};
std::optional<Split> SplitBarcode(std::string_view code) {
  std::size_t end = code.size();
  std::size_t start = end;
  while (start > 0 && code[start - 1] >= '0' && code[start - 1] <= '9') --start;
  if (start == end || end - start > 18) return std::nullopt;  // no number, or one past what we count in
  return Split{std::string(code.substr(0, start)), std::string(code.substr(start))};
}

// The pieces of a cell: apart at commas, 、, semicolons and blanks.
std::vector<std::string> Pieces(std::string_view cell) {
  std::vector<std::string> out;
  std::string piece;
  for (std::size_t i = 0; i < cell.size();) {
    const std::size_t at = i;
    const char32_t c = text::NextCodePoint(cell, i);
    const bool apart = c == U',' || c == U'，' || c == U'、' || c == U';' || c == U'；' || c == U' ' || c == 0x3000 ||
                       c == U'\t';
    if (!apart) {
      piece.append(cell.substr(at, i - at));
    } else if (!piece.empty()) {
      out.push_back(std::move(piece));
      piece.clear();
    }
  }
  if (!piece.empty()) out.push_back(std::move(piece));
  return out;
}

// The start and end of a range piece ("T0001-T0010", "A001～A005", "0010201至10"), if it is one.
std::optional<std::pair<std::string, std::string>> RangeEnds(const std::string& piece) {
  for (std::string_view mark : {"-", "～", "~", "—", "－", "至", "到"}) {
    const std::size_t at = piece.find(mark, 1);
    if (at == std::string::npos) continue;
    return std::pair{piece.substr(0, at), piece.substr(at + mark.size())};
  }
  return std::nullopt;
}

// A range's barcodes; nothing when it reads as no range.
std::optional<std::vector<std::string>> ExpandRange(const std::string& from, const std::string& to) {
  const auto a = SplitBarcode(from);
  const auto b = SplitBarcode(to);
  if (!a || !b) return std::nullopt;
  std::string endDigits;
  if (b->prefix == a->prefix && b->digits.size() == a->digits.size()) {
    endDigits = b->digits;
  } else if (b->prefix.empty() && b->digits.size() < a->digits.size()) {
    // "0010201-10": the end gives the last digits only.
    endDigits = a->digits.substr(0, a->digits.size() - b->digits.size()) + b->digits;
  } else {
    return std::nullopt;
  }
  const unsigned long long first = std::stoull(a->digits), last = std::stoull(endDigits);
  if (last < first || last - first >= kMaxRange) return std::nullopt;
  std::vector<std::string> codes;
  for (unsigned long long n = first; n <= last; ++n) {
    std::string digits = std::to_string(n);
    if (digits.size() < a->digits.size()) digits.insert(0, a->digits.size() - digits.size(), '0');
    codes.push_back(a->prefix + digits);
  }
  return codes;
}

std::string Sub(char code, std::string_view value) {
  return value.empty() ? std::string() : std::string("|") + code + std::string(value);
}

std::string Replace(std::string line, std::string_view name, std::string_view value) {
  for (std::size_t at = line.find(name); at != std::string::npos; at = line.find(name, at + value.size()))
    line.replace(at, name.size(), value);
  return line;
}

// One line of a template of the user's for item `k` (from 1).
std::string TemplateLine(const std::string& form, const HoldingsSettings& s, const HoldingsValues& v,
                         const std::string& barcode, const std::string& callNumber, std::size_t k) {
  // "985  |a…" (no indicators written) is "985    |a…" in the work form.
  std::string line = form;
  const std::size_t bar = line.find('|');
  if (bar != std::string::npos && bar >= 3 && line.find_first_not_of(' ', 3) == bar) line.replace(3, bar - 3, "    ");
  const std::pair<std::string_view, std::string> values[] = {
      {"{barcode}", barcode},  {"{callno}", callNumber}, {"{location}", s.location},
      {"{agency}", v.agency},  {"{library}", s.library.empty() ? v.agency : s.library},
      {"{itemtype}", s.itemType}, {"{price}", v.price},  {"{copy}", std::to_string(k)}};
  for (const auto& [name, value] : values) line = Replace(line, name, value);
  return line + "\r\n";
}

}  // namespace

bool IsHoldingsPreset(std::string_view preset) {
  if (std::find(std::begin(kHoldingsPresets), std::end(kHoldingsPresets), preset) != std::end(kHoldingsPresets))
    return true;
  // A line template: a tag of three digits, and at least one placeholder.
  return preset.size() > 4 && std::all_of(preset.begin(), preset.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }) &&
         preset.find('{') != std::string_view::npos;
}

std::string HoldingsTag(const HoldingsSettings& s) {
  if (s.preset == "koha-unimarc") return "995";
  if (s.preset.empty() || s.preset.rfind("905", 0) == 0 || !IsHoldingsPreset(s.preset)) return "905";
  return s.preset.substr(0, 3);
}

Barcodes ExpandBarcodes(std::string_view cell) {
  Barcodes out;
  for (const std::string& piece : Pieces(cell)) {
    const auto ends = RangeEnds(piece);
    if (!ends) {
      out.codes.push_back(piece);
      continue;
    }
    if (const auto codes = ExpandRange(ends->first, ends->second)) {
      out.codes.insert(out.codes.end(), codes->begin(), codes->end());
    } else {
      out.codes.push_back(piece);
      out.readable = false;
    }
  }
  return out;
}

std::string CompactBarcodes(const std::vector<std::string>& codes) {
  std::string out;
  for (std::size_t k = 0; k < codes.size();) {
    std::size_t run = k;
    // Consecutive: the same prefix and width, the number one more.
    while (run + 1 < codes.size()) {
      const auto a = SplitBarcode(codes[run]), b = SplitBarcode(codes[run + 1]);
      if (!a || !b || a->prefix != b->prefix || a->digits.size() != b->digits.size() ||
          std::stoull(b->digits) != std::stoull(a->digits) + 1)
        break;
      ++run;
    }
    if (!out.empty()) out += ',';
    out += run > k ? codes[k] + "-" + codes[run] : codes[k];
    k = run + 1;
  }
  return out;
}

std::string HoldingsLines(const HoldingsSettings& s, const HoldingsValues& v, std::vector<Finding>& findings) {
  if (s.preset.empty()) return {};
  const Barcodes barcodes = ExpandBarcodes(v.barcodes);
  if (!barcodes.readable) findings.push_back(MakeFinding(Kind::BarcodesUnreadable, "905 $b", {v.barcodes}));
  const std::string copies(text::TrimBlanks(v.copies));
  const bool counted = !copies.empty() && copies.find_first_not_of("0123456789") == std::string::npos;
  if (counted && !barcodes.codes.empty() && std::stoull(copies) != barcodes.codes.size())
    findings.push_back(MakeFinding(Kind::CopiesDisagree, "905 $f", {copies, std::to_string(barcodes.codes.size())}));
  // The copies are the barcodes there are; without barcodes, the count given. None is invented.
  const std::size_t items = !barcodes.codes.empty() ? barcodes.codes.size() : counted ? std::stoull(std::string(copies)) : 0;
  const std::string callNumber =
      v.classNumber.empty() ? std::string() : v.bookNumber.empty() ? v.classNumber : v.classNumber + "/" + v.bookNumber;
  const std::string library = s.library.empty() ? v.agency : s.library;
  const auto barcode = [&](std::size_t k) { return k < barcodes.codes.size() ? barcodes.codes[k] : std::string(); };
  std::string lines;
  if (s.preset == "905") {
    return "905    " + Sub('a', s.location.empty() ? library : s.location) + Sub('b', CompactBarcodes(barcodes.codes)) +
           Sub('d', v.classNumber) + Sub('e', v.bookNumber) + Sub('f', items ? std::to_string(items) : "") +
           Sub('s', callNumber) + "\r\n";
  }
  for (std::size_t k = 0; k < items && k < kMaxRange; ++k) {
    if (s.preset == "905-per-copy")
      lines += "905    " + Sub('a', s.location.empty() ? library : s.location) + Sub('b', barcode(k)) + Sub('d', v.classNumber) +
               Sub('e', v.bookNumber) + Sub('s', callNumber) + "\r\n";
    else if (s.preset == "koha-unimarc")
      // Koha's UNIMARC framework: $b home library, $c holding library, $e location, $f barcode,
      // $k call number, $r item type.
      lines += "995    " + Sub('b', library) + Sub('c', library) + Sub('e', s.location) + Sub('f', barcode(k)) +
               Sub('k', callNumber) + Sub('r', s.itemType) + "\r\n";
    else
      lines += TemplateLine(s.preset, s, v, barcode(k), callNumber, k + 1);
  }
  return lines;
}

}  // namespace rowcaster::convert
