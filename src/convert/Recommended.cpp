#include "convert/Recommended.h"

#include <map>

#include "convert/Imprint.h"
#include "convert/Isbn.h"
#include "convert/Persons.h"
#include "convert/Price.h"
#include "convert/Values.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {

const std::string_view kRecommendedTemplate =
    "010    {010a}{010b}{010d}\r\n"
    "100    |a{bmrq}{cbrq}em y0chiy0110    ea\r\n"
    "101 0  {101a}\r\n"
    "102    |aCN{dqdm}\r\n"
    "105    |ay   z   000yy\r\n"
    "106    |ar\r\n"
    "200 1  {200a}{200d}{200e}{200i}{200h}{200f}{200g}\r\n"
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
    "905    {905b}{905d}{905e}{905v}{905f}\r\n";

namespace {

bool HasHan(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const char32_t c = text::NextCodePoint(s, i);
    if ((c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF)) return true;
  }
  return false;
}

std::string Sub(char code, std::string_view value) {
  if (value.empty()) return {};
  return std::string("|") + code + " " + std::string(value);
}

// Several subjects in one cell ("计算机；程序设计、C语言"), one each.
std::vector<std::string> Subjects(std::string_view cell) {
  std::vector<std::string> out;
  std::string current;
  const auto flush = [&] {
    const std::string_view t = TrimWide(current);
    if (!t.empty()) out.emplace_back(t);
    current.clear();
  };
  for (std::size_t i = 0; i < cell.size();) {
    const std::size_t at = i;
    const char32_t c = text::NextCodePoint(cell, i);
    if (c == 0xFF1B || c == U';' || c == 0x3001 || c == U',' || c == 0xFF0C) {
      flush();
    } else {
      current.append(cell.substr(at, i - at));
    }
  }
  flush();
  return out;
}

// Fills each known placeholder once, left to right; inserted text is not looked at again.
std::string Fill(std::string_view tmpl, const std::map<std::string, std::string, std::less<>>& values) {
  std::string out;
  out.reserve(tmpl.size() + 512);
  for (std::size_t i = 0; i < tmpl.size();) {
    if (tmpl[i] == '{') {
      const std::size_t close = tmpl.find('}', i + 1);
      if (close != std::string_view::npos) {
        const auto it = values.find(tmpl.substr(i, close + 1 - i));
        if (it != values.end()) {
          out += it->second;
          i = close + 1;
          continue;
        }
      }
    }
    out += tmpl[i++];
  }
  return out;
}

}  // namespace

std::string ComposeRecommendedWorkForm(SubfieldValues& v, const CompositionContext& context,
                                       std::vector<std::string>& warnings) {
  const std::string rawIsbn = OneLine(v[d010a]);
  for (std::string& value : v) value = FoldForGbk(CleanValue(OneLine(value)));
  if (v[d200a].empty()) throw ComposeError("没有题名");
  static const PinyinSource kNoPinyin;
  const PinyinSource& pinyin = context.pinyin ? *context.pinyin : kNoPinyin;
  if (!context.lookup) throw ComposeError("没有出版社库");

  std::map<std::string, std::string, std::less<>> fill;

  // ISBN: hyphenated in $a when valid; a wrong check digit goes to $z; junk gives no 010.
  const Isbn isbn = ParseIsbn(v[d010a]);
  if (isbn.kind == Isbn::Kind::Valid) {
    fill["{010a}"] = Sub('a', isbn.text);
  } else if (isbn.kind == Isbn::Kind::Invalid) {
    fill["{010a}"] = Sub('z', isbn.text);
    warnings.push_back("ISBN " + isbn.text + " 的校验位不对，写入 010 $z");
  } else {
    fill["{010a}"] = "";
    if (!v[d010a].empty()) warnings.push_back("“" + std::string(TrimWide(rawIsbn)) + "”不是 ISBN，没有写入 010");
  }
  fill["{010b}"] = Sub('b', v[d010b]);
  const auto price = CurrencyPrice(v[d010d]);
  fill["{010d}"] = price ? Sub('d', *price) : "";
  if (!price && !v[d010d].empty()) warnings.push_back("价格“" + v[d010d] + "”读不出，没有写入 010 $d");
  if (price) v[d010d] = *price;

  // 210 and the year, parsed once for 210 $d and 100 $a.
  Imprint imprint = SplitImprint(v[d210a], v[d210c], v[d210d]);
  const std::optional<int> year = ParseYear(imprint.date);
  if (!year) warnings.push_back(imprint.date.empty() ? "没有出版年，100 $a 的出版日期记为不详"
                                                     : "出版日期“" + imprint.date + "”中没有年份，100 $a 的出版日期记为不详");
  const auto publisher = context.lookup->FindPublisher(isbn.kind == Isbn::Kind::Valid ? isbn.text : "",
                                                       imprint.publisher, imprint.place);
  if (imprint.place.empty() && publisher && !publisher->place.empty()) imprint.place = publisher->place;
  fill["{210a}"] = Sub('a', imprint.place);
  fill["{210c}"] = Sub('c', imprint.publisher);
  fill["{210d}"] = year ? Sub('d', std::to_string(*year)) : "";
  fill["{dqdm}"] = publisher ? "|b " + publisher->regionCode : "";
  fill["{bmrq}"] = Yyyymmdd(context.now);
  fill["{cbrq}"] = PublicationDates100(year);

  // Title, with pinyin only for a title in Han characters.
  std::string title = Sub('a', v[d200a]);
  if (HasHan(v[d200a])) {
    const std::string reading(text::TrimBlanks(PinyinOf(pinyin, v[d200a])));
    if (!reading.empty()) title += " |A " + reading;
  }
  fill["{200a}"] = title;
  for (const auto& [name, param, code] : std::initializer_list<std::tuple<const char*, Param, char>>{
           {"{200d}", d020d, 'd'}, {"{200e}", d200e, 'e'}, {"{200h}", d200h, 'h'}, {"{200i}", d200i, 'i'},
           {"{200f}", d200f, 'f'}, {"{200g}", d200g, 'g'}, {"{205a}", d205a, 'a'}, {"{215a}", d215a, 'a'},
           {"{215c}", d215c, 'c'}, {"{215d}", d215d, 'd'}, {"{215e}", d215e, 'e'}, {"{225a}", d225a, 'a'},
           {"{225e}", d225e, 'e'}, {"{225v}", d225v, 'v'}, {"{300a}", d300a, 'a'}, {"{320a}", d320a, 'a'},
           {"{330a}", d330a, 'a'}, {"{333a}", d333a, 'a'}, {"{905b}", d905b, 'b'}, {"{905d}", d905d, 'd'},
           {"{905e}", d905e, 'e'}, {"{905f}", d905f, 'f'}, {"{905v}", d905v, 'j'}, {"{606a}", d606a, 'a'},
           {"{606x}", d606x, 'x'}, {"{606y}", d606y, 'y'}, {"{606z}", d606z, 'z'}, {"{606j}", d606j, 'j'},
           {"{690a}", d690a, 'a'}, {"{690v}", d690v, 'v'}, {"{010b}", d010b, 'b'}})
    fill[name] = Sub(code, v[param]);
  fill["{101a}"] = v[d101a].empty() ? "|a chi" : Sub('a', v[d101a]);

  // Series: 410 embeds 200 with its indicators "1 ".
  fill["{410}"] = v[d225a].empty() ? "" : "410  0 |12001 |a " + v[d225a];
  fill["{461}"] = v[d225a].empty() ? "" : "461  0 |12001 |a " + v[d225a];

  // One 606 per subject; the other 606 subfields stay with the first.
  std::string subjects;
  const std::vector<std::string> topics = Subjects(v[d606a]);
  for (std::size_t k = 0; k < topics.size(); ++k) {
    subjects += "606 0  |a " + topics[k];
    if (k == 0) subjects += Sub('x', v[d606x]) + Sub('j', v[d606j]) + Sub('y', v[d606y]) + Sub('z', v[d606z]);
    subjects += "\r\n";
  }
  if (topics.empty() && !(v[d606x].empty() && v[d606y].empty() && v[d606z].empty() && v[d606j].empty()))
    subjects = "606 0  " + Sub('x', v[d606x]) + Sub('j', v[d606j]) + Sub('y', v[d606y]) + Sub('z', v[d606z]) + "\r\n";
  fill["{606}"] = subjects;
  // 690 only with a class number; the CLC edition defaults to 5.
  fill["{690}"] = v[d690a].empty() ? "" : "690    |a " + v[d690a] + " |v " + (v[d690v].empty() ? "5" : v[d690v]);

  // Persons and bodies of both statements.
  std::vector<Responsible> persons = SplitResponsibility(v[d200f]);
  const std::vector<Responsible> more = SplitResponsibility(v[d200g]);
  persons.insert(persons.end(), more.begin(), more.end());
  fill["{701}"] = ResponsibleLines(persons, pinyin);
  fill["{801b}"] = context.agencyCode.empty() ? "" : "|b" + context.agencyCode;

  const std::string workForm = RightMarc(Fill(context.templateText, fill));
  const std::vector<std::string> missing = NotInGbk(workForm);
  if (!missing.empty()) {
    std::string list;
    for (const auto& ch : missing) list += ch;
    warnings.push_back("GBK 中没有的字符写成了“?”：" + list);
  }
  return workForm;
}

iso2709::BuildResult ComposeRecommended(SubfieldValues& values, const CompositionContext& context,
                                        std::vector<std::string>& warnings) {
  std::string workForm;
  try {
    workForm = ComposeRecommendedWorkForm(values, context, warnings);
  } catch (const ComposeError& e) {
    return {iso2709::BuildStatus::Failed, {}, e.what()};
  }
  iso2709::BuildOptions options;
  // The cataloguing date and time, then the record's number in its run: unique within a file.
  options.recordId = Yyyymmddhhmmss(context.now) + iso2709::PadDigits(6, context.recordNumber % 1000000);
  options.embeddedIndicators = true;
  return iso2709::BuildIsoRecord(workForm, context.now, options);
}

}  // namespace rowcaster::convert
