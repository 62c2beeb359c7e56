#include "iso2709/IsoRecord.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/text/Gbk.h"
#include "platform/text/Numeric.h"
#include "platform/text/Utf8.h"

namespace rowcaster::iso2709 {
namespace {

constexpr char kSubfield = '\x1F';
constexpr char kFieldEnd = '\x1E';
constexpr char kRecordEnd = '\x1D';
constexpr std::string_view kLeaderTail = "nam0 22000001  450 ";  // leader positions 5-23

BuildResult Refuse(std::string description) { return {BuildStatus::Refused, {}, std::move(description)}; }
BuildResult Fail(std::string description) { return {BuildStatus::Failed, {}, std::move(description)}; }

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

// Builds the field text of one line: tag, indicators, subfields, all in GBK. Returns a
// description on failure.
std::string ConvertLine(std::string_view line, std::size_t lineIndex, std::string& field, const BuildOptions& options) {
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string noCr;
  if (line.find('\r') != std::string_view::npos) {
    noCr.reserve(line.size());
    for (char c : line)
      if (c != '\r') noCr += c;
    line = noCr;
  }
  field.clear();
  std::size_t bar = line.find('|');
  const std::string_view p0 = line.substr(0, bar);
  field.append(p0.substr(0, 3));
  text::AppendGbk(field, text::Utf8Substr(p0, 4, 2));
  while (bar != std::string_view::npos) {
    const std::size_t next = line.find('|', bar + 1);
    const std::string_view piece = line.substr(bar + 1, next == std::string_view::npos ? next : next - bar - 1);
    bar = next;
    if (piece.empty())
      return LineNo(lineIndex) + "：子字段标识符“|”后没有子字段代码（连续两个“|”或行末的“|”）";
    const std::size_t codeLen = text::Utf8Substr(piece, 0, 1).size();
    const std::string_view code = piece.substr(0, codeLen);
    std::string_view data = text::TrimBlanks(piece.substr(codeLen));
    if (options.embeddedIndicators && code == "1") {
      data = piece.substr(codeLen);
      while (!data.empty() && data.front() == ' ') data.remove_prefix(1);
    }
    const std::string_view trimmed = text::TrimBlanks(piece);
    if (!trimmed.empty() && trimmed.front() == '9') {
      // Pinyin: right behind the first $a when another subfield follows it, else at the end.
      std::size_t insertAt = field.size();
      const std::size_t a = field.find("\x1F" "a");
      if (a != std::string::npos) {
        const std::size_t following = field.find(kSubfield, a + 1);
        if (following != std::string::npos) insertAt = following;
      }
      std::string sub(1, kSubfield);
      text::AppendGbk(sub, code);
      text::AppendGbk(sub, data);
      field.insert(insertAt, sub);
    } else {
      field += kSubfield;
      text::AppendGbk(field, code);
      text::AppendGbk(field, data);
    }
  }
  return {};
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

BuildResult BuildIsoRecord(std::string_view workForm, const LocalTime& now, const BuildOptions& options) {
  if (!text::IsValidUtf8(workForm)) return Fail("工作单不是有效的 UTF-8 文本，未生成记录");

  // Complete lines only: what follows the last line feed is not read.
  std::vector<std::string_view> lines;
  for (std::size_t start = 0;;) {
    const std::size_t lf = workForm.find('\n', start);
    if (lf == std::string_view::npos) break;
    lines.push_back(workForm.substr(start, lf - start));
    start = lf + 1;
  }
  if (lines.size() < 2) return Refuse("工作单少于两行，不是一条记录");

  // Every line but the first must begin with a number; a data line without subfields is dropped.
  std::vector<int> tags(lines.size(), -1);
  tags[0] = FieldTag(lines[0]);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const int tag = FieldTag(lines[i]);
    if (tag >= 10) {  // the usual case: three digits
      if (lines[i].find('|') != std::string_view::npos) tags[i] = tag;
      continue;
    }
    const std::string_view head = text::Utf8Substr(lines[i], 0, 3);
    const std::optional<double> value = text::ReadNumber(head);
    if (!value) return Refuse(LineNo(i) + "：开头“" + std::string(head) + "”不是字段号，不是一条记录");
    const double rounded = std::nearbyint(*value);  // half to even, as a 16-bit conversion rounds
    if (!(rounded >= -32768 && rounded <= 32767))
      return Fail(LineNo(i) + "：字段号“" + std::string(head) + "”超出范围（溢出）");
    if (rounded >= 10 && lines[i].find('|') == std::string_view::npos) continue;  // emptied
    tags[i] = FieldTag(lines[i]);
  }

  // Each tag's first group of adjacent lines, in ascending tag order.
  std::vector<std::pair<int, int>> groups;  // (tag, first line)
  groups.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (tags[i] >= 0 && (i == 0 || tags[i - 1] != tags[i])) groups.emplace_back(tags[i], static_cast<int>(i));
  std::stable_sort(groups.begin(), groups.end(), [](auto& x, auto& y) { return x.first < y.first; });

  const std::string stamp = options.recordId.empty() ? "00" + Yyyymmddhhmmss(now) : options.recordId;
  std::string directory;
  directory.reserve(12 * (groups.size() + 8));
  directory += "001";
  AppendPadded(directory, 4, static_cast<long long>(stamp.size()) + 1);
  directory += "00000";
  std::string data;
  data.reserve(workForm.size() + 32);
  data += stamp;
  data += kFieldEnd;
  std::string field;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const int tag = groups[g].first;
    if (g > 0 && groups[g - 1].first == tag) continue;  // only the first group of a tag is emitted
    for (std::size_t i = groups[g].second; i < lines.size() && tags[i] == tag; ++i) {
      std::string failure = ConvertLine(lines[i], i, field, options);
      if (!failure.empty()) return Fail(std::move(failure));
      const long long fieldLen = static_cast<long long>(field.size()) - 2;
      if (fieldLen > kMaxFieldBytes)
        return Fail(LineNo(i) + "：字段 " + PadDigits(3, tag) + " 长 " + std::to_string(fieldLen) +
                    " 字节，超过 ISO 2709 字段长度上限 9999 字节");
      if (static_cast<long long>(data.size()) > kMaxStart)
        return Fail(LineNo(i) + "：字段 " + PadDigits(3, tag) + " 的起始位置 " + std::to_string(data.size()) +
                    " 超过 ISO 2709 起始位置上限 99999");
      directory.append(field, 0, 3);
      AppendPadded(directory, 4, fieldLen);
      AppendPadded(directory, 5, static_cast<long long>(data.size()));
      data.append(field, 3);
      data += kFieldEnd;
    }
  }

  const long long recordLen = static_cast<long long>(data.size() + directory.size()) + 24 + 1 + 1;
  if (recordLen > kMaxRecordBytes)
    return Fail("记录长 " + std::to_string(recordLen) + " 字节，超过 ISO 2709 记录长度上限 99999 字节");

  BuildResult result{BuildStatus::Built, {}, {}};
  std::string& record = result.record;
  record.reserve(static_cast<std::size_t>(recordLen));
  record += PadDigits(5, recordLen);
  record.append(kLeaderTail.substr(0, 7));
  record += PadDigits(5, 24 + static_cast<long long>(directory.size()) + 1);
  record.append(kLeaderTail.substr(12));
  record += directory;
  record += kFieldEnd;
  record += data;
  record += kRecordEnd;
  // Pinyin subfields leave with the code A.
  for (std::size_t k = record.find(kSubfield); k != std::string::npos; k = record.find(kSubfield, k + 1))
    if (k + 1 < record.size() && record[k + 1] == '9') record[k + 1] = 'A';
  return result;
}

}  // namespace rowcaster::iso2709
