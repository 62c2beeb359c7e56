#include "platform/data/XlsSource.h"

#include <cerrno>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/data/SheetRows.h"
#include "platform/data/ValueText.h"
#include "platform/text/CodePage.h"
#include "platform/Memory.h"
#include "platform/SystemError.h"

namespace rowcaster::data {
namespace {

constexpr std::uint16_t kBof = 0x0809, kEof = 0x000A, kContinue = 0x003C, kCodePage = 0x0042, kDateMode = 0x0022,
                        kBoundSheet = 0x0085, kSst = 0x00FC, kFormat = 0x041E, kXf = 0x00E0, kLabelSst = 0x00FD,
                        kLabel = 0x0204, kRString = 0x00D6, kNumber = 0x0203, kRk = 0x027E, kMulRk = 0x00BD,
                        kBoolErr = 0x0205, kFormula = 0x0006, kString = 0x0207;
constexpr std::uint32_t kMaxRows = 65536;  // the most a BIFF8 sheet has
constexpr std::uint32_t kMaxCols = 256;

[[noreturn]] void Damaged(const std::string& what) { throw DataError("工作簿已损坏：" + what); }

std::uint16_t U16(std::string_view s, std::size_t at) {
  if (at + 2 > s.size()) Damaged("记录过短");
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
std::uint32_t U32(std::string_view s, std::size_t at) { return U16(s, at) | static_cast<std::uint32_t>(U16(s, at + 2)) << 16; }
double F64(std::string_view s, std::size_t at) {
  if (at + 8 > s.size()) Damaged("记录过短");
  double v;
  std::memcpy(&v, s.data() + at, 8);
  return v;
}

double RkValue(std::uint32_t rk) {
  double v;
  if (rk & 0x02) {
    v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, 8);
  }
  return (rk & 0x01) ? v / 100.0 : v;
}

// One record with the CONTINUE records that follow it, and where each continuation starts. Its
// data lies in the stream where no continuation follows (most records: a cell's), else joined.
struct Record {
  std::uint16_t type = 0;
  std::string_view data;
  std::string joined;
  std::vector<std::size_t> breaks;

  Record() = default;
  // Not copied or moved: `data` may point into `joined`, whose characters a short text keeps
  // inside the object.
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  // This record with data of its own in `kept`, to keep past the next record read.
  void KeepIn(Record& kept) const {
    kept.type = type;
    kept.joined.assign(data);
    kept.data = kept.joined;
    kept.breaks = breaks;
  }
};

class RecordReader {
 public:
  RecordReader(std::string_view stream, std::size_t pos) : s_(stream), pos_(pos) {}
  bool Next(Record& r) {
    if (pos_ + 4 > s_.size()) return false;
    r.type = U16(s_, pos_);
    std::size_t len = U16(s_, pos_ + 2);
    if (pos_ + 4 + len > s_.size()) Damaged("记录越过了文件末尾");
    r.data = s_.substr(pos_ + 4, len);
    r.breaks.clear();
    pos_ += 4 + len;
    if (pos_ + 4 <= s_.size() && U16(s_, pos_) == kContinue) {
      r.joined.assign(r.data);
      while (pos_ + 4 <= s_.size() && U16(s_, pos_) == kContinue) {
        len = U16(s_, pos_ + 2);
        if (pos_ + 4 + len > s_.size()) Damaged("续记录越过了文件末尾");
        r.breaks.push_back(r.joined.size());
        r.joined.append(s_.substr(pos_ + 4, len));
        pos_ += 4 + len;
      }
      r.data = r.joined;
    }
    return true;
  }

 private:
  std::string_view s_;
  std::size_t pos_;
};

// Reads the strings of a record, where a string's characters may cross into a CONTINUE record
// that starts with a new option byte.
class StringCursor {
 public:
  StringCursor(const Record& r, std::size_t pos, bool biff8, const text::CodePageDecoder& decoder)
      : r_(r), pos_(pos), biff8_(biff8), decoder_(decoder) {}
  std::size_t pos() const { return pos_; }
  void Skip(std::size_t n) {
    if (pos_ + n > r_.data.size()) Damaged("字符串越界");
    pos_ += n;
  }
  std::uint8_t Byte() {
    if (pos_ >= r_.data.size()) Damaged("字符串越界");
    return static_cast<std::uint8_t>(r_.data[pos_++]);
  }
  std::uint16_t Word() {
    const std::uint16_t v = U16(r_.data, pos_);
    pos_ += 2;
    return v;
  }
  std::uint32_t Dword() {
    const std::uint32_t v = U32(r_.data, pos_);
    pos_ += 4;
    return v;
  }
  // A string of `cch` characters (BIFF8: option byte first; BIFF5: bytes in the code page).
  std::string Chars(std::size_t cch, bool withOptions, bool rich8 = true) {
    std::string s;
    AppendChars(s, cch, withOptions, rich8);
    return s;
  }
  // Chars, appended to `out`.
  void AppendChars(std::string& out, std::size_t cch, bool withOptions, bool rich8 = true) {
    if (!biff8_) {
      if (pos_ + cch > r_.data.size()) Damaged("字符串越界");
      out += decoder_.Decode(std::string_view(r_.data).substr(pos_, cch));
      pos_ += cch;
      return;
    }
    std::uint8_t flags = withOptions ? Byte() : 0;
    std::size_t runs = 0, ext = 0;
    if (withOptions && rich8) {
      if (flags & 0x08) runs = Word();
      if (flags & 0x04) ext = Dword();
    }
    // Characters that end before the next CONTINUE are decoded where they lie.
    const bool wholeWide = flags & 0x01;
    const std::size_t bytes = cch * (wholeWide ? 2 : 1);
    if (!IsBreak(pos_) && pos_ + bytes <= NextBreak()) {
      const std::string_view chars = std::string_view(r_.data).substr(pos_, bytes);
      pos_ += bytes;
      Skip(std::min(runs * 4 + ext, r_.data.size() - pos_));
      if (wholeWide)
        text::AppendFromUtf16Le(out, chars);
      else
        text::AppendFromLatin1(out, chars);
      return;
    }
    std::string utf16;
    utf16.reserve(cch * 2);
    std::size_t left = cch;
    while (left > 0) {
      if (IsBreak(pos_)) flags = Byte();  // a continuation restates whether the characters are wide
      const std::size_t limit = NextBreak();
      const bool wide = flags & 0x01;
      const std::size_t fit = std::min((limit - pos_) / (wide ? 2 : 1), left);
      if (fit == 0) Damaged("字符串越界");
      for (std::size_t i = 0; i < fit; ++i) {
        if (wide) {
          utf16 += r_.data[pos_ + 2 * i];
          utf16 += r_.data[pos_ + 2 * i + 1];
        } else {
          utf16 += r_.data[pos_ + i];
          utf16 += '\0';
        }
      }
      pos_ += fit * (wide ? 2 : 1);
      left -= fit;
    }
    Skip(std::min(runs * 4 + ext, r_.data.size() - pos_));
    text::AppendFromUtf16Le(out, utf16);
  }

 private:
  bool IsBreak(std::size_t at) const { return std::find(r_.breaks.begin(), r_.breaks.end(), at) != r_.breaks.end(); }
  std::size_t NextBreak() const {
    for (std::size_t b : r_.breaks)
      if (b > pos_) return b;
    return r_.data.size();
  }
  const Record& r_;
  std::size_t pos_;
  bool biff8_;
  const text::CodePageDecoder& decoder_;
};

}  // namespace

namespace {

// Reads the globals substream alone: its records up to the first EOF, which come before any
// sheet's. Empty when the stream ends first.
std::string ReadGlobals(GsfInput* stream) {
  std::string data, head(4, '\0');
  for (;;) {
    if (!gsf_input_read(stream, 4, reinterpret_cast<guint8*>(head.data()))) return {};
    const std::size_t len = U16(head, 2);
    data += head;
    data.resize(data.size() + len);
    if (len > 0 && !gsf_input_read(stream, len, reinterpret_cast<guint8*>(data.data() + data.size() - len))) return {};
    if (U16(head, 0) == kEof) return data;
  }
}

}  // namespace

namespace {

// The workbook stream of the compound file `input` (whose reference this takes), opened; its size
// checked. Throws DataError, naming `path`, for a file that holds none.
GsfInput* OpenWorkbookStream(GsfInput* input, const std::string& path) {
  GError* error = nullptr;
  GsfInfile* ole = gsf_infile_msole_new(input, &error);
  g_object_unref(input);
  if (!ole) {
    // The library's own words (English) would tell a cataloguer nothing; the next step does.
    if (error) g_error_free(error);
    throw DataError(path + " 不是 Excel 97-2003 工作簿，或者文件已损坏。请在 Excel 或 WPS 中打开它，另存为 .xlsx 后再试");
  }
  GsfInput* stream = nullptr;
  for (int i = 0; i < gsf_infile_num_children(ole) && !stream; ++i) {
    const char* name = gsf_infile_name_by_index(ole, i);
    if (name && g_ascii_strcasecmp(name, "EncryptedPackage") == 0) {
      g_object_unref(ole);
      throw DataError(path + " 是加密的工作簿（打开时要输入密码），无法读取。请在 Excel 或 WPS 中取消密码后保存，再选择它");
    }
    if (name && (g_ascii_strcasecmp(name, "Workbook") == 0 || g_ascii_strcasecmp(name, "Book") == 0))
      stream = gsf_infile_child_by_index(ole, i);
  }
  g_object_unref(ole);
  if (!stream) throw DataError(path + " 中没有工作簿数据（可能是其他 Office 文档）");
  return stream;
}

// Whether a stream of `size` bytes can be read whole.
bool ReadableSize(gsf_off_t size) { return size > 0 && size < (gsf_off_t{1} << 31); }

GsfInput* OpenFile(const std::string& path, bool mapped) {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
  GError* error = nullptr;
  // A file that cannot be mapped (an empty one, a pipe) is read instead.
  GsfInput* input = mapped ? gsf_input_mmap_new(path.c_str(), &error) : nullptr;
  if (error) g_error_free(std::exchange(error, nullptr));
  if (!input) input = gsf_input_stdio_new(path.c_str(), &error);
  if (!input) {
    const int err = errno;
    if (error) g_error_free(error);
    throw DataError("无法打开工作簿 " + path + "：" + ErrorText(err));
  }
  return input;
}

}  // namespace

std::string ReadWorkbookStream(const std::string& path, bool globalsOnly) {
  GsfInput* stream = OpenWorkbookStream(OpenFile(path, false), path);
  const gsf_off_t size = gsf_input_size(stream);
  std::string data;
  if (globalsOnly) data = ReadGlobals(stream);
  if (data.empty() && ReadableSize(size)) {
    ReserveLarge(data, static_cast<std::size_t>(size));
    data.resize(static_cast<std::size_t>(size));
    gsf_input_seek(stream, 0, G_SEEK_SET);
    if (!gsf_input_read(stream, static_cast<size_t>(size), reinterpret_cast<guint8*>(data.data()))) data.clear();
  }
  g_object_unref(stream);
  if (data.empty()) throw DataError("读不出工作簿 " + path + " 的数据");
  return data;
}

WorkbookStream MapWorkbookStream(const std::string& path) {
  GsfInput* stream = OpenWorkbookStream(OpenFile(path, true), path);
  const std::shared_ptr<const void> keep(stream, [](const void* s) { g_object_unref(const_cast<void*>(s)); });
  const gsf_off_t size = gsf_input_size(stream);
  // Without a buffer of ours the library hands out the mapped bytes themselves when the stream's
  // blocks follow one another, or else its own copy of them; either lives as long as the stream.
  const guint8* bytes = ReadableSize(size) ? gsf_input_read(stream, static_cast<size_t>(size), nullptr) : nullptr;
  if (!bytes) throw DataError("读不出工作簿 " + path + " 的数据");
  return WorkbookStream(keep, std::string_view(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)));
}

XlsWorkbook::XlsWorkbook(WorkbookStream stream) : stream_(std::move(stream)) {
  RecordReader reader(stream_.bytes(), 0);
  Record r;
  if (!reader.Next(r) || (r.type != kBof && r.type != 0x0409 && r.type != 0x0209 && r.type != 0x0009))
    Damaged("找不到工作簿的起始记录");
  if (r.type != kBof) throw DataError("这是 Excel 5.0 以前版本的工作簿，请在 Excel 中另存为“Excel 97-2003 工作簿 (*.xls)”");
  const std::uint16_t version = U16(r.data, 0);
  biff8_ = version == 0x0600;
  if (!biff8_ && version != 0x0500) biff8_ = r.data.size() >= 16;  // Excel 97 writes 0x0600; take BIFF8 when in doubt
  std::vector<std::pair<std::uint16_t, std::string>> formats;
  std::unique_ptr<text::CodePageDecoder> decoder = std::make_unique<text::CodePageDecoder>(codePage_);
  Record sst;
  bool haveSst = false;
  while (reader.Next(r) && r.type != kEof) {
    switch (r.type) {
      case kCodePage: {
        const int cp = U16(r.data, 0);
        if (cp != 1200 && cp != 0) {
          codePage_ = cp == 32769 ? 1252 : cp;
          decoder = std::make_unique<text::CodePageDecoder>(codePage_);
        }
        break;
      }
      case kDateMode:
        date1904_ = U16(r.data, 0) == 1;
        break;
      case kBoundSheet: {
        XlsSheet sheet;
        sheet.offset = U32(r.data, 0);
        if (r.data.size() < 8) Damaged("工作表目录记录过短");
        const auto type = static_cast<std::uint8_t>(r.data[5]);
        sheet.worksheet = type == 0;
        StringCursor c(r, 6, biff8_, *decoder);
        const std::size_t cch = c.Byte();
        sheet.name = c.Chars(cch, true, false);
        sheets_.push_back(sheet);
        break;
      }
      case kSst:
        r.KeepIn(sst);
        haveSst = true;
        break;
      case kFormat: {
        StringCursor c(r, 0, biff8_, *decoder);
        const std::uint16_t id = c.Word();
        const std::size_t cch = biff8_ ? c.Word() : c.Byte();
        formats.emplace_back(id, c.Chars(cch, true, false));
        break;
      }
      case kXf:
        xfFormat_.push_back(U16(r.data, 2));
        break;
      default:
        break;
    }
  }
  if (haveSst && biff8_) {
    StringCursor c(sst, 8, true, *decoder);
    const std::uint32_t unique = U32(sst.data, 4);
    sst_.reserve(std::min<std::uint32_t>(unique, 1u << 20));
    for (std::uint32_t i = 0; i < unique && c.pos() < sst.data.size(); ++i) {
      const std::size_t cch = c.Word();
      sst_.push_back(c.Chars(cch, true));
    }
  }
  for (const auto& [id, code] : formats) formatIsDate_.emplace_back(id, CustomDateFormat(code));
  if (sheets_.empty()) Damaged("没有工作表");
}

std::string XlsWorkbook::TextOfNumber(double value, std::uint16_t xf) const {
  if (xf < xfFormat_.size()) {
    const std::uint16_t id = xfFormat_[xf];
    bool date = BuiltInDateFormat(id);
    for (const auto& [fid, isDate] : formatIsDate_)
      if (fid == id) date = isDate;
    if (date) return SerialDateText(value, date1904_);
  }
  return NumberText(value);
}

namespace {

bool IsBof(std::uint16_t type) { return type == kBof || type == 0x0409 || type == 0x0209; }

// The records of one sheet's own substream, without those of the substreams embedded in it
// (charts in a sheet have their own BOF and EOF).
class SheetRecords {
 public:
  SheetRecords(std::string_view stream, const XlsSheet& sheet) : reader_(stream, sheet.offset) {
    if (sheet.offset >= stream.size()) Damaged("工作表“" + sheet.name + "”的位置越过了文件末尾");
    Record r;
    if (!reader_.Next(r) || !IsBof(r.type)) Damaged("工作表“" + sheet.name + "”没有起始记录");
  }
  bool Next(Record& r) {
    while (!done_ && reader_.Next(r)) {
      if (IsBof(r.type)) {
        ++depth_;
      } else if (r.type == kEof) {
        done_ = depth_-- == 0;
      } else if (depth_ == 0) {
        return true;
      }
    }
    done_ = true;
    return false;
  }

 private:
  RecordReader reader_;
  int depth_ = 0;
  bool done_ = false;
};

// A cell's place, within what a sheet holds.
void CheckPlace(std::uint32_t row, std::uint32_t col) {
  if (row >= kMaxRows || col >= kMaxCols) Damaged("单元格位置超出范围");
}

// Gathers a sheet's cells with their texts kept apart (CompactSheet).
class CompactSink {
 public:
  explicit CompactSink(std::size_t sharedCount) : sharedCount_(sharedCount) {}
  void Shared(std::uint32_t row, std::uint32_t col, std::uint32_t index) {
    sheet.cells.push_back({row, static_cast<std::uint16_t>(col), index});
  }
  template <typename Fill>
  void Own(std::uint32_t row, std::uint32_t col, Fill fill) {
    if (sheet.own.size() >= 0xFFFFFFFFu - sharedCount_) Damaged("单元格过多");
    Shared(row, col, static_cast<std::uint32_t>(sharedCount_ + sheet.own.size()));
    fill(sheet.own.Open());
    sheet.own.Close();
  }
  CompactSheet sheet;

 private:
  std::size_t sharedCount_;
};

// Learns a sheet's used range from its cells' places alone (their texts are not made), and
// whether its rows come in order, so that rows can be handed out while the sheet is read.
struct ShapeSink {
  void Shared(std::uint32_t row, std::uint32_t col, std::uint32_t) {
    if (cells == 0) firstRow = row;
    rowsInOrder = rowsInOrder && row >= lastRow;
    lastRow = std::max(lastRow, row);
    firstCol = std::min(firstCol, col);
    lastCol = std::max(lastCol, col);
    ++cells;
  }
  template <typename Fill>
  void Own(std::uint32_t row, std::uint32_t col, Fill) {
    Shared(row, col, 0);
  }
  std::size_t cells = 0;
  std::uint32_t firstRow = 0, lastRow = 0, firstCol = kMaxCols, lastCol = 0;
  bool rowsInOrder = true;
};

}  // namespace

// The cells of one sheet, record by record, given to a sink (CompactSink, ShapeSink or the rows
// handed out while read) once their places are checked.
template <typename Sink>
class XlsWorkbook::SheetReader {
 public:
  SheetReader(const XlsWorkbook& book, Sink& sink) : book_(book), decoder_(book.codePage_), sink_(sink) {}

  // One record of the sheet's own substream.
  void Take(const Record& r) {
    switch (r.type) {
      case kLabelSst: {
        const std::uint32_t index = U32(r.data, 6);
        if (index < book_.sst_.size())
          Shared(U16(r.data, 0), U16(r.data, 2), index);
        else
          Own(U16(r.data, 0), U16(r.data, 2), [](std::string&) {});
        break;
      }
      case kLabel:
      case kRString:
        Own(U16(r.data, 0), U16(r.data, 2), [&](std::string& out) {
          StringCursor c(r, 6, book_.biff8_, decoder_);
          const std::size_t cch = c.Word();
          c.AppendChars(out, cch, true, false);
        });
        break;
      case kNumber: Number(r, U16(r.data, 0), U16(r.data, 2), [&] { return F64(r.data, 6); }, 4); break;
      case kRk: Number(r, U16(r.data, 0), U16(r.data, 2), [&] { return RkValue(U32(r.data, 6)); }, 4); break;
      case kMulRk: TakeMulRk(r); break;
      case kBoolErr:
        if (r.data.size() < 8) Damaged("BOOLERR 记录过短");
        Text(U16(r.data, 0), U16(r.data, 2), r.data[7] ? "" : BoolText(r.data[6] != 0));
        break;
      case kFormula: TakeFormula(r); break;
      case kString: TakeString(r); break;
      default: break;
    }
  }

 private:
  // A cell given to the sink, its place checked here for every sink.
  void Shared(std::uint32_t row, std::uint32_t col, std::uint32_t index) {
    CheckPlace(row, col);
    sink_.Shared(row, col, index);
  }
  template <typename Fill>
  void Own(std::uint32_t row, std::uint32_t col, Fill fill) {
    CheckPlace(row, col);
    sink_.Own(row, col, fill);
  }
  void Text(std::uint32_t row, std::uint32_t col, std::string_view text) {
    Own(row, col, [text](std::string& out) { out.append(text); });
  }
  // A number, as text by the format of the cell's XF (the word at `xfAt`).
  template <typename Value>
  void Number(const Record& r, std::uint32_t row, std::uint32_t col, Value value, std::size_t xfAt) {
    Own(row, col, [&](std::string& out) { out += book_.TextOfNumber(value(), U16(r.data, xfAt)); });
  }

  void TakeMulRk(const Record& r) {
    if (r.data.size() < 6) Damaged("MULRK 记录过短");
    const std::uint16_t row = U16(r.data, 0), first = U16(r.data, 2);
    const std::size_t n = (r.data.size() - 6) / 6;
    for (std::size_t i = 0; i < n; ++i)
      Number(r, row, first + i, [&] { return RkValue(U32(r.data, 6 + 6 * i)); }, 4 + 6 * i);
  }

  void TakeFormula(const Record& r) {
    const std::uint32_t row = U16(r.data, 0), col = U16(r.data, 2);
    if (r.data.size() < 14) Damaged("公式记录过短");
    if (U16(r.data, 12) != 0xFFFF) {
      Number(r, row, col, [&] { return F64(r.data, 6); }, 4);
      return;
    }
    switch (static_cast<std::uint8_t>(r.data[6])) {
      case 0:  // the text follows in a STRING record
        pendingString_ = true;
        pendingRow_ = row;
        pendingCol_ = col;
        break;
      case 1: Text(row, col, BoolText(r.data[8] != 0)); break;
      case 3: Text(row, col, ""); break;
      default: break;  // an error value reads as empty
    }
  }

  void TakeString(const Record& r) {
    if (!pendingString_) return;
    Own(pendingRow_, pendingCol_, [&](std::string& out) {
      StringCursor c(r, 0, book_.biff8_, decoder_);
      const std::size_t cch = c.Word();
      c.AppendChars(out, cch, true, false);
    });
    pendingString_ = false;
  }

  const XlsWorkbook& book_;
  const text::CodePageDecoder decoder_;
  Sink& sink_;
  // A formula whose text result follows in a STRING record.
  bool pendingString_ = false;
  std::uint32_t pendingRow_ = 0, pendingCol_ = 0;
};

CompactSheet XlsWorkbook::ReadCompactSheet(const XlsSheet& sheet) const {
  SheetRecords records(stream_.bytes(), sheet);
  CompactSink sink(sst_.size());
  // Room for what the rest of the stream can hold at most of a common sheet (a cell record takes at
  // least ten bytes, its text as UTF-8 about what it takes as UTF-16): reserved, not touched, it
  // spares copying while the vectors grow.
  const std::size_t left = stream_.bytes().size() - sheet.offset;
  sink.sheet.cells.reserve(left / 10);
  sink.sheet.own.Reserve(left, left / 10);
  SheetReader<CompactSink> cells(*this, sink);
  for (Record r; records.Next(r);) cells.Take(r);
  OrderCells(sink.sheet.cells);
  return std::move(sink.sheet);
}

std::vector<XlsWorkbook::Cell> XlsWorkbook::ReadSheet(const XlsSheet& sheet) const {
  return ExpandCells(ReadCompactSheet(sheet), sst_);
}

std::unique_ptr<RowSet> XlsWorkbook::WholeSheetRows(const XlsSheet& sheet) const {
  return CompactRowSet(ReadCompactSheet(sheet), sst_);
}

// The rows of a sheet whose rows come in order, handed out while its records are read: the first
// row can be converted before the last is read. A first pass over the records learns the used
// range from the cells' places; the texts are made in the second, row by row.
class XlsWorkbook::StreamedRows : public RowSet {
 public:
  StreamedRows(const XlsWorkbook& book, const XlsSheet& sheet, const ShapeSink& shape)
      : book_(book), records_(book.stream_.bytes(), sheet), reader_(book, *this), firstRow_(shape.firstRow),
        lastRow_(shape.lastRow), firstCol_(shape.firstCol), names_(shape.lastCol - shape.firstCol + 1) {
    row_ = firstRow_;
    TakeRow(names_);
    for (std::size_t c = 0; c < names_.size(); ++c)
      if (names_[c].empty()) names_[c].append("F").append(std::to_string(c + 1));
  }
  std::optional<std::int64_t> RecordCount() const override { return static_cast<std::int64_t>(lastRow_ - firstRow_); }
  const std::vector<std::string>& FieldNames() const override { return names_; }
  bool Next(std::vector<std::string>& values) override {
    if (row_ > lastRow_) return false;
    values.resize(names_.size());
    for (auto& v : values) v.clear();
    TakeRow(values);
    return true;
  }

  // The sink's side: the cells as the records give them.
  void Shared(std::uint32_t row, std::uint32_t col, std::uint32_t index) {
    Cell& cell = Push(row, col);
    cell.shared = index;
  }
  template <typename Fill>
  void Own(std::uint32_t row, std::uint32_t col, Fill fill) {
    Cell& cell = Push(row, col);
    cell.shared = kOwn;
    fill(cell.text);
  }

 private:
  static constexpr std::uint32_t kOwn = 0xFFFFFFFF;
  struct Cell {
    std::uint32_t row = 0, col = 0, shared = kOwn;
    std::string text;
  };
  Cell& Push(std::uint32_t row, std::uint32_t col) {
    if (count_ == pending_.size()) pending_.emplace_back();  // a former cell's room is reused
    Cell& cell = pending_[count_++];
    cell.row = row, cell.col = col;
    cell.text.clear();
    return cell;
  }
  // Row row_'s cells into `values` (one for each column of the range); a later cell of the same
  // place replaces an earlier one, as it does when the cells are ordered first.
  void TakeRow(std::vector<std::string>& values) {
    // What is left of the former row's reading (a cell of this row or a later one) moves to the
    // front, so that the cells of a row reuse the room of the row before.
    for (std::size_t i = next_; i < count_; ++i) std::swap(pending_[i - next_], pending_[i]);
    count_ -= next_;
    next_ = 0;
    Record r;
    while ((count_ == 0 || pending_[count_ - 1].row <= row_) && records_.Next(r)) reader_.Take(r);
    for (; next_ < count_ && pending_[next_].row == row_; ++next_) {
      Cell& cell = pending_[next_];
      std::string& value = values[cell.col - firstCol_];
      if (cell.shared == kOwn)
        value.swap(cell.text);
      else
        value = book_.sst_[cell.shared];
    }
    ++row_;
  }

  const XlsWorkbook& book_;
  SheetRecords records_;
  SheetReader<StreamedRows> reader_;
  std::vector<Cell> pending_;  // cells read but not yet handed out: [next_, count_)
  std::size_t next_ = 0, count_ = 0;
  std::uint32_t firstRow_, lastRow_, firstCol_, row_ = 0;
  std::vector<std::string> names_;
};

std::unique_ptr<RowSet> XlsWorkbook::SheetRows(const XlsSheet& sheet) const {
  ShapeSink shape;
  {
    SheetRecords records(stream_.bytes(), sheet);
    SheetReader<ShapeSink> places(*this, shape);
    for (Record r; records.Next(r);) places.Take(r);
  }
  if (shape.cells == 0 || !shape.rowsInOrder) return WholeSheetRows(sheet);
  return std::make_unique<StreamedRows>(*this, sheet, shape);
}

std::unique_ptr<RowSet> SheetRowSet(std::vector<SheetCell> cells) {
  const auto take = [](SheetCell& c, std::string& out) { out = std::move(c.text); };
  return std::make_unique<UsedRangeRows<SheetCell, decltype(take)>>(std::move(cells), take);
}

std::unique_ptr<RowSet> CompactRowSet(CompactSheet sheet, const std::vector<std::string>& shared) {
  auto copy = [own = std::move(sheet.own), &shared](const CompactCell& c, std::string& out) {
    if (c.text < shared.size())
      out = shared[c.text];
    else
      out = own[c.text - shared.size()];
  };
  // Moved, not copied: the lambda holds the sheet's own texts.
  return std::make_unique<UsedRangeRows<CompactCell, decltype(copy)>>(std::move(sheet.cells), std::move(copy));
}

std::vector<SheetCell> ExpandCells(const CompactSheet& sheet, const std::vector<std::string>& shared) {
  std::vector<SheetCell> cells;
  cells.reserve(sheet.cells.size());
  for (const CompactCell& c : sheet.cells)
    cells.push_back({c.row, c.col, c.text < shared.size() ? shared[c.text] : std::string(sheet.own[c.text - shared.size()])});
  return cells;
}

namespace {

// The catalogue needs the workbook globals alone (the sheets' names come before their cells), so
// only they are read for it; a query reads the whole stream.
class XlsConnection : public Connection {
 public:
  explicit XlsConnection(std::string path) : path_(std::move(path)) {}
  std::vector<CatalogRow> Tables() override {
    return WorkbookConnection<XlsWorkbook>(ReadWorkbookStream(path_, true)).Tables();
  }
  std::unique_ptr<RowSet> Query(const std::string& queryText) override {
    whole_ = std::make_unique<WorkbookConnection<XlsWorkbook>>(MapWorkbookStream(path_));
    return whole_->Query(queryText);
  }

 private:
  std::string path_;
  std::unique_ptr<WorkbookConnection<XlsWorkbook>> whole_;  // what the query's rows read from
};

}  // namespace

std::unique_ptr<Connection> OpenXls(const std::string& path) { return std::make_unique<XlsConnection>(path); }

}  // namespace rowcaster::data
