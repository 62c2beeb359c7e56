// Records built from a generated corpus must read back, unchanged and without a warning, through
// two independent ISO 2709 readers: yaz-marcdump and Perl's MARC::Record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "TestPaths.h"
#include "iso2709/IsoRecord.h"

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
  explicit Corpus(unsigned seed) : rng_(seed) {}

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
    std::string s;
    const int n = Pick(1, maxLen);
    for (int i = 0; i < n; ++i) s += kPieces[Pick(0, std::size(kPieces) - 1)];
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

class ReadBack : public ::testing::Test {
 protected:
  void SetUp() override {
    Corpus corpus(20261205);
    std::ofstream file(path_, std::ios::binary);
    for (int i = 0; i < 1200; ++i) {
      auto [form, expected] = corpus.Next();
      const BuildResult r = BuildIsoRecord(form, {2026, 12, 5, 23, 36, 0});
      ASSERT_EQ(r.status, BuildStatus::Built) << r.description << "\n" << form;
      file << r.record;
      expected_.push_back(std::move(expected));
    }
  }
  void TearDown() override { std::filesystem::remove(path_); }

  const std::string path_ = test::TempPath("readback.mrc");
  std::vector<Record> expected_;
};

TEST_F(ReadBack, YazMarcdumpReadsEveryRecordUnchanged) {
  std::string errors;
  const std::string out = RunCommand("yaz-marcdump -f GBK -t UTF-8 -o marcxml " + path_, &errors);
  EXPECT_EQ(errors, "");
  const std::string got = CanonicalFromYaz(out);
  const std::string want = Canonical(expected_);
  ASSERT_EQ(std::count(got.begin(), got.end(), '\n'), std::count(want.begin(), want.end(), '\n'));
  EXPECT_TRUE(got == want) << "first difference at byte "
                           << std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin() << ":\n"
                           << got.substr(std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin(), 200);
}

TEST_F(ReadBack, PerlMarcRecordReadsEveryRecordUnchanged) {
  std::string errors;
  const std::string out = RunCommand(std::string("perl ") + ROWCASTER_TEST_DIR + "/iso2709/marc_dump.pl " + path_, &errors);
  EXPECT_EQ(errors, "");
  const std::string want = Canonical(expected_);
  ASSERT_EQ(std::count(out.begin(), out.end(), '\n'), std::count(want.begin(), want.end(), '\n'));
  EXPECT_TRUE(out == want) << "first difference at byte "
                           << std::mismatch(out.begin(), out.end(), want.begin()).first - out.begin() << ":\n"
                           << out.substr(std::mismatch(out.begin(), out.end(), want.begin()).first - out.begin(), 200);
}

}  // namespace
}  // namespace rowcaster::iso2709
