#include "convert/Repeats.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <tuple>
#include <thread>

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
      // Every character a number may end with, and blanks after it, at the very end of the cell.
      {"中国通史２", "中国通史", "２", "2"},
      {"中国通史2\xE3\x80\x80", "中国通史", "2", "2"},  // U+3000
      {"中国通史2\xC2\xA0", "中国通史", "2", "2"},      // no-break space
      {"中国通史2\t", "", "", ""},                       // a tab is no blank here
      {"西游记中", "西游记", "中", "中"},
      {"三体Ⅻ", "三体", "Ⅻ", "Ⅻ"},
      {"三体Ⅻ\xE3\x80\x80", "三体", "Ⅻ", "Ⅻ"},
      {"中国通史2)", "", "", ""},
      {"中国通史(2]", "", "", ""},
      {"中国通史2x", "", "", ""},
      {"中国通史2\xE4\xB8", "", "", ""},  // a broken last character
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

// A plan's findings as kind, field and values.
std::vector<std::tuple<Kind, std::string, std::vector<std::string>>> Said(const RowPlan& plan) {
  std::vector<std::tuple<Kind, std::string, std::vector<std::string>>> said;
  for (const Finding& f : plan.Findings()) said.emplace_back(f.kind, f.field, f.values);
  return said;
}

// Which rows are taken as one book: the same ISBN (any form) with the same title and part, or
// without ISBN the same title, part, subtitle, edition, first author, publisher and year. The pairs
// lie at the table's ends and across the ends of the blocks the rows are keyed in, with
// rows left alone (no title, a total) between them; each pair is checked alone and with the others.
TEST(Repeats, RowsTakenAsOneBook) {
  using Row = std::vector<std::string>;  // title, ISBN, part, author, subtitle, year, volume
  struct Case {
    const char* what;
    Row first, second;
    bool same;
  };
  const Case cases[] = {
      {"ISBN-13 and ISBN-10", {"甲书", "9787302123453", "", "", "", "", ""}, {"甲书", "7-302-12345-X", "", "", "", "", ""}, true},
      {"ISBN rows: authors apart", {"乙书", "9787302000013", "", "张三", "", "", ""}, {"乙书", "9787302000013", "", "李四", "", "", ""}, true},
      {"ISBN rows: parts apart", {"丙书", "9787302000020", "1", "", "", "", ""}, {"丙书", "9787302000020", "2", "", "", "", ""}, false},
      {"ISBN rows: titles apart", {"丁书", "9787302000037", "", "", "", "", ""}, {"丁书二", "9787302000037", "", "", "", "", ""}, false},
      {"no ISBN: all alike", {"戊书", "", "", "王五著", "副题", "2008", ""}, {"戊 书", "", "", "王五 著", "副题", "2008年", ""}, true},
      {"no ISBN: subtitles apart", {"己书", "", "", "王五著", "一", "2008", ""}, {"己书", "", "", "王五著", "二", "2008", ""}, false},
      {"no ISBN: years apart", {"庚书", "", "", "王五著", "", "2008", ""}, {"庚书", "", "", "王五著", "", "2009", ""}, false},
      {"one with ISBN, one without", {"辛书", "9787302000044", "", "", "", "", ""}, {"辛书", "", "", "", "", "", ""}, false},
      {"volume column apart", {"壬书", "9787302000051", "", "", "", "", "1"}, {"壬书", "9787302000051", "", "", "", "", "2"}, true},
      // Cells are compared as cleaned: on one line, trimmed, a cell that says "none" taken as empty.
      {"cleaned cells alike", {"癸书", "9787302000068", "", "", "", "", ""}, {"\t癸书\r\n", "9787302000068　", "", "", "", "", ""}, true},
      {"no ISBN: a subtitle saying none", {"子书", "", "", "王五\n著", "无", "2008", ""}, {"子书", "", "", "王五 著", "", " 2008 ", ""}, true},
      // The author and year cells joined alike, but parted elsewhere.
      {"no ISBN: cells apart where they end", {"丑书", "", "", "王五", "", "12008", ""}, {"丑书", "", "", "王五1", "", "2008", ""}, false},
  };
  const std::vector<std::string> names = {"书名", "书号", "分辑号", "责任者", "副题名", "出版日期", "卷"};
  const std::array<int, kParamCount> columns = [] {
    std::array<int, kParamCount> c;
    c.fill(-1);
    c[d200a] = 0, c[d010a] = 1, c[d200h] = 2, c[d200f] = 3, c[d200e] = 4, c[d210d] = 5, c[d905v] = 6;
    return c;
  }();
  // The rows are keyed in blocks of 1,024 (a block to a thread at a time): nine blocks, the last short.
  constexpr std::int64_t kRows = 9000, kBlock = 1024;
  // Where each case's two rows go: the ends, either side of a block's end, far apart, side by side.
  const std::pair<std::int64_t, std::int64_t> places[] = {
      {0, kRows - 1},  {kBlock - 1, kBlock}, {1, kBlock + 1}, {kBlock / 2, 2 * kBlock + 5}, {2 * kBlock - 1, 2 * kBlock},
      {kBlock - 3, kRows - 2}, {2, 3}, {kBlock + 5, kBlock + 7}, {kRows / 5, 4 * kRows / 5},
      {kBlock + 100, 2 * kBlock + 100}, {10, kRows - 10}, {kBlock + 20, kBlock + 21}};
  static_assert(std::size(places) == std::size(cases));
  const auto tableWith = [&](const std::vector<std::size_t>& which) {
    std::map<std::int64_t, Row> planted;
    for (const std::size_t k : which) planted[places[k].first] = cases[k].first, planted[places[k].second] = cases[k].second;
    auto table = std::make_shared<import::LoadedTable>(names);
    for (std::int64_t row = 0; row < kRows; ++row) {
      const auto it = planted.find(row);
      const std::string filler = row % 7 == 0 ? "" : row % 11 == 0 ? "合计：12册" : "书" + std::to_string(row);
      table->AppendRow(it != planted.end() ? it->second : Row{filler, "", "", "", "", "", ""});
    }
    return table;
  };
  std::vector<std::size_t> all;
  for (std::size_t k = 0; k < std::size(cases); ++k) all.push_back(k);
  for (std::size_t k = 0; k <= std::size(cases); ++k) {
    const std::vector<std::size_t> which = k < std::size(cases) ? std::vector<std::size_t>{k} : all;
    const auto table = tableWith(which);
    const RowPlans plans = PlanRows(*table, columns, true);
    for (const std::size_t c : which) {
      SCOPED_TRACE(std::string(cases[c].what) + (which.size() > 1 ? ", with the others" : ""));
      const auto [first, second] = places[c];
      const RowPlan* plan = plans.Find(second);
      EXPECT_EQ(plan && plan->sameAs == first + 1, cases[c].same);
      // Kept rows: the one the other merges into says so; otherwise neither is merged.
      const RowPlan* firstPlan = plans.Find(first);
      EXPECT_FALSE(firstPlan && firstPlan->sameAs > 0);
      if (!cases[c].same) {
        EXPECT_FALSE(plan && plan->sameAs > 0);
      }
    }
    // No filler row is taken for another.
    std::int64_t merged = 0;
    for (std::int64_t row = 0; row < kRows; ++row)
      if (const RowPlan* p = plans.Find(row); p && p->sameAs > 0) ++merged;
    std::int64_t expected = 0;
    for (const std::size_t c : which) expected += cases[c].same ? 1 : 0;
    EXPECT_EQ(merged, expected);
  }

  // A table still being read, its rows coming in bursts, gets the plans of the whole table.
  const auto whole = tableWith(all);
  const RowPlans wholePlans = PlanRows(*whole, columns, true);
  import::LoadedTable loading(names);
  loading.BeginLoading();
  std::thread reader([&] {
    std::vector<std::string_view> cells;
    for (std::int64_t row = 0; row < kRows; ++row) {
      whole->Row(static_cast<std::size_t>(row), cells);
      loading.AppendRow(cells);
      if (row % 1000 == 999) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    loading.EndLoading();
  });
  const RowPlans loadingPlans = PlanRows(loading, columns, true);
  reader.join();
  ASSERT_EQ(loadingPlans.size(), wholePlans.size());
  for (std::int64_t row = 0; row < kRows; ++row) {
    const RowPlan* a = wholePlans.Find(row);
    const RowPlan* b = loadingPlans.Find(row);
    ASSERT_EQ(a != nullptr, b != nullptr) << row;
    if (a) {
      EXPECT_EQ(b->sameAs, a->sameAs) << row;
      EXPECT_EQ(Said(*b), Said(*a)) << row;
    }
  }
}

// Stopped while the table is still read, planning ends within a block of rows, without waiting for
// the rest of the table: with a few rows and with several blocks of them read so far.
TEST(Repeats, PlanningStopsWhileTheTableIsRead) {
  const std::vector<std::string> names = {"书名", "书号"};
  std::array<int, kParamCount> columns;
  columns.fill(-1);
  columns[d200a] = 0, columns[d010a] = 1;
  for (const std::int64_t rows : {std::int64_t{10}, std::int64_t{5000}}) {
    SCOPED_TRACE(std::to_string(rows) + " rows read");
    import::LoadedTable table(names);
    table.BeginLoading();
    for (std::int64_t row = 0; row < rows; ++row) table.AppendRow(std::vector<std::string>{"书" + std::to_string(row % 7), ""});
    std::atomic<bool> stop{false}, planned{false};
    std::thread planning([&] {
      PlanRows(table, columns, true, &stop);
      planned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    // The rows go on coming, a hundred a millisecond, but the table is not read to its end for 2 s.
    for (int k = 0; k < 2000 && !planned; ++k) {
      for (int n = 0; n < 100; ++n) table.AppendRow(std::vector<std::string>{"又一本书", ""});
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(planned.load());
    table.EndLoading();
    planning.join();
  }
}

// Plans found by row while gathered and once sealed into their sorted array: the first and last
// rows, the rows either side of one with a plan, rows before and after all of them.
TEST(RowPlans, FindsTheSamePlansBeforeAndAfterSealing) {
  struct Case {
    std::vector<std::int64_t> planned;
    std::vector<std::pair<std::int64_t, bool>> found;  // a row, and whether it has a plan
  };
  const Case cases[] = {
      // A few rows of many: sealed into the planned rows alone.
      {{999999, 0, 7, 8, 10, 500000},
       {{-1, false}, {0, true}, {1, false}, {6, false}, {7, true}, {8, true}, {9, false}, {10, true}, {11, false},
        {500000, true}, {999998, false}, {999999, true}, {1000000, false}}},
      // Most rows: kept by row.
      {{0, 1, 2, 4, 5, 6, 8, 9},
       {{-1, false}, {0, true}, {2, true}, {3, false}, {4, true}, {7, false}, {9, true}, {10, false}}},
  };
  for (const Case& c : cases) {
    RowPlans plans;
    for (const std::int64_t row : c.planned) {
      RowPlan& plan = plans.At(row);
      plan.sameAs = row + 1;
      if (row % 2 == 0) plan.SetCells().part = std::to_string(row);
    }
    for (const bool sealed : {false, true}) {
      if (sealed) plans.Seal();
      EXPECT_EQ(plans.size(), c.planned.size());
      for (const auto& [row, found] : c.found) {
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
}

}  // namespace
}  // namespace rowcaster::convert
