// Holdings cells as tables hold them, and the item fields each preset writes from them.
#include <gtest/gtest.h>

#include "convert/Holdings.h"

namespace rowcaster::convert {
namespace {

TEST(Holdings, BarcodesOfACell) {
  struct Case {
    std::string cell;
    std::vector<std::string> codes;
    bool readable;
  };
  const Case cases[] = {
      {"", {}, true},
      {"T0001", {"T0001"}, true},
      {"T0001-T0003", {"T0001", "T0002", "T0003"}, true},
      {"T0009-T0011", {"T0009", "T0010", "T0011"}, true},  // the width stays
      {"0010201-03", {"0010201", "0010202", "0010203"}, true},  // the end by its last digits
      {"0010299-301", {"0010299", "0010300", "0010301"}, true},
      {"A001～A003", {"A001", "A002", "A003"}, true},
      {"A001至A002", {"A001", "A002"}, true},
      {"T0001,T0002，T0005、T0007", {"T0001", "T0002", "T0005", "T0007"}, true},
      {"T0001-T0002 T0009", {"T0001", "T0002", "T0009"}, true},
      {"T0003-T0001", {"T0003-T0001"}, false},  // backwards: kept, told
      {"T0001-X0003", {"T0001-X0003"}, false},  // another prefix
      {"T0001-T", {"T0001-T"}, false},
      {"00001-10000", {}, true},                 // 10,000: the most one range gives (checked below)
      {"00001-10001", {"00001-10001"}, false},   // one more is no range
  };
  for (const Case& c : cases) {
    const Barcodes b = ExpandBarcodes(c.cell);
    EXPECT_EQ(b.readable, c.readable) << c.cell;
    if (c.cell == "00001-10000") {
      ASSERT_EQ(b.codes.size(), kMaxRange);
      EXPECT_EQ(b.codes.front(), "00001");
      EXPECT_EQ(b.codes.back(), "10000");
      continue;
    }
    EXPECT_EQ(b.codes, c.codes) << c.cell;
  }
}

TEST(Holdings, ConsecutiveBarcodesAsRanges) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, ""},
      {{"T0001"}, "T0001"},
      {{"T0001", "T0002", "T0003"}, "T0001-T0003"},
      {{"T0001", "T0002", "T0005"}, "T0001-T0002,T0005"},
      {{"T0009", "T0010"}, "T0009-T0010"},
      {{"T009", "T0010"}, "T009,T0010"},  // another width is another series
      {{"A1", "B2"}, "A1,B2"},
  };
  for (const auto& [codes, text] : cases) EXPECT_EQ(CompactBarcodes(codes), text);
}

// Each preset's lines for one row: barcodes, copies, class, book number, price, agency.
TEST(Holdings, ThePresetsLines) {
  const HoldingsValues row{"T0001-T0002", "2", "TP312", "123", "CNY25.00", "110001"};
  struct Case {
    HoldingsSettings settings;
    HoldingsValues values;
    std::string lines;
    std::vector<Kind> findings;
  };
  const Case cases[] = {
      {{}, row, "", {}},
      {{"905", "", "书库", ""}, row, "905    |a书库|bT0001-T0002|dTP312|e123|f2|sTP312/123\r\n", {}},
      {{"905", "", "", ""}, {"", "3", "TP312", "", "", "110001"}, "905    |a110001|dTP312|f3|sTP312\r\n", {}},
      {{"905-per-copy", "", "书库", ""}, row,
       "905    |a书库|bT0001|dTP312|e123|sTP312/123\r\n905    |a书库|bT0002|dTP312|e123|sTP312/123\r\n", {}},
      {{"koha-unimarc", "LIB1", "STACKS", "BK"}, row,
       "995    |bLIB1|cLIB1|eSTACKS|fT0001|kTP312/123|rBK\r\n995    |bLIB1|cLIB1|eSTACKS|fT0002|kTP312/123|rBK\r\n", {}},
      // The library defaults to the agency code; no barcodes: the copies counted, none invented.
      {{"koha-unimarc", "", "", ""}, {"", "2", "", "", "", "110001"}, "995    |b110001|c110001\r\n995    |b110001|c110001\r\n", {}},
      {{"985  |a{barcode}|b{callno}|c{copy}|d{price}", "", "", ""}, row,
       "985    |aT0001|bTP312/123|c1|dCNY25.00\r\n985    |aT0002|bTP312/123|c2|dCNY25.00\r\n", {}},
      {{"98601|a{library}|b{location}|e{itemtype}", "L", "S", "T"}, {"X1", "", "", "", "", ""}, "98601|aL|bS|eT\r\n", {}},
      // Counts that disagree: the barcodes there are, and a warning; an unreadable piece too.
      {{"905-per-copy", "", "", ""}, {"T0001-T0002", "5", "", "", "", "A"},
       "905    |aA|bT0001\r\n905    |aA|bT0002\r\n", {Kind::CopiesDisagree}},
      {{"905", "", "", ""}, {"T0003-T0001", "", "", "", "", "A"}, "905    |aA|bT0003-T0001|f1\r\n", {Kind::BarcodesUnreadable}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings.preset);
    std::vector<Finding> findings;
    EXPECT_EQ(HoldingsLines(c.settings, c.values, findings), c.lines);
    std::vector<Kind> kinds;
    for (const Finding& f : findings) kinds.push_back(f.kind);
    EXPECT_EQ(kinds, c.findings);
  }
}

TEST(Holdings, PresetNames) {
  for (const char* ok : {"905", "905-per-copy", "koha-unimarc", "985  |a{barcode}", "98601|a{callno}"})
    EXPECT_TRUE(IsHoldingsPreset(ok)) << ok;
  for (const char* no : {"", "906", "koha", "985  |abarcode", "98a  |a{barcode}", "{barcode}"})
    EXPECT_FALSE(IsHoldingsPreset(no)) << no;
}

}  // namespace
}  // namespace rowcaster::convert
