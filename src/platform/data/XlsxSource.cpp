#include "platform/data/XlsxSource.h"

#include <cerrno>
#include <expat.h>
#include <gsf/gsf.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/data/SheetRows.h"
#include "platform/data/XlsxRowCutter.h"
#include "platform/data/ValueText.h"
#include "platform/text/Utf8.h"
#include "platform/SystemError.h"

namespace rowcaster::data {
namespace {

constexpr std::uint32_t kMaxRows = 1048576;  // the most an OOXML sheet has
constexpr std::uint32_t kMaxCols = 16384;
constexpr std::size_t kChunk = 1 << 16;

[[noreturn]] void Damaged(const std::string& path, const std::string& what) {
  throw DataError("工作簿 " + path + " 已损坏：" + what);
}

std::string_view Local(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon ? std::string_view(colon + 1) : std::string_view(name);
}

// The value of the attribute whose local name is `name`, or null.
const char* Attr(const char** attrs, std::string_view name) {
  for (; attrs[0]; attrs += 2)
    if (Local(attrs[0]) == name) return attrs[1];
  return nullptr;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Text as OOXML stores it, with characters XML cannot hold escaped as "_xHHHH_" (UTF-16 units).
std::string Unescaped(std::string s) {
  if (s.find("_x") == std::string::npos) return s;
  std::string out;
  out.reserve(s.size());
  char16_t high = 0;
  for (std::size_t i = 0; i < s.size();) {
    unsigned unit = 0;
    bool escape = i + 7 <= s.size() && s[i] == '_' && s[i + 1] == 'x' && s[i + 6] == '_';
    for (std::size_t k = 2; escape && k < 6; ++k) {
      const char c = s[i + k];
      const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      escape = d >= 0;
      unit = unit * 16 + static_cast<unsigned>(d);
    }
    if (!escape) {
      if (high) text::AppendUtf8(out, 0xFFFD), high = 0;
      out += s[i++];
      continue;
    }
    i += 7;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (high) text::AppendUtf8(out, 0xFFFD);
      high = static_cast<char16_t>(unit);
      continue;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      text::AppendUtf8(out, high ? 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
      high = 0;
      continue;
    }
    if (high) text::AppendUtf8(out, 0xFFFD), high = 0;
    text::AppendUtf8(out, unit);
  }
  if (high) text::AppendUtf8(out, 0xFFFD);
  return out;
}

// What an XML part's elements are handed to, start to end. A handler that finds the part wrong
// sets `error`; parsing stops there.
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void Start(std::string_view name, const char** attrs) = 0;
  virtual void End(std::string_view name) = 0;
  virtual void Text(std::string_view) {}
  std::string error;
};

struct ParseState {
  XML_Parser parser;
  XmlHandler* handler;
};

void OnStart(void* data, const XML_Char* name, const XML_Char** attrs) {
  auto* s = static_cast<ParseState*>(data);
  s->handler->Start(Local(name), attrs);
  if (!s->handler->error.empty()) XML_StopParser(s->parser, XML_FALSE);
}
void OnEnd(void* data, const XML_Char* name) {
  auto* s = static_cast<ParseState*>(data);
  s->handler->End(Local(name));
  if (!s->handler->error.empty()) XML_StopParser(s->parser, XML_FALSE);
}
void OnText(void* data, const XML_Char* text, int len) {
  static_cast<ParseState*>(data)->handler->Text(std::string_view(text, static_cast<std::size_t>(len)));
}
// Package parts never declare a document type; one that does (entities to expand) is refused.
void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto* s = static_cast<ParseState*>(data);
  s->handler->error = "含有文档类型声明";
  XML_StopParser(s->parser, XML_FALSE);
}

GsfInput* OpenPart(GsfInfile* zip, const std::string& part) {
  std::vector<std::string> names;
  for (std::size_t start = 0; start <= part.size();) {
    const std::size_t slash = std::min(part.find('/', start), part.size());
    if (slash > start) names.push_back(part.substr(start, slash - start));
    start = slash + 1;
  }
  if (names.empty()) return nullptr;
  std::vector<const char*> ptrs;
  for (const auto& n : names) ptrs.push_back(n.c_str());
  ptrs.push_back(nullptr);
  return gsf_infile_child_by_aname(zip, ptrs.data());
}

// A parser that hands the elements it reads to `state.handler`; a document type stops it.
XML_Parser NewParser(ParseState& state) {
  state.parser = XML_ParserCreate(nullptr);
  if (!state.parser) throw std::bad_alloc();
  XML_SetUserData(state.parser, &state);
  XML_SetElementHandler(state.parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(state.parser, OnText);
  XML_SetStartDoctypeDeclHandler(state.parser, OnDoctype);
  return state.parser;
}

// Parses a part of the package; false when the package has no such part.
bool ParsePart(GsfInfile* zip, const std::string& part, XmlHandler& handler, const std::string& path) {
  ParseState state{nullptr, &handler};
  XML_Parser parser = NewParser(state);
  GsfInput* input = OpenPart(zip, part);
  if (!input) {
    XML_ParserFree(parser);
    return false;
  }
  std::string failure;
  for (;;) {
    // The part is inflated straight into the parser's buffer.
    const gsf_off_t remaining = gsf_input_remaining(input);
    const std::size_t n = static_cast<std::size_t>(std::min<gsf_off_t>(remaining, kChunk));
    void* buffer = XML_GetBuffer(parser, static_cast<int>(std::max<std::size_t>(n, 1)));
    if (!buffer) throw std::bad_alloc();
    if (n && !gsf_input_read(input, n, static_cast<guint8*>(buffer))) {
      failure = "读不出 " + part + " 的内容";
      break;
    }
    if (XML_ParseBuffer(parser, static_cast<int>(n), n == 0) != XML_STATUS_OK) {
      failure = !handler.error.empty() ? part + " " + handler.error
                                       : part + " 第 " + std::to_string(XML_GetCurrentLineNumber(parser)) + " 行不是有效的 XML（" +
                                             XML_ErrorString(XML_GetErrorCode(parser)) + "）";
      break;
    }
    if (n == 0) break;
  }
  XML_ParserFree(parser);
  g_object_unref(input);
  if (!failure.empty()) Damaged(path, failure);
  return true;
}

// The part a relationship's target names, from the folder of the part that holds it.
std::string Resolve(const std::string& folder, const std::string& target) {
  std::vector<std::string> parts;
  const std::string full = !target.empty() && target[0] == '/' ? target.substr(1) : folder + target;
  for (std::size_t start = 0; start <= full.size();) {
    const std::size_t slash = std::min(full.find('/', start), full.size());
    const std::string piece = full.substr(start, slash - start);
    if (piece == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    start = slash + 1;
  }
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

std::string FolderOf(const std::string& part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A part's relationships (its "_rels/NAME.rels"): id → (type, target part).
struct Relationship {
  std::string type, part;
};
class RelsHandler : public XmlHandler {
 public:
  explicit RelsHandler(std::string folder) : folder_(std::move(folder)) {}
  void Start(std::string_view name, const char** attrs) override {
    if (name != "Relationship") return;
    const char* id = Attr(attrs, "Id");
    const char* type = Attr(attrs, "Type");
    const char* target = Attr(attrs, "Target");
    const char* mode = Attr(attrs, "TargetMode");
    if (!id || !type || !target || (mode && std::string_view(mode) == "External")) return;
    rels[id] = {type, Resolve(folder_, target)};
  }
  void End(std::string_view) override {}
  std::map<std::string, Relationship> rels;

 private:
  std::string folder_;
};

std::map<std::string, Relationship> ReadRels(GsfInfile* zip, const std::string& part, const std::string& path) {
  RelsHandler h(FolderOf(part));
  ParsePart(zip, FolderOf(part) + "_rels/" + part.substr(FolderOf(part).size()) + ".rels", h, path);
  return std::move(h.rels);
}

class WorkbookHandler : public XmlHandler {
 public:
  struct Entry {
    std::string name, rid;
    bool hidden;
  };
  void Start(std::string_view name, const char** attrs) override {
    if (name == "sheet") {
      const char* n = Attr(attrs, "name");
      const char* rid = Attr(attrs, "id");
      const char* state = Attr(attrs, "state");
      if (!n || !rid) {
        error = "工作表缺少名称或关系";
        return;
      }
      entries.push_back({n, rid, state && std::string_view(state) != "visible"});
    } else if (name == "workbookPr") {
      const char* d = Attr(attrs, "date1904");
      date1904 = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
    }
  }
  void End(std::string_view) override {}
  std::vector<Entry> entries;
  bool date1904 = false;
};

class StringsHandler : public XmlHandler {
 public:
  explicit StringsHandler(std::vector<std::string>& strings) : strings_(strings) {}
  void Start(std::string_view name, const char** attrs) override {
    if (name == "si") {
      current_.clear();
    } else if (name == "t" && phonetic_ == 0) {
      inText_ = true;
    } else if (name == "rPh") {
      ++phonetic_;  // the reading shown above the text, not the text
    } else if (name == "sst" && strings_.empty()) {
      if (const char* n = Attr(attrs, "uniqueCount"))
        strings_.reserve(std::min<std::size_t>(std::strtoull(n, nullptr, 10), 1u << 20));
    }
  }
  void End(std::string_view name) override {
    if (name == "t") {
      inText_ = false;
    } else if (name == "rPh") {
      --phonetic_;
    } else if (name == "si") {
      strings_.push_back(Unescaped(std::move(current_)));
      current_.clear();
    }
  }
  void Text(std::string_view text) override {
    if (inText_) current_.append(text);
  }

 private:
  std::vector<std::string>& strings_;
  std::string current_;
  bool inText_ = false;
  int phonetic_ = 0;
};

class StylesHandler : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    if (name == "numFmt") {
      const char* id = Attr(attrs, "numFmtId");
      const char* code = Attr(attrs, "formatCode");
      if (id && code) customIsDate[std::atoi(id)] = CustomDateFormat(code);
    } else if (name == "cellXfs") {
      inCellXfs_ = true;
    } else if (name == "xf" && inCellXfs_) {
      const char* id = Attr(attrs, "numFmtId");
      xfFormat.push_back(id ? std::atoi(id) : 0);
    }
  }
  void End(std::string_view name) override {
    if (name == "cellXfs") inCellXfs_ = false;
  }
  std::map<int, bool> customIsDate;
  std::vector<int> xfFormat;

 private:
  bool inCellXfs_ = false;
};

// "A1"-style reference: the column (from 0) and, when present, the row (from 0).
bool ParseRef(const char* ref, std::uint32_t& col, std::optional<std::uint32_t>& row) {
  std::uint64_t c = 0, r = 0;
  const char* p = ref;
  for (; (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'); ++p) {
    c = c * 26 + static_cast<std::uint64_t>((*p | 0x20) - 'a' + 1);
    if (c > kMaxCols) return false;
  }
  if (c == 0) return false;
  col = static_cast<std::uint32_t>(c - 1);
  if (*p == '$') ++p;
  if (!*p) return true;
  for (; *p >= '0' && *p <= '9'; ++p) {
    r = r * 10 + static_cast<std::uint64_t>(*p - '0');
    if (r > kMaxRows) return false;
  }
  if (*p || r == 0) return false;
  row = static_cast<std::uint32_t>(r - 1);
  return true;
}

// ISO 8601 date or date-time ("d" cells) as cell text.
std::string IsoDateText(const std::string& v) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  const int n = std::sscanf(v.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s);
  if (n < 3 || mo < 1 || mo > 12 || d < 1 || d > 31) return v;
  return DateText(y, mo, d, h, mi, s);
}

class SheetHandler : public XmlHandler {
 public:
  SheetHandler(const XlsxWorkbook& book, const std::vector<std::string>& strings, CompactSheet& data)
      : book_(book), strings_(strings), data_(data) {}

  void Start(std::string_view name, const char** attrs) override {
    if (name == "c") {
      std::optional<std::uint32_t> row;
      std::uint32_t col = static_cast<std::uint32_t>(col_ + 1);
      const char* t = nullptr;
      const char* s = nullptr;
      for (const char** a = attrs; a[0]; a += 2) {
        const std::string_view key = Local(a[0]);
        if (key == "r") {
          if (!ParseRef(a[1], col, row)) {
            error = "单元格位置“" + std::string(a[1]) + "”超出范围";
            return;
          }
        } else if (key == "t") {
          t = a[1];
        } else if (key == "s") {
          s = a[1];
        }
      }
      if (row) row_ = *row;
      if (col >= kMaxCols) {
        error = "单元格位置超出范围";
        return;
      }
      col_ = col;
      type_ = TypeOf(t);
      style_ = s ? std::strtoul(s, nullptr, 10) : 0;
      value_.clear();
      hasValue_ = false;
    } else if (name == "v") {
      inValue_ = true;
    } else if (name == "is") {
      inInline_ = true;
    } else if (name == "t" && inInline_ && phonetic_ == 0) {
      inValue_ = true;
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (name == "row") {
      if (const char* r = Attr(attrs, "r")) {
        const unsigned long long n = std::strtoull(r, nullptr, 10);
        if (n == 0 || n > kMaxRows) {
          error = "行号“" + std::string(r) + "”超出范围";
          return;
        }
        row_ = static_cast<std::uint32_t>(n - 1);
      } else {
        row_ = started_ ? row_ + 1 : 0;
        unnumberedRow = true;
      }
      if (row_ >= kMaxRows) {
        error = "行数超出范围";
        return;
      }
      started_ = true;
      col_ = -1;
    } else if (name == "dimension") {
      // The used range, when the writer gives it: room for its cells up front.
      std::uint32_t c1 = 0, c2 = 0;
      std::optional<std::uint32_t> r1, r2;
      const char* ref = Attr(attrs, "ref");
      const char* colon = ref ? std::strchr(ref, ':') : nullptr;
      if (colon && ParseRef(std::string(ref, colon).c_str(), c1, r1) && ParseRef(colon + 1, c2, r2) && r1 && r2 &&
          *r2 >= *r1 && c2 >= c1)
        data_.cells.reserve(std::min<std::size_t>(std::size_t{*r2 - *r1 + 1} * (c2 - c1 + 1), 1u << 24));
    }
  }
  void End(std::string_view name) override {
    if (name == "v" || (name == "t" && inInline_)) {
      inValue_ = false;
      hasValue_ = true;
    } else if (name == "is") {
      inInline_ = false;
    } else if (name == "rPh") {
      --phonetic_;
    } else if (name == "c" && hasValue_) {
      data_.cells.push_back({row_, static_cast<std::uint16_t>(col_), CellText()});
    }
  }
  void Text(std::string_view text) override {
    if (inValue_) value_.append(text);
  }
  bool unnumberedRow = false;  // a row without "r": its number depends on the rows before it

 private:
  enum class Type { Number, Shared, Inline, Formula, Boolean, Error, Date };
  static Type TypeOf(const char* t) {
    if (!t) return Type::Number;
    const std::string_view v(t);
    if (v == "s") return Type::Shared;
    if (v == "inlineStr") return Type::Inline;
    if (v == "str") return Type::Formula;
    if (v == "b") return Type::Boolean;
    if (v == "e") return Type::Error;
    if (v == "d") return Type::Date;
    return Type::Number;
  }

  // A shared string by its index; any other text kept beside the cells.
  std::uint32_t CellText() {
    switch (type_) {
      case Type::Shared: {
        std::size_t index = 0;
        const auto [end, ec] = std::from_chars(value_.data(), value_.data() + value_.size(), index);
        if (ec == std::errc() && index < strings_.size()) return static_cast<std::uint32_t>(index);
        return Own({});
      }
      case Type::Inline:
      case Type::Formula: return Own(Unescaped(std::move(value_)));
      case Type::Boolean: return Own(BoolText(value_ == "1" || value_ == "true"));
      case Type::Error: return Own({});  // an error value reads as empty
      case Type::Date: return Own(IsoDateText(value_));
      case Type::Number: break;
    }
    double v = 0;
    const char* begin = value_.data();
    const char* end = begin + value_.size();
    while (begin < end && *begin == ' ') ++begin;
    const auto [stop, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || stop != end) return Own(value_);
    return Own(book_.TextOfNumber(v, style_));
  }
  std::uint32_t Own(std::string_view text) {
    data_.own.push_back(text);
    return static_cast<std::uint32_t>(strings_.size() + data_.own.size() - 1);
  }

  const XlsxWorkbook& book_;
  const std::vector<std::string>& strings_;
  CompactSheet& data_;
  std::uint32_t row_ = 0;
  long col_ = -1;
  bool started_ = false, inValue_ = false, inInline_ = false, hasValue_ = false;
  int phonetic_ = 0;
  Type type_ = Type::Number;
  std::size_t style_ = 0;
  std::string value_;
};

// Parses one piece of a worksheet's rows (whole <row> elements) as a document of its own.
bool ParseRows(std::string_view rows, SheetHandler& handler) {
  ParseState state{nullptr, &handler};
  XML_Parser parser = NewParser(state);
  static constexpr std::string_view kOpen = "<rows>", kClose = "</rows>";
  const bool ok = XML_Parse(parser, kOpen.data(), kOpen.size(), XML_FALSE) == XML_STATUS_OK &&
                  XML_Parse(parser, rows.data(), static_cast<int>(rows.size()), XML_FALSE) == XML_STATUS_OK &&
                  XML_Parse(parser, kClose.data(), kClose.size(), XML_TRUE) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return ok && handler.error.empty() && !handler.unnumberedRow;
}

// Reads a worksheet on several threads: the calling thread inflates the part and cuts its rows into
// pieces (Produce), a pool of parsers parses the pieces, each with its own parser (Parse), and the
// calling thread merges the parsed pieces in order (MergeFront).
class ParallelSheetReader {
 public:
  ParallelSheetReader(const XlsxWorkbook& book, const std::vector<std::string>& strings, std::size_t threads)
      : book_(book), strings_(strings), threads_(threads), inFlight_(2 * threads + 2) {}

  // The sheet's cells; nothing when the part cannot be read this way.
  std::optional<CompactSheet> Read(GsfInput* input) {
    bool bad = !StartParsers() || !Produce(input);
    StopParsers(bad);
    if (failed_) return std::nullopt;
    std::unique_lock<std::mutex> lock(mutex_);
    MergeFront(lock);
    return std::move(result_);
  }

 private:
  struct Piece {
    std::string rows;
    CompactSheet data;
    bool done = false;
  };

  bool StartParsers() {
    try {
      for (std::size_t t = 0; t < threads_; ++t) parsers_.emplace_back([this] { Parse(); });
    } catch (const std::system_error&) {
      return false;  // no threads to be had: the plain way
    }
    return true;
  }

  // The parsers end (some may have parsed nothing) once all is cut or anything has failed.
  void StopParsers(bool bad) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
      if (bad) failed_ = true;
    }
    ready_.notify_all();
    for (auto& p : parsers_) p.join();
  }

  // One parser: takes the next piece not taken, parses it and marks it done.
  void Parse() {
    for (;;) {
      Piece* piece = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return failed_ || nextToParse_ < merged_ + pieces_.size() || finished_; });
        if (failed_ || nextToParse_ >= merged_ + pieces_.size()) return;
        piece = &pieces_[nextToParse_++ - merged_];
      }
      SheetHandler h(book_, strings_, piece->data);
      const bool ok = ParseRows(piece->rows, h);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        piece->done = true;
        piece->rows = std::string();
        if (!ok) failed_ = true;
      }
      room_.notify_all();
      ready_.notify_all();
    }
  }

  // Inflates the part and hands its pieces to the parsers; false when it cannot be cut plainly.
  bool Produce(GsfInput* input) {
    constexpr std::size_t kBlock = 1 << 20;
    XlsxRowCutter cutter;
    std::string block;
    while (!cutter.Done() && !Failed()) {
      const gsf_off_t remaining = gsf_input_remaining(input);
      const std::size_t n = static_cast<std::size_t>(std::min<gsf_off_t>(remaining, kBlock));
      if (n == 0) break;
      block.resize(n);
      if (!gsf_input_read(input, n, reinterpret_cast<guint8*>(block.data()))) return false;
      if (auto rows = cutter.Add(block)) Submit(std::move(*rows));
    }
    if (!cutter.Done() && !Failed())
      if (auto rows = cutter.Finish()) Submit(std::move(*rows));
    return !cutter.Failed();
  }

  // Queues a piece; only this thread merges, and what is parsed at the front makes room for it.
  void Submit(std::string rows) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (MergeFront(lock); !failed_ && pieces_.size() >= inFlight_; MergeFront(lock)) room_.wait(lock);
    pieces_.push_back({std::move(rows), {}, false});
    lock.unlock();
    ready_.notify_one();
  }

  // Merges the parsed pieces at the front; a piece's own texts come after the ones before it.
  void MergeFront(std::unique_lock<std::mutex>& lock) {
    while (!pieces_.empty() && pieces_.front().done) {
      Piece piece = std::move(pieces_.front());
      pieces_.pop_front();
      ++merged_;
      lock.unlock();
      const std::uint32_t base = static_cast<std::uint32_t>(strings_.size());
      const std::uint32_t shift = static_cast<std::uint32_t>(result_.own.size());
      for (CompactCell c : piece.data.cells) {
        if (c.text >= base) c.text += shift;
        result_.cells.push_back(c);
      }
      result_.own.Append(piece.data.own);
      lock.lock();
    }
  }

  bool Failed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
  }

  const XlsxWorkbook& book_;
  const std::vector<std::string>& strings_;
  const std::size_t threads_, inFlight_;
  std::deque<Piece> pieces_;  // in order; parsed ones are merged from the front
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::size_t nextToParse_ = 0, merged_ = 0;
  bool finished_ = false, failed_ = false;
  std::vector<std::thread> parsers_;
  CompactSheet result_;
};

}  // namespace

std::optional<std::string> XlsxRowCutter::Add(std::string_view bytes) {
  if (Done()) return std::nullopt;
  pending_.append(bytes);
  if (!inBody_ && !FindBody()) return std::nullopt;
  const std::size_t cut = pending_.rfind(rowEnd_);
  if (cut == std::string::npos || cut + rowEnd_.size() < minPiece_) return std::nullopt;
  std::string rest = pending_.substr(cut + rowEnd_.size());
  pending_.resize(cut + rowEnd_.size());
  std::string rows = std::move(pending_);
  pending_ = std::move(rest);
  return Checked(std::move(rows));
}

std::optional<std::string> XlsxRowCutter::Finish() {
  if (!inBody_) failed_ = true;
  if (Done()) return std::nullopt;
  const std::size_t end = pending_.find(bodyEnd_);
  if (end == std::string::npos) {
    failed_ = true;
    return std::nullopt;
  }
  pending_.resize(end);
  return Checked(std::move(pending_));
}

// The rows begin after the sheetData start tag (its prefix, if any, is the rows' too). True once
// the rows have begun.
bool XlsxRowCutter::FindBody() {
  const std::size_t name = pending_.find("sheetData");
  if (name == std::string::npos) return false;
  const std::size_t open = pending_.rfind('<', name);
  const std::size_t close = pending_.find('>', name);
  if (open == std::string::npos || close == std::string::npos) return false;
  if (std::string_view(pending_.data(), open).find("<!") != std::string_view::npos) {
    failed_ = true;  // a document type or a comment
    return false;
  }
  const std::string prefix = pending_.substr(open + 1, name - open - 1);
  rowEnd_ = "</" + prefix + "row>";
  bodyEnd_ = "</" + prefix + "sheetData>";
  empty_ = pending_[close - 1] == '/';
  pending_.erase(0, close + 1);
  inBody_ = true;
  return !empty_;
}

std::optional<std::string> XlsxRowCutter::Checked(std::string rows) {
  if (rows.find("<!") != std::string::npos || rows.find("<?") != std::string::npos) {
    failed_ = true;  // a comment, CDATA or instruction could hide an end tag
    return std::nullopt;
  }
  return rows;
}

// Whatever cannot be read plainly in pieces (rows without numbers, comments or CDATA that could
// hide an end tag, anything malformed) gives nothing, and the caller reads the part the plain way,
// which also says what is wrong.
std::optional<CompactSheet> XlsxWorkbook::ReadSheetInParallel(const Sheet& sheet) {
  GsfInput* input = sheet.part.empty() ? nullptr : OpenPart(zip_, sheet.part);
  if (!input) return std::nullopt;
  const std::size_t threads = std::max(1u, std::min(options_.threads, std::thread::hardware_concurrency()));
  std::optional<CompactSheet> data = ParallelSheetReader(*this, strings_, threads).Read(input);
  g_object_unref(input);
  return data;
}

XlsxWorkbook::XlsxWorkbook(const std::string& path, Options options) : options_(options), path_(path) { Open(); }

XlsxWorkbook::XlsxWorkbook(InMemory data, Options options)
    : options_(options), path_("（内存中）"), memory_(std::move(data.bytes)), inMemory_(true) {
  Open();
}

XlsxWorkbook::~XlsxWorkbook() {
  if (zip_) g_object_unref(zip_);
}

void XlsxWorkbook::Open() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
  GError* error = nullptr;
  GsfInput* input = !inMemory_ ? gsf_input_stdio_new(path_.c_str(), &error)
                        : gsf_input_memory_new(reinterpret_cast<const guint8*>(memory_.data()),
                                               static_cast<gsf_off_t>(memory_.size()), FALSE);
  if (!input) {
    const int err = errno;
    if (error) g_error_free(error);
    throw DataError("无法打开工作簿 " + path_ + "：" + ErrorText(err));
  }
  zip_ = gsf_infile_zip_new(input, &error);
  g_object_unref(input);
  if (!zip_) {
    if (error) g_error_free(error);
    throw DataError(path_ + " 不是 Excel 工作簿（.xlsx），或者文件已损坏。请在 Excel 或 WPS 中打开它，重新另存为 .xlsx 后再试");
  }

  // The package's relationships name the workbook part; the workbook's name its sheets.
  std::string workbookPart = "xl/workbook.xml";
  for (const auto& [id, rel] : ReadRels(zip_, "", path_))
    if (EndsWith(rel.type, "/officeDocument")) workbookPart = rel.part;
  WorkbookHandler book;
  if (!ParsePart(zip_, workbookPart, book, path_))
    throw DataError(path_ + " 中没有工作簿（" + workbookPart + "），可能是其他 Office 文档");
  date1904_ = book.date1904;
  const auto rels = ReadRels(zip_, workbookPart, path_);
  for (const auto& [id, rel] : rels) {
    if (EndsWith(rel.type, "/sharedStrings")) stringsPart_ = rel.part;
    if (EndsWith(rel.type, "/styles")) stylesPart_ = rel.part;
  }
  for (const auto& e : book.entries) {
    const auto rel = rels.find(e.rid);
    Sheet s;
    s.name = e.name;
    s.hidden = e.hidden;
    s.part = rel == rels.end() ? std::string() : rel->second.part;
    s.worksheet = rel != rels.end() && EndsWith(rel->second.type, "/worksheet");
    sheets_.push_back(std::move(s));
  }
}

void XlsxWorkbook::ReadStringsAndStyles() {
  if (stringsRead_) return;
  if (!stringsPart_.empty()) {
    StringsHandler h(strings_);
    ParsePart(zip_, stringsPart_, h, path_);
  }
  if (!stylesPart_.empty()) {
    StylesHandler h;
    ParsePart(zip_, stylesPart_, h, path_);
    styleIsDate_.reserve(h.xfFormat.size());
    for (const int id : h.xfFormat) {
      const auto custom = h.customIsDate.find(id);
      styleIsDate_.push_back(custom != h.customIsDate.end() ? custom->second : BuiltInDateFormat(id));
    }
  }
  stringsRead_ = true;
}

std::string XlsxWorkbook::TextOfNumber(double value, std::size_t style) const {
  if (style < styleIsDate_.size() && styleIsDate_[style]) return SerialDateText(value, date1904_);
  return NumberText(value);
}

CompactSheet XlsxWorkbook::ReadCompactSheet(const Sheet& sheet) {
  ReadStringsAndStyles();
  std::optional<CompactSheet> parallel;
  if (options_.threads > 1) parallel = ReadSheetInParallel(sheet);
  CompactSheet data;
  if (parallel) {
    data = std::move(*parallel);
  } else {
    SheetHandler h(*this, strings_, data);
    if (sheet.part.empty() || !ParsePart(zip_, sheet.part, h, path_))
      Damaged(path_, "找不到工作表“" + sheet.name + "”的内容");
  }
  OrderCells(data.cells);
  return data;
}

std::vector<SheetCell> XlsxWorkbook::ReadSheet(const Sheet& sheet) {
  return ExpandCells(ReadCompactSheet(sheet), strings_);
}

std::unique_ptr<RowSet> XlsxWorkbook::SheetRows(const Sheet& sheet) { return CompactRowSet(ReadCompactSheet(sheet), strings_); }

std::unique_ptr<Connection> OpenXlsx(const std::string& path) { return std::make_unique<WorkbookConnection<XlsxWorkbook>>(path); }

}  // namespace rowcaster::data
