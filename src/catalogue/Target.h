#pragma once
// Catalogues records are copied from (套录): a Z39.50 or SRU server, its database, the record
// syntax it answers in and the character set of its records. Read from inline URLs
// (z3950://HOST:PORT/DATABASE?syntax=unimarc&esn=F&charset=gbk), from a profile's "targets" and
// from the user's targets file.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "iso2709/Writers.h"

namespace rowcaster::catalogue {

enum class Protocol { Z3950, Sru };
enum class Syntax { Unimarc, MarcXml };

struct Target {
  std::string name;  // as reports and 035 $a show it; the host when none is given
  std::string host;
  int port = 210;
  std::string database;  // Z39.50 database, or the SRU path without its leading "/"
  Protocol protocol = Protocol::Z3950;
  Syntax syntax = Syntax::Unimarc;
  std::string elementSet = "F";
  iso2709::Encoding charset = iso2709::Encoding::Utf8;
  std::string user, password;  // optional; the password is never shown
  bool own = false;  // the library's own catalogue: what the holdings check asks, never copied from

  bool operator==(const Target&) const = default;
};

// Why a target could not be read; the caller words it.
enum class TargetProblem {
  None,
  NotAUrl,       // no "z3950://" or "sru://"
  NoHost,
  BadPort,       // values: the port text
  UnknownKey,    // values: the key
  BadSyntax,     // values: the value of syntax=
  BadCharset,    // values: the value of charset=
  BadOwn,        // values: the value of own= (yes, no, true, false, 1, 0)
  NoDatabase,
  NotATarget,    // a JSON entry that is neither a URL nor an object with a host
  NotJson,       // the targets file is not JSON
  UnknownName,   // values: the name
};

struct TargetRead {
  std::optional<Target> target;
  TargetProblem problem = TargetProblem::None;
  std::string value;  // what the problem is about
};

// z3950://[USER:PASSWORD@]HOST[:PORT]/DATABASE[?syntax=unimarc|marcxml&esn=F&charset=utf-8|gbk|gb18030&name=N&own=yes]
// sru://HOST[:PORT]/PATH[?…] (same keys). The port defaults to 210 (Z39.50) and 80 (SRU).
TargetRead ParseTargetUrl(std::string_view url);

// The URL of a target without its user and password: what the cache keys on and lists show.
std::string TargetUrl(const Target& target);

// A list of targets as JSON objects (the user's targets file, a profile's "targets").
std::string TargetsJson(const std::vector<Target>& targets, int indent);
// Reads a JSON array (or an object with a "targets" array) of URLs and objects.
struct TargetsRead {
  std::vector<Target> targets;
  TargetProblem problem = TargetProblem::None;
  std::string value;
};
TargetsRead ParseTargetsJson(std::string_view json);

// The user's targets file: $XDG_CONFIG_HOME/rowcaster/targets.json, else ~/.config/rowcaster/.
std::string UserTargetsPath();
// The targets in the user's file; none when there is no file.
TargetsRead LoadUserTargets();

// A target named `nameOrUrl`: a URL, else the first of `known` with that name.
TargetRead ResolveTarget(std::string_view nameOrUrl, const std::vector<Target>& known);

}  // namespace rowcaster::catalogue
