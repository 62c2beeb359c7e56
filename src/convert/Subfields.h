#pragma once
// The subfield values of one source row, in the parameter order of the record composition.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rowcaster::convert {

// Parameters of ConverttoMarc, named "d" + code. d020d carries the 200d value; d200g is the one
// value beyond the original 37 (the subsequent statement of responsibility).
enum Param : std::size_t {
  d010a, d010b, d010d, d101a, d200a, d020d, d200e, d200h, d200i, d200f, d205a, d210a, d210c,
  d210d, d215a, d215c, d215d, d215e, d225a, d225e, d225v, d300a, d320a, d330a, d333a, d606a,
  d690a, d690v, d905b, d905e, d905f, d606x, d606y, d606z, d606j, d905d, d905v, d200g,
  kParamCount
};

// The code each parameter carries, in parameter order.
inline constexpr std::array<std::string_view, kParamCount> kParamCodes = {
    "010a", "010b", "010d", "101a", "200a", "200d", "200e", "200h", "200i", "200f", "205a", "210a", "210c",
    "210d", "215a", "215c", "215d", "215e", "225a", "225e", "225v", "300a", "320a", "330a", "333a", "606a",
    "690a", "690v", "905b", "905e", "905f", "606x", "606y", "606z", "606j", "905d", "905v", "200g"};

// The parameter that carries `code`, if any.
std::optional<Param> ParamOfCode(std::string_view code);

using SubfieldValues = std::array<std::string, kParamCount>;

}  // namespace rowcaster::convert
