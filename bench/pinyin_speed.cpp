// Pinyin speed over book titles: our engine beside ICU's Han-Latin transliterator, same text,
// same run. Prints Chinese characters per second for both and the ratio.
//
//   build/bench_pinyin_speed [TITLES.txt]     (default: titles generated from a fixed vocabulary)

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "platform/pinyin/PinyinEngine.h"

namespace {

std::vector<std::string> GeneratedTitles() {
  static const char* const kWords[] = {
      "中国", "历史", "银行", "会计", "学", "长江", "重庆", "大学", "出版社", "音乐", "欣赏", "行政", "管理",
      "数据", "结构", "程序", "设计", "文学", "艺术", "教育", "心理", "研究", "概论", "基础", "现代", "古代",
      "经济", "发展", "社会", "文化", "传统", "的", "与", "和", "故事", "理论", "实践", "方法", "应用", "技术",
      "科学", "自然", "地理", "西藏", "旅行", "重要", "思想", "调查", "报告", "长征", "朝花夕拾", "红楼梦"};
  std::mt19937 rng(7);
  std::vector<std::string> titles;
  for (int i = 0; i < 20000; ++i) {
    std::string t;
    const int n = 2 + static_cast<int>(rng() % 5);
    for (int k = 0; k < n; ++k) t += kWords[rng() % std::size(kWords)];
    titles.push_back(t);
  }
  return titles;
}

std::size_t HanCount(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c >= 0xE0 && c < 0xF0);  // lead byte of a three-byte sequence
  return n;
}

double Seconds(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> titles;
  if (argc > 1) {
    std::ifstream in(argv[1]);
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) titles.push_back(line);
  } else {
    titles = GeneratedTitles();
  }
  std::size_t chars = 0;
  for (const auto& t : titles) chars += HanCount(t);

  const auto engine = rowcaster::pinyin::PinyinEngine::Load(rowcaster::BesideExecutable("pinyin.dat"));
  std::string out;
  std::size_t sink = 0;
  const int rounds = 20;
  auto t0 = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r)
    for (const auto& t : titles) {
      out.clear();
      engine->Append(out, t, false);
      sink += out.size();
    }
  const double ours = Seconds(t0);
  const double oursRate = static_cast<double>(chars) * rounds / ours;

  UErrorCode err = U_ZERO_ERROR;
  std::unique_ptr<icu::Transliterator> icu(
      icu::Transliterator::createInstance("Han-Latin; Latin-ASCII", UTRANS_FORWARD, err));
  if (U_FAILURE(err)) {
    std::fprintf(stderr, "ICU Han-Latin is not available: %s\n", u_errorName(err));
    return 1;
  }
  // ICU is slow: time it on a slice and scale.
  const std::size_t slice = titles.size() / 10;
  std::size_t sliceChars = 0;
  t0 = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < slice; ++i) {
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(titles[i]);
    icu->transliterate(u);
    sink += u.length();
    sliceChars += HanCount(titles[i]);
  }
  const double theirs = Seconds(t0);
  const double icuRate = static_cast<double>(sliceChars) / theirs;

  std::printf("titles: %zu, Chinese characters: %zu (checksum %zu)\n", titles.size(), chars, sink % 1000);
  std::printf("rowcaster pinyin: %.0f chars/s\n", oursRate);
  std::printf("ICU Han-Latin:    %.0f chars/s\n", icuRate);
  std::printf("rowcaster %.0f chars/s, ICU %.0f chars/s, ratio %.1fx\n", oursRate, icuRate, oursRate / icuRate);
  return 0;
}
