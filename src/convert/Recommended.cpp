#include "convert/Recommended.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <tuple>
#include <utility>

#include "convert/Extent.h"
#include "convert/Holdings.h"
#include "convert/Imprint.h"
#include "convert/Isbn.h"
#include "convert/Language.h"
#include "convert/Persons.h"
#include "convert/Placeholders.h"
#include "convert/Price.h"
#include "convert/Subjects.h"
#include "convert/Title.h"
#include "convert/Values.h"
#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {

const std::string_view kRecommendedTemplate =
    "010    {010a}{010b}{010d}\r\n"
    "100    |a{bmrq}{cbrq}em y0chiy0110    {script}\r\n"
    "{101}\r\n"
    "{102}\r\n"
    "105    |ay   z   000yy\r\n"
    "106    |ar\r\n"
    "200 1  {200a}{200d}{200e}{200h}{200i}{200f}{200g}\r\n"
    "205    {205a}\r\n"
    "210    {210a}{210c}{210d}\r\n"
    "215    {215a}{215d}{215c}{215e}\r\n"
    "225 2  {225a}{225e}{225v}\r\n"
    "300    {300a}\r\n"
    "320    {320a}\r\n"
    "330    {330a}\r\n"
    "333    {333a}\r\n"
    "{410}\r\n"
    "{606}\r\n"
    "{690}\r\n"
    "{701}\r\n"
    "801  0 |aCN{801b}|c{bmrq}\r\n"
    "{holdings}\r\n";

namespace {

// A template cut once into literal text and slots; each known placeholder is filled once, left to
// right, and inserted text is not looked at again.
struct CutTemplate {
  std::string text;
  std::vector<std::pair<std::string_view, int>> pieces;  // literal text, then a slot or -1
};

const CutTemplate& Cut(const std::string& text) {
  thread_local CutTemplate cut;
  if (cut.text == text && !cut.pieces.empty()) return cut;
  cut.text = text;
  cut.pieces.clear();
  const std::string_view t = cut.text;
  std::size_t literal = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '{') continue;
    const std::size_t close = t.find('}', i + 1);
    if (close == std::string_view::npos) break;
    // {cbsj} is the classic year; the recommended template says {cbrq} and leaves it as text.
    const auto known = PlaceholderNamed(t.substr(i, close + 1 - i));
    if (!known || *known == pCbsj) continue;
    cut.pieces.emplace_back(t.substr(literal, i - literal), *known);
    literal = close + 1;
    i = close;
  }
  cut.pieces.emplace_back(t.substr(literal), -1);
  return cut;
}

void Fill(const CutTemplate& cut, const std::array<std::string, kPlaceholderCount>& values, std::string& out) {
  // Sized once and copied into: some ninety pieces a record, most of them short.
  std::size_t size = 0;
  for (const auto& [literal, slot] : cut.pieces) size += literal.size() + (slot >= 0 ? values[slot].size() : 0);
  out.resize(size);
  char* at = out.data();
  for (const auto& [literal, slot] : cut.pieces) {
    at = std::copy(literal.begin(), literal.end(), at);
    if (slot >= 0) at = std::copy(values[slot].begin(), values[slot].end(), at);
  }
}

// The rules that reshape a row's cleaned values before the fields are filled. Pages come before
// the title, so that a count of volumes taken from it joins them ("3册（353页）").
// "200 $a" for the parameter of 200a.
std::string FieldOf(Param p) {
  const std::string_view code = kParamCodes[p];
  return code.size() == 4 ? std::string(code.substr(0, 3)) + " $" + code[3] : std::string(code);
}

// Every value on one line and trimmed; a cell that stands for "none" is dropped and a "|" becomes
// "｜", each with a note; for GBK, look-alikes it lacks are folded.
void CleanValues(SubfieldValues& v, iso2709::Encoding encoding, std::vector<Finding>& findings) {
  for (std::size_t p = 0; p < kParamCount; ++p) {
    std::string& value = v[p];
    if (value.empty()) continue;
    // Most cells are one trimmed line of real text that GBK holds: nothing to copy or tell. For
    // GBK one pass looks for the breaks, the bar and the characters GBK lacks.
    const bool gbk = encoding == iso2709::Encoding::Gbk;
    static constexpr text::AsciiSet kBreaksAndBar("\r\n\t|");
    if (gbk ? text::GbkEncodesAll(value, kBreaksAndBar) && CleanLeavesAsIs(value, true) : CleanLeavesAsIs(value))
      continue;
    std::string line = OneLine(value);
    value = CleanValue(line);
    if (value.empty() && !TrimWide(line).empty())
      findings.push_back(MakeFinding(Kind::PlaceholderDropped, FieldOf(static_cast<Param>(p)), {std::move(line)}));
    else if (line.find('|') != std::string::npos && p != d200f && p != d200g)  // there a "|" parts statements
      findings.push_back(MakeFinding(Kind::BarReplaced, FieldOf(static_cast<Param>(p)), {std::move(line)}));
    if (encoding != iso2709::Encoding::Gbk) continue;
    std::string folded = FoldForGbk(value);
    if (folded == value) continue;
    findings.push_back(MakeFinding(Kind::LookAlikeFolded, FieldOf(static_cast<Param>(p)), {value, folded}));
    value = std::move(folded);
  }
}

void ApplyValueRules(SubfieldValues& v, std::vector<Finding>& findings) {
  v[d215a] = Pages215(v[d215a]);
  ApplyTitleRules(v, findings);
  v[d215d] = Size215(v[d215d], findings);
  v[d690a] = ClassNumber690(v[d690a], findings);
}

// 200 $a, with pinyin only for a title in Han characters.
void SetTitleWithPinyin(std::string& out, const std::string& title, const PinyinSource& pinyin) {
  SetSubfieldText(out, 'a', title);
  if (text::HasHanIdeograph(title)) {
    const std::string pinyinText = PinyinOf(pinyin, title);
    const std::string_view reading = text::TrimBlanks(pinyinText);
    if (!reading.empty()) out.append(" |A ").append(reading);
  }
}

// One 606 per subject, appended to `out`; the other 606 subfields stay with the first.
void AppendSubjectLines(std::string& out, const SubfieldValues& v) {
  const auto more = [&] {
    for (const auto& [param, code] : {std::pair{d606x, 'x'}, {d606j, 'j'}, {d606y, 'y'}, {d606z, 'z'}})
      AppendSubfieldText(out, code, v[param]);
  };
  const std::vector<std::string> topics = Subjects(v[d606a]);
  if (topics.empty()) {
    if (v[d606x].empty() && v[d606j].empty() && v[d606y].empty() && v[d606z].empty()) return;
    out.append("606 0  ");
    more();
    out.append("\r\n");
    return;
  }
  for (std::size_t k = 0; k < topics.size(); ++k) {
    out.append("606 0  |a ").append(topics[k]);
    if (k == 0) more();
    out.append("\r\n");
  }
}

// 200 $f and $g in cataloguing form, appended to `fText` and `gText`: the first group of the first
// statement is $f, every other group a $g. A statement that names nobody (佚名) stays as given.
void AppendStatements200(std::string& fText, std::string& gText, const std::string& f,
                         const std::vector<Responsible>& fPersons, const std::string& g,
                         const std::vector<Responsible>& gPersons) {
  const std::vector<std::string> fGroups = ResponsibilityGroups(fPersons);
  if (fGroups.empty()) AppendSubfieldText(fText, 'f', f);
  for (std::size_t k = 0; k < fGroups.size(); ++k)
    AppendSubfieldText(k == 0 ? fText : gText, k == 0 ? 'f' : 'g', fGroups[k]);
  const std::vector<std::string> gGroups = ResponsibilityGroups(gPersons);
  if (gGroups.empty()) AppendSubfieldText(gText, 'g', g);
  for (const std::string& group : gGroups) AppendSubfieldText(gText, 'g', group);
}

// The names no role word reached get the profile's default role (著 unless it says otherwise, none
// when it is empty); one note a row names them when they got one. Those of 200 $g take the role its
// column names (译 for a translator column) without a note: the column said it.
void AssumeRoles(std::vector<Responsible>& f, std::vector<Responsible>& g, const CompositionContext& context,
                 std::vector<Finding>& findings) {
  const std::string& role = context.defaultRole;
  std::string names;
  for (auto* list : {&f, &g})
    for (Responsible& r : *list) {
      if (!r.roleAssumed) continue;
      if (list == &g && !context.otherRole.empty()) {
        r.role = context.otherRole;
        r.secondary = true;
        r.roleAssumed = false;
        continue;
      }
      r.role = role;
      names.append(names.empty() ? "" : "、").append(r.name);
    }
  if (!names.empty() && !role.empty()) findings.push_back(MakeFinding(Kind::RoleAssumed, "200 $f", {names, role}));
}

// Holdings: the 905 of the row's subfields, or the item fields of the profile's preset.
void SetHoldingsFill(std::array<std::string, kPlaceholderCount>& fill, const SubfieldValues& v,
                    const CompositionContext& context, std::vector<Finding>& findings) {
  std::string& out = fill[pHoldings];
  if (context.holdings.preset.empty()) {
    out.assign("905    ");
    for (const Placeholder slot : {p905a, p905b, p905d, p905e, p905v, p905f}) out.append(fill[slot]);
    return;
  }
  out = HoldingsLines(context.holdings,
                      {v[d905b], v[d905f], v[d905d].empty() ? v[d690a] : v[d905d], v[d905e], v[d010d], context.agencyCode},
                      findings);
}

// The template filled for one row, before RightMarc.
void FilledTemplate(SubfieldValues& v, const CompositionContext& context, std::vector<Finding>& findings,
                    std::string& out) {
  CleanValues(v, context.encoding, findings);
  if (v[d200a].empty()) throw ComposeError(MakeFinding(Kind::NoTitle, "200 $a"));
  ApplyValueRules(v, findings);
  static const PinyinSource kNoPinyin;
  const PinyinSource& pinyin = context.pinyin ? *context.pinyin : kNoPinyin;
  if (!context.lookup) throw ComposeError(MakeFinding(Kind::PublisherTableMissing));

  // The filled texts keep their room from row to row.
  thread_local std::array<std::string, kPlaceholderCount> fill;
  for (std::string& f : fill) f.clear();

  // ISBN: hyphenated in $a when valid; a wrong check digit goes to $z; junk gives no 010.
  const Isbn isbn = CheckedIsbn(v[d010a], findings);
  if (isbn.kind != Isbn::Kind::None) SetSubfieldText(fill[p010a], isbn.kind == Isbn::Kind::Valid ? 'a' : 'z', isbn.text);
  SetSubfieldText(fill[p010b], 'b', v[d010b]);
  const auto price = CurrencyPrice(v[d010d]);
  if (price) SetSubfieldText(fill[p010d], 'd', *price);
  // A price of nothing (0, 0.00) stands for "not known".
  const bool zero = !v[d010d].empty() && v[d010d].find_first_not_of("0.") == std::string::npos;
  if (!price && !v[d010d].empty())
    findings.push_back(MakeFinding(zero ? Kind::PlaceholderDropped : Kind::PriceUnreadable, "010 $d", {v[d010d]}));
  if (price) v[d010d] = *price;

  // 210 and the year, parsed once for 210 $d and 100 $a.
  const RecommendedImprint imprint =
      ComposeImprint(v, isbn.kind == Isbn::Kind::Valid ? isbn.text : "", *context.lookup, findings);
  fill[p210a] = imprint.field210a;
  fill[p210c] = imprint.field210c;
  if (imprint.year) SetSubfieldText(fill[p210d], 'd', std::to_string(*imprint.year));
  if (!imprint.regionCode.empty()) fill[pDqdm].append("|b ").append(imprint.regionCode);
  fill[pBmrq] = ClockTextsOf(context.now).date;
  fill[pCbrq] = PublicationDates100(imprint.year);

  SetTitleWithPinyin(fill[p200a], v[d200a], pinyin);
  static constexpr std::tuple<Placeholder, Param, char> kPlain[] = {
      {p200d, d020d, 'd'}, {p200e, d200e, 'e'}, {p200h, d200h, 'h'}, {p200i, d200i, 'i'},
      {p205a, d205a, 'a'}, {p215a, d215a, 'a'}, {p215c, d215c, 'c'}, {p215d, d215d, 'd'},
      {p215e, d215e, 'e'}, {p225a, d225a, 'a'}, {p225e, d225e, 'e'}, {p225v, d225v, 'v'}, {p300a, d300a, 'a'},
      {p320a, d320a, 'a'}, {p330a, d330a, 'a'}, {p333a, d333a, 'a'}, {p905b, d905b, 'b'}, {p905d, d905d, 'd'},
      {p905e, d905e, 'e'}, {p905f, d905f, 'f'}, {p905v, d905v, 'j'}, {p606a, d606a, 'a'}, {p606x, d606x, 'x'},
      {p606y, d606y, 'y'}, {p606z, d606z, 'z'}, {p606j, d606j, 'j'}, {p690a, d690a, 'a'}, {p690v, d690v, 'v'}};
  for (const auto& [slot, param, code] : kPlain) AppendSubfieldText(fill[slot], code, v[param]);  // the fills are empty

  // Series: 410 embeds 200 with its indicators "1 ".
  if (!v[d225a].empty()) {
    fill[p410].append("410  0 |12001 |a ").append(v[d225a]);
    fill[p461].append("461  0 |12001 |a ").append(v[d225a]);
  }
  const CutTemplate& cut = Cut(context.templateText);
  for (const auto& piece : cut.pieces)
    if (piece.second == p461) fill[p410].clear();  // as in the classic rules, a {461} takes the link

  AppendSubjectLines(fill[p606], v);
  // 690 only with a class number; the CLC edition defaults to 5.
  if (!v[d690a].empty())
    fill[p690].append("690    |a ").append(v[d690a]).append(" |v ").append(v[d690v].empty() ? "5" : v[d690v]);

  // Persons and bodies of both statements; the statements written again from them.
  std::vector<Responsible> persons = SplitResponsibility(v[d200f], &findings);
  std::vector<Responsible> more = SplitResponsibility(v[d200g], &findings);
  AssumeRoles(persons, more, context, findings);
  AppendStatements200(fill[p200f], fill[p200g], v[d200f], persons, v[d200g], more);
  persons.insert(persons.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  OnePerPerson(persons, &findings);
  const bool chineseIsbn = isbn.kind == Isbn::Kind::Valid &&
                          (isbn.digits.starts_with("9787") || (isbn.digits.size() == 10 && isbn.digits[0] == '7'));
  const LanguageFields language =
      LanguageOf(v[d101a], v[d200a], TranslationOf(persons), chineseIsbn || imprint.publisherFound, findings);
  fill[p101a] = language.subfields;
  fill[p101] = language.line;
  fill[pScript] = language.script;
  if (language.china) fill[p102].append("102    |aCN").append(fill[pDqdm]);
  AppendResponsibleLines(fill[p701], persons, pinyin);
  if (!context.agencyCode.empty()) fill[p801b].append("|b").append(context.agencyCode);
  SetSubfieldText(fill[p905a], 'a', context.agencyCode);
  SetHoldingsFill(fill, v, context, findings);

  Fill(cut, fill, out);
}

}  // namespace

std::string ComposeRecommendedWorkForm(SubfieldValues& v, const CompositionContext& context,
                                       std::vector<Finding>& findings) {
  std::string filled;
  FilledTemplate(v, context, findings, filled);
  return RightMarc(filled);
}

iso2709::Built ComposeRecommended(SubfieldValues& values, const CompositionContext& context, iso2709::Record& record,
                                  std::vector<Finding>& findings) {
  thread_local std::string filled;  // room kept from row to row
  try {
    FilledTemplate(values, context, findings, filled);
  } catch (const ComposeError& e) {
    findings.push_back(e.finding());
    return {iso2709::BuildStatus::Failed, {}};
  }
  iso2709::BuildOptions options;
  // The cataloguing date and time, then the record's number in its run: unique within a file.
  options.recordId = ClockTextsOf(context.now).dateTime;
  iso2709::AppendPadded(options.recordId, 6, context.recordNumber % 1000000);
  options.embeddedIndicators = true;
  // The cells come well-formed from every reader, and GBK's writer meets each character of the
  // record anyway, writing a byte that begins none as a counted "?": the lines need no check of
  // their own. The other encodings copy more as it is: there the builder checks.
  options.knownUtf8 = context.encoding == iso2709::Encoding::Gbk;
  return BuildFilledTemplate(filled, context.now, options, record);  // not copied into a work form first
}

}  // namespace rowcaster::convert
