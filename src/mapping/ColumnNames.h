#pragma once
// Which subfield a column feeds, by its name: 书名 → 200a, ISBN → 010a, 定价 → 010d … from the
// names file data/mapping/column-names.tsv (compiled in).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::mapping {

// A column name as the names file compares it: NFKC with case folding (full-width forms and
// letter case do not count), without blanks and the punctuation names are written with.
std::string ColumnKey(std::string_view name);

// The code a column name says it feeds; nothing when the names file does not know the name.
std::optional<std::string> CodeForColumnName(std::string_view name);

// The column names the names file gives `code`, as written there.
std::vector<std::string> ColumnNamesFor(std::string_view code);

// Fills the columns `mapping` leaves empty from their names. A code is never given to two
// columns: one already mapped keeps it, and of two columns with names for the same code the first
// gets it.
void MapByColumnNames(const std::vector<std::string>& fieldNames, std::vector<std::string>& mapping);

}  // namespace rowcaster::mapping
