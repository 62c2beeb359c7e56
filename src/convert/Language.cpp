#include "convert/Language.h"

#include "convert/Composition.h"
#include "platform/text/CharClass.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {

std::string_view ScriptOfTitle(std::string_view title) {
  if (text::HasHanIdeograph(title)) return "ea";
  // Code ranges of the scripts 100 $a/34-35 names.
  struct Range {
    char32_t from, to;
    std::string_view code;
  };
  static constexpr Range kScripts[] = {{0x0370, 0x03FF, "ga"}, {0x0400, 0x052F, "ca"}, {0x0590, 0x05FF, "ha"},
                                       {0x0600, 0x06FF, "fa"}, {0x0E00, 0x0E7F, "ia"}, {0x1100, 0x11FF, "ka"},
                                       {0x3040, 0x30FF, "dc"}, {0x3130, 0x318F, "ka"}, {0xAC00, 0xD7AF, "ka"}};
  for (std::size_t i = 0; i < title.size();) {
    const char32_t c = text::NextCodePoint(title, i);
    if (text::IsLatinLetter(c)) return "ba";
    for (const Range& r : kScripts)
      if (c >= r.from && c <= r.to) return r.code;
  }
  return "zz";
}

LanguageFields LanguageOf(std::string_view column, std::string_view title, const Translation& translation,
                          bool chineseImprint, std::vector<Finding>& findings) {
  LanguageFields out;
  out.script = ScriptOfTitle(title);
  char indicator = '0';
  if (!text::HasHanIdeograph(title)) {
    out.china = chineseImprint;
    if (!column.empty()) {
      out.subfields = SubfieldText('a', column);
    } else {
      findings.push_back(MakeFinding(Kind::LanguageUnknown, "101 $a", {std::string(title)}));
      out.subfields = "|a und";
    }
  } else {
    out.subfields = column.empty() ? "|a chi" : SubfieldText('a', column);
    if (translation.translated) {
      indicator = '1';
      if (translation.language.empty()) {
        findings.push_back(MakeFinding(Kind::OriginalLanguageUnknown, "101 $c", {translation.mark}));
      } else {
        out.subfields += SubfieldText('c', translation.language);
        findings.push_back(
            MakeFinding(Kind::OriginalLanguageFromMark, "101 $c", {translation.mark, translation.language}));
      }
    }
  }
  out.line = std::string("101 ") + indicator + "  " + out.subfields;
  return out;
}

}  // namespace rowcaster::convert
