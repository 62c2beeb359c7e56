// rowcaster-cli convert FILE [--table NAME] (--map COL=CODE … | --map-by-name) [--template FILE]
//               [--cbk FILE] [--now …] [--encoding E] [--format F] [--overwrite] -o OUT

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <cstdio>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Common.h"
#include "cli/DataFile.h"
#include "convert/ConversionRun.h"
#include "convert/Profile.h"
#include "import/DataFile.h"
#include "mapping/ColumnNames.h"
#include "mapping/MarcFields.h"

namespace rowcaster::cli {
namespace {

std::atomic<bool> gStop{false};
extern "C" void OnInterrupt(int) { gStop = true; }

// What convert and preview share: the file, the table, the mapping, the rules, the template.
struct RunArgs {
  std::optional<std::string> file, table, out, report;
  std::optional<std::int64_t> row;  // preview: from 1
  bool dryRun = false, overwrite = false;
  convert::RunInput input;
};

// Reads the arguments of convert (`preview` false) or preview; the source table is opened and the
// mapping resolved against its columns. Nothing when the file cannot be read (already said).
std::optional<RunArgs> ReadRunArgs(std::vector<std::string> argv, bool preview) {
  Args args(std::move(argv));
  RunArgs run;
  std::optional<std::string> templateFile, cbk, now, agency, profileName;
  std::vector<std::pair<std::string, std::string>> maps;
  bool byName = false;
  std::optional<convert::Rules> rules;
  std::optional<iso2709::Encoding> encoding;
  std::optional<iso2709::Format> format;
  const char* const command = preview ? "preview" : "convert";
  while (!args.Done()) {
    if (auto r = args.Option("--rules")) {
      rules = RulesOption(*r);
    } else if (auto e = args.Option("--encoding")) {
      encoding = EncodingOption(*e);
    } else if (auto f = args.Option("--format")) {
      format = FormatOption(*f);
    } else if (!preview && args.Flag("--overwrite")) {
      run.overwrite = true;
    } else if (auto pr = args.Option("--profile")) {
      profileName = pr;
    } else if (auto a = args.Option("--agency")) {
      agency = a;
    } else if (auto v = args.Option("--table")) {
      run.table = v;
    } else if (auto m = args.Option("--map")) {
      const auto eq = m->rfind('=');
      if (eq == std::string::npos || eq == 0) throw UsageError{"--map takes COL=CODE, not '" + *m + "'"};
      maps.emplace_back(m->substr(0, eq), m->substr(eq + 1));
    } else if (args.Flag("--map-by-name")) {
      byName = true;
    } else if (auto t = args.Option("--template")) {
      templateFile = t;
    } else if (auto c = args.Option("--cbk")) {
      cbk = c;
    } else if (auto n = args.Option("--now")) {
      now = n;
    } else if (auto o = !preview ? args.Option("-o") : std::nullopt) {
      run.out = o;
    } else if (auto rep = !preview ? args.Option("--report") : std::nullopt) {
      run.report = rep;
    } else if (!preview && args.Flag("--dry-run")) {
      run.dryRun = true;
    } else if (auto row = preview ? args.Option("--row") : std::nullopt) {
      if (row->empty() || row->find_first_not_of("0123456789") != std::string::npos || row->size() > 12 || std::stoll(*row) < 1)
        throw UsageError{"--row takes a row number from 1, not '" + *row + "'"};
      run.row = std::stoll(*row);
    } else if (!run.file && args.Peek().rfind("-", 0) != 0) {
      run.file = args.Next();
    } else {
      throw UsageError{std::string(command) + ": unknown argument '" + args.Peek() + "'"};
    }
  }
  if (!run.file || (!preview && !run.out && !run.dryRun) || (maps.empty() && !byName && !profileName))
    throw UsageError{std::string(command) + " FILE [--table NAME] (--map COL=CODE ... | --map-by-name) ... " +
                     (preview ? "[--row N]" : "(-o OUT | --dry-run)") + "; see " + command + " --help"};
  const std::string marcCodeList = mapping::DefaultMarcCodeList();
  for (const auto& [col, code] : maps)
    if (!mapping::IsMarcCode(code, marcCodeList)) throw UsageError{"--map " + col + "=" + code + ": not a subfield code"};

  // A profile gives the rules, template, agency code and mapping; flags given beside it win.
  convert::Profile profile;
  if (profileName) {
    std::string error;
    auto loaded = convert::LoadProfile(*profileName, error);
    if (!loaded) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return std::nullopt;
    }
    profile = std::move(*loaded);
  }
  convert::RunInput& input = run.input;
  input.rules = rules.value_or(profile.rules);
  input.agencyCode = agency.value_or(profile.agencyCode);
  input.clock = ClockFrom(now);
  input.templateText = templateFile               ? ReadTemplate(*templateFile)
                       : !profile.templateText.empty() ? profile.templateText
                                                       : std::string(convert::DefaultTemplate(input.rules));
  input.cbkConnStr = CbkConnectionString(cbk);
  input.outputPath = run.out.value_or("");
  input.dryRun = run.dryRun;
  input.replace = run.overwrite;
  input.format = format.value_or(profile.format);
  // An encoding asked for wins; a format asked for without one takes its own.
  input.encoding = encoding ? *encoding
                   : format ? iso2709::DefaultEncoding(input.format)
                            : convert::ProfileEncoding(profile);
  if (const std::string why = iso2709::Unsupported(input.format, input.encoding); !why.empty())
    throw UsageError{std::string(command) + ": " + why};

  const auto opened = OpenSourceOrSay(*run.file, run.table, true);
  if (!opened) return std::nullopt;
  const SourceTable& source = *opened;
  const auto& names = source.table->FieldNames();
  if (profileName) {
    const convert::ProfileMatch match = convert::MatchProfile(profile, names);
    if (!match.unmatched.empty()) std::fprintf(stderr, "%s\n", convert::UnmatchedText(profile, match).c_str());
    input.mapping = match.codes;
  } else {
    input.mapping = byName ? import::PrefilledMapping(names, marcCodeList) : std::vector<std::string>(names.size());
  }
  if (byName) mapping::MapByColumnNames(names, input.mapping);
  for (const auto& [col, code] : maps) {
    std::size_t index = names.size();
    for (std::size_t c = 0; c < names.size(); ++c)
      if (names[c] == col) index = c;
    if (index == names.size() && !col.empty() && col.find_first_not_of("0123456789") == std::string::npos) {
      const std::size_t n = std::stoul(col);
      if (n >= 1 && n <= names.size()) index = n - 1;
    }
    if (index == names.size()) throw UsageError{"--map " + col + "=" + code + ": the table has no column " + col};
    for (auto& other : input.mapping)
      if (other == code) other.clear();  // a column named for it gives the code up
    input.mapping[index] = code;
  }
  input.table = source.table;
  input.pinyin = std::make_shared<convert::PinyinSource>(convert::PinyinSource::Beside());
  return run;
}

}  // namespace

int PreviewCommand(std::vector<std::string> argv) {
  auto run = ReadRunArgs(std::move(argv), true);
  if (!run) return kExitFailed;
  const convert::RowPreview preview = convert::PreviewRow(run->input, run->row.value_or(1) - 1);
  std::fputs(convert::PreviewText(preview).c_str(), stdout);
  return preview.record.empty() ? kExitFailed : kExitOk;
}

int ConvertCommand(std::vector<std::string> argv) {
  auto run = ReadRunArgs(std::move(argv), false);
  if (!run) return kExitFailed;
  const convert::RunInput& input = run->input;
  const std::optional<std::string>& report = run->report;

  const bool terminal = isatty(2);
  const auto start = std::chrono::steady_clock::now();
  auto last = start;
  convert::RunCallbacks callbacks;
  callbacks.stop = &gStop;
  callbacks.progress = [&](std::int64_t k, std::int64_t m) {
    if (!terminal) return;
    const auto t = std::chrono::steady_clock::now();
    if (t - last < std::chrono::milliseconds(100) && k != m) return;
    last = t;
    const double s = std::chrono::duration<double>(t - start).count();
    std::fprintf(stderr, "\r转换中: %lld/%lld  %.0f 行/秒 ", static_cast<long long>(k), static_cast<long long>(m),
                 s > 0 ? k / s : 0.0);
  };
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  std::signal(SIGXFSZ, SIG_IGN);  // past a file-size limit a write fails (EFBIG) instead of killing us
  const convert::RunResult r = convert::RunConversion(input, callbacks);
  if (terminal) std::fputc('\n', stderr);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (const auto message = convert::MessageFor(r, input);
      message && r.outcome != convert::RunOutcome::Finished) {
    std::fprintf(stderr, "%s\n", message->text.c_str());
  }
  if (r.outcome == convert::RunOutcome::PathMissing || r.outcome == convert::RunOutcome::RequiredMissing)
    return kExitFailed;
  if (r.refused) {
    std::fprintf(stderr, "%s holds %lld records and was left as it was; --overwrite replaces it\n", input.outputPath.c_str(),
                 static_cast<long long>(r.existing));
    return kExitFailed;
  }
  if (r.existing > 0)
    std::fprintf(stderr, "appended to %s after the %lld records it held (--overwrite replaces them)\n",
                 input.outputPath.c_str(), static_cast<long long>(r.existing));
  if (r.cutBytes > 0 && r.outcome != convert::RunOutcome::OutputFailed)
    std::fprintf(stderr, "%s\n", convert::CutNote(r).substr(2).c_str());
  std::fprintf(stderr, "written %lld records, %lld with warnings, %lld rows failed (%lld rows in %.2f s, %.0f rows/s)\n",
               static_cast<long long>(r.written), static_cast<long long>(r.warned), static_cast<long long>(r.failed),
               static_cast<long long>(r.rows), seconds, seconds > 0 ? r.rows / seconds : 0.0);
  if (r.unencodable > 0 && input.format == iso2709::Format::MarcXml)
    std::fprintf(stderr, "%lld control characters in %lld records cannot be written in XML and were left out\n",
                 static_cast<long long>(r.unencodable), static_cast<long long>(r.unencodableRows));
  else if (r.unencodable > 0)
    std::fprintf(stderr, "%lld characters in %lld records have no code in %s and were written as '?'; --encoding gb18030 or utf-8 keeps them\n",
                 static_cast<long long>(r.unencodable), static_cast<long long>(r.unencodableRows),
                 std::string(iso2709::NameOf(input.encoding)).c_str());
  if (input.dryRun) std::fputs(convert::ReportText(r).c_str(), stdout);
  if (report) {
    std::ofstream file(*report, std::ios::binary | std::ios::trunc);
    file << convert::ReportText(r);
    if (!file.flush()) std::fprintf(stderr, "cannot write the report %s\n", report->c_str());
  }
  if (r.failed > 0)
    std::fprintf(stderr, "first failure, row %lld: %s\n", static_cast<long long>(r.firstFailedRow), r.firstFailure.c_str());
  if (r.outcome == convert::RunOutcome::Stopped) std::fprintf(stderr, "stopped after %lld records\n", static_cast<long long>(r.written));
  return r.outcome == convert::RunOutcome::Finished && r.failed == 0 ? kExitOk : kExitFailed;
}

}  // namespace rowcaster::cli
