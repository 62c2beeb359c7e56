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
  EXPECT_EQ(std::set<std::string>(chinese.begin(), chinese.end()).size(), chinese.size()) << "each kind reads differently";

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
  EXPECT_EQ(LevelName(convert::Level::Warning), "Warning");
  EXPECT_EQ(DoneText(), " The data have been converted.");
  ::unsetenv("LANGUAGE");
}

}  // namespace
}  // namespace rowcaster::words
