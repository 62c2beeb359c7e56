#pragma once
// Every placeholder a conversion template may hold, for both rule sets: its name in braces and what
// it stands for. The classic composition fills the first ones, up to {461}, one after another in
// this order; the recommended composition fills all it knows in one pass.

#include <optional>
#include <string_view>

namespace rowcaster::convert {

enum Placeholder : int {
  // The classic set, in its order of replacement.
  pBmrq, pCbsj, p010a, p010b, p010d, p101a, p200a, p200e, p200d, p200h, p200i, p200f, p200g, p205a, p210a,
  p210c, p210d, p215a, p215c, p215d, p215e, p225a, p225e, p225v, p300a, p320a, p330a, p333a, p606a, p690a,
  p690v, p701, pDqdm, p905b, p905e, p905f, p606x, p606y, p606z, p606j, p905d, p905v, p410, p461,
  // The recommended composition's own: publication dates, whole 606 and 690 fields, the agency, the
  // whole 101 field (its first indicator tells a translation), 102 (only with evidence of China) and
  // the script of the title (100 $a/34-35); the agency code again in 905 $a; the holdings fields
  // (the 905 of the subfields above, or the item fields of a holdings preset).
  pCbrq, p606, p690, p801b, p101, p102, pScript, p905a, pHoldings,
  kPlaceholderCount
};

inline constexpr int kClassicPlaceholderCount = p461 + 1;

inline constexpr std::string_view kPlaceholderNames[kPlaceholderCount] = {
    "{bmrq}", "{cbsj}", "{010a}", "{010b}", "{010d}", "{101a}", "{200a}", "{200e}", "{200d}", "{200h}", "{200i}",
    "{200f}", "{200g}", "{205a}", "{210a}", "{210c}", "{210d}", "{215a}", "{215c}", "{215d}", "{215e}", "{225a}",
    "{225e}", "{225v}", "{300a}", "{320a}", "{330a}", "{333a}", "{606a}", "{690a}", "{690v}", "{701}",  "{dqdm}",
    "{905b}", "{905e}", "{905f}", "{606x}", "{606y}", "{606z}", "{606j}", "{905d}", "{905v}", "{410}",  "{461}",
    "{cbrq}", "{606}",  "{690}",  "{801b}", "{101}", "{102}", "{script}", "{905a}", "{holdings}"};

// The placeholder named `braced` ("{010a}") among the first `count`; nothing for another text.
inline std::optional<Placeholder> PlaceholderNamed(std::string_view braced, int count = kPlaceholderCount) {
  for (int k = 0; k < count; ++k)
    if (kPlaceholderNames[k] == braced) return static_cast<Placeholder>(k);
  return std::nullopt;
}

}  // namespace rowcaster::convert
