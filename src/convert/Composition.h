#pragma once
// Record composition: the values of one source row fill the conversion template; the text is
// enriched (price in CNY, cataloguing date, publication year, title pinyin, the publisher's region
// code, 701 lines, a series link), cleaned of empty lines and built into an ISO 2709 record.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include <string_view>

#include "convert/Holdings.h"
#include "convert/Pinyin.h"
#include "convert/RegionLookup.h"
#include "convert/Rules.h"
#include "convert/Subfields.h"
#include "iso2709/IsoRecord.h"
#include "iso2709/Writers.h"
#include "platform/Clock.h"

namespace rowcaster::convert {

// The default conversion template: 21 lines, each ending with CR LF.
extern const std::string_view kDefaultTemplate;

// The template a rule set starts from: kDefaultTemplate or the recommended one.
std::string_view DefaultTemplate(Rules rules);

// A template cut once into literal text and placeholders, for composing many rows.
struct CompiledTemplate {
  struct Piece {
    std::size_t start = 0, length = 0;  // literal text in `text`
    int placeholder = -1;               // what follows it, or -1
  };
  std::string text;
  std::vector<Piece> pieces;
  bool has461 = false;
  // The literal text holds a brace of its own ("{20{010b}0a}", "{x}"): a replacement could then
  // join it with its neighbours into a placeholder, so only the step-by-step replacement is exact.
  bool literalBraces = false;
  bool literalUtf8 = false;  // every piece of literal text is valid UTF-8 on its own
};

// What a composition needs besides the row's values.
struct CompositionContext {
  Rules rules = Rules::Classic;
  std::string templateText{kDefaultTemplate};
  std::string agencyCode;          // 801 $b under the recommended rules; none when empty
  std::string defaultRole = "著";  // recommended rules: the role of names no role word reaches; empty: none
  HoldingsSettings holdings;       // recommended rules: the item fields to write
  std::string otherRole;           // the same for the names of 200 $g (译 for a translator column); empty: defaultRole
  std::int64_t recordNumber = 1;   // of this record in its run: makes the recommended 001 unique
  LocalTime now;
  RegionLookup* lookup = nullptr;
  // The output's encoding: for GBK the recommended rules fold look-alikes GBK lacks.
  iso2709::Encoding encoding = iso2709::Encoding::Gbk;
  const PinyinSource* pinyin = nullptr;
  // The compiled form of templateText, made on first use.
  mutable std::shared_ptr<const CompiledTemplate> compiled;
};

// "|c " + value: a subfield in the work form; the empty text for an empty value.
std::string SubfieldText(char code, std::string_view value);
// The same appended to `out`, or put in place of what it held (in the room it has).
void AppendSubfieldText(std::string& out, char code, std::string_view value);
void SetSubfieldText(std::string& out, char code, std::string_view value);

// "CNY" + a plain number; otherwise "$" and "￥" become "CNY".
std::string NormalisePrice(std::string_view d010d);

// The first four characters of the 210d value when they read as a number, else "2009".
std::string PublicationYear(std::string_view d210d);

// Keeps the lines that begin with a digit and have more than five characters other than blanks;
// each kept line ends with CR LF.
std::string RightMarc(std::string_view marcs);
// RightMarc appended to `out`.
void AppendRightMarc(std::string_view marcs, std::string& out);
// The lines RightMarc keeps, without their line ends: views into `marcs`, or into `scratch` for a
// line whose CRs had to be dropped.
void RightMarcLines(std::string_view marcs, std::vector<std::string_view>& lines, std::string& scratch);
// The record of a filled template: the lines RightMarc keeps, built where they stand (each
// thread keeps the room for them from call to call). Dropping lines and CRs keeps a valid text valid.
iso2709::Built BuildFilledTemplate(std::string_view filled, const LocalTime& now, const iso2709::BuildOptions& options,
                                   iso2709::Record& record);

// The work form for one row, after RightMarc. Rewrites values[d010d] with the normalised price.
// Throws ComposeError when the publisher database or the pinyin engine cannot be used.
std::string ComposeWorkForm(SubfieldValues& values, const CompositionContext& context);
// ComposeWorkForm into `out` (cleared first), whose room is reused.
void ComposeWorkFormInto(SubfieldValues& values, const CompositionContext& context, std::string& out);
// The template filled in with the row's values, before RightMarc, into `out`. True when it is known
// to be valid UTF-8 (made of valid pieces only); false when that is not known.
bool FillTemplateInto(SubfieldValues& values, const CompositionContext& context, std::string& out);

// The record of one row by the context's rules. A failure comes back as Failed with an error among
// `findings`; what the row should be told about, though it has a record, is added there too.
iso2709::Built ComposeRecord(SubfieldValues& values, const CompositionContext& context, iso2709::Record& record,
                             std::vector<Finding>& findings);

// The row's finding about characters a writer could not write (WriteResult::unencodable > 0).
Finding UnencodableFinding(const iso2709::WriteResult& w, iso2709::Encoding encoding);

// What a writer does with private-use characters by the rule set: the recommended rules count them
// as characters GBK and GB18030 lack; the classic ones write them as code page 936 does.
iso2709::PrivateUse PrivateUseBy(Rules rules);

// The findings of a record's writing: characters it could not write, private-use ones it kept.
void AddWriteFindings(const iso2709::WriteResult& w, iso2709::Encoding encoding, std::vector<Finding>& findings);

// The ISO 2709 record (GBK) for one row by the context's rules. A failure comes back as Failed
// with an error among `findings`; what the row should be told about, though it has a record, is
// added there too.
iso2709::BuildResult ConverttoMarc(SubfieldValues& values, const CompositionContext& context,
                                   std::vector<Finding>* findings = nullptr);

}  // namespace rowcaster::convert
