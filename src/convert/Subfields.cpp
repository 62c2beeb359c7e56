#include "convert/Subfields.h"

namespace rowcaster::convert {

std::optional<Param> ParamOfCode(std::string_view code) {
  for (std::size_t i = 0; i < kParamCount; ++i)
    if (kParamCodes[i] == code) return static_cast<Param>(i);
  return std::nullopt;
}

}  // namespace rowcaster::convert
