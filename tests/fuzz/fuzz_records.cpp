// libFuzzer target: any bytes as a catalogue's answer (ISO 2709 in GBK or UTF-8, or MARCXML). The
// records read must be sane, must write back in every format, and must merge with a row's record
// and go through the holdings check's keys without a fault.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalogue/Held.h"
#include "catalogue/Lookup.h"
#include "catalogue/Merge.h"
#include "catalogue/TitleMatch.h"
#include "iso2709/MarcXmlReader.h"
#include "iso2709/Writers.h"

namespace {

using namespace rowcaster;

iso2709::Record Own() {
  iso2709::Record r;
  r.leader = "00000nam0 2200000   450 ";
  r.fields.push_back({"001", "", "20261205233600000001", {}, 0});
  r.fields.push_back({"010", "  ", {}, {{"a", "978-7-5327-0001-1"}, {"d", "CNY45.00"}}, 0});
  r.fields.push_back({"100", "  ", {}, {{"a", "20261205d2019    em y0chiy50      ea"}}, 0});
  r.fields.push_back({"200", "1 ", {}, {{"a", "星空笔记"}, {"f", "李明著"}}, 0});
  r.fields.push_back({"801", " 0", {}, {{"a", "CN"}, {"b", "110001"}, {"c", "20261205"}}, 0});
  r.fields.push_back({"905", "  ", {}, {{"a", "110001"}, {"b", "T0001"}}, 0});
  return r;
}

void Exercise(const iso2709::Record& r) {
  if (!iso2709::SaneRecord(r)) std::abort();  // only sane records may leave the reader
  for (const auto format : {iso2709::Format::Iso2709, iso2709::Format::MarcXml, iso2709::Format::Text})
    for (const auto encoding : {iso2709::Encoding::Gbk, iso2709::Encoding::Utf8}) {
      iso2709::RecordWriter writer(format, encoding);
      std::string out;
      writer.Append(r, out);
    }
  const iso2709::Record own = Own();
  iso2709::Record merged;
  std::vector<convert::Finding> findings;
  catalogue::MergeRecords(r, own, {"FUZZ", false}, merged, findings);
  iso2709::RecordWriter writer(iso2709::Format::Iso2709, iso2709::Encoding::Gbk);
  std::string out;
  writer.Append(merged, out);
  catalogue::HeldIndex index;
  index.Add(r);
  index.Find(own);
  index.Find(r);
  catalogue::ItemsOnly(r, "FUZZ", catalogue::RecordId(r), {"995"}, merged);
  catalogue::TitleFit(r, "星空笔记");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> raw{std::string(reinterpret_cast<const char*>(data), size)};
  for (const auto charset : {iso2709::Encoding::Gbk, iso2709::Encoding::Utf8}) {
    catalogue::Target target;
    target.charset = charset;
    std::size_t unreadable = 0;
    for (const iso2709::Record& r : catalogue::DecodeRecords(target, raw, unreadable)) Exercise(r);
  }
  return 0;
}
