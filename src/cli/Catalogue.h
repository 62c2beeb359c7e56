#pragma once
// What the commands that copy from catalogues share: targets named on the command line.

#include <QString>

#include <string>
#include <vector>

#include "catalogue/Target.h"

namespace rowcaster::cli {

// The profile's targets, then the user's targets file (a damaged file is said and skipped).
std::vector<catalogue::Target> KnownTargets(const std::vector<catalogue::Target>& profileTargets);
// A URL, or a name among `known`; throws UsageError when it is neither.
catalogue::Target TargetOrUsage(const std::string& nameOrUrl, const std::vector<catalogue::Target>& known);

}  // namespace rowcaster::cli
