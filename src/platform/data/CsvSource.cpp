#include "platform/data/CsvSource.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

namespace rowcaster::data {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMaxBytes = std::uintmax_t{4} << 30;
constexpr std::size_t kBlock = 1 << 20;

// Where a table's bytes come from: a file, read a block at a time, or bytes in memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `n` bytes into `out`; 0 at the end.
  virtual std::size_t Read(char* out, std::size_t n) = 0;
  virtual void Rewind() = 0;
  virtual std::uintmax_t Size() const = 0;
};

// The size of the blocks read from `source`: a small table needs no megabyte.
std::size_t BlockFor(const ByteSource& source) {
  return static_cast<std::size_t>(std::min<std::uintmax_t>(source.Size() + 8, kBlock));
}

class FileBytes : public ByteSource {
 public:
  FileBytes(const std::string& path, std::uintmax_t size) : file_(std::fopen(path.c_str(), "rbe")), size_(size) {
    if (!file_) throw DataError("无法打开文本文件 " + path);
  }
  std::uintmax_t Size() const override { return size_; }
  ~FileBytes() override { std::fclose(file_); }
  std::size_t Read(char* out, std::size_t n) override { return std::fread(out, 1, n, file_); }
  void Rewind() override { std::rewind(file_); }

 private:
  std::FILE* file_;
  std::uintmax_t size_;
};

class MemoryBytes : public ByteSource {
 public:
  explicit MemoryBytes(std::string_view bytes) : bytes_(bytes) {}
  std::size_t Read(char* out, std::size_t n) override {
    n = std::min(n, bytes_.size() - pos_);
    std::copy_n(bytes_.data() + pos_, n, out);
    pos_ += n;
    return n;
  }
  void Rewind() override { pos_ = 0; }
  std::uintmax_t Size() const override { return bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

struct Encoding {
  std::string name;     // "UTF-8", "UTF-16LE", "UTF-16BE" or "GB18030"
  std::size_t bom = 0;  // bytes of the byte-order mark
};

// The encoding: a byte-order mark says it; otherwise text that is UTF-8 all through is UTF-8, and
// anything else GB18030 (as Excel on Chinese Windows saves a CSV). Reads the whole source.
Encoding FindEncoding(ByteSource& source) {
  const std::size_t size = BlockFor(source);
  std::string block(size + 3, '\0');
  std::size_t carried = 0, n = source.Read(block.data(), size);
  const std::string_view first(block.data(), n);
  Encoding e{"UTF-8", 0};
  if (first.starts_with("\xFF\xFE")) return {"UTF-16LE", 2};
  if (first.starts_with("\xFE\xFF")) return {"UTF-16BE", 2};
  if (first.starts_with("\xEF\xBB\xBF")) e.bom = 3;
  std::size_t skip = e.bom;
  while (n > 0 || carried > 0) {
    const std::string_view text(block.data() + skip, carried + n - skip);
    const std::size_t tail = n > 0 ? text::IncompleteUtf8Tail(text) : 0;
    if (!text::IsValidUtf8(text.substr(0, text.size() - tail))) {
      if (e.bom) throw DataError("文本文件标明是 UTF-8，但内容不是有效的 UTF-8");
      return {"GB18030", 0};
    }
    if (n == 0) break;
    std::memmove(block.data(), text.data() + text.size() - tail, tail);
    carried = tail;
    skip = 0;
    n = source.Read(block.data() + carried, size);
  }
  return e;
}

// The source's text as UTF-8, a block at a time.
class Utf8Blocks {
 public:
  Utf8Blocks(ByteSource& source, const Encoding& encoding) : source_(source), raw_(BlockFor(source), '\0') {
    source_.Rewind();
    if (encoding.bom) source_.Read(raw_.data(), encoding.bom);
    if (encoding.name != "UTF-8") {
      UErrorCode err = U_ZERO_ERROR;
      from_.reset(ucnv_open(encoding.name.c_str(), &err));
      to_.reset(ucnv_open("UTF-8", &err));
      if (U_FAILURE(err)) throw DataError("ICU 没有 " + encoding.name + " 转换器");
    }
  }
  // Appends the next block's text to `out`; false at the end.
  bool Next(std::string& out) {
    if (done_) return false;
    const std::size_t n = source_.Read(raw_.data(), raw_.size());
    if (!from_) {
      out.append(raw_.data(), n);
      done_ = n == 0;
      return !done_;
    }
    // Through ICU's pivot: characters cut by the block's end wait for the next block.
    const char* src = raw_.data();
    const char* srcEnd = src + n;
    const bool flush = n == 0;
    UErrorCode err = U_ZERO_ERROR;
    do {
      err = U_ZERO_ERROR;
      const std::size_t at = out.size();
      out.resize(at + 3 * (srcEnd - src) + 64);
      char* dst = out.data() + at;
      ucnv_convertEx(to_.get(), from_.get(), &dst, out.data() + out.size(), &src, srcEnd, pivot_.data(), &pivotSource_,
                     &pivotTarget_, pivot_.data() + pivot_.size(), first_, flush, &err);
      first_ = false;
      out.resize(static_cast<std::size_t>(dst - out.data()));
    } while (err == U_BUFFER_OVERFLOW_ERROR);
    if (U_FAILURE(err)) throw DataError("无法按编码解读文本文件");
    done_ = flush;
    return true;
  }

 private:
  struct Close {
    void operator()(UConverter* c) const { ucnv_close(c); }
  };
  ByteSource& source_;
  std::string raw_;
  std::unique_ptr<UConverter, Close> from_, to_;
  std::array<UChar, 4096> pivot_{};
  UChar* pivotSource_ = pivot_.data();
  UChar* pivotTarget_ = pivot_.data();
  bool first_ = true, done_ = false;
};

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

// One record of a delimited text (RFC 4180: quotes around a field, "" for a quote inside one, line
// breaks inside quotes) from `pos`, skipping lines with nothing on them.
enum class Got { Record, NeedMore, End };
Got NextRecord(std::string_view text, bool atEnd, char delimiter, std::size_t& pos, std::vector<std::string>& fields) {
  while (pos < text.size()) {
    std::size_t n = 0;
    const auto field = [&]() -> std::string& {
      if (n == fields.size()) fields.emplace_back();
      fields[n].clear();
      return fields[n++];
    };
    std::string* current = &field();
    bool quoted = false, started = false, ended = false;
    std::size_t i = pos;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (quoted) {
        // The quoted run up to the next quote at once.
        const std::size_t q = text.find('"', i);
        if (q == std::string_view::npos || (q + 1 == text.size() && !atEnd)) {
          i = text.size();
          break;
        }
        current->append(text.data() + i, q - i);
        i = q;
        if (q + 1 < text.size() && text[q + 1] == '"') {
          *current += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else if (c == '"' && !started) {
        quoted = started = true;
      } else if (c == delimiter) {
        current = &field();
        started = false;
      } else if (c == '\r' || c == '\n') {
        if (c == '\r' && i + 1 == text.size() && !atEnd) break;  // a CR LF may be cut
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        ++i;
        ended = true;
        break;
      } else {
        // Plain characters up to the next one that means something.
        std::size_t j = i + 1;
        while (j < text.size() && text[j] != delimiter && text[j] != '\r' && text[j] != '\n' && text[j] != '"') ++j;
        current->append(text.data() + i, j - i);
        started = true;
        i = j - 1;
      }
    }
    if (!ended && !atEnd) return Got::NeedMore;  // the record goes on in the next block
    if (quoted) throw DataError("文本文件在引号中结束（缺少配对的 \"）");
    pos = i;
    fields.resize(n);
    if (!(n == 1 && fields[0].empty())) return Got::Record;
  }
  return atEnd ? Got::End : Got::NeedMore;
}

// The records of a text, read from its blocks as they are asked for: only a block or two of the
// text is held at any time.
class RecordStream {
 public:
  RecordStream(ByteSource& source, const Encoding& encoding, char delimiter)
      : blocks_(source, encoding), delimiter_(delimiter) {}
  bool Next(std::vector<std::string>& fields) {
    for (;;) {
      switch (NextRecord(text_, atEnd_, delimiter_, pos_, fields)) {
        case Got::Record: return true;
        case Got::End: return false;
        case Got::NeedMore:
          text_.erase(0, pos_);
          pos_ = 0;
          atEnd_ = !blocks_.Next(text_);
          break;
      }
    }
  }

 private:
  Utf8Blocks blocks_;
  char delimiter_;
  std::string text_;
  std::size_t pos_ = 0;
  bool atEnd_ = false;
};

// A text table read a record at a time: a first pass finds the encoding, counts the records and
// finds the widest (the names need the width); the rows are read as they are asked for.
class TextRows : public RowSet {
 public:
  TextRows(std::unique_ptr<ByteSource> source, std::string_view extension) : source_(std::move(source)) {
    encoding_ = FindEncoding(*source_);
    {
      Utf8Blocks start(*source_, encoding_);
      std::string text;
      while (text.size() < (1u << 16) && start.Next(text)) {
      }
      delimiter_ = FindDelimiter(text, extension);
    }
    RecordStream counting(*source_, encoding_, delimiter_);
    std::vector<std::string> fields;
    std::size_t width = 0;
    while (counting.Next(fields)) {
      width = std::max(width, fields.size());
      if (count_++ == 0) names_ = fields;
    }
    if (count_ == 0) return;
    --count_;  // the names' record
    names_.resize(width);
    // A blank column name takes the name the workbook reader gives it: F and the column number.
    for (std::size_t c = 0; c < width; ++c) {
      names_[c] = std::string(text::TrimBlanks(names_[c]));
      if (names_[c].empty()) names_[c].append("F").append(std::to_string(c + 1));
    }
    records_.emplace(*source_, encoding_, delimiter_);
    records_->Next(fields);  // past the names
  }
  std::optional<std::int64_t> RecordCount() const override { return count_; }
  const std::vector<std::string>& FieldNames() const override { return names_; }
  bool Next(std::vector<std::string>& values) override {
    if (!records_ || !records_->Next(values)) return false;
    values.resize(names_.size());
    return true;
  }
  char delimiter() const { return delimiter_; }
  const std::string& encoding() const { return encoding_.name; }

 private:
  std::unique_ptr<ByteSource> source_;
  Encoding encoding_;
  char delimiter_ = ',';
  std::int64_t count_ = 0;
  std::vector<std::string> names_;
  std::optional<RecordStream> records_;
};

}  // namespace

TextTable ParseTextTable(std::string_view bytes, std::string_view extension) {
  TextTable table;
  TextRows rows(std::make_unique<MemoryBytes>(bytes), extension);
  table.encoding = rows.encoding();
  table.delimiter = rows.delimiter();
  table.names = rows.FieldNames();
  for (std::vector<std::string> values; rows.Next(values);) table.rows.push_back(values);
  return table;
}

namespace {

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
  return std::make_unique<TextRows>(std::make_unique<FileBytes>(path, size), text::AsciiLower(fs::path(path).extension().string()));
}

std::unique_ptr<Connection> OpenTextFolder(const std::string& folder) { return std::make_unique<TextFolder>(folder); }

}  // namespace rowcaster::data
