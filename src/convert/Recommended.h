#pragma once
// Record composition by the recommended rules: every value cleaned, the ISBN checked and
// hyphenated, 210 split, one year for 100 and 210, persons and bodies to 701/702/711/712, prices
// with their currency, one 606 per subject, a unique 001 and a corrected template.

#include <string>
#include <string_view>
#include <vector>

#include "convert/Composition.h"

namespace rowcaster::convert {

// The recommended template: 225 indicators "2 ", the series link embedding 200 with its blank
// second indicator, {606} and {690} lines only with content, 801 with indicator 0 and the agency
// code the user sets ({801b}), dates of 100 $a from the parsed year ({cbrq}).
extern const std::string_view kRecommendedTemplate;

// The work form of one row, after RightMarc; `findings` gets what the row should be told about.
// Throws ComposeError when the row can give no record (no title) or the publisher database or
// the pinyin cannot be used.
std::string ComposeRecommendedWorkForm(SubfieldValues& values, const CompositionContext& context,
                                       std::vector<Finding>& findings);

// The record of one row by the recommended rules.
iso2709::Built ComposeRecommended(SubfieldValues& values, const CompositionContext& context, iso2709::Record& record,
                                  std::vector<Finding>& findings);

}  // namespace rowcaster::convert
