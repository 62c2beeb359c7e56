#pragma once
// What a row tells of its text's language and origin: 101, whether 102 may say China, and the
// script of the title (100 $a/34-35).

#include <string>
#include <string_view>
#include <vector>

#include "convert/Finding.h"
#include "convert/Persons.h"

namespace rowcaster::convert {

struct LanguageFields {
  std::string subfields;  // 101's subfields: "|a chi|c eng"
  std::string line;       // the whole 101: "101 1  |a chi|c eng"
  std::string script;     // 100 $a/34-35: ea Chinese, ba Latin …
  bool china = true;      // 102 may say CN
};

// `column` is a mapped language column (may be empty); `chineseImprint` says the ISBN's group or
// the publisher table places the book in China. A title without Han characters claims Chinese
// neither in 101 nor in 100 or 102 unless something else says so.
LanguageFields LanguageOf(std::string_view column, std::string_view title, const Translation& translation,
                          bool chineseImprint, std::vector<Finding>& findings);

// 100 $a/34-35 for a title: the script of its first letter that tells one; "zz" when none does.
std::string_view ScriptOfTitle(std::string_view title);

}  // namespace rowcaster::convert
