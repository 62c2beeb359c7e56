#include "output/ExistingOutput.h"

#include <expat.h>
#include <fcntl.h>
#include <unistd.h>

#include <string_view>

#include "iso2709/Decoder.h"
#include "platform/BlockReader.h"
#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

namespace rowcaster::output {
namespace {

using iso2709::Framing;

// The encoding family of records already written, as far as their bytes tell: text that is not
// ASCII is UTF-8 when it decodes as UTF-8 (Chinese text in GBK practically never does), else GBK
// or GB18030. (100 $a cannot tell: templates say "50" there for GBK too.)
enum class Family { Unknown, Gb, Utf8 };

Family FamilyOfText(std::string_view bytes) {
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return Family::Unknown;
  // A block may end inside a character.
  return text::IsValidUtf8(bytes.substr(0, bytes.size() - text::IncompleteUtf8Tail(bytes))) ? Family::Utf8 : Family::Gb;
}

void CheckFamily(Family found, iso2709::Encoding encoding, ExistingOutput& e) {
  const bool utf8 = encoding == iso2709::Encoding::Utf8;
  if (found == Family::Unknown || (found == Family::Utf8) == utf8) return;
  e.refusal = Refusal::OtherEncoding;
  e.utf8Records = found == Family::Utf8;
}

std::int64_t CountOf(BlockReader& data, char c, std::size_t from) {
  std::int64_t n = 0;
  for (std::size_t at = data.Find(c, from); at < data.size(); at = data.Find(c, at + 1)) ++n;
  return n;
}

// A record at `at` that does not chain: nothing is cut, and the records are counted by their
// terminators from there on.
void MarkDamaged(BlockReader& data, std::size_t at, Framing framing, std::int64_t whole, ExistingOutput& e) {
  e.refusal = Refusal::Damaged;
  e.damagedRecord = whole + 1;
  const std::int64_t terminated = CountOf(data, iso2709::kRecordTerminator, at);
  e.records = whole + terminated;
  switch (framing) {
    case Framing::NotARecord: e.damage = Damage::StrayBytes; break;
    case Framing::BadDirectory: e.damage = Damage::Directory; break;
    default:
      e.damage = terminated == 0 ? Damage::NoTerminator : Damage::Length;
      if (terminated == 0) ++e.records;
      break;
  }
}

// The record lengths must chain from the start to a record terminator each; line ends between
// records are tolerated. Only a record cut short at the very end is left for the writer to cut.
void ScanIso2709(BlockReader& data, iso2709::Encoding encoding, ExistingOutput& e) {
  std::size_t at = 0;
  std::int64_t whole = 0;
  while (at < data.size()) {
    const char c = data[at];
    if (c == '\r' || c == '\n') {
      e.appendAt = static_cast<std::int64_t>(++at);
      continue;
    }
    const std::string head = data.Read(at, 5);
    std::size_t declared = 5;
    if (head.size() == 5 && head.find_first_not_of("0123456789") == std::string::npos)
      declared = std::max<std::size_t>(5, std::stoul(head));
    const std::string bytes = data.Read(at, declared);
    const iso2709::Frame frame = iso2709::FrameRecord(bytes);
    if (frame.framing == Framing::Whole) {
      if (e.firstRecords.size() < kFirstRecordsKept) e.firstRecords.push_back(bytes);
      ++whole;
      at += frame.length;
      e.appendAt = static_cast<std::int64_t>(at);
      continue;
    }
    if (frame.framing == Framing::Partial) {
      e.partialBytes = static_cast<std::int64_t>(data.size() - at);
      break;
    }
    if (whole == 0 && frame.framing == Framing::NotARecord) {
      e.refusal = Refusal::NotIso2709;
      return;
    }
    MarkDamaged(data, at, frame.framing, whole, e);
    return;
  }
  e.records = whole;
  if (!e.firstRecords.empty()) CheckFamily(FamilyOfText(e.firstRecords.front()), encoding, e);
}

// What an expat pass over a MARCXML file found: where its records and its collection end.
struct XmlScan {
  XML_Parser parser = nullptr;
  int depth = 0;
  bool collection = false;  // the root element is a collection
  bool refused = false;     // a document type: nothing of it is expanded or trusted
  std::int64_t records = 0;
  std::int64_t recordEnd = -1;      // just after the last whole record's end tag
  std::int64_t collectionEnd = -1;  // where the collection's end tag begins
};

// The local part of a name expat reports as "namespace|local" (or a prefixed "marc:record").
std::string_view LocalName(const XML_Char* name) {
  std::string_view n(name);
  const std::size_t cut = n.find_last_of("|:");
  return cut == std::string_view::npos ? n : n.substr(cut + 1);
}

void OnXmlStart(void* data, const XML_Char* name, const XML_Char**) {
  auto& scan = *static_cast<XmlScan*>(data);
  if (scan.depth++ == 0) scan.collection = LocalName(name) == "collection";
}

void OnXmlEnd(void* data, const XML_Char* name) {
  auto& scan = *static_cast<XmlScan*>(data);
  const std::int64_t at = XML_GetCurrentByteIndex(scan.parser);
  if (--scan.depth == 1 && LocalName(name) == "record") {
    ++scan.records;
    scan.recordEnd = at + XML_GetCurrentByteCount(scan.parser);
  } else if (scan.depth == 0 && scan.collection) {
    scan.collectionEnd = at;
  }
}

void OnXmlDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto& scan = *static_cast<XmlScan*>(data);
  scan.refused = true;
  XML_StopParser(scan.parser, XML_FALSE);
}

// Appending goes in before the collection's end tag, or, when a run was killed before writing it,
// after the last whole record. The parse stops at the first error: what a killed run left is cut
// off there.
void ScanMarcXml(BlockReader& data, ExistingOutput& e) {
  XmlScan scan;
  scan.parser = XML_ParserCreateNS(nullptr, '|');
  XML_SetUserData(scan.parser, &scan);
  XML_SetElementHandler(scan.parser, OnXmlStart, OnXmlEnd);
  XML_SetStartDoctypeDeclHandler(scan.parser, OnXmlDoctype);
  constexpr std::size_t kChunk = 1 << 16;
  for (std::size_t at = 0; at < data.size(); at += kChunk) {
    const std::string chunk = data.Read(at, kChunk);
    const bool last = at + kChunk >= data.size();
    if (XML_Parse(scan.parser, chunk.data(), static_cast<int>(chunk.size()), last) != XML_STATUS_OK) break;
  }
  XML_ParserFree(scan.parser);
  e.records = scan.records;
  if (scan.refused || !scan.collection) {
    e.refusal = Refusal::NotMarcXml;
  } else if (scan.collectionEnd >= 0) {
    e.appendAt = scan.collectionEnd;
  } else if (scan.recordEnd >= 0) {
    e.appendAt = scan.recordEnd + (data[static_cast<std::size_t>(scan.recordEnd)] == '\n' ? 1 : 0);
  } else {
    e.refusal = Refusal::UnendedMarcXml;
  }
}

// A listing's records end with an empty line.
void ScanListing(BlockReader& data, iso2709::Encoding encoding, ExistingOutput& e) {
  char before = '\0';
  constexpr std::size_t kChunk = 1 << 16;
  for (std::size_t at = 0; at < data.size(); at += kChunk) {
    const std::string chunk = data.Read(at, kChunk);
    if (!chunk.empty() && before == '\n' && chunk[0] == '\n') ++e.records;
    for (std::size_t k = chunk.find("\n\n"); k != std::string::npos; k = chunk.find("\n\n", k + 1)) ++e.records;
    before = chunk.empty() ? before : chunk.back();
  }
  CheckFamily(FamilyOfText(data.Read(0, 1 << 16)), encoding, e);
}

}  // namespace

ExistingOutput InspectOpenOutput(int fd, iso2709::Format format, iso2709::Encoding encoding) {
  ExistingOutput e;
  e.exists = true;
  BlockReader data(fd);
  e.bytes = static_cast<std::int64_t>(data.size());
  e.appendAt = e.bytes;
  if (data.size() == 0) return e;
  switch (format) {
    case iso2709::Format::Iso2709:
      e.appendAt = 0;
      ScanIso2709(data, encoding, e);
      break;
    case iso2709::Format::MarcXml: ScanMarcXml(data, e); break;
    case iso2709::Format::Text: ScanListing(data, encoding, e); break;
  }
  return e;
}

ExistingOutput InspectOutput(const std::string& path, iso2709::Format format, iso2709::Encoding encoding) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  ExistingOutput e = InspectOpenOutput(fd, format, encoding);
  ::close(fd);
  return e;
}

}  // namespace rowcaster::output
