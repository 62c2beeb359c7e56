#pragma once
// Rows of one table that name the same book, looked for before any row is composed (the recommended
// rules): a row repeating an earlier one (the same ISBN and title, or without ISBN the same title,
// first author, publisher and year) gives no record, its copies added to the earlier row's 905 $f
// and its barcodes to its 905 $b;
// rows with one title under several ISBNs are volumes of a set, kept and reported, each given its
// volume number in 200 $h when the rows say which.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/Finding.h"
#include "convert/Subfields.h"
#include "import/LoadedTable.h"

namespace rowcaster::convert {

// What the other rows decide for one row. Rows nothing was decided for have no plan.
struct RowPlan {
  // Cells the plan puts in place of the row's own; empty ones are left alone. Few rows have them:
  // they are kept apart so that the plan of every other row stays small.
  struct Cells {
    std::string title;     // the title cell without the volume number moved to 200 $h
    std::string part;      // 200 $h
    std::string copies;    // 905 $f, the copies of the rows merged into this one
    std::string barcodes;  // 905 $b, the barcodes of the rows merged into this one
  };
  std::int64_t sameAs = 0;       // from 1: the earlier row this one repeats; it then gives no record
  std::int64_t sameTitleAs = 0;  // from 1: a row of the same title under another ISBN
  std::unique_ptr<Cells> cells;  // none: no cell replaced
  std::vector<Finding> findings;  // for the row's record; Findings() adds the ones sameAs and sameTitleAs make

  // The row's findings, with those of sameAs and sameTitleAs made here rather than kept for each
  // such row (most rows of a table of copies have one): a repeated row's DuplicateRow first, then
  // the rows merged into it, the other ISBN, and what was moved to 200 $h.
  std::vector<Finding> Findings() const;
  void AppendFindings(std::vector<Finding>& out) const;

  Cells& SetCells() {
    if (!cells) cells = std::make_unique<Cells>();
    return *cells;
  }
};

// The plans by row: gathered in an array by row (most rows of a table of copies have one), then
// (Seal) kept there, or, when fewer than half the rows have one, in one array of the planned rows
// alone, sorted by row.
class RowPlans {
 public:
  const RowPlan* Find(std::int64_t row) const;  // row from 0
  RowPlan& At(std::int64_t row);                // before Seal, which is called once
  // Room for the plans of `rows` rows: At may then be called for distinct rows on several threads.
  void Reserve(std::int64_t rows);
  void Seal();
  std::size_t size() const;

 private:
  static bool Planned(const RowPlan& p) { return p.sameAs != 0 || p.sameTitleAs != 0 || p.cells || !p.findings.empty(); }
  std::vector<RowPlan> building_;  // by row
  std::vector<std::pair<std::int64_t, RowPlan>> sealed_;
};

// The plans for the rows of `table`, whose columns feed the parameters as `columns` says (-1: none).
// `merge` false keeps repeated rows (each gives its record); the volumes of a set are still looked
// for. Stops early, with what it has, when `stop` is set. With `only` (a row from 0) the plan of
// that row is the one wanted: only the rows whose titles begin like its own are looked at.
RowPlans PlanRows(const import::LoadedTable& table, const std::array<int, kParamCount>& columns, bool merge,
                  const std::atomic<bool>* stop = nullptr, std::int64_t only = -1);

// The copies a copies cell (905 $f) says: "3", "３", "3册"; an empty cell is one copy. Nothing when
// the cell says something else.
std::optional<std::int64_t> CopiesOf(std::string_view cell);

// The volume number a title ends with, when it may be one: 1 to 3 digits ("中国通史2", "中国通史 2",
// "中国通史（2）"), a Roman numeral (Ⅱ) or 上/中/下 after a title of two or more characters ending
// in a Han character. Only rows of one set, which differ in it, have it moved to 200 $h.
struct TrailingNumber {
  std::size_t titleEnd = 0;  // bytes of the title before it, blanks left out
  std::string written;       // as the title has it, with its blank or brackets
  std::string number;        // "2" for "２", "Ⅱ", "上"
};
std::optional<TrailingNumber> TrailingVolumeNumber(std::string_view title);

}  // namespace rowcaster::convert
