#pragma once
// The record builder: one work-form record (a CNMARC record as text, one field per line, tag in
// columns 1-3, indicators in 5-6, subfields introduced by "|") becomes one Record with the CNMARC
// leader and a generated 001, which the writers (Writers.h) turn into bytes.

#include <string>
#include <string_view>
#include <vector>

#include "iso2709/Record.h"
#include "platform/Clock.h"

namespace rowcaster::iso2709 {

enum class BuildStatus {
  Built,    // `record` holds the record
  Refused,  // the work form is not a record (too few lines, a line without a tag); nothing is shown
  Failed,   // building failed; the caller shows FailureMessage(description)
};

struct BuildResult {
  BuildStatus status = BuildStatus::Refused;
  std::string record;       // the record's GBK bytes; empty unless Built
  std::string description;  // one line, UTF-8: why it was refused or failed
};

struct BuildOptions {
  // The data of field 001; empty: "00" followed by `now` as yyyymmddhhmmss.
  std::string recordId;
  // Subfield $1 (an embedded field: tag and indicators) keeps the blanks at its end, so that
  // "|12001 |a…" embeds field 200 with indicators "1 ".
  bool embeddedIndicators = false;
  // The caller knows the work form to be valid UTF-8 (it made it of valid pieces): not checked again.
  bool knownUtf8 = false;
};

struct Built {
  BuildStatus status = BuildStatus::Refused;
  std::string description;  // one line, UTF-8: why it was refused or failed
};

// Fills `record` from `workForm` (UTF-8), fields in tag order. `now` gives the 001 field. The
// limits of an ISO 2709 record are the writer's to check: they depend on the encoding.
Built BuildRecord(std::string_view workForm, const LocalTime& now, const BuildOptions& options, Record& record);
// BuildRecord of a work form already cut into its complete lines (without their line feeds).
Built BuildRecordFromLines(const std::vector<std::string_view>& lines, const LocalTime& now,
                           const BuildOptions& options, Record& record);

// BuildRecord, then the ISO 2709 record in GBK.
BuildResult BuildIsoRecord(std::string_view workForm, const LocalTime& now, const BuildOptions& options = {});

// The decimal digits of n, zero-padded on the left to `width` characters; the empty text when n
// has more than `width` digits (or is negative).
std::string PadDigits(int width, long long n);
// Appends PadDigits(width, n) to `out`; false, appending nothing, when n does not fit.
bool AppendPadded(std::string& out, int width, long long n);

// Limits that the 4- and 5-digit numbers of a record impose.
inline constexpr long long kMaxFieldBytes = 9999;
inline constexpr long long kMaxStart = 99999;
inline constexpr long long kMaxRecordBytes = 99999;

// The message a failure is shown with, and its title.
inline constexpr const char* kFailureTitle = "操作提示";
std::string FailureMessage(std::string_view description);

}  // namespace rowcaster::iso2709
