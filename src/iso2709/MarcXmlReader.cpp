#include "iso2709/MarcXmlReader.h"

#include <expat.h>

#include <cstring>

#include "iso2709/Decoder.h"
#include "platform/text/Gbk.h"

namespace rowcaster::iso2709 {
namespace {

constexpr std::size_t kLongestXml = 16 * kLongestRecord;  // markup takes room: a record's XML is larger
constexpr std::size_t kMostRecords = 1000;

struct XmlState {
  XML_Parser parser = nullptr;
  std::vector<Record>* records = nullptr;
  Record record;
  bool inRecord = false, bad = false;
  std::string* text = nullptr;  // where character data goes, or nothing
  std::string leader;
};

// The element's name without a namespace prefix or URI.
std::string_view Local(const char* name) {
  std::string_view n = name;
  const std::size_t cut = n.find_last_of(" :");
  return cut == std::string_view::npos ? n : n.substr(cut + 1);
}

std::string Attribute(const char** attrs, const char* name) {
  for (std::size_t i = 0; attrs[i]; i += 2)
    if (Local(attrs[i]) == name) return attrs[i + 1];
  return {};
}

void Fail(XmlState& s) {
  s.bad = true;
  XML_StopParser(s.parser, XML_FALSE);
}

void XMLCALL Start(void* data, const char* name, const char** attrs) {
  auto& s = *static_cast<XmlState*>(data);
  const std::string_view n = Local(name);
  s.text = nullptr;
  if (n == "record") {
    if (s.inRecord || s.records->size() >= kMostRecords) return Fail(s);
    s.inRecord = true;
    s.record = {};
    s.leader.clear();
    return;
  }
  if (!s.inRecord) return;
  if (n == "leader") {
    s.text = &s.leader;
  } else if (n == "controlfield") {
    Field& f = s.record.fields.emplace_back();
    f.tag = Attribute(attrs, "tag");
    s.text = &f.data;
  } else if (n == "datafield") {
    Field& f = s.record.fields.emplace_back();
    f.tag = Attribute(attrs, "tag");
    const std::string i1 = Attribute(attrs, "ind1"), i2 = Attribute(attrs, "ind2");
    f.indicators = (i1.empty() ? " " : i1) + (i2.empty() ? " " : i2);
  } else if (n == "subfield") {
    if (s.record.fields.empty() || s.record.fields.back().IsControl()) return Fail(s);
    Subfield& sub = s.record.fields.back().subfields.emplace_back();
    sub.code = Attribute(attrs, "code");
    s.text = &sub.data;
  }
  if (s.record.fields.size() > kLongestRecord / 12) Fail(s);  // more entries than a directory holds
}

void XMLCALL End(void* data, const char* name) {
  auto& s = *static_cast<XmlState*>(data);
  s.text = nullptr;
  if (Local(name) != "record" || !s.inRecord) return;
  s.inRecord = false;
  s.record.leader = s.leader.empty() ? std::string(24, ' ') : s.leader;
  if (!SaneRecord(s.record)) return Fail(s);
  s.records->push_back(std::move(s.record));
}

void XMLCALL Text(void* data, const char* text, int len) {
  auto& s = *static_cast<XmlState*>(data);
  if (s.text) s.text->append(text, static_cast<std::size_t>(len));
}

bool TagChars(std::string_view tag) {
  if (tag.size() != 3) return false;
  for (const char c : tag)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  return true;
}

bool CleanText(std::string_view s) {
  return text::IsValidUtf8(s) && s.find_first_of("\x1D\x1E\x1F") == std::string_view::npos;
}

}  // namespace

bool SaneRecord(const Record& record) {
  if (record.leader.size() != 24 || !CleanText(record.leader)) return false;
  std::size_t bytes = 0;
  for (const Field& f : record.fields) {
    if (!TagChars(f.tag) || !CleanText(f.data)) return false;
    bytes += f.data.size() + 3;
    if (f.IsControl()) {
      if (!f.subfields.empty()) return false;
      continue;
    }
    if (f.indicators.size() != 2 || !CleanText(f.indicators)) return false;
    for (const Subfield& sub : f.subfields) {
      if (sub.code.size() != 1 || !CleanText(sub.code) || !CleanText(sub.data)) return false;
      bytes += sub.data.size() + 2;
    }
  }
  return bytes <= kLongestRecord;
}

bool ReadMarcXml(std::string_view xml, std::vector<Record>& records) {
  records.clear();
  if (xml.size() > kLongestXml) return false;
  XmlState state;
  state.records = &records;
  state.parser = XML_ParserCreateNS(nullptr, ' ');
  if (!state.parser) return false;
  XML_SetUserData(state.parser, &state);
  XML_SetElementHandler(state.parser, Start, End);
  XML_SetCharacterDataHandler(state.parser, Text);
  const bool parsed = XML_Parse(state.parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
  XML_ParserFree(state.parser);
  if (!parsed || state.bad || state.inRecord) {
    records.clear();
    return false;
  }
  return true;
}

}  // namespace rowcaster::iso2709
