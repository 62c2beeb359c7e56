#include "convert/Repeats.h"

#include <gtest/gtest.h>

namespace rowcaster::convert {
namespace {

// A copies cell as a number, from the empty cell (one copy) to nine digits; anything else is not
// added up.
TEST(Repeats, CopiesOfACell) {
  const std::pair<std::string, std::optional<std::int64_t>> cases[] = {
      {"", 1},          {"0", 0},           {"3", 3},           {"３", 3},         {"12册", 12},
      {"2本", 2},       {"1套", 1},         {"999999999", 999999999}, {"1000000000", std::nullopt},
      {"三", std::nullopt}, {"3.5", std::nullopt}, {"3 册", std::nullopt}, {"册", std::nullopt},
      {"3册2本", std::nullopt}, {"-1", std::nullopt},
  };
  for (const auto& [cell, copies] : cases) EXPECT_EQ(CopiesOf(cell), copies) << cell;
}

// A volume number a title may end with: up to three digits, a Roman numeral, an unbracketed
// 上/中/下, after a title of two characters or more ending in a Han character.
TEST(Repeats, TrailingVolumeNumbers) {
  struct Case {
    std::string title, before, written, number;  // before empty: no number
  };
  const Case cases[] = {
      {"中国通史2", "中国通史", "2", "2"},
      {"中国通史 2", "中国通史", "2", "2"},
      {"中国通史　12", "中国通史", "12", "12"},
      {"中国通史（２）", "中国通史", "（２）", "2"},
      {"中国通史(3)", "中国通史", "(3)", "3"},
      {"中国通史[3]", "中国通史", "[3]", "3"},
      {"中国通史123", "中国通史", "123", "123"},
      {"中国统计年鉴2019", "", "", ""},  // four digits: a year
      {"中国通史（2019）", "", "", ""},
      {"三体Ⅱ", "三体", "Ⅱ", "Ⅱ"},
      {"三体（Ⅲ）", "三体", "（Ⅲ）", "Ⅲ"},
      {"西游记上", "西游记", "上", "上"},
      {"西游记 下", "西游记", "下", "下"},
      {"西游记（上）", "", "", ""},  // the title rules' own
      {"西游记（一）", "", "", ""},
      {"通史2", "通史", "2", "2"},
      {"史2", "", "", ""},           // one character is no title
      {"Windows 7", "", "", ""},     // after a Latin word
      {"2", "", "", ""},
      {"", "", "", ""},
      {"中国通史", "", "", ""},
      {"中国通史（）", "", "", ""},
      {"中国通史2 ", "中国通史", "2", "2"},
  };
  for (const Case& c : cases) {
    const auto n = TrailingVolumeNumber(c.title);
    ASSERT_EQ(n.has_value(), !c.before.empty()) << c.title;
    if (!n) continue;
    EXPECT_EQ(c.title.substr(0, n->titleEnd), c.before) << c.title;
    EXPECT_EQ(n->written, c.written) << c.title;
    EXPECT_EQ(n->number, c.number) << c.title;
  }
}

// Plans found by row while gathered and once sealed into their sorted array: the first and last
// rows, the rows either side of one with a plan, rows before and after all of them.
TEST(RowPlans, FindsTheSamePlansBeforeAndAfterSealing) {
  RowPlans plans;
  const std::int64_t planned[] = {999999, 0, 7, 8, 10, 500000};
  for (const std::int64_t row : planned) {
    RowPlan& plan = plans.At(row);
    plan.sameAs = row + 1;
    if (row % 2 == 0) plan.SetCells().part = std::to_string(row);
  }
  const std::pair<std::int64_t, bool> cases[] = {{-1, false}, {0, true},       {1, false},      {6, false},
                                                 {7, true},   {8, true},       {9, false},      {10, true},
                                                 {11, false}, {500000, true},  {999998, false}, {999999, true},
                                                 {1000000, false}};
  for (const bool sealed : {false, true}) {
    if (sealed) plans.Seal();
    EXPECT_EQ(plans.size(), std::size(planned));
    for (const auto& [row, found] : cases) {
      const RowPlan* plan = plans.Find(row);
      ASSERT_EQ(plan != nullptr, found) << row << (sealed ? " sealed" : "");
      if (!plan) continue;
      EXPECT_EQ(plan->sameAs, row + 1);
      EXPECT_EQ(plan->cells ? plan->cells->part : "-", row % 2 == 0 ? std::to_string(row) : "-");
      // A repeated row's finding names the row it repeats, though the plan does not keep it.
      const std::vector<Finding> findings = plan->Findings();
      ASSERT_EQ(findings.size(), 1u);
      EXPECT_EQ(findings[0].kind, Kind::DuplicateRow);
      EXPECT_EQ(findings[0].values, std::vector<std::string>{std::to_string(row + 1)});
    }
  }
}

}  // namespace
}  // namespace rowcaster::convert
