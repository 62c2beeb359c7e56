// rowcaster-cli compose [--rules classic|recommended] [--agency CODE] [--now …] [--template FILE]
//                       [--cbk FILE] CODE=VALUE …
// Prints the work form that one row composes to, after the clean-up, before it is built; under the
// recommended rules the row's warnings follow on standard error.

#include <cstdio>
#include <fstream>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Common.h"
#include "words/Words.h"
#include "convert/Composition.h"
#include "convert/Recommended.h"
#include "platform/text/Gbk.h"

namespace rowcaster::cli {

int ComposeCommand(std::vector<std::string> argv) {
  Args args(std::move(argv));
  std::optional<std::string> now, templateFile, cbk, agency;
  convert::Rules rules = convert::Rules::Classic;
  convert::SubfieldValues values;
  while (!args.Done()) {
    if (auto r = args.Option("--rules")) {
      rules = RulesOption(*r);
    } else if (auto a = args.Option("--agency")) {
      agency = a;
    } else if (auto v = args.Option("--now")) {
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
  context.rules = rules;
  context.now = ClockFrom(now)();
  context.templateText = templateFile ? ReadTemplate(*templateFile) : std::string(convert::DefaultTemplate(rules));
  if (agency) context.agencyCode = *agency;
  convert::RegionLookup lookup(CbkConnectionString(cbk));
  const convert::PinyinSource pinyin = convert::PinyinSource::Beside();
  context.lookup = &lookup;
  context.pinyin = &pinyin;
  UseWords();
  try {
    std::vector<convert::Finding> findings;
    const std::string workForm = rules == convert::Rules::Recommended
                                     ? convert::ComposeRecommendedWorkForm(values, context, findings)
                                     : convert::ComposeWorkForm(values, context);
    std::fwrite(workForm.data(), 1, workForm.size(), stdout);
    for (const auto& f : findings)
      std::fprintf(stderr, "%s：%s\n", words::LevelName(f.level).c_str(), words::Describe(f).c_str());
  } catch (const convert::ComposeError& e) {
    std::fprintf(stderr, "compose: %s\n", words::Describe(e.finding()).c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace rowcaster::cli
