#pragma once
// The two rule sets a record is composed by: classic (the template filled exactly as it always
// was) and recommended (values checked and reshaped so that a library system takes the records
// without hand fixes). One value, so that a profile can hold it.

#include <optional>
#include <string_view>

namespace rowcaster::convert {

enum class Rules { Classic, Recommended };

// "classic" / "recommended", as the command line and profiles spell them.
std::string_view RulesName(Rules rules);
std::optional<Rules> RulesNamed(std::string_view name);
// How the window names them.
std::string_view RulesCaption(Rules rules);

}  // namespace rowcaster::convert
