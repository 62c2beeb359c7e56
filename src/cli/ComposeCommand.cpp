// rowcaster-cli compose [--now …] [--template FILE] [--cbk FILE] CODE=VALUE …
// Prints the work form that one row composes to, after the clean-up, before it is built.

#include <cstdio>
#include <fstream>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Common.h"
#include "convert/Composition.h"
#include "platform/text/Gbk.h"

namespace rowcaster::cli {

int ComposeCommand(std::vector<std::string> argv) {
  Args args(std::move(argv));
  std::optional<std::string> now, templateFile, cbk;
  convert::SubfieldValues values;
  while (!args.Done()) {
    if (auto v = args.Option("--now")) {
      now = v;
    } else if (auto t = args.Option("--template")) {
      templateFile = t;
    } else if (auto c = args.Option("--cbk")) {
      cbk = c;
    } else {
      const std::string a = args.Next();
      const auto eq = a.find('=');
      const auto param = eq == std::string::npos ? std::nullopt : convert::ParamOfCode(a.substr(0, eq));
      if (!param) throw UsageError{"compose: expected CODE=VALUE with a subfield code such as 200a, not '" + a + "'"};
      values[*param] = a.substr(eq + 1);
      if (!text::IsValidUtf8(values[*param])) throw UsageError{"compose: the value of " + a.substr(0, eq) + " is not UTF-8"};
    }
  }
  convert::CompositionContext context;
  context.now = ClockFrom(now)();
  if (templateFile) context.templateText = ReadTemplate(*templateFile);
  convert::RegionLookup lookup(CbkConnectionString(cbk));
  const convert::PinyinSource pinyin = convert::PinyinSource::Beside();
  context.lookup = &lookup;
  context.pinyin = &pinyin;
  try {
    const std::string workForm = convert::ComposeWorkForm(values, context);
    std::fwrite(workForm.data(), 1, workForm.size(), stdout);
  } catch (const convert::ComposeError& e) {
    std::fprintf(stderr, "compose: %s\n", e.what());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace rowcaster::cli
