#include "iso2709/IsoRecord.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "iso2709/Writers.h"
#include "platform/text/Gbk.h"
#include "platform/text/Numeric.h"
#include "platform/text/Utf8.h"

namespace rowcaster::iso2709 {
namespace {

constexpr std::string_view kLeaderTail = "nam0 22000001  450 ";  // leader positions 5-23

std::string LineNo(std::size_t index) { return "第 " + std::to_string(index + 1) + " 行"; }

// The tag of a line that can produce a field: its first three characters are digits naming a
// tag from 010 to 999; -1 otherwise.
int FieldTag(std::string_view line) {
  if (line.size() < 3) return -1;
  int t = 0;
  for (int k = 0; k < 3; ++k) {
    if (line[k] < '0' || line[k] > '9') return -1;
    t = t * 10 + (line[k] - '0');
  }
  return t >= 10 ? t : -1;
}

constexpr std::string_view kNotUtf8 = "工作单不是有效的 UTF-8 文本，未生成记录";

// The next element of `items` after the `used` ones, reusing one a former record left (its strings
// keep their room); the caller drops what stays unused at the end.
template <typename T>
T& NextReused(std::vector<T>& items, std::size_t& used) {
  if (used == items.size()) items.emplace_back();
  return items[used++];
}

// `s` holds at least `n` bytes and the first `n` are ASCII: character positions are byte positions.
bool IsAsciiHead(std::string_view s, std::size_t n) {
  if (s.size() < n) return false;
  for (std::size_t k = 0; k < n; ++k)
    if (static_cast<unsigned char>(s[k]) >= 0x80) return false;
  return true;
}

// s = v in the string's room; cheaper than assign, which must allow for `v` lying inside `s`.
void Assign(std::string& s, std::string_view v) {
  s.clear();
  s.append(v);
}

// Fills `field` from one line: tag, indicators, subfields. Returns a description on failure.
std::string ConvertLine(std::string_view line, std::size_t lineIndex, Field& field, const BuildOptions& options) {
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string noCr;
  if (line.find('\r') != std::string_view::npos) {
    noCr.reserve(line.size());
    for (char c : line)
      if (c != '\r') noCr += c;
    line = noCr;
  }
  std::size_t bar = line.find('|');
  const std::string_view p0 = line.substr(0, bar);
  Assign(field.tag, p0.substr(0, 3));
  Assign(field.indicators, IsAsciiHead(p0, 6) ? p0.substr(4, 2) : text::Utf8Substr(p0, 4, 2));
  field.data.clear();
  field.line = lineIndex + 1;
  std::size_t used = 0;
  while (bar != std::string_view::npos) {
    const std::size_t next = line.find('|', bar + 1);
    const std::string_view piece = line.substr(bar + 1, next == std::string_view::npos ? next : next - bar - 1);
    bar = next;
    if (piece.empty()) {
      field.subfields.resize(used);
      return LineNo(lineIndex) + "：子字段标识符“|”后没有子字段代码（连续两个“|”或行末的“|”）";
    }
    const std::size_t codeLen = IsAsciiHead(piece, 1) ? 1 : text::Utf8Substr(piece, 0, 1).size();
    const std::string_view code = piece.substr(0, codeLen);
    std::string_view data = text::TrimBlanks(piece.substr(codeLen));
    if (options.embeddedIndicators && code == "1") {
      data = piece.substr(codeLen);
      while (!data.empty() && data.front() == ' ') data.remove_prefix(1);
    }
    std::size_t lead = 0;  // the blanks the piece begins with
    while (lead < piece.size() && piece[lead] == ' ') ++lead;
    Subfield& sub = NextReused(field.subfields, used);
    const std::string_view wanted = code == "9" ? std::string_view("A") : code;  // pinyin leaves as $A
    if (wanted.size() == 1 && sub.code.size() == 1)
      sub.code[0] = wanted[0];  // the usual one-byte code, written where the former one stood
    else
      Assign(sub.code, wanted);
    Assign(sub.data, data);
    if (lead < piece.size() && piece[lead] == '9') {
      // Pinyin: right behind the first $a when another subfield follows it, else at the end.
      const auto begin = field.subfields.begin(), last = begin + static_cast<std::ptrdiff_t>(used - 1);
      const auto a = std::find_if(begin, last, [](const Subfield& s) { return s.code == "a"; });
      if (a != last && a + 1 != last) std::rotate(a + 1, last, last + 1);
    }
  }
  field.subfields.resize(used);
  return {};
}

// The fields of the record from its lines (at least two), the record's own fields reused.
Built FillFields(const std::vector<std::string_view>& lines, const LocalTime& now, const BuildOptions& options,
                 Record& record) {
  // Every line but the first must begin with a number; a data line without subfields is dropped.
  thread_local std::vector<int> tags;
  tags.assign(lines.size(), -1);
  tags[0] = FieldTag(lines[0]);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const int tag = FieldTag(lines[i]);
    if (tag >= 10) {  // the usual case: three digits
      if (lines[i].find('|') != std::string_view::npos) tags[i] = tag;
      continue;
    }
    const std::string_view head = text::Utf8Substr(lines[i], 0, 3);
    const std::optional<double> value = text::ReadNumber(head);
    if (!value) return {BuildStatus::Refused, LineNo(i) + "：开头“" + std::string(head) + "”不是字段号，不是一条记录"};
    const double rounded = std::nearbyint(*value);  // half to even, as a 16-bit conversion rounds
    if (!(rounded >= -32768 && rounded <= 32767))
      return {BuildStatus::Failed, LineNo(i) + "：字段号“" + std::string(head) + "”超出范围（溢出）"};
    if (rounded >= 10 && lines[i].find('|') == std::string_view::npos) continue;  // emptied
    tags[i] = FieldTag(lines[i]);
  }

  // Each tag's first group of adjacent lines, in ascending tag order.
  thread_local std::vector<std::pair<int, int>> groups;  // (tag, first line)
  groups.clear();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (tags[i] >= 0 && (i == 0 || tags[i - 1] != tags[i])) groups.emplace_back(tags[i], static_cast<int>(i));
  const auto byTag = [](auto& x, auto& y) { return x.first < y.first; };
  if (!std::is_sorted(groups.begin(), groups.end(), byTag)) std::stable_sort(groups.begin(), groups.end(), byTag);

  record.leader.assign("00000").append(kLeaderTail);
  record.fields.reserve(lines.size() + 1);
  std::size_t used = 0;
  Field& id = NextReused(record.fields, used);
  id.tag = "001";
  id.indicators.clear();
  id.subfields.clear();
  id.line = 0;
  if (options.recordId.empty())
    id.data.assign("00").append(ClockTextsOf(now).dateTime);  // "00" and the clock to the second
  else
    id.data = options.recordId;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const int tag = groups[g].first;
    if (g > 0 && groups[g - 1].first == tag) continue;  // only the first group of a tag is kept
    for (std::size_t i = groups[g].second; i < lines.size() && tags[i] == tag; ++i) {
      std::string failure = ConvertLine(lines[i], i, NextReused(record.fields, used), options);
      if (!failure.empty()) return {BuildStatus::Failed, std::move(failure)};
    }
  }
  record.fields.resize(used);
  return {BuildStatus::Built, {}};
}

}  // namespace

bool AppendPadded(std::string& out, int width, long long n) {
  if (n < 0 || width < 1 || width > 18) return false;
  char buf[20];
  for (int k = width - 1; k >= 0; --k, n /= 10) buf[k] = static_cast<char>('0' + n % 10);
  if (n != 0) return false;
  out.append(buf, width);
  return true;
}

std::string PadDigits(int width, long long n) {
  std::string out;
  AppendPadded(out, width, n);
  return out;
}

std::string FailureMessage(std::string_view description) {
  return std::string("出现意外错误！详细信息如下：\r\n").append(description);
}

// The record's fields are filled in place: those a former record left are reused (their strings
// keep their room), the rest removed at the end.
Built BuildRecord(std::string_view workForm, const LocalTime& now, const BuildOptions& options, Record& record) {
  // Complete lines only: what follows the last line feed is not read (but must be UTF-8 too).
  thread_local std::vector<std::string_view> lines;
  lines.clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t lf = workForm.find('\n', start);
    if (lf == std::string_view::npos) break;
    lines.push_back(workForm.substr(start, lf - start));
    start = lf + 1;
  }
  if (!text::IsValidUtf8(workForm.substr(start))) {
    record.fields.clear();
    return {BuildStatus::Failed, std::string(kNotUtf8)};
  }
  return BuildRecordFromLines(lines, now, options, record);
}

// The text is valid UTF-8 when each line is: a line feed cannot stand inside a character.
Built BuildRecordFromLines(const std::vector<std::string_view>& lines, const LocalTime& now,
                           const BuildOptions& options, Record& record) {
  if (!options.knownUtf8) {
    for (std::string_view line : lines) {
      if (!text::IsValidUtf8(line)) {
        record.fields.clear();
        return {BuildStatus::Failed, std::string(kNotUtf8)};
      }
    }
  }
  if (lines.size() < 2) {
    record.fields.clear();
    return {BuildStatus::Refused, "工作单少于两行，不是一条记录"};
  }
  Built built = FillFields(lines, now, options, record);
  if (built.status != BuildStatus::Built) record.fields.clear();
  return built;
}

BuildResult BuildIsoRecord(std::string_view workForm, const LocalTime& now, const BuildOptions& options) {
  Record record;
  Built built = BuildRecord(workForm, now, options, record);
  if (built.status != BuildStatus::Built) return {built.status, {}, std::move(built.description)};
  RecordWriter writer(Format::Iso2709, Encoding::Gbk);
  BuildResult result{BuildStatus::Built, {}, {}};
  WriteResult w = writer.Append(record, result.record);
  if (!w.ok) return {BuildStatus::Failed, {}, std::move(w.description)};
  return result;
}

}  // namespace rowcaster::iso2709
