// rowcaster-cli pinyin [--names] TEXT …: one line of pinyin per TEXT.

#include <cstdio>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "platform/Paths.h"
#include "platform/pinyin/PinyinEngine.h"
#include "platform/text/Gbk.h"

namespace rowcaster::cli {

int PinyinCommand(std::vector<std::string> argv) {
  Args args(std::move(argv));
  bool names = false;
  std::vector<std::string> texts;
  while (!args.Done()) {
    if (args.Flag("--names")) {
      names = true;
    } else {
      texts.push_back(args.Next());
    }
  }
  for (const auto& t : texts)
    if (!text::IsValidUtf8(t)) throw UsageError{"pinyin: an argument is not UTF-8 text"};
  const auto engine = pinyin::PinyinEngine::Load(DataFile("pinyin.dat"));
  std::string out;
  for (const auto& t : texts) {
    out.clear();
    engine->Append(out, t, names);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  return kExitOk;
}

}  // namespace rowcaster::cli
