// Records built from a generated corpus must read back, unchanged and without a warning, through
// two independent ISO 2709 readers, yaz-marcdump and Perl's MARC::Record, in each encoding; and
// the MARCXML of the same records, read by yaz-marcdump, must give the UTF-8 records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "TestPaths.h"
#include "iso2709/IsoRecord.h"
#include "iso2709/Writers.h"

namespace rowcaster::iso2709 {
namespace {

struct Subfield {
  std::string code, data;
};
struct Field {
  std::string tag, ind;
  std::vector<Subfield> subfields;
};
using Record = std::vector<Field>;

class Corpus {
 public:
  // `wide`: text may hold characters outside GBK (CJK Extension A and B, Latin, punctuation).
  Corpus(unsigned seed, bool wide) : rng_(seed), wide_(wide) {}

  // A work form and the record it must give (001 aside).
  std::pair<std::string, Record> Next() {
    std::vector<std::vector<Field>> groups;
    std::vector<int> tags;
    const int nTags = Pick(2, 14);
    while (static_cast<int>(tags.size()) < nTags) {
      const int t = Pick(0, 5) == 0 ? Pick(10, 999) : kCommon[Pick(0, std::size(kCommon) - 1)];
      if (std::find(tags.begin(), tags.end(), t) == tags.end()) tags.push_back(t);
    }
    for (int t : tags) {
      std::vector<Field> group;
      const int lines = Pick(0, 4) == 0 ? Pick(2, 4) : 1;
      for (int k = 0; k < lines; ++k) group.push_back(MakeField(t));
      groups.push_back(std::move(group));
    }
    // The work form holds the groups in any order; the record in tag order.
    std::string form;
    for (const auto& g : groups)
      for (const auto& f : g) form += Line(f);
    std::sort(groups.begin(), groups.end(), [](auto& a, auto& b) { return a[0].tag < b[0].tag; });
    Record expected;
    for (const auto& g : groups)
      for (const auto& f : g) expected.push_back(Placed(f));
    return {form, expected};
  }

 private:
  static constexpr int kCommon[] = {10, 100, 101, 102, 105, 106, 200, 205, 210, 215, 225, 300, 320,
                                    330, 333, 410, 461, 606, 690, 701, 702, 801, 905};

  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  std::string Text(int maxLen) {
    static const char* const kPieces[] = {"书", "名", "中", "国", "图", "书", "馆", "出", "版", "社", "张", "三", "·",
                                          "《", "》", "，", "：", "ü", "€", "ISBN", "7-5012", "CNY25.00", "2005",
                                          "C++", "(", ")", " ", "-", "a", "Z", ".", "'", "\"", "$", "＃", "１"};
    static const char* const kWide[] = {"䶮", "𠀀", "𪚥", "ö", "•", "Ǖ", "ḿ", "€"};
    std::string s;
    const int n = Pick(1, maxLen);
    for (int i = 0; i < n; ++i)
      s += wide_ && Pick(0, 4) == 0 ? kWide[Pick(0, std::size(kWide) - 1)] : kPieces[Pick(0, std::size(kPieces) - 1)];
    // Leading and trailing blanks are trimmed by the builder; keep the model exact.
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s.empty() ? "x" : s;
  }

  Field MakeField(int tag) {
    static const char kInd[] = {' ', ' ', ' ', '0', '1', '2'};
    char buf[4];
    std::snprintf(buf, sizeof buf, "%03d", tag);
    Field f{buf, {kInd[Pick(0, 5)], kInd[Pick(0, 5)]}, {}};
    const int n = Pick(1, 6);
    for (int i = 0; i < n; ++i) {
      if (Pick(0, 5) == 0) {
        f.subfields.push_back({"9", Pick(0, 1) ? "shu ming" : "zhong guo tu shu guan"});
      } else {
        static const char kCodes[] = "aaaabcdefghjvxyz1234";
        f.subfields.push_back({std::string(1, kCodes[Pick(0, sizeof kCodes - 2)]), Text(12)});
      }
    }
    return f;
  }

  static std::string Line(const Field& f) {
    std::string s = f.tag + " " + f.ind;
    for (const auto& sf : f.subfields) s += "|" + sf.code + " " + sf.data + (sf.data.size() % 3 ? "" : "  ");
    return s + "\r\n";
  }

  // Where the builder puts pinyin: behind the first $a when another subfield follows, else last.
  static Field Placed(const Field& in) {
    Field out{in.tag, in.ind, {}};
    for (const auto& sf : in.subfields) {
      if (sf.code != "9") {
        out.subfields.push_back(sf);
        continue;
      }
      auto a = std::find_if(out.subfields.begin(), out.subfields.end(), [](auto& s) { return s.code == "a"; });
      Subfield pinyin{"A", sf.data};
      if (a != out.subfields.end() && a + 1 != out.subfields.end()) {
        out.subfields.insert(a + 1, pinyin);
      } else {
        out.subfields.push_back(pinyin);
      }
    }
    return out;
  }

  std::mt19937 rng_;
  bool wide_;
};

// One line per field, "TAG|I1I2|$code data$code data", records ended by an empty line.
std::string Canonical(const std::vector<Record>& records) {
  std::string out;
  for (const auto& r : records) {
    out += "001|0020261205233600\n";
    for (const auto& f : r) {
      out += f.tag + "|" + f.ind + "|";
      for (const auto& sf : f.subfields) out += "$" + sf.code + sf.data;
      out += "\n";
    }
    out += "\n";
  }
  return out;
}

std::string RunCommand(const std::string& command, std::string* errors) {
  const std::string errFile = test::TempPath("readback.err");
  std::FILE* p = popen((command + " 2>" + errFile).c_str(), "r");
  std::string out;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  const int rc = pclose(p);
  std::ifstream err(errFile);
  *errors = std::string(std::istreambuf_iterator<char>(err), {});
  if (rc != 0) *errors += "\nexit status " + std::to_string(rc);
  return out;
}

std::string XmlText(std::string s) {
  static const std::pair<std::string, std::string> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, ch] : kEntities)
    for (std::size_t p = s.find(entity); p != std::string::npos; p = s.find(entity, p + 1)) s.replace(p, entity.size(), ch);
  return s;
}

std::string Attribute(const std::string& line, const std::string& name) {
  const std::size_t p = line.find(name + "=\"");
  if (p == std::string::npos) return {};
  const std::size_t start = p + name.size() + 2;
  return XmlText(line.substr(start, line.find('"', start) - start));
}

std::string Element(const std::string& line) {
  const std::size_t start = line.find('>') + 1;
  return XmlText(line.substr(start, line.rfind("</") - start));
}

// yaz-marcdump's MARCXML, one element per line.
std::string CanonicalFromYaz(const std::string& xml) {
  std::istringstream in(xml);
  std::string line, out, field;
  while (std::getline(in, line)) {
    if (line.find("<controlfield") != std::string::npos) {
      out += Attribute(line, "tag") + "|" + Element(line) + "\n";
    } else if (line.find("<datafield") != std::string::npos) {
      field = Attribute(line, "tag") + "|" + Attribute(line, "ind1") + Attribute(line, "ind2") + "|";
    } else if (line.find("<subfield") != std::string::npos) {
      field += "$" + Attribute(line, "code") + Element(line);
    } else if (line.find("</datafield>") != std::string::npos) {
      out += field + "\n";
    } else if (line.find("</record>") != std::string::npos) {
      out += "\n";
    }
  }
  return out;
}

// 100 $a of a UTF-8 record: character sets (positions 26-29, in characters) "50  ".
Record AsUtf8Records(Record r) {
  for (auto& f : r)
    if (f.tag == "100")
      for (auto& sf : f.subfields)
        if (sf.code == "a") {
          // Work on characters: collect the byte offsets where each begins.
          std::vector<std::size_t> starts;
          for (std::size_t i = 0; i < sf.data.size(); ++i)
            if ((static_cast<unsigned char>(sf.data[i]) & 0xC0) != 0x80) starts.push_back(i);
          std::string head = starts.size() > 26 ? sf.data.substr(0, starts[26]) : sf.data;
          head.append(26 - std::min<std::size_t>(26, starts.size()), ' ');
          sf.data = head + "50  " + (starts.size() > 30 ? sf.data.substr(starts[30]) : std::string());
        }
  return r;
}

struct Case {
  Encoding encoding;
  const char* yazName;   // yaz-marcdump -f
  const char* perlName;  // marc_dump.pl's second argument
  const char* perlPipe;  // what its output goes through
};

class ReadBack : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    const Encoding encoding = GetParam().encoding;
    Corpus corpus(20261205, encoding != Encoding::Gbk);
    std::ofstream file(path_, std::ios::binary), xml(xmlPath_, std::ios::binary);
    RecordWriter writer(Format::Iso2709, encoding), xmlWriter(Format::MarcXml, Encoding::Utf8);
    xml << xmlWriter.Prologue();
    for (int i = 0; i < 1200; ++i) {
      auto [form, expected] = corpus.Next();
      iso2709::Record record;
      const Built b = BuildRecord(form, {2026, 12, 5, 23, 36, 0}, {}, record);
      ASSERT_EQ(b.status, BuildStatus::Built) << b.description << "\n" << form;
      std::string bytes, xmlBytes;
      const WriteResult w = writer.Append(record, bytes);
      ASSERT_TRUE(w.ok) << w.description;
      ASSERT_EQ(w.unencodable, 0u) << form;
      ASSERT_TRUE(xmlWriter.Append(record, xmlBytes).ok);
      file << bytes;
      xml << xmlBytes;
      expected_.push_back(encoding == Encoding::Utf8 ? AsUtf8Records(std::move(expected)) : std::move(expected));
    }
    xml << xmlWriter.Epilogue();
  }
  void TearDown() override {
    std::filesystem::remove(path_);
    std::filesystem::remove(xmlPath_);
  }

  static void ExpectSame(const std::string& got, const std::string& want) {
    ASSERT_EQ(std::count(got.begin(), got.end(), '\n'), std::count(want.begin(), want.end(), '\n'));
    const std::size_t at = std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
    EXPECT_TRUE(got == want) << "first difference at byte " << at << ":\n" << got.substr(at, 200) << "\nwanted:\n" << want.substr(at, 200);
  }

  const std::string path_ = test::TempPath("readback.mrc");
  const std::string xmlPath_ = test::TempPath("readback.xml");
  std::vector<Record> expected_;
};

TEST_P(ReadBack, YazMarcdumpReadsEveryRecordUnchanged) {
  std::string errors;
  const std::string out = RunCommand(std::string("yaz-marcdump -f ") + GetParam().yazName + " -t UTF-8 -o marcxml " + path_, &errors);
  EXPECT_EQ(errors, "");
  ExpectSame(CanonicalFromYaz(out), Canonical(expected_));
}

TEST_P(ReadBack, PerlMarcRecordReadsEveryRecordUnchanged) {
  std::string errors;
  const std::string out = RunCommand(std::string("perl ") + ROWCASTER_TEST_DIR + "/iso2709/marc_dump.pl " + path_ + " " +
                                         GetParam().perlName + GetParam().perlPipe,
                                     &errors);
  EXPECT_EQ(errors, "");
  ExpectSame(out, Canonical(expected_));
}

// The MARCXML of the records, read by yaz-marcdump, is the same record field for field as the
// UTF-8 ISO 2709 one (leader included).
class ReadBackXml : public ReadBack {};

TEST_P(ReadBackXml, MarcXmlReadsAsTheSameRecords) {
  std::string errors;
  const std::string fromXml = RunCommand("yaz-marcdump -i marcxml -o line " + xmlPath_, &errors);
  EXPECT_EQ(errors, "");
  const std::string fromIso = RunCommand("yaz-marcdump -f UTF-8 -t UTF-8 -o line " + path_, &errors);
  EXPECT_EQ(errors, "");
  ExpectSame(fromXml, fromIso);
  ExpectSame(CanonicalFromYaz(RunCommand("yaz-marcdump -i marcxml -o marcxml " + xmlPath_, &errors)), Canonical(expected_));
}

INSTANTIATE_TEST_SUITE_P(Encodings, ReadBack,
                         ::testing::Values(Case{Encoding::Gbk, "GBK", "cp936", ""},
                                           Case{Encoding::Gb18030, "GB18030", "raw", " | iconv -f GB18030 -t UTF-8"},
                                           Case{Encoding::Utf8, "UTF-8", "UTF-8", ""}),
                         [](const auto& info) { return std::string(NameOf(info.param.encoding)) == "UTF-8" ? std::string("Utf8")
                                                       : std::string(NameOf(info.param.encoding)); });
INSTANTIATE_TEST_SUITE_P(Utf8, ReadBackXml, ::testing::Values(Case{Encoding::Utf8, "UTF-8", "UTF-8", ""}));

}  // namespace
}  // namespace rowcaster::iso2709
