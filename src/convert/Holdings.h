#pragma once
// Holdings for the library system the records go into: the copies a row's barcode cell names (a
// range "T0001-T0010", "0010201-10", a list), the call number (class / book number), and the item
// fields a preset writes: one 905, a 905 per copy, Koha's 995 per copy, or a template of the user's.

#include <string>
#include <string_view>
#include <vector>

#include "convert/Finding.h"

namespace rowcaster::convert {

struct HoldingsSettings {
  std::string preset;      // empty (the template's own 905), "905", "905-per-copy", "koha-unimarc", or a line template
  std::string library;     // the library's code; the agency code when empty
  std::string location;    // shelving location, for the whole run
  std::string itemType;    // item type, for the whole run
};

// The named presets, for menus and help.
inline constexpr std::string_view kHoldingsPresets[] = {"905", "905-per-copy", "koha-unimarc"};

// Whether `preset` is a named one or a line template ("985  |a{barcode}|b{callno}"); the reason
// (a short text for the caller to word) when it is neither.
bool IsHoldingsPreset(std::string_view preset);

// The tag of the item fields `preset` writes: 905, 995, or a template's own.
std::string HoldingsTag(const HoldingsSettings& settings);
// The barcodes a cell names, in order. A range grows from its start to its end, the end given
// whole or by its last digits; more than kMaxRange copies in one range is no range. `readable` is
// false when some piece reads as no barcode or range (it is kept as given).
inline constexpr std::size_t kMaxRange = 10000;
struct Barcodes {
  std::vector<std::string> codes;
  bool readable = true;
};
Barcodes ExpandBarcodes(std::string_view cell);

// "T0001-T0010" for consecutive barcodes, each run of them joined by ","; for one 905 $b.
std::string CompactBarcodes(const std::vector<std::string>& codes);

// What one row gives for its items.
struct HoldingsValues {
  std::string barcodes, copies, classNumber, bookNumber, price, agency;
};

// The item fields as work-form lines (each ending CR LF) for `settings.preset`, or nothing for
// none; findings for barcodes that do not read and counts that disagree.
std::string HoldingsLines(const HoldingsSettings& settings, const HoldingsValues& v, std::vector<Finding>& findings);

}  // namespace rowcaster::convert
