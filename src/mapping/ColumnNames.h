#pragma once
// Which subfield a column feeds, by its name: 书名 → 200a, ISBN → 010a, 定价 → 010d … from the
// names file data/mapping/column-names.tsv (compiled in), checked against the column's values.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/ColumnValues.h"

namespace rowcaster::mapping {

// A column name as the names file compares it: NFKC with case folding (full-width forms and
// letter case do not count), without blanks and the punctuation names are written with.
std::string ColumnKey(std::string_view name);

// The code a column name says it feeds; nothing when the names file does not know the name, or
// only offers codes for it.
std::optional<std::string> CodeForColumnName(std::string_view name);

// The role of the names in a column called `name` that no role word reaches: 译 for 译者 or
// translator; empty for any other name.
std::string RoleOfColumnName(std::string_view name);

// The codes offered for a column that names a kind of book (类别, category): such a column is
// never mapped by its name. Empty for other names.
std::vector<std::string> OfferedCodesFor(std::string_view name);

// The column names the names file gives `code`, as written there.
std::vector<std::string> ColumnNamesFor(std::string_view code);

// A column whose name gives a code its values do not fit.
struct RejectedColumn {
  std::size_t column = 0;
  std::string code;
  Misfit why = Misfit::None;
  std::string example;  // a value that shows it
};

// A column left unmapped whose name suggests codes.
struct OfferedColumn {
  std::size_t column = 0;
  std::vector<std::string> codes;
};

// What the mapping by column names did.
struct NameMapping {
  std::vector<std::size_t> named;  // the columns given their code by their names
  std::vector<RejectedColumn> rejected;
  std::vector<OfferedColumn> offered;
};

// Fills the columns `mapping` leaves empty from their names, when their values (`samples`, per
// column; none: not checked) fit the code. A code is never given to two columns: one already
// mapped keeps it, and of two columns with names for the same code the first whose values fit gets
// it.
NameMapping MapByColumnNames(const std::vector<std::string>& fieldNames, const ColumnSamples& samples,
                             std::vector<std::string>& mapping);

}  // namespace rowcaster::mapping
