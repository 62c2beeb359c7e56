#include "platform/data/CsvSource.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "platform/text/CodePage.h"
#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

namespace rowcaster::data {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMaxBytes = std::uintmax_t{4} << 30;

std::string FromGb18030(std::string_view bytes) {
  UErrorCode err = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open("gb18030", &err);
  if (U_FAILURE(err)) throw DataError("ICU 没有 GB18030 转换器");
  std::u16string units(bytes.size() + 1, u'\0');
  const int32_t n = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(units.data()), static_cast<int32_t>(units.size()),
                                  bytes.data(), static_cast<int32_t>(bytes.size()), &err);
  ucnv_close(cnv);
  if (U_FAILURE(err)) throw DataError("无法按 GB18030 解读文本文件");
  units.resize(static_cast<std::size_t>(n));
  std::string le;
  le.reserve(units.size() * 2);
  for (char16_t u : units) {
    le += static_cast<char>(u & 0xFF);
    le += static_cast<char>(u >> 8);
  }
  return text::FromUtf16Le(le);
}

// The text as UTF-8, and what it was.
std::string Decode(std::string_view bytes, std::string& encoding) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    encoding = "UTF-8";
    bytes.remove_prefix(3);
    if (!text::IsValidUtf8(bytes)) throw DataError("文本文件标明是 UTF-8，但内容不是有效的 UTF-8");
    return std::string(bytes);
  }
  if (bytes.starts_with("\xFF\xFE")) {
    encoding = "UTF-16LE";
    return text::FromUtf16Le(bytes.substr(2));
  }
  if (bytes.starts_with("\xFE\xFF")) {
    encoding = "UTF-16BE";
    std::string le(bytes.substr(2));
    for (std::size_t i = 0; i + 1 < le.size(); i += 2) std::swap(le[i], le[i + 1]);
    return text::FromUtf16Le(le);
  }
  if (text::IsValidUtf8(bytes)) {
    encoding = "UTF-8";
    return std::string(bytes);
  }
  encoding = "GB18030";
  return FromGb18030(bytes);
}

// The delimiter of the first lines: the candidate found on every line the same number of times
// (outside quotes), most often; a tab for .tsv.
char FindDelimiter(std::string_view text, std::string_view extension) {
  if (extension == ".tsv") return '\t';
  // Ties go to the earlier: a tab-separated file often has commas in its text, a CSV rarely tabs.
  constexpr std::array<char, 4> kCandidates = {'\t', ',', ';', '|'};
  std::array<std::vector<int>, 4> counts;
  std::array<int, 4> current{};
  bool quoted = false;
  int lines = 0;
  for (std::size_t i = 0; i < text.size() && lines < 20; ++i) {
    const char c = text[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      for (std::size_t k = 0; k < kCandidates.size(); ++k) counts[k].push_back(std::exchange(current[k], 0));
      ++lines;
      continue;
    }
    for (std::size_t k = 0; k < kCandidates.size(); ++k) current[k] += c == kCandidates[k];
  }
  if (lines < 20)
    for (std::size_t k = 0; k < kCandidates.size(); ++k)
      if (current[k] > 0) counts[k].push_back(current[k]);
  char best = ',';  // a single column
  int bestCount = 0;
  for (std::size_t k = 0; k < kCandidates.size(); ++k) {
    if (counts[k].empty() || counts[k][0] == 0) continue;
    const bool steady = std::all_of(counts[k].begin(), counts[k].end(), [&](int n) { return n == counts[k][0]; });
    const int score = counts[k][0] * (steady ? 2 : 1);
    if (score > bestCount) {
      bestCount = score;
      best = kCandidates[k];
    }
  }
  return best;
}

}  // namespace

TextTable ParseTextTable(std::string_view bytes, std::string_view extension) {
  TextTable table;
  const std::string text = Decode(bytes, table.encoding);
  table.delimiter = FindDelimiter(text, extension);
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false, fieldStarted = false;
  const auto endField = [&] {
    record.push_back(std::move(field));
    field.clear();
    fieldStarted = false;
  };
  const auto endRecord = [&] {
    endField();
    const bool blank = record.size() == 1 && record[0].empty();
    if (!blank) records.push_back(std::move(record));
    record.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        field += c;
      }
    } else if (c == '"' && !fieldStarted) {
      quoted = true;
      fieldStarted = true;
    } else if (c == table.delimiter) {
      endField();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endRecord();
    } else {
      field += c;
      fieldStarted = true;
    }
  }
  if (quoted) throw DataError("文本文件在引号中结束（缺少配对的 \"）");
  if (fieldStarted || !field.empty() || !record.empty()) endRecord();
  if (records.empty()) return table;

  std::size_t width = 0;
  for (const auto& r : records) width = std::max(width, r.size());
  table.names = std::move(records[0]);
  table.names.resize(width);
  // A blank column name takes the name the workbook reader gives it: F and the column number.
  for (std::size_t c = 0; c < width; ++c) {
    table.names[c] = std::string(text::TrimBlanks(table.names[c]));
    if (table.names[c].empty()) table.names[c] = "F" + std::to_string(c + 1);
  }
  table.rows.assign(std::make_move_iterator(records.begin() + 1), std::make_move_iterator(records.end()));
  for (auto& r : table.rows) r.resize(width);
  return table;
}

namespace {

class TextRows : public RowSet {
 public:
  explicit TextRows(TextTable table) : table_(std::move(table)) {}
  std::optional<std::int64_t> RecordCount() const override { return static_cast<std::int64_t>(table_.rows.size()); }
  const std::vector<std::string>& FieldNames() const override { return table_.names; }
  bool Next(std::vector<std::string>& values) override {
    if (next_ >= table_.rows.size()) return false;
    values = std::move(table_.rows[next_++]);
    return true;
  }

 private:
  TextTable table_;
  std::size_t next_ = 0;
};

class TextFolder : public Connection {
 public:
  explicit TextFolder(std::string folder) : folder_(std::move(folder)) { RequireFolder(folder_); }
  std::vector<CatalogRow> Tables() override { return FilesAsTables(folder_, {".csv", ".tsv", ".txt"}); }
  std::unique_ptr<RowSet> Query(const std::string& queryText) override {
    const std::string name = TableOfQuery(queryText);
    const fs::path path = fs::path(folder_) / name;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) throw DataError("找不到文本文件 " + path.string());
    return OpenTextTable(path.string());
  }

 private:
  std::string folder_;
};

}  // namespace

std::unique_ptr<RowSet> OpenTextTable(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) throw DataError("无法打开文本文件 " + path);
  if (size > kMaxBytes) throw DataError("文本文件 " + path + " 超过 4 GB");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DataError("无法打开文本文件 " + path);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  return std::make_unique<TextRows>(ParseTextTable(bytes, text::AsciiLower(fs::path(path).extension().string())));
}

std::unique_ptr<Connection> OpenTextFolder(const std::string& folder) { return std::make_unique<TextFolder>(folder); }

}  // namespace rowcaster::data
