#include "iso2709/Listing.h"

#include <unicode/ucnv.h>

#include "iso2709/Decoder.h"
#include "platform/text/Gbk.h"

namespace rowcaster::iso2709 {

bool ReadRecord(std::string_view bytes, Record& record, Encoding encoding) {
  const auto decode = [encoding](std::string_view b) {
    if (encoding == Encoding::Utf8) return std::string(b);
    if (encoding == Encoding::Gbk) return text::FromGbk(b);
    UErrorCode err = U_ZERO_ERROR;
    std::string out(b.size() * 2 + 4, '\0');
    const int32_t n = ucnv_convert("UTF-8", "gb18030", out.data(), static_cast<int32_t>(out.size()), b.data(),
                                   static_cast<int32_t>(b.size()), &err);
    out.resize(U_SUCCESS(err) ? static_cast<std::size_t>(n) : 0);
    return out;
  };
  record = {};
  const Frame frame = FrameRecord(bytes);
  if (frame.framing != Framing::Whole || frame.length != bytes.size()) return false;
  record.leader = std::string(bytes.substr(0, 24));
  for (const DirectoryEntry& e : Directory(bytes, frame.base)) {
    std::string_view body = bytes.substr(frame.base + e.start, e.length - 1);  // without its terminator
    Field f;
    f.tag = std::string(e.tag);
    if (f.tag < "010") {
      f.data = decode(body);
    } else {
      f.indicators = std::string(body.substr(0, 2));
      for (std::size_t at = body.find(kSubfieldDelimiter); at != std::string_view::npos;) {
        const std::size_t next = body.find(kSubfieldDelimiter, at + 1);
        const std::string_view sub = body.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
        if (!sub.empty()) f.subfields.push_back({std::string(sub.substr(0, 1)), decode(sub.substr(1))});
        at = next;
      }
    }
    record.fields.push_back(std::move(f));
  }
  return true;
}

std::string Listing(const Record& record) {
  std::string out = record.leader + "\n";
  for (const Field& f : record.fields) {
    out += f.tag;
    if (f.IsControl()) {
      out += " " + f.data;
    } else {
      out += " " + f.indicators + " ";
      for (std::size_t k = 0; k < f.subfields.size(); ++k)
        out += (k ? " $" : "$") + f.subfields[k].code + " " + f.subfields[k].data;
    }
    out += "\n";
  }
  return out;
}

}  // namespace rowcaster::iso2709
