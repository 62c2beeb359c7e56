// Writer throughput: the same records (built once from generated work forms) written by each
// writer: ISO 2709 in GBK, GB18030 and UTF-8, MARCXML, the listing. Prints records/s and MB/s for
// each, best of three, and each one's share of the GBK ISO 2709 throughput (target: UTF-8 and
// MARCXML at least 80 %).
//
//   bench_write [RECORDS]      (default 100000)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "iso2709/IsoRecord.h"
#include "iso2709/Writers.h"

using namespace rowcaster;

namespace {

std::string WorkForm(std::mt19937& rng, int n) {
  static const char* const kChars[] = {"中", "国", "图", "书", "馆", "学", "出", "版", "社", "历", "史", "文", "化",
                                       "经", "济", "管", "理", "研", "究", "会", "计", "银", "行", "音", "乐"};
  static const char* const kPinyin[] = {"zhong", "guo", "tu", "shu", "guan", "xue", "chu", "ban", "she", "li", "shi", "wen", "hua",
                                        "jing", "ji", "guan", "li", "yan", "jiu", "kuai", "ji", "yin", "hang", "yin", "yue"};
  const auto pick = [&](int hi) { return std::uniform_int_distribution<int>(0, hi)(rng); };
  std::string title, pinyin;
  for (int k = 0, len = 4 + pick(10); k < len; ++k) {
    const int c = pick(24);
    title += kChars[c];
    if (k) pinyin += ' ';
    pinyin += kPinyin[c];
  }
  const std::string year = std::to_string(1980 + pick(45));
  return "010    |a978-7-5012-" + std::to_string(1000 + n % 9000) + "-" + std::to_string(n % 10) + "|dCNY" +
         std::to_string(10 + n % 90) + ".00\r\n"
         "100    |a20261207d" + year + "    em y0chiy0110    ea\r\n"
         "101 0  |achi\r\n102    |aCN|b110000\r\n105    |ay   z   000yy\r\n106    |ar\r\n"
         "200 1  |a" + title + "|9" + pinyin + "|f张三著\r\n"
         "210    |a北京|c人民出版社|d" + year + "\r\n215    |a" + std::to_string(100 + n % 400) + "页|d21cm\r\n"
         "330    |a本书介绍" + title + "的历史与文化，适合大学师生 & 研究者阅读。\r\n"
         "606 0  |a中国文学|x研究\r\n690    |aI247.5|v5\r\n701  0 |a张三|9zhang san|4著\r\n801  0 |aCN|b110001|c20261207\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  std::mt19937 rng(20261207);
  std::vector<iso2709::Record> records(static_cast<std::size_t>(count));
  for (int n = 0; n < count; ++n)
    iso2709::BuildRecord(WorkForm(rng, n), {2026, 12, 7, 10, 0, 0}, {}, records[static_cast<std::size_t>(n)]);
  struct Case {
    const char* name;
    iso2709::Format format;
    iso2709::Encoding encoding;
  };
  const Case cases[] = {
      {"ISO 2709, GBK", iso2709::Format::Iso2709, iso2709::Encoding::Gbk},
      {"ISO 2709, GB18030", iso2709::Format::Iso2709, iso2709::Encoding::Gb18030},
      {"ISO 2709, UTF-8", iso2709::Format::Iso2709, iso2709::Encoding::Utf8},
      {"MARCXML", iso2709::Format::MarcXml, iso2709::Encoding::Utf8},
      {"listing, UTF-8", iso2709::Format::Text, iso2709::Encoding::Utf8},
  };
  double gbk = 0;
  for (const Case& c : cases) {
    double best = 1e9;
    std::size_t bytes = 0;
    for (int rep = 0; rep < 3; ++rep) {
      iso2709::RecordWriter writer(c.format, c.encoding);
      std::string out;
      out.reserve(64 << 20);
      bytes = 0;
      const auto t0 = std::chrono::steady_clock::now();
      for (const auto& r : records) {
        writer.Append(r, out);
        if (out.size() > (48 << 20)) {  // as a run writes a batch at a time
          bytes += out.size();
          out.clear();
        }
      }
      bytes += out.size();
      best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    const double rate = count / best;
    if (c.format == iso2709::Format::Iso2709 && c.encoding == iso2709::Encoding::Gbk) gbk = rate;
    std::printf("%-20s %8.0f records/s  %7.1f MB/s  %5.0f %% of GBK ISO 2709\n", c.name, rate, bytes / best / 1048576.0,
                100.0 * rate / gbk);
  }
  return 0;
}
