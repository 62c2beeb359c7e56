#pragma once
// Whether a column's values fit the code its name gives: a page column that holds prices, a title
// column of numbers, an ISBN column without ISBNs are not mapped by their names.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "import/LoadedTable.h"

namespace rowcaster::mapping {

// Why a column's values do not fit a code.
enum class Misfit {
  None,
  OnlyNumbers,    // a text column (title, author, publisher …) holds numbers only
  Prices,         // a page column holds prices (35.00, ¥42, 18元)
  NoPageCount,    // a page column holds no page counts
  NoIsbn,         // an ISBN column holds no run of 10 or 13 digits
  NoYear,         // a date column holds no year
  NoNumber,       // a price or size column holds no number
  NoClassNumber,  // a class column holds no class numbers (a letter, then digits)
  NoCount,        // a copies column holds no counts
};

// Per column, its first non-empty cells, as a check reads them.
using ColumnSamples = std::vector<std::vector<std::string>>;

// The rows SampleColumns looks at unless told otherwise: the top of the table.
inline constexpr std::size_t kSampleRows = 20000;

// Up to `perColumn` non-empty cells of each column, from the top, looking at `maxRows` rows at most.
ColumnSamples SampleColumns(const import::LoadedTable& table, std::size_t perColumn = 300,
                            std::size_t maxRows = kSampleRows);

struct ValueCheck {
  Misfit misfit = Misfit::None;
  std::string example;  // a value that shows the misfit
};

// Whether `values` fit `code`: they do when at least half of them do, when there are none, and for
// codes whose values are not checked.
ValueCheck CheckValues(std::string_view code, const std::vector<std::string>& values);

}  // namespace rowcaster::mapping
