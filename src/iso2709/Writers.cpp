#include "iso2709/Writers.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "iso2709/IsoRecord.h"
#include "iso2709/Listing.h"
#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

namespace rowcaster::iso2709 {
namespace {

constexpr char kSubfieldMark = '\x1F';
constexpr char kFieldEnd = '\x1E';
constexpr char kRecordEnd = '\x1D';

constexpr std::string_view kXmlPrologue =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<collection xmlns=\"http://www.loc.gov/MARC21/slim\">\n";
constexpr std::string_view kXmlEpilogue = "</collection>\n";

std::string LineNo(std::size_t line) { return line ? "第 " + std::to_string(line) + " 行：" : std::string(); }

WriteResult NotWritten(std::string why) {
  WriteResult result;
  result.ok = false;
  result.description = std::move(why);
  return result;
}

// A field past ISO 2709's limit: its tag and length go with the reason.
WriteResult TooLong(std::string why, const std::string& tag, long long bytes) {
  WriteResult result = NotWritten(std::move(why));
  result.tooLongTag = tag;
  result.tooLongBytes = bytes;
  return result;
}

// Counts a character the output cannot hold, and names it once.
void NoteUnencodable(WriteResult& result, std::string_view ch, std::size_t count = 1) {
  result.unencodable += count;
  if (result.unencodableChars.find(ch) == std::string::npos) result.unencodableChars.append(ch);
}

// Counts a private-use character written as it is, and names it once.
void NotePrivateUse(WriteResult& result, std::string_view ch) {
  ++result.privateUse;
  if (result.privateUseChars.find(ch) == std::string::npos) result.privateUseChars.append(ch);
}

// What one pass over a text finds: a byte past ASCII, a lead byte of the UTF-8 form of a
// private-use character (EE, EF, F3, F4; other characters have them too). A text without such a
// lead holds no private-use character; a text of ASCII is the same in every encoding.
struct Bytes {
  bool nonAscii = false, privateUseLead = false;
};
Bytes Scan(std::string_view utf8) {
  unsigned high = 0, lead = 0;
  for (const char ch : utf8) {
    const auto b = static_cast<unsigned char>(ch);
    high |= b;
    lead |= static_cast<unsigned>(b == 0xEE || b == 0xEF || b >= 0xF3);
  }
  return {(high & 0x80) != 0, lead != 0};
}

// XML 1.0 allows tab, line feed, carriage return and everything from U+0020 but U+FFFE and U+FFFF.
bool XmlAllows(char32_t c) { return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF); }

void AppendXmlEscaped(std::string& out, std::string_view utf8, WriteResult& result) {
  std::size_t run = 0;  // start of the characters not yet copied
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const char* entity = nullptr;
    std::size_t len = 1;
    bool drop = false;
    if (b == '&') {
      entity = "&amp;";
    } else if (b == '<') {
      entity = "&lt;";
    } else if (b == '>') {
      entity = "&gt;";
    } else if (b == '"') {
      entity = "&quot;";
    } else if (b == '\r') {
      entity = "&#13;";  // a parser would turn a bare one into a line feed
    } else if (b < 0x20) {
      drop = b != '\t' && b != '\n';
    } else if (b == 0xEE || b == 0xEF || b == 0xF3 || b == 0xF4) {
      std::size_t at = i;
      const char32_t c = text::NextCodePoint(utf8, at);
      len = at - i;
      drop = !XmlAllows(c);
      if (text::IsPrivateUse(c)) NotePrivateUse(result, utf8.substr(i, len));
    }
    if (entity || drop) {
      out.append(utf8.data() + run, i - run);
      if (entity) out += entity;
      if (drop) NoteUnencodable(result, utf8.substr(i, len));
      run = i + len;
    }
    i += len;
  }
  out.append(utf8.data() + run, utf8.size() - run);
}

}  // namespace

std::optional<Encoding> EncodingNamed(std::string_view name) {
  const std::string n = text::AsciiLower(name);
  if (n == "gbk" || n == "cp936") return Encoding::Gbk;
  if (n == "gb18030") return Encoding::Gb18030;
  if (n == "utf-8" || n == "utf8") return Encoding::Utf8;
  return std::nullopt;
}

std::string_view NameOf(Encoding encoding) {
  switch (encoding) {
    case Encoding::Gbk: return "GBK";
    case Encoding::Gb18030: return "GB18030";
    case Encoding::Utf8: return "UTF-8";
  }
  return {};
}

std::optional<Format> FormatNamed(std::string_view name) {
  const std::string n = text::AsciiLower(name);
  if (n == "iso2709" || n == "iso" || n == "marc") return Format::Iso2709;
  if (n == "marcxml" || n == "xml") return Format::MarcXml;
  if (n == "text" || n == "txt") return Format::Text;
  return std::nullopt;
}

std::string_view NameOf(Format format) {
  switch (format) {
    case Format::Iso2709: return "iso2709";
    case Format::MarcXml: return "marcxml";
    case Format::Text: return "text";
  }
  return {};
}

Encoding DefaultEncoding(Format format) { return format == Format::Iso2709 ? Encoding::Gbk : Encoding::Utf8; }

std::string Unsupported(Format format, Encoding encoding) {
  if (format == Format::MarcXml && encoding != Encoding::Utf8) return "MARCXML 只用 UTF-8 编码";
  return {};
}

std::string Utf8CharacterSets(std::string_view value) {
  // Positions count characters: the value is ASCII as written, but nothing here may split one.
  const std::string_view head = text::Utf8Substr(value, 0, 26);
  std::string out(head);
  out.append(26 - text::Utf8Length(head), ' ');
  out += "50  ";
  out.append(value.substr(text::Utf8Substr(value, 0, 30).size()));
  return out;
}

// Turns UTF-8 into the output's bytes. GBK is code page 936 (our table, as the classic output
// always was); GB18030 goes through iconv, which has the whole four-byte range.
class RecordWriter::Encoder {
 public:
  Encoder(Encoding encoding, PrivateUse privateUse) : encoding_(encoding), privateUse_(privateUse) {
    if (encoding_ == Encoding::Gb18030) cd_ = ::iconv_open("GB18030", "UTF-8");
  }
  ~Encoder() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) ::iconv_close(cd_);
  }
  bool ok() const { return encoding_ != Encoding::Gb18030 || cd_ != reinterpret_cast<iconv_t>(-1); }

  void Append(std::string& out, std::string_view utf8, WriteResult& result) {
    // ASCII is the same in every encoding: a subfield code, the indicators and the head of many
    // values are copied as they are.
    std::size_t ascii = 0;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) ++ascii;
    out.append(utf8.data(), ascii);
    if (ascii < utf8.size()) AppendBeyondAscii(out, utf8.substr(ascii), result);
  }

 private:
  // Append for a text that begins with a character beyond ASCII.
  void AppendBeyondAscii(std::string& out, std::string_view utf8, WriteResult& result) {
    // GBK in one pass, unless a private-use character (or a malformed text) asks for the way below.
    if (encoding_ == Encoding::Gbk) {
      std::size_t missing = 0;
      if (text::AppendGbkUntilPrivateUse(out, utf8, &missing) == text::GbkAppend::Done) {
        NoteMissingGbk(utf8, missing, result);
        return;
      }
      // Broken bytes are met before the private-use characters are counted: what goes below is
      // well formed.
      if (!text::IsValidUtf8(utf8)) {
        AppendMalformed(out, utf8, result);
        return;
      }
    }
    const Bytes bytes = Scan(utf8);
    if (!bytes.nonAscii) {
      out.append(utf8);
      return;
    }
    if (!bytes.privateUseLead) {
      AppendEncoded(out, utf8, result);
      return;
    }
    if (privateUse_ == PrivateUse::Lacking && encoding_ != Encoding::Utf8) {
      AppendEncoded(out, WithoutPrivateUse(utf8, result), result);
      return;
    }
    for (std::size_t i = 0; i < utf8.size();) {
      const std::size_t at = i;
      const char32_t c = text::NextCodePoint(utf8, i);
      // GBK has user-defined codes for only part of them; the others are counted as lacking.
      if (text::IsPrivateUse(c) && (encoding_ != Encoding::Gbk || text::GbkEncodes(c)))
        NotePrivateUse(result, utf8.substr(at, i - at));
    }
    AppendEncoded(out, utf8, result);
  }

  // `utf8` with each private-use character as "?", counted as one the encoding lacks.
  static std::string WithoutPrivateUse(std::string_view utf8, WriteResult& result) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
      const std::size_t at = i;
      const char32_t c = text::NextCodePoint(utf8, i);
      if (!text::IsPrivateUse(c)) {
        out.append(utf8, at, i - at);
        continue;
      }
      out += '?';
      NoteUnencodable(result, utf8.substr(at, i - at));
    }
    return out;
  }

  void AppendEncoded(std::string& out, std::string_view utf8, WriteResult& result) {
    switch (encoding_) {
      case Encoding::Utf8:
        out.append(utf8);
        return;
      case Encoding::Gbk: {
        std::size_t missing = 0;
        text::AppendGbk(out, utf8, &missing);  // well formed: AppendBeyondAscii has seen to it
        NoteMissingGbk(utf8, missing, result);
        return;
      }
      case Encoding::Gb18030:
        AppendGb18030(out, utf8, result);
        return;
    }
  }

  // GBK for a text with bytes that begin no character (no reader gives such, but a record copied
  // from a catalogue may hold them): each is written "?" and counted with the characters the
  // encoding lacks, as U+FFFD; the well-formed runs between them are written as ever.
  void AppendMalformed(std::string& out, std::string_view utf8, WriteResult& result) {
    while (!utf8.empty()) {
      const std::size_t good = text::ValidUtf8Prefix(utf8);
      Append(out, utf8.substr(0, good), result);
      if (good == utf8.size()) return;
      out += '?';
      NoteUnencodable(result, "\uFFFD");
      utf8.remove_prefix(good + 1);
    }
  }

  static void NoteMissingGbk(std::string_view utf8, std::size_t missing, WriteResult& result) {
    if (!missing) return;
    result.unencodable += missing;
    for (const std::string& ch : text::NotInGbk(utf8)) NoteUnencodable(result, ch, 0);
  }

  void AppendGb18030(std::string& out, std::string_view utf8, WriteResult& result) {
    std::size_t ascii = 0;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) ++ascii;
    out.append(utf8.data(), ascii);
    if (ascii == utf8.size()) return;
    ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(utf8.data() + ascii);
    std::size_t inLeft = utf8.size() - ascii;
    while (inLeft > 0) {
      const std::size_t at = out.size();
      out.resize(at + inLeft * 2 + 8);  // at most 4 bytes for each character of at least 2
      char* dst = out.data() + at;
      std::size_t dstLeft = out.size() - at;
      const std::size_t rc = ::iconv(cd_, &in, &inLeft, &dst, &dstLeft);
      out.resize(out.size() - dstLeft);
      if (rc == static_cast<std::size_t>(-1) && errno == EILSEQ) {
        // Not reached for well-formed UTF-8; kept so that nothing is ever lost without a count.
        std::size_t i = 0;
        text::NextCodePoint(std::string_view(in, inLeft), i);
        ++result.unencodable;
        out += '?';
        in += std::max<std::size_t>(i, 1);
        inLeft -= std::min(inLeft, std::max<std::size_t>(i, 1));
      } else if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
        break;
      }
    }
  }

  Encoding encoding_;
  PrivateUse privateUse_;
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

RecordWriter::RecordWriter(Format format, Encoding encoding, PrivateUse privateUse)
    : format_(format), encoding_(format == Format::MarcXml ? Encoding::Utf8 : encoding),
      encoder_(std::make_unique<Encoder>(encoding_, privateUse)) {}

RecordWriter::~RecordWriter() = default;

std::string_view RecordWriter::Prologue() const { return format_ == Format::MarcXml ? kXmlPrologue : std::string_view(); }
std::string_view RecordWriter::Epilogue() const { return format_ == Format::MarcXml ? kXmlEpilogue : std::string_view(); }

WriteResult RecordWriter::Append(const Record& record, std::string& out) {
  if (!encoder_->ok()) return NotWritten("这台机器上不能用 " + std::string(NameOf(encoding_)) + " 编码");
  switch (format_) {
    case Format::Iso2709: return AppendIso(record, out);
    case Format::MarcXml: return AppendXml(record, out);
    case Format::Text: return AppendText(record, out);
  }
  return {};
}

namespace {

// The data of subfield `s` of field `f` as the record is written in `encoding`.
std::string_view SubfieldData(const Field& f, const Subfield& s, Encoding encoding, std::string& scratch) {
  if (encoding == Encoding::Utf8 && f.tag == "100" && s.code == "a") {
    scratch = Utf8CharacterSets(s.data);
    return scratch;
  }
  return s.data;
}

}  // namespace

void RecordWriter::EncodeBody(const Field& f, WriteResult& result) {
  body_.clear();
  AppendBody(f, body_, result);
}

void RecordWriter::AppendBody(const Field& f, std::string& out, WriteResult& result) {
  if (f.IsControl()) {
    encoder_->Append(out, f.data, result);
    return;
  }
  std::string scratch;
  encoder_->Append(out, f.indicators, result);
  for (const Subfield& s : f.subfields) {
    out += kSubfieldMark;
    encoder_->Append(out, s.code, result);
    encoder_->Append(out, SubfieldData(f, s, encoding_, scratch), result);
  }
}

namespace {

// A 24-character leader and three-character tags: directory entries of 12 bytes.
bool HasPlainShape(const Record& record) {
  if (record.leader.size() < 24) return false;
  for (const Field& f : record.fields)
    if (f.tag.size() != 3) return false;
  return true;
}

// What passes a limit of ISO 2709, said the same way by both ways of writing a record.
WriteResult FieldTooLong(const Field& f, long long bytes) {
  return TooLong(LineNo(f.line) + "字段 " + f.tag + " 长 " + std::to_string(bytes) + " 字节，超过 ISO 2709 字段长度上限 9999 字节",
                 f.tag, bytes);
}
WriteResult StartTooFar(const Field& f, long long at) {
  return NotWritten(LineNo(f.line) + "字段 " + f.tag + " 的起始位置 " + std::to_string(at) + " 超过 ISO 2709 起始位置上限 99999");
}
WriteResult RecordTooLong(long long bytes) {
  return NotWritten("记录长 " + std::to_string(bytes) + " 字节，超过 ISO 2709 记录长度上限 99999 字节");
}

// Writes n as `width` (4 or 5) digits at `at`; n is known to fit. Two digits at a time: a
// record's directory is written for every record.
template <int width>
void PutDigits(char* at, long long n) {
  static_assert(width == 4 || width == 5);
  static constexpr auto kPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) pairs[2 * i] = static_cast<char>('0' + i / 10), pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    return pairs;
  }();
  auto u = static_cast<std::uint32_t>(n);
  if constexpr (width == 5) {
    *at++ = static_cast<char>('0' + u / 10000);
    u %= 10000;
  }
  std::memcpy(at, &kPairs[2 * (u / 100)], 2);
  std::memcpy(at + 2, &kPairs[2 * (u % 100)], 2);
}

}  // namespace

// The record is written in place: room for the leader and the directory first, then each field's
// bytes straight behind them; the directory and the leader are filled in as the lengths become known.
WriteResult RecordWriter::AppendIso(const Record& record, std::string& out) {
  if (!HasPlainShape(record)) return AppendIsoByParts(record, out);
  WriteResult result;
  const std::size_t start = out.size();
  const std::size_t header = 24 + 12 * record.fields.size() + 1;
  // The UTF-8 text bounds what GBK writes (and nearly what UTF-8 does): room made once.
  std::size_t text = 1;
  for (const Field& f : record.fields) {
    text += f.indicators.size() + f.data.size() + 1;
    for (const Subfield& s : f.subfields) text += 1 + s.code.size() + s.data.size();
  }
  out.reserve(start + header + text + 32);
  out.resize(start + header);
  const std::size_t dataStart = out.size();
  for (std::size_t i = 0; i < record.fields.size(); ++i) {
    const Field& f = record.fields[i];
    const std::size_t fieldStart = out.size();
    AppendBody(f, out, result);
    out += kFieldEnd;
    const long long fieldLen = static_cast<long long>(out.size() - fieldStart);
    const long long at = static_cast<long long>(fieldStart - dataStart);
    if (fieldLen > kMaxFieldBytes || at > kMaxStart) {
      out.resize(start);
      return fieldLen > kMaxFieldBytes ? FieldTooLong(f, fieldLen) : StartTooFar(f, at);
    }
    char* entry = out.data() + start + 24 + 12 * i;
    std::copy_n(f.tag.data(), 3, entry);
    PutDigits<4>(entry + 3, fieldLen);
    PutDigits<5>(entry + 7, at);
  }
  out += kRecordEnd;
  const long long recordLen = static_cast<long long>(out.size() - start);
  if (recordLen > kMaxRecordBytes) {
    out.resize(start);
    return RecordTooLong(recordLen);
  }
  char* leader = out.data() + start;
  PutDigits<5>(leader, recordLen);
  std::copy_n(record.leader.data() + 5, 7, leader + 5);
  PutDigits<5>(leader + 12, static_cast<long long>(header));
  std::copy_n(record.leader.data() + 17, 7, leader + 17);
  out[dataStart - 1] = kFieldEnd;
  return result;
}

// The record built from its parts, for a record whose leader or tags are not of the usual
// length (a tag is written as far as its first three characters go).
WriteResult RecordWriter::AppendIsoByParts(const Record& record, std::string& out) {
  WriteResult result;
  std::string directory, data;
  directory.reserve(12 * record.fields.size());
  for (const Field& f : record.fields) {
    EncodeBody(f, result);
    const long long fieldLen = static_cast<long long>(body_.size()) + 1;
    if (fieldLen > kMaxFieldBytes) return FieldTooLong(f, fieldLen);
    if (static_cast<long long>(data.size()) > kMaxStart) return StartTooFar(f, static_cast<long long>(data.size()));
    directory.append(f.tag, 0, 3);
    AppendPadded(directory, 4, fieldLen);
    AppendPadded(directory, 5, static_cast<long long>(data.size()));
    data += body_;
    data += kFieldEnd;
  }
  const long long recordLen = static_cast<long long>(data.size() + directory.size()) + 24 + 1 + 1;
  if (recordLen > kMaxRecordBytes) return RecordTooLong(recordLen);
  out.reserve(out.size() + static_cast<std::size_t>(recordLen));
  AppendPadded(out, 5, recordLen);
  out.append(record.leader, 5, 7);
  AppendPadded(out, 5, 24 + static_cast<long long>(directory.size()) + 1);
  out.append(record.leader, 17, 7);
  out += directory;
  out += kFieldEnd;
  out += data;
  out += kRecordEnd;
  return result;
}

std::string RecordWriter::Leader(const Record& record) {
  long long total = 24 + 1 + 1, base = 24 + 1;
  WriteResult ignored;  // the record's own write counts what it cannot hold
  for (const Field& f : record.fields) {
    EncodeBody(f, ignored);
    total += 12 + static_cast<long long>(body_.size()) + 1;
    base += 12;
  }
  // Past the five digits (possible outside ISO 2709) the leader says 99999.
  const auto digits = [](long long n) {
    const std::string d = PadDigits(5, n);
    return d.empty() ? std::string("99999") : d;
  };
  return digits(total) + record.leader.substr(5, 7) + digits(base) + record.leader.substr(17, 7);
}

WriteResult RecordWriter::AppendXml(const Record& record, std::string& out) {
  WriteResult result;
  std::string scratch;
  out += "<record>\n  <leader>";
  AppendXmlEscaped(out, Leader(record), result);
  out += "</leader>\n";
  for (const Field& f : record.fields) {
    if (f.IsControl()) {
      out += "  <controlfield tag=\"";
      AppendXmlEscaped(out, f.tag, result);
      out += "\">";
      AppendXmlEscaped(out, f.data, result);
      out += "</controlfield>\n";
      continue;
    }
    const std::string_view ind1 = text::Utf8Substr(f.indicators, 0, 1), ind2 = text::Utf8Substr(f.indicators, 1, 1);
    out += "  <datafield tag=\"";
    AppendXmlEscaped(out, f.tag, result);
    out += "\" ind1=\"";
    AppendXmlEscaped(out, ind1.empty() ? " " : ind1, result);
    out += "\" ind2=\"";
    AppendXmlEscaped(out, ind2.empty() ? " " : ind2, result);
    out += "\">\n";
    for (const Subfield& s : f.subfields) {
      out += "    <subfield code=\"";
      AppendXmlEscaped(out, s.code, result);
      out += "\">";
      AppendXmlEscaped(out, SubfieldData(f, s, encoding_, scratch), result);
      out += "</subfield>\n";
    }
    out += "  </datafield>\n";
  }
  out += "</record>\n";
  return result;
}

std::string RecordWriter::ListingOf(const Record& record) {
  Record shown = record;
  shown.leader = Leader(record);
  std::string scratch;
  for (Field& f : shown.fields)
    for (Subfield& s : f.subfields) s.data = std::string(SubfieldData(f, s, encoding_, scratch));
  return Listing(shown);
}

WriteResult RecordWriter::AppendText(const Record& record, std::string& out) {
  WriteResult result;
  encoder_->Append(out, ListingOf(record) + "\n", result);
  return result;
}

}  // namespace rowcaster::iso2709
