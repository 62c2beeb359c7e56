#include "platform/pinyin/PinyinEngine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TestPaths.h"

namespace rowcaster::pinyin {
namespace {

const PinyinEngine& Engine() {
  static const auto engine = PinyinEngine::Load(test::BuildFile("pinyin.dat"));
  return *engine;
}

struct Case {
  const char* text;
  const char* pinyin;
};

void ExpectAll(const std::vector<Case>& cases, bool names) {
  for (const auto& c : cases) EXPECT_EQ(Engine().Pinyin(c.text, names), c.pinyin) << c.text;
}

TEST(PinyinEngine, ReadsWordsNotCharacters) {
  ExpectAll({{"银行", "yin hang"},
             {"音乐", "yin yue"},
             {"长江", "chang jiang"},
             {"会计", "kuai ji"},
             {"重庆", "chong qing"},
             {"南京市长江大桥", "nan jing shi chang jiang da qiao"},
             {"中国人民银行行长", "zhong guo ren min yin hang hang zhang"},
             {"了解", "liao jie"},
             {"好了", "hao le"},
             {"朝代", "chao dai"},
             {"水浒传", "shui hu zhuan"},
             {"传统", "chuan tong"},
             {"女", "nü"},
             {"绿色", "lü se"}},
            false);
}

TEST(PinyinEngine, ReadsBiographiesAtTheEndOfATitle) {
  ExpectAll({{"鲁迅传", "lu xun zhuan"}, {"毛泽东传", "mao ze dong zhuan"}, {"宣传", "xuan chuan"}, {"传", "chuan"}},
            false);
}

TEST(PinyinEngine, KnowsSurnamesInNames) {
  ExpectAll({{"曾国藩", "zeng guo fan"},
             {"单田芳", "shan tian fang"},
             {"解缙", "xie jin"},
             {"区志坚", "ou zhi jian"},
             {"欧阳修", "ou yang xiu"},
             {"万俟卨", "mo qi xie"},
             {"单小明", "shan xiao ming"},
             {"张三、曾小明", "zhang san zeng xiao ming"},
             {"(清)曾国藩", "qing zeng guo fan"},
             {"（美）史密斯", "mei shi mi si"},
             {"贾平凹", "jia ping wa"},
             // A surname whose first two characters also form a common word keeps its reading.
             {"单位", "shan wei"},
             {"解放", "xie fang"},
             {"朴实", "piao shi"},
             {"查看", "zha kan"},
             {"区别", "ou bie"},
             {"曾经", "zeng jing"},
             {"查良镛", "zha liang yong"}},
            true);
  // Outside name mode the same characters take their everyday readings.
  EXPECT_EQ(Engine().Pinyin("单小明"), "dan xiao ming");
}

// Readings the dictionary data adds: 伯 is bo (bai only in 大伯子), and phrases titles need.
TEST(PinyinEngine, ReadsTheAddedWords) {
  ExpectAll({{"马伯庸", "ma bo yong"}, {"伯", "bo"}, {"大伯子", "da bai zi"}, {"伯乐", "bo le"}}, true);
  ExpectAll({{"美的历程", "mei de li cheng"},
             {"重说中国近代史", "chong shuo zhong guo jin dai shi"},
             {"重订增广", "chong ding zeng guang"},
             {"重要", "zhong yao"},
             {"一行禅师", "yi xing chan shi"},
             {"加缪", "jia miu"},
             {"伯父", "bo fu"}},
            false);
}

TEST(PinyinEngine, TreatsOtherTextAsWords) {
  ExpectAll({{"C++程序设计", "c++ cheng xu she ji"},
             {"2008年北京奥运会", "2008 nian bei jing ao yun hui"},
             {"Python编程：从入门到实践", "python bian cheng cong ru men dao shi jian"},
             {"ＡＢＣ１２３", "abc123"},
             {"《红楼梦》（第2版）", "hong lou meng di 2 ban"},
             {"( ) [x] \"Hi!\"", "x hi"},
             {"Café 文化", "café wen hua"},
             {"   ", ""},
             {"", ""},
             {"★☆①", ""},
             {"中文　全角空格", "zhong wen quan jiao kong ge"},
             {"萬里長城", "wan li chang cheng"}},
            false);
}

TEST(PinyinEngine, HasNoLengthLimit) {
  std::string text, expected;
  for (int i = 0; i < 500; ++i) {
    text += "中国";
    expected += i ? " zhong guo" : "zhong guo";
  }
  EXPECT_EQ(Engine().Pinyin(text), expected);
}

TEST(PinyinEngine, SurvivesMalformedText) {
  EXPECT_EQ(Engine().Pinyin("a\xFF\xE4\xB8\xAD\xE4"), "a zhong");
}

// The gold lists, scored the way the shared scorer does (ü may be written v).
void Score(const std::string& file, bool names) {
  std::ifstream in(test::SourceFile("platform/pinyin/" + file));
  ASSERT_TRUE(in) << file;
  int lines = 0;
  for (std::string line; std::getline(in, line);) {
    const auto tab = line.find('\t');
    if (tab == std::string::npos) continue;
    std::string got = Engine().Pinyin(line.substr(0, tab), names);
    for (std::size_t p; (p = got.find("ü")) != std::string::npos;) got.replace(p, 2, "v");
    EXPECT_EQ(got, line.substr(tab + 1)) << line.substr(0, tab);
    ++lines;
  }
  EXPECT_GT(lines, 10);
}

TEST(PinyinEngine, ReadsTheGoldTitles) { Score("gold-titles.tsv", false); }
TEST(PinyinEngine, ReadsTheGoldNames) { Score("gold-names.tsv", true); }

TEST(PinyinEngine, RefusesAMissingOrDamagedDictionary) {
  EXPECT_THROW(PinyinEngine::Load("/nonexistent/pinyin.dat"), std::runtime_error);
  const std::string bad = test::TempPath("bad-pinyin.dat");
  std::ifstream good(test::BuildFile("pinyin.dat"), std::ios::binary);
  std::string bytes(std::istreambuf_iterator<char>(good), {});
  std::ofstream(bad, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  EXPECT_THROW(PinyinEngine::Load(bad), std::runtime_error);
}

}  // namespace
}  // namespace rowcaster::pinyin
