#include "convert/Composition.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "convert/Placeholders.h"
#include "convert/Recommended.h"
#include "convert/Values.h"
#include "platform/text/Gbk.h"
#include "platform/text/Numeric.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {

const std::string_view kDefaultTemplate =
    "010    {010a}{010b}{010d}\r\n"
    "100    |a{bmrq}d{cbsj}    em y0chiy0110    ea\r\n"
    "101 0  {101a}\r\n"
    "102    |aCN{dqdm}\r\n"
    "105    |ay   z   000yy\r\n"
    "106    |ar\r\n"
    "200 1  {200a}{200d}{200e}{200i}{200h}{200f}{200g}\r\n"
    "205    {205a}\r\n"
    "210    {210a}{210c}{210d}\r\n"
    "215    {215a}{215d}{215c}{215e}\r\n"
    "225  2 {225a}{225e}{225v}\r\n"
    "300    {300a}\r\n"
    "320    {320a}\r\n"
    "330    {330a}\r\n"
    "333    {333a}\r\n"
    "{410}\r\n"
    "606 0  {606a}{606x}{606j}{606y}{606z}\r\n"
    "690    {690a}{690v}\r\n"
    "{701}\r\n"
    "801    |aCN|bZELKOV|c{bmrq}\r\n"
    "905    {905b}{905d}{905e}{905v}{905f}\r\n";

namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::size_t pos = text.find(from);
  if (pos == std::string::npos) return;
  std::string out;
  out.reserve(text.size() + to.size());
  std::size_t last = 0;
  for (; pos != std::string::npos; pos = text.find(from, last)) {
    out.append(text, last, pos - last);
    out.append(to);
    last = pos + from.size();
  }
  out.append(text, last);
  text.swap(out);
}

}  // namespace

void AppendSubfieldText(std::string& out, char code, std::string_view value) {
  if (value.empty()) return;
  const char mark[] = {'|', code, ' '};
  out.append(mark, 3).append(value);
}

void SetSubfieldText(std::string& out, char code, std::string_view value) {
  out.clear();
  out.reserve(3 + value.size());  // one allocation at most, or none in the room kept
  AppendSubfieldText(out, code, value);
}

std::string SubfieldText(char code, std::string_view value) {
  std::string s;
  SetSubfieldText(s, code, value);
  return s;
}

std::string NormalisePrice(std::string_view d010d) {
  if (text::ReadsAsNumber(d010d)) return "CNY" + std::string(d010d);
  std::string price(d010d);
  ReplaceAll(price, "$", "CNY");
  ReplaceAll(price, "￥", "CNY");
  return price;
}

std::string PublicationYear(std::string_view d210d) {
  const std::string_view head = text::Utf8Substr(d210d, 0, 4);
  return text::Utf8Length(head) == 4 && text::ReadsAsNumber(head) ? std::string(head) : "2009";
}

std::string RightMarc(std::string_view marcs) {
  std::string out;
  AppendRightMarc(marcs, out);
  return out;
}

namespace {

// Calls keep(line, crInside) for each line RightMarc keeps: the line without its line feed and
// trailing CRs; crInside when CRs stand inside it (they are dropped from what is kept).
template <typename Keep>
void ForEachRightMarcLine(std::string_view marcs, Keep keep) {
  for (std::size_t start = 0; start <= marcs.size();) {
    std::size_t lf = marcs.find('\n', start);
    if (lf == std::string_view::npos) lf = marcs.size();
    std::string_view piece = marcs.substr(start, lf - start);
    start = lf + 1;
    const std::size_t first = piece.find_first_not_of('\r');
    if (first == std::string_view::npos || piece[first] < '0' || piece[first] > '9') continue;
    // More than five characters other than blanks (CR is removed, so it does not count).
    std::size_t nonBlank = 0;
    for (std::size_t i = 0; i < piece.size() && nonBlank <= 5; ++i) {
      const auto c = static_cast<unsigned char>(piece[i]);
      if (c != ' ' && c != '\r' && (c & 0xC0) != 0x80) ++nonBlank;
    }
    if (nonBlank <= 5) continue;
    while (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    keep(piece, piece.find('\r') != std::string_view::npos);
  }
}

void AppendWithoutCr(std::string_view piece, std::string& out) {
  for (char c : piece)
    if (c != '\r') out += c;
}

}  // namespace

void AppendRightMarc(std::string_view marcs, std::string& out) {
  out.reserve(out.size() + marcs.size() + 16);
  ForEachRightMarcLine(marcs, [&](std::string_view line, bool crInside) {
    if (crInside)
      AppendWithoutCr(line, out);
    else
      out.append(line);
    out += "\r\n";
  });
}

void RightMarcLines(std::string_view marcs, std::vector<std::string_view>& lines, std::string& scratch) {
  lines.clear();
  scratch.clear();
  scratch.reserve(marcs.size());  // never outgrown: the views into it stay valid
  ForEachRightMarcLine(marcs, [&](std::string_view line, bool crInside) {
    if (!crInside) {
      lines.push_back(line);
      return;
    }
    const std::size_t at = scratch.size();
    AppendWithoutCr(line, scratch);
    lines.push_back(std::string_view(scratch).substr(at));
  });
}

iso2709::Built BuildFilledTemplate(std::string_view filled, const LocalTime& now, const iso2709::BuildOptions& options,
                                   iso2709::Record& record) {
  thread_local std::string scratch;
  thread_local std::vector<std::string_view> lines;
  RightMarcLines(filled, lines, scratch);
  return iso2709::BuildRecordFromLines(lines, now, options, record);
}

namespace {

// The first "{" or "}" at or after `from` (find_first_of would test the set once per character).
std::size_t FindBrace(std::string_view s, std::size_t from) {
  for (std::size_t i = from; i < s.size(); ++i)
    if (s[i] == '{' || s[i] == '}') return i;
  return std::string_view::npos;
}

bool HasBrace(std::string_view s) {
  if (s.empty()) return false;  // an empty view may have no pointer, which memchr must not be given
  return std::memchr(s.data(), '{', s.size()) != nullptr || std::memchr(s.data(), '}', s.size()) != nullptr;
}

constexpr int k410 = p410, k461 = p461;

std::shared_ptr<const CompiledTemplate> Compile(const std::string& text) {
  auto c = std::make_shared<CompiledTemplate>();
  c->text = text;
  c->has461 = text.find("{461}") != std::string::npos;
  std::size_t literal = 0, i = 0;
  while (i < text.size()) {
    const std::size_t open = text.find('{', i);
    if (open == std::string::npos) break;
    const std::size_t next = FindBrace(text, open + 1);
    if (next == std::string::npos) break;
    if (text[next] == '{') {
      i = next;
      continue;
    }
    const std::string_view name(text.data() + open, next + 1 - open);
    if (const auto known = PlaceholderNamed(name, kClassicPlaceholderCount)) {
      c->pieces.push_back({literal, open - literal, *known});
      literal = next + 1;
    }
    i = next + 1;
  }
  c->pieces.push_back({literal, text.size() - literal, -1});
  c->literalUtf8 = true;
  for (const auto& piece : c->pieces) {
    const std::string_view literal = std::string_view(text).substr(piece.start, piece.length);
    c->literalBraces = c->literalBraces || HasBrace(literal);
    c->literalUtf8 = c->literalUtf8 && text::IsValidUtf8(literal);
  }
  return c;
}

}  // namespace

namespace {

// A placeholder's replacement: a prefix ("|a ") and a text, both empty for an empty value without
// a default.
struct Slot {
  std::string_view prefix, text;
};
// The placeholders between {cbsj} and {410}.
constexpr std::size_t kSlotCount = kClassicPlaceholderCount - 4;
using Slots = std::array<Slot, kSlotCount>;

// What a row puts in the template besides its values: texts made of several values or looked up.
struct ClassicTexts {
  std::string catalogued, year, title, date, authors, region, series;
};

// Brings the values to one line each and the price to its form, then makes the other texts.
ClassicTexts ComposeTexts(SubfieldValues& v, const CompositionContext& context) {
  for (std::string& value : v) MakeClassicOneLine(value);
  ClassicTexts t;
  v[d010d] = NormalisePrice(v[d010d]);
  t.year = PublicationYear(v[d210d]);
  t.catalogued = ClockTextsOf(context.now).date;

  // Title pinyin, region code, 701 lines.
  static const PinyinSource kNoPinyin;
  const PinyinSource& pinyin = context.pinyin ? *context.pinyin : kNoPinyin;
  const std::string titlePinyin = PinyinOf(pinyin, v[d200a]);
  if (!context.lookup) throw ComposeError(MakeFinding(Kind::PublisherTableMissing));
  t.region = context.lookup->LookupRegionCode(v[d010a], v[d210c], v[d210a]);
  t.authors = AuthorLines(v[d200f], pinyin);

  t.title = SubfieldText('a', v[d200a]);
  if (!t.title.empty() && !titlePinyin.empty()) t.title += " |A " + titlePinyin;
  t.date = v[d210d].empty() ? std::string() : "|d " + std::string(text::Utf8Substr(text::TrimBlanks(v[d210d]), 0, 4));
  t.series = v[d225a].empty() ? std::string() : "12001 |a" + v[d225a];
  return t;
}

// The slots in placeholder order; they point into `v` and `t`.
Slots SlotsOf(const SubfieldValues& v, const ClassicTexts& t) {
  static constexpr std::string_view kPrefix[] = {"|a ", "|b ", "|c ", "|d ", "|e ", "|f ", "|g ", "|h ", "|i ", "|j ",
                                                 "", "", "", "", "", "", "", "", "", "", "", "|v ", "", "|x ", "|y ", "|z "};
  const auto sub = [&](char code, Param p) {
    return v[p].empty() ? Slot{} : Slot{kPrefix[code - 'a'], v[p]};
  };
  const auto whole = [](std::string_view text) { return Slot{{}, text}; };
  const Slot slots[] = {
      sub('a', d010a), sub('b', d010b), sub('d', d010d),
      v[d101a].empty() ? whole("|a chi") : sub('a', d101a),
      whole(t.title), sub('e', d200e), sub('d', d020d), sub('h', d200h), sub('i', d200i), sub('f', d200f),
      sub('g', d200g), sub('a', d205a), sub('a', d210a), sub('c', d210c), whole(t.date), sub('a', d215a),
      sub('c', d215c), sub('d', d215d), sub('e', d215e), sub('a', d225a), sub('e', d225e), sub('v', d225v),
      sub('a', d300a), sub('a', d320a), sub('a', d330a), sub('a', d333a), sub('a', d606a), sub('a', d690a),
      v[d690v].empty() ? whole("|v 4") : sub('v', d690v),
      whole(t.authors), whole(t.region), sub('b', d905b), sub('e', d905e), sub('f', d905f), sub('x', d606x),
      sub('y', d606y), sub('z', d606z), sub('j', d606j), sub('d', d905d), sub('j', d905v),
  };
  static_assert(std::size(slots) == kSlotCount);
  Slots all;
  std::copy(std::begin(slots), std::end(slots), all.begin());
  return all;
}

// Fills the compiled template in one pass into `out`. Only for a template whose braces all belong
// to whole placeholders, with no brace in any inserted text.
void FillInOnePass(const CompiledTemplate& c, const ClassicTexts& t, const Slots& slots, std::string& out) {
  std::array<Slot, kClassicPlaceholderCount> values{};
  values[0] = {{}, t.catalogued};
  values[1] = {{}, t.year};
  for (std::size_t k = 0; k < kSlotCount; ++k) values[k + 2] = slots[k];
  std::string link;
  bool keep410 = false;
  if (!t.series.empty()) {
    link = (c.has461 ? "461  0 |" : "410  0 |") + t.series;
    values[c.has461 ? k461 : k410] = {{}, link};
    keep410 = c.has461;
  }
  if (keep410) values[k410] = {{}, "{410}"};
  // The length first, then every piece copied to its place: one size for the text, no append's
  // checks for each of its hundred pieces.
  std::size_t size = 0;
  for (const auto& piece : c.pieces) {
    size += piece.length;
    if (piece.placeholder >= 0) size += values[piece.placeholder].prefix.size() + values[piece.placeholder].text.size();
  }
  out.resize(size);
  char* p = out.data();
  const auto put = [&p](std::string_view part) {
    if (!part.empty()) std::memcpy(p, part.data(), part.size());
    p += part.size();
  };
  for (const auto& piece : c.pieces) {
    put(std::string_view(c.text).substr(piece.start, piece.length));
    if (piece.placeholder < 0) continue;
    put(values[piece.placeholder].prefix);
    put(values[piece.placeholder].text);
  }
}

// Replaces one placeholder after another, exactly in order: a brace outside the placeholders may
// join with inserted text into another placeholder.
std::string FillOneByOne(std::string text, const ClassicTexts& t, const Slots& slots) {
  ReplaceAll(text, "{bmrq}", t.catalogued);
  ReplaceAll(text, "{cbsj}", t.year);
  for (std::size_t k = 0; k < kSlotCount; ++k)
    ReplaceAll(text, kPlaceholderNames[k + 2], std::string(slots[k].prefix) + std::string(slots[k].text));

  // The series link.
  if (!t.series.empty()) {
    if (text.find("{461}") != std::string::npos) {
      ReplaceAll(text, "{461}", "461  0 |" + t.series);
    } else {
      ReplaceAll(text, "{410}", "410  0 |" + t.series);
    }
  } else {
    ReplaceAll(text, "{410}", "");
    ReplaceAll(text, "{461}", "");
  }
  return text;
}

}  // namespace

std::string ComposeWorkForm(SubfieldValues& v, const CompositionContext& context) {
  std::string out;
  ComposeWorkFormInto(v, context, out);
  return out;
}

void ComposeWorkFormInto(SubfieldValues& v, const CompositionContext& context, std::string& out) {
  thread_local std::string filled;  // room kept from row to row
  FillTemplateInto(v, context, filled);
  out.clear();
  AppendRightMarc(filled, out);
}

bool FillTemplateInto(SubfieldValues& v, const CompositionContext& context, std::string& out) {
  const ClassicTexts texts = ComposeTexts(v, context);
  const Slots slots = SlotsOf(v, texts);
  bool braces = HasBrace(texts.series);
  for (const Slot& slot : slots) braces = braces || HasBrace(slot.text);
  if (!context.compiled || context.compiled->text != context.templateText)
    context.compiled = Compile(context.templateText);
  // Without a brace but those of whole placeholders, no replacement can make or break another
  // placeholder: filling in one pass gives what replacing one after another gives. Either way only
  // well-formed lines remain once RightMarc has passed.
  if (!braces && !context.compiled->literalBraces) {
    FillInOnePass(*context.compiled, texts, slots, out);
    // Valid pieces joined make a valid text (checking them is cheaper than checking the lines: the
    // template's own text is most of a record).
    bool utf8 = context.compiled->literalUtf8 && text::IsValidUtf8(texts.catalogued) &&
                text::IsValidUtf8(texts.year) && text::IsValidUtf8(texts.series);
    for (const Slot& slot : slots) utf8 = utf8 && text::IsValidUtf8(slot.text);  // the prefixes are ASCII
    return utf8;
  }
  out = FillOneByOne(context.templateText, texts, slots);
  return false;
}

Finding UnencodableFinding(const iso2709::WriteResult& w, iso2709::Encoding encoding) {
  const std::string n = std::to_string(w.unencodable);
  if (encoding == iso2709::Encoding::Utf8)  // only MARCXML leaves characters out
    return MakeFinding(Kind::XmlControlCharacters, {}, {n, w.unencodableChars});
  return MakeFinding(Kind::Unencodable, {}, {n, std::string(iso2709::NameOf(encoding)), w.unencodableChars});
}

iso2709::PrivateUse PrivateUseBy(Rules rules) {
  return rules == Rules::Recommended ? iso2709::PrivateUse::Lacking : iso2709::PrivateUse::Kept;
}

void AddWriteFindings(const iso2709::WriteResult& w, iso2709::Encoding encoding, std::vector<Finding>& findings) {
  if (w.unencodable) findings.push_back(UnencodableFinding(w, encoding));
  if (w.privateUse) findings.push_back(MakeFinding(Kind::PrivateUseKept, {}, {std::to_string(w.privateUse), w.privateUseChars}));
}

iso2709::Built ComposeRecord(SubfieldValues& values, const CompositionContext& context, iso2709::Record& record,
                             std::vector<Finding>& findings) {
  iso2709::Built built;
  if (context.rules == Rules::Recommended) {
    built = ComposeRecommended(values, context, record, findings);
  } else {
    thread_local std::string filled;  // room kept from row to row
    iso2709::BuildOptions options;
    try {
      options.knownUtf8 = FillTemplateInto(values, context, filled);
    } catch (const ComposeError& e) {
      findings.push_back(e.finding());
      return {iso2709::BuildStatus::Failed, {}};
    }
    built = BuildFilledTemplate(filled, context.now, options, record);
  }
  // A failure thrown inside the composition is already among the findings; the builder's is not.
  if (built.status != iso2709::BuildStatus::Built && !FirstError(findings))
    findings.push_back(built.description.empty() ? MakeFinding(Kind::RecordEmpty)
                                                 : MakeFinding(Kind::RecordNotBuilt, {}, {built.description}));
  return built;
}

iso2709::BuildResult ConverttoMarc(SubfieldValues& values, const CompositionContext& context,
                                   std::vector<Finding>* findings) {
  std::vector<Finding> ownFindings;
  iso2709::Record record;
  iso2709::Built built = ComposeRecord(values, context, record, findings ? *findings : ownFindings);
  if (built.status != iso2709::BuildStatus::Built) return {built.status, {}, std::move(built.description)};
  iso2709::RecordWriter writer(iso2709::Format::Iso2709, iso2709::Encoding::Gbk, PrivateUseBy(context.rules));
  iso2709::BuildResult result{iso2709::BuildStatus::Built, {}, {}};
  const iso2709::WriteResult w = writer.Append(record, result.record);
  if (!w.ok) return {iso2709::BuildStatus::Failed, {}, w.description};
  if (findings) AddWriteFindings(w, writer.encoding(), *findings);
  return result;
}

std::string_view DefaultTemplate(Rules rules) {
  return rules == Rules::Recommended ? kRecommendedTemplate : kDefaultTemplate;
}

std::string_view RulesName(Rules rules) { return rules == Rules::Recommended ? "recommended" : "classic"; }

std::optional<Rules> RulesNamed(std::string_view name) {
  if (name == "classic") return Rules::Classic;
  if (name == "recommended") return Rules::Recommended;
  return std::nullopt;
}

std::string_view RulesCaption(Rules rules) { return rules == Rules::Recommended ? "推荐规则" : "标准规则"; }

}  // namespace rowcaster::convert
