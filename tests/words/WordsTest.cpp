#include "words/Words.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <set>

#include "platform/text/Utf8.h"

namespace rowcaster::words {
namespace {

using convert::Finding;
using convert::Kind;

constexpr mapping::Misfit kMisfits[] = {mapping::Misfit::OnlyNumbers, mapping::Misfit::Prices, mapping::Misfit::NoPageCount,
                                        mapping::Misfit::NoIsbn,      mapping::Misfit::NoYear, mapping::Misfit::NoNumber,
                                        mapping::Misfit::NoClassNumber, mapping::Misfit::NoCount};

bool HasHan(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const char32_t c = text::NextCodePoint(s, i);
    if (c >= 0x4E00 && c <= 0x9FFF) return true;
  }
  return false;
}

// Every kind of finding reads as a sentence of its own, its values in it, in Chinese and, with
// the English translation installed, in English; a kind the wording forgot reads as its code.
TEST(Words, EveryFindingReadsInBothLanguages) {
  std::vector<std::string> chinese;
  for (const Kind kind : convert::kKinds) {
    const Finding f = convert::MakeFinding(kind, {}, {"7", "GBK", "䶮"});
    const std::string text = Describe(f);
    SCOPED_TRACE(std::string(convert::KindCode(kind)));
    EXPECT_NE(text, std::string(convert::KindCode(kind)));
    EXPECT_TRUE(HasHan(text)) << text;
    EXPECT_EQ(text.find('%'), std::string::npos) << text;
    chinese.push_back(text);
  }
  std::set<std::string> seen;
  for (const std::string& text : chinese) EXPECT_TRUE(seen.insert(text).second) << "each kind reads differently: " << text;
  // So does each reason a column was not mapped by its name.
  std::vector<std::string> misfits;
  for (const mapping::Misfit why : kMisfits) misfits.push_back(MisfitText(why, "35.00"));
  EXPECT_EQ(std::set<std::string>(misfits.begin(), misfits.end()).size(), misfits.size());
  for (const std::string& text : misfits) EXPECT_NE(text.find("（如“35.00”）"), std::string::npos) << text;
  EXPECT_EQ(MisfitText(mapping::Misfit::None, "x"), "");
  EXPECT_EQ(RejectedText("页码", {2, "215a", mapping::Misfit::Prices, "35.00"}), "“页码”没有对应 215a：这一列的值是价格（如“35.00”）");
  EXPECT_EQ(OfferedText("类别", {3, {"690a", "606a"}}), "“类别”是图书的类别，没有对应；可以对应 690a 或 606a");

  int argc = 1;
  char name[] = "words-test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  ::setenv("LANGUAGE", "en", 1);
  ASSERT_TRUE(InstallTranslations(ROWCASTER_BUILD_DIR, Audience::CommandLine));
  std::size_t k = 0;
  for (const Kind kind : convert::kKinds) {
    const std::string text = Describe(convert::MakeFinding(kind, {}, {"7", "GBK", "x"}));
    SCOPED_TRACE(std::string(convert::KindCode(kind)));
    EXPECT_FALSE(HasHan(text)) << text;
    EXPECT_NE(text, chinese[k++]);
  }
  for (const mapping::Misfit why : kMisfits) {
    const std::string text = MisfitText(why, "35.00");
    EXPECT_FALSE(HasHan(text)) << text;
    EXPECT_NE(text.find("35.00"), std::string::npos) << text;
  }
  EXPECT_EQ(RejectedText("page", {2, "215a", mapping::Misfit::Prices, "35.00"}),
            "\"page\" not mapped to 215a: its values are prices (such as \"35.00\")");
  EXPECT_FALSE(HasHan(OfferedText("category", {3, {"690a", "606a"}})));
  EXPECT_FALSE(HasHan(NamedCellTip("title", "200a")));
  EXPECT_EQ(LevelName(convert::Level::Warning), "Warning");
  EXPECT_EQ(DoneText(), " The data have been converted.");
  ::unsetenv("LANGUAGE");
}

}  // namespace
}  // namespace rowcaster::words
