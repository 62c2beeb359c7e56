// rowcaster-cli convert FILE [--table NAME] (--map COL=CODE … | --map-by-name) [--template FILE]
//               [--cbk FILE] [--now …] -o OUT

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
#include "import/DataFile.h"
#include "mapping/ColumnNames.h"
#include "mapping/MarcFields.h"

namespace rowcaster::cli {
namespace {

std::atomic<bool> gStop{false};
extern "C" void OnInterrupt(int) { gStop = true; }

}  // namespace

int ConvertCommand(std::vector<std::string> argv) {
  Args args(std::move(argv));
  std::optional<std::string> file, table, templateFile, cbk, now, out, agency, report;
  std::vector<std::pair<std::string, std::string>> maps;
  bool byName = false;
  convert::Rules rules = convert::Rules::Classic;
  while (!args.Done()) {
    if (auto r = args.Option("--rules")) {
      rules = RulesOption(*r);
    } else if (auto a = args.Option("--agency")) {
      agency = a;
    } else if (auto rep = args.Option("--report")) {
      report = rep;
    } else if (auto v = args.Option("--table")) {
      table = v;
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
    } else if (auto o = args.Option("-o")) {
      out = o;
    } else if (!file && args.Peek().rfind("-", 0) != 0) {
      file = args.Next();
    } else {
      throw UsageError{"convert: unknown argument '" + args.Peek() + "'"};
    }
  }
  if (!file || !out || (maps.empty() && !byName))
    throw UsageError{"convert FILE [--table NAME] (--map COL=CODE ... | --map-by-name) [--template FILE] "
                     "[--cbk FILE] [--now ...] -o OUT"};
  const std::string marcCodeList = mapping::DefaultMarcCodeList();
  for (const auto& [col, code] : maps)
    if (!mapping::IsMarcCode(code, marcCodeList)) throw UsageError{"--map " + col + "=" + code + ": not a subfield code"};

  convert::RunInput input;
  input.rules = rules;
  if (agency) input.agencyCode = *agency;
  input.clock = ClockFrom(now);
  input.templateText = templateFile ? ReadTemplate(*templateFile) : std::string(convert::DefaultTemplate(rules));
  input.cbkConnStr = CbkConnectionString(cbk);
  input.outputPath = *out;

  const auto opened = OpenSourceOrSay(*file, table, true);
  if (!opened) return kExitFailed;
  const SourceTable& source = *opened;
  const auto& names = source.table->FieldNames();
  input.mapping = byName ? import::PrefilledMapping(names, marcCodeList) : std::vector<std::string>(names.size());
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
  auto pinyin = std::make_shared<convert::PinyinSource>(convert::PinyinSource::Beside());
  input.pinyin = pinyin;

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
  if (r.cutBytes > 0 && r.outcome != convert::RunOutcome::OutputFailed)
    std::fprintf(stderr, "%s\n", convert::CutNote(r).substr(2).c_str());
  std::fprintf(stderr, "written %lld records, %lld with warnings, %lld rows failed (%lld rows in %.2f s, %.0f rows/s)\n",
               static_cast<long long>(r.written), static_cast<long long>(r.warned), static_cast<long long>(r.failed),
               static_cast<long long>(r.rows), seconds, seconds > 0 ? r.rows / seconds : 0.0);
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
