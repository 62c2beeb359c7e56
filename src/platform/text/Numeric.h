#pragma once
// The numeric-text test used wherever a text must "read as a number": tag areas of a work form,
// prices and publication years.

#include <optional>
#include <string_view>

namespace rowcaster::text {

// Reads `s` as a number: optional blanks, an optional sign, decimal digits (thousands separators
// "," allowed between digits of the whole part) with at most one decimal point, an optional
// exponent (e or E, optional sign, digits), optional blanks. At least one digit is required.
// Returns the value, or nothing when `s` is not such a text.
std::optional<double> ReadNumber(std::string_view s);

// ReadNumber(s).has_value(), without making the value.
bool ReadsAsNumber(std::string_view s);

}  // namespace rowcaster::text
