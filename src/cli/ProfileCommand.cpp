// rowcaster-cli profile save FILE [--name NAME] [--rules R] [--template FILE] [--agency CODE]
//               [--encoding E] [--format F] [--keep-duplicates]
//                                  [--map COL=CODE ...] [--map-by-name]
// rowcaster-cli profile show NAME|FILE

#include <cstdio>
#include <filesystem>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Common.h"
#include "convert/Profile.h"
#include "mapping/MarcFields.h"

namespace rowcaster::cli {

int ProfileCommand(std::vector<std::string> argv) {
  if (argv.empty()) throw UsageError{"profile save FILE [options] | profile show NAME|FILE"};
  const std::string verb = argv[0];
  argv.erase(argv.begin());
  Args args(std::move(argv));
  if (verb == "show") {
    if (args.Done()) throw UsageError{"profile show NAME|FILE"};
    std::string error;
    const auto profile = convert::LoadProfile(args.Next(), error);
    if (!profile) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return kExitFailed;
    }
    // The template the profile is used with, even when it follows its rule set's (null in a file).
    convert::Profile shown = *profile;
    shown.templateText = convert::ProfileTemplate(*profile);
    std::fputs(convert::ProfileJson(shown).c_str(), stdout);
    return kExitOk;
  }
  if (verb != "save") throw UsageError{"profile save FILE [options] | profile show NAME|FILE"};
  convert::Profile profile;
  std::optional<std::string> file, name;
  const std::string list = mapping::DefaultMarcCodeList();
  while (!args.Done()) {
    if (auto n = args.Option("--name")) {
      name = n;
    } else if (auto r = args.Option("--rules")) {
      profile.rules = RulesOption(*r);
    } else if (auto t = args.Option("--template")) {
      profile.templateText = ReadTemplate(*t);
    } else if (auto a = args.Option("--agency")) {
      profile.agencyCode = *a;
    } else if (auto role = args.Option("--default-role")) {
      profile.defaultRole = *role;
    } else if (auto h = args.Option("--holdings")) {
      if (!convert::IsHoldingsPreset(*h)) throw UsageError{"--holdings: not a preset or a field template: '" + *h + "'"};
      profile.holdings.preset = *h;
    } else if (auto lib = args.Option("--library")) {
      profile.holdings.library = *lib;
    } else if (auto loc = args.Option("--location")) {
      profile.holdings.location = *loc;
    } else if (auto it = args.Option("--item-type")) {
      profile.holdings.itemType = *it;
    } else if (auto e = args.Option("--encoding")) {
      profile.encoding = EncodingOption(*e);
    } else if (auto f = args.Option("--format")) {
      profile.format = FormatOption(*f);
    } else if (auto m = args.Option("--map")) {
      const auto eq = m->rfind('=');
      if (eq == std::string::npos || eq == 0) throw UsageError{"--map takes COL=CODE, not '" + *m + "'"};
      convert::ProfileColumn c;
      const std::string col = m->substr(0, eq);
      c.code = m->substr(eq + 1);
      if (!mapping::IsMarcCode(c.code, list)) throw UsageError{"--map " + *m + ": not a subfield code"};
      if (!col.empty() && col.size() <= 4 && col.find_first_not_of("0123456789") == std::string::npos) {
        c.position = std::stoi(col);
      } else {
        c.column = col;
      }
      for (const convert::ProfileColumn& earlier : profile.mapping)
        if (earlier.column == c.column && earlier.position == c.position)
          throw UsageError{"--map " + *m + ": column " + col + " is already mapped by another --map"};
      profile.mapping.push_back(std::move(c));
    } else if (args.Flag("--map-by-name")) {
      profile.mapByName = true;
    } else if (args.Flag("--keep-duplicates")) {
      profile.keepDuplicates = true;
    } else if (!file && args.Peek().rfind("-", 0) != 0) {
      file = args.Next();
    } else {
      throw UsageError{"profile save: unknown argument '" + args.Peek() + "'"};
    }
  }
  if (!file) throw UsageError{"profile save FILE [options]"};
  // Unnamed, a profile is called after its file (书商目录.json: 书商目录).
  profile.name = name ? *name : std::filesystem::path(*file).stem().string();
  if (const std::string why = iso2709::Unsupported(profile.format, convert::ProfileEncoding(profile)); !why.empty())
    throw UsageError{"profile save: " + why};
  std::string error;
  if (!convert::SaveProfile(profile, *file, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace rowcaster::cli
