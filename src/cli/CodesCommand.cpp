// rowcaster-cli codes: the subfield codes a column can feed, their names, and the column names
// mapped to each.

#include <cstdio>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "convert/Subfields.h"
#include "mapping/ColumnNames.h"
#include "platform/text/Utf8.h"

namespace rowcaster::cli {

int CodesCommand(std::vector<std::string> args) {
  if (!args.empty()) throw UsageError{"codes takes no arguments"};
  for (const convert::Subfield& s : convert::kSubfields) {
    std::string names;
    for (const auto& n : mapping::ColumnNamesFor(s.code)) names += (names.empty() ? "" : "、") + n;
    std::printf("%s\t%s\t%s\n", std::string(s.code).c_str(), std::string(text::TrimBlanks(s.label)).c_str(),
                names.c_str());
  }
  return kExitOk;
}

}  // namespace rowcaster::cli
