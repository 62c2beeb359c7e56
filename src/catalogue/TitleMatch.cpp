#include "catalogue/TitleMatch.h"

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cctype>
#include <memory>

#include "platform/text/Utf8.h"

namespace rowcaster::catalogue {
namespace {

// One transliterator a thread: ICU's are not to be shared while in use.
icu::Transliterator* Simplifier() {
  thread_local std::unique_ptr<icu::Transliterator> t = [] {
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> made(
        icu::Transliterator::createInstance("Traditional-Simplified", UTRANS_FORWARD, err));
    return U_SUCCESS(err) ? std::move(made) : nullptr;
  }();
  return t.get();
}

// Kept: letters, digits and marks; dropped: blanks, punctuation and symbols (·、《》—…).
bool Kept(char32_t c) {
  const int8_t type = u_charType(static_cast<UChar32>(c));
  return u_isalnum(static_cast<UChar32>(c)) || type == U_NON_SPACING_MARK || type == U_COMBINING_SPACING_MARK;
}

}  // namespace

std::string NormalTitle(std::string_view title) {
  std::string kept;
  for (std::size_t i = 0; i < title.size();) {
    const char32_t c = text::HalfWidth(text::NextCodePoint(title, i));
    if (!Kept(c)) continue;
    text::AppendUtf8(kept, c < 0x80 ? static_cast<char32_t>(std::tolower(static_cast<int>(c))) : c);
  }
  if (!text::HasHanIdeograph(kept)) return kept;
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(kept);
  if (icu::Transliterator* t = Simplifier()) t->transliterate(u);
  std::string out;
  u.toUTF8String(out);
  return out;
}

std::string FirstYear(std::string_view date) {
  for (std::size_t i = 0; i + 4 <= date.size(); ++i)
    if (date.substr(i, 4).find_first_not_of("0123456789") == std::string_view::npos) return std::string(date.substr(i, 4));
  return {};
}

std::string FirstSubfield(const iso2709::Record& record, std::string_view tag, std::string_view code) {
  for (const iso2709::Field& f : record.fields)
    if (f.tag == tag)
      for (const iso2709::Subfield& s : f.subfields)
        if (s.code == code) return s.data;
  return {};
}

std::string RecordTitle(const iso2709::Record& record) { return FirstSubfield(record, "200", "a"); }

int TitleFit(const iso2709::Record& record, std::string_view rowTitle) {
  const std::string row = NormalTitle(rowTitle);
  if (row.empty()) return 1;
  std::string proper, whole;
  for (const iso2709::Field& f : record.fields) {
    if (f.tag != "200") continue;
    for (const iso2709::Subfield& s : f.subfields) {
      if (s.code == "a" && proper.empty()) proper = NormalTitle(s.data);
      if (s.code == "a" || s.code == "e" || s.code == "h" || s.code == "i") whole += NormalTitle(s.data);
    }
    break;
  }
  if (proper.empty()) return 0;
  if (proper == row) return 3;
  if (whole == row) return 2;
  // A start of a single character says little; ask for two characters at least.
  const auto startsWith = [](const std::string& a, const std::string& b) {
    return text::Utf8Length(b) >= 2 && a.size() >= b.size() && a.compare(0, b.size(), b) == 0;
  };
  return startsWith(row, proper) || startsWith(whole, row) ? 1 : 0;
}

int BestFit(const std::vector<iso2709::Record>& records, std::string_view rowTitle) {
  int best = -1, bestFit = 0;
  for (std::size_t k = 0; k < records.size(); ++k) {
    const int fit = TitleFit(records[k], rowTitle);
    if (fit > bestFit) {
      best = static_cast<int>(k);
      bestFit = fit;
    }
  }
  return best;
}

}  // namespace rowcaster::catalogue
