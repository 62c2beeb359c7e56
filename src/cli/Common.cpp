#include "cli/Common.h"

#include <QCoreApplication>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "cli/Args.h"
#include "convert/RegionLookup.h"
#include "platform/Paths.h"
#include "platform/text/Gbk.h"
#include "words/Words.h"

namespace rowcaster::cli {

std::string ReadTemplate(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError{"cannot read the template file " + path};
  std::string text(std::istreambuf_iterator<char>(in), {});
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // a byte-order mark some editors write
  if (!text::IsValidUtf8(text)) throw UsageError{"the template file " + path + " is not UTF-8 text"};
  return text;
}

std::string CbkConnectionString(const std::optional<std::string>& cbkFile) {
  if (!cbkFile) return convert::CbkConnStr(DataDir());
  return convert::CbkConnStrForFile(*cbkFile);
}

void UseWords() {
  static int argc = 1;
  static char name[] = "rowcaster-cli";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance()) return;
  // Lives as long as the process: destroyed at exit it would outlive Qt's own globals.
  new QCoreApplication(argc, argv);
  if (!words::InstallTranslations(DataDir(), words::Audience::CommandLine)) std::fprintf(stderr, "rowcaster-cli: no English texts in %s/translations\n", DataDir().c_str());
}

}  // namespace rowcaster::cli
