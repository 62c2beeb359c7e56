#pragma once
// Subject access as tables give it: several topical terms in one cell (606) and the class number
// of the Chinese Library Classification (690).

#include <string>
#include <string_view>
#include <vector>

#include "convert/Finding.h"

namespace rowcaster::convert {

// The terms of a subject cell, one each: parted by ；;、，, and, in a cell with Han characters, by
// blanks; placeholders (其他, 无) left out.
std::vector<std::string> Subjects(std::string_view cell);

// A CLC class number: a main class letter, maybe a second letter, then digits and the marks the
// tables use (TP312, I247.5, TP311.13, K825.6=76, O4-43).
bool IsClassNumber(std::string_view value);

// 690 $a of a class cell: a class number as it is; anything else (a word, a bare letter) left out
// with a warning.
std::string ClassNumber690(std::string_view cell, std::vector<Finding>& findings);

}  // namespace rowcaster::convert
