#pragma once
// Field 215 as tables give it: a bare page count, and the size in the trade's forms (a sheet and
// its fraction "787*1092 1/16", a format "16开", a trimmed page in millimetres "185*260"), which a
// record gives as the book's height in whole centimetres.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/Finding.h"

namespace rowcaster::convert {

// "353" → "353页"; any other value as it is.
std::string Pages215(std::string_view cell);

// The height in centimetres ("26cm") a size cell gives; nothing when its form is unknown.
std::optional<std::string> SizeInCentimetres(std::string_view cell);

// 215 $d of a size cell: centimetres as they are; a converted size with a note; an unknown form as
// the table gives it, with a warning.
std::string Size215(std::string_view cell, std::vector<Finding>& findings);

}  // namespace rowcaster::convert
