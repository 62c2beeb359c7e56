// rowcaster-cli convert FILE [--table NAME] (--map COL=CODE … | --map-by-name) [--template FILE]
//               [--cbk FILE] [--now …] [--encoding E] [--format F] [--overwrite] -o OUT

#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <cstdio>

#include "cli/Args.h"
#include "cli/Catalogue.h"
#include "cli/Commands.h"
#include "cli/Common.h"
#include "catalogue/Cache.h"
#include "cli/DataFile.h"
#include "convert/ConversionRun.h"
#include "convert/Profile.h"
#include "import/DataFile.h"
#include "mapping/ColumnNames.h"
#include "mapping/ColumnValues.h"
#include "output/ReportFile.h"
#include "mapping/MarcFields.h"
#include "platform/text/Gbk.h"
#include "words/Words.h"

namespace rowcaster::cli {
namespace {

std::atomic<bool> gStop{false};
extern "C" void OnInterrupt(int) { gStop = true; }

QString Q(const std::string& s) { return QString::fromStdString(s); }
void Say(const QString& line) { std::fprintf(stderr, "%s\n", line.toStdString().c_str()); }

// What convert and preview share: the file, the table, the mapping, the rules, the template.
struct RunArgs {
  std::optional<std::string> file, table, out, report;
  std::optional<std::int64_t> row;  // preview: from 1
  bool dryRun = false, overwrite = false;
  convert::RunInput input;
  std::shared_ptr<std::jthread> reading;  // the table's rows still coming, or nothing
};

// The flags that say how to convert, as given; a profile fills in what they leave out.
struct RunFlags {
  std::optional<std::string> templateFile, cbk, now, agency, profileName;
  std::optional<std::string> holdings, library, location, itemType;  // the item fields (recommended rules)
  std::vector<std::pair<std::string, std::string>> maps;  // --map COL=CODE, in the order given
  bool byName = false, keepDuplicates = false;
  std::optional<convert::Rules> rules;
  std::optional<iso2709::Encoding> encoding;
  std::optional<iso2709::Format> format;
  std::vector<std::string> copyFrom;  // --copy-from, in the order given
  bool copyByTitle = false, copyPriceAlways = false, noLookupCache = false;
  std::optional<int> lookupTimeout, lookupConnections;
  std::optional<std::string> checkHoldings;      // a target or an export file
  std::optional<catalogue::HeldAction> held;     // --held, or --holdings skip|convert|items
};

int PositiveOption(const std::string& option, const std::string& value) {
  if (value.empty() || value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos || std::stoi(value) < 1)
    throw UsageError{option + " takes a number from 1, not '" + value + "'"};
  return std::stoi(value);
}

catalogue::HeldAction HeldOption(const std::string& option, const std::string& value) {
  const auto held = catalogue::ParseHeldAction(value);
  if (!held) throw UsageError{option + " takes skip, convert or items, not '" + value + "'"};
  return *held;
}

// The copy cataloguing flags; false when the argument is none of them.
bool ReadCopyFlag(Args& args, RunFlags& flags) {
  if (auto c = args.Option("--copy-from")) flags.copyFrom.push_back(*c);
  else if (args.Flag("--copy-by-title")) flags.copyByTitle = true;
  else if (args.Flag("--copy-price-always")) flags.copyPriceAlways = true;
  else if (args.Flag("--no-lookup-cache")) flags.noLookupCache = true;
  else if (auto t = args.Option("--lookup-timeout")) flags.lookupTimeout = PositiveOption("--lookup-timeout", *t);
  else if (auto n = args.Option("--lookup-connections")) flags.lookupConnections = PositiveOption("--lookup-connections", *n);
  else if (auto c = args.Option("--check-holdings")) flags.checkHoldings = c;
  else if (auto h = args.Option("--held")) flags.held = HeldOption("--held", *h);
  else return false;
  return true;
}

// The holdings check: an export file the run indexes, or a target; false when the file gives
// nothing (said).
bool ResolveHeldCheck(const std::string& what, const std::vector<catalogue::Target>& known, convert::RunInput& input) {
  std::error_code error;
  if (what.find("://") == std::string::npos && std::filesystem::is_regular_file(what, error)) {
    auto index = std::make_shared<catalogue::HeldIndex>();
    const catalogue::HeldFileProblem problem = index->Load(what);
    if (problem != catalogue::HeldFileProblem::None) {
      Say(problem == catalogue::HeldFileProblem::Unreadable
              ? QCoreApplication::translate("Cli", "查重文件 %1 读不出（应是 ISO 2709 或 MARCXML 文件）").arg(Q(what))
              : QCoreApplication::translate("Cli", "查重文件 %1 中没有一条完整的记录").arg(Q(what)));
      return false;
    }
    if (index->skipped() > 0)
      Say(QCoreApplication::translate("Cli", "查重文件 %1 中有 %2 条记录读不出，没有用来查重").arg(Q(what)).arg(index->skipped()));
    input.heldFile = std::move(index);
    input.heldFileName = std::filesystem::path(what).filename().string();
    return true;
  }
  // A name no target has, that reads as a file's: the file is missing, not the target.
  const catalogue::TargetRead read = catalogue::ResolveTarget(what, known);
  if (!read.target && read.problem == catalogue::TargetProblem::UnknownName &&
      what.find_first_of("/.") != std::string::npos) {
    Say(QCoreApplication::translate("Cli", "查重文件 %1 不存在，也没有这个名字的套录目标").arg(Q(what)));
    return false;
  }
  input.heldIn = TargetOrUsage(what, known);
  return true;
}

// The catalogues the run copies from: those named, else the profile's (but its own catalogue);
// the holdings check; and how it asks them. False when the check's file gives nothing (said).
bool ResolveCopying(const RunFlags& flags, const convert::Profile& profile, convert::RunInput& input) {
  if (flags.copyFrom.empty()) {
    std::copy_if(profile.targets.begin(), profile.targets.end(), std::back_inserter(input.copyFrom),
                 [](const catalogue::Target& t) { return !t.own; });
  } else {
    const std::vector<catalogue::Target> known = KnownTargets(profile.targets);
    for (const std::string& name : flags.copyFrom) input.copyFrom.push_back(TargetOrUsage(name, known));
  }
  input.copyPriceAlways = flags.copyPriceAlways || profile.copyPriceAlways;
  input.lookup.byTitle = flags.copyByTitle || profile.copyByTitle;
  input.lookup.timeoutSeconds = flags.lookupTimeout.value_or(input.lookup.timeoutSeconds);
  input.lookup.connections = flags.lookupConnections.value_or(input.lookup.connections);
  input.lookup.cachePath = flags.noLookupCache ? std::string() : catalogue::DefaultCachePath();
  input.held = flags.held.value_or(profile.held);
  const std::string check = flags.checkHoldings.value_or(profile.checkHoldings);
  if (!check.empty()) return ResolveHeldCheck(check, KnownTargets(profile.targets), input);
  const auto own = std::find_if(profile.targets.begin(), profile.targets.end(), [](const auto& t) { return t.own; });
  if (own != profile.targets.end()) input.heldIn = *own;
  return true;
}

// Reads the arguments of convert (`preview` false) or preview: what they say of the run goes into
// `run`, the rest into the flags. Throws UsageError.
RunFlags ReadFlags(std::vector<std::string> argv, bool preview, RunArgs& run) {
  Args args(std::move(argv));
  RunFlags flags;
  const char* const command = preview ? "preview" : "convert";
  while (!args.Done()) {
    if (ReadCopyFlag(args, flags)) {
      continue;
    } else if (auto r = args.Option("--rules")) {
      flags.rules = RulesOption(*r);
    } else if (auto e = args.Option("--encoding")) {
      flags.encoding = EncodingOption(*e);
    } else if (auto f = args.Option("--format")) {
      flags.format = FormatOption(*f);
    } else if (!preview && args.Flag("--overwrite")) {
      run.overwrite = true;
    } else if (auto pr = args.Option("--profile")) {
      flags.profileName = pr;
    } else if (auto a = args.Option("--agency")) {
      flags.agency = a;
    } else if (auto h = args.Option("--holdings")) {
      if (const auto held = catalogue::ParseHeldAction(*h)) {
        flags.held = held;  // what a held row gets, as --held says
        continue;
      }
      if (!convert::IsHoldingsPreset(*h))
        throw UsageError{"--holdings takes 905, 905-per-copy, koha-unimarc or a field template such as '985  |a{barcode}', not '" + *h + "'"};
      flags.holdings = h;
    } else if (auto lib = args.Option("--library")) {
      flags.library = lib;
    } else if (auto loc = args.Option("--location")) {
      flags.location = loc;
    } else if (auto it = args.Option("--item-type")) {
      flags.itemType = it;
    } else if (auto v = args.Option("--table")) {
      run.table = v;
    } else if (auto m = args.Option("--map")) {
      const auto eq = m->rfind('=');
      if (eq == std::string::npos || eq == 0) throw UsageError{"--map takes COL=CODE, not '" + *m + "'"};
      flags.maps.emplace_back(m->substr(0, eq), m->substr(eq + 1));
    } else if (args.Flag("--map-by-name")) {
      flags.byName = true;
    } else if (auto t = args.Option("--template")) {
      flags.templateFile = t;
    } else if (auto c = args.Option("--cbk")) {
      flags.cbk = c;
    } else if (auto n = args.Option("--now")) {
      flags.now = n;
    } else if (auto o = !preview ? args.Option("-o") : std::nullopt) {
      run.out = o;
    } else if (auto rep = !preview ? args.Option("--report") : std::nullopt) {
      run.report = rep;
    } else if (!preview && args.Flag("--keep-duplicates")) {
      flags.keepDuplicates = true;
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
  return flags;
}

// What must be given: a file, an output (convert), and a mapping of known subfield codes.
void CheckFlags(const RunFlags& flags, const RunArgs& run, bool preview, const std::string& marcCodeList) {
  const char* const command = preview ? "preview" : "convert";
  if (!run.file || (!preview && !run.out && !run.dryRun) || (flags.maps.empty() && !flags.byName && !flags.profileName))
    throw UsageError{std::string(command) + " FILE [--table NAME] (--map COL=CODE ... | --map-by-name) ... " +
                     (preview ? "[--row N]" : "(-o OUT | --dry-run)") + "; see " + command + " --help"};
  for (const auto& [col, code] : flags.maps)
    if (!mapping::IsMarcCode(code, marcCodeList)) throw UsageError{"--map " + col + "=" + code + ": not a subfield code"};
}

// The rules, template, agency code, output and encoding of the run: the flags given, else the
// profile's. Throws UsageError for a format the encoding cannot be written in.
void ResolveSettings(const RunFlags& flags, const convert::Profile& profile, const char* command, RunArgs& run) {
  convert::RunInput& input = run.input;
  input.rules = flags.rules.value_or(profile.rules);
  input.agencyCode = flags.agency.value_or(profile.agencyCode);
  input.defaultRole = profile.defaultRole;
  input.holdings = {flags.holdings.value_or(profile.holdings.preset), flags.library.value_or(profile.holdings.library),
                    flags.location.value_or(profile.holdings.location), flags.itemType.value_or(profile.holdings.itemType)};
  input.clock = ClockFrom(flags.now);
  input.templateText = flags.templateFile         ? ReadTemplate(*flags.templateFile)
                       : !profile.templateText.empty() ? profile.templateText
                                                       : std::string(convert::DefaultTemplate(input.rules));
  input.cbkConnStr = CbkConnectionString(flags.cbk);
  input.outputPath = run.out.value_or("");
  input.dryRun = run.dryRun;
  // The rows' report is only printed (--dry-run) or written (--report); the summary needs the counts.
  input.keepReport = run.dryRun || run.report.has_value();
  input.replace = run.overwrite;
  input.keepDuplicates = flags.keepDuplicates || profile.keepDuplicates;
  input.format = flags.format.value_or(profile.format);
  // An encoding asked for wins; a format asked for without one takes its own; Koha's items go
  // into a Unicode system.
  input.encoding = flags.encoding ? *flags.encoding
                   : flags.format ? iso2709::DefaultEncoding(input.format)
                   : input.holdings.preset == "koha-unimarc" && !profile.encoding ? iso2709::Encoding::Utf8
                                                                                   : convert::ProfileEncoding(profile);
  if (const std::string why = iso2709::Unsupported(input.format, input.encoding); !why.empty())
    throw UsageError{std::string(command) + ": " + why};
}

// Gives each --map its column (by name, else by its number from 1), which takes the code from any
// column that had it. Throws UsageError for a column the table lacks or one given twice.
void ApplyMaps(const std::vector<std::pair<std::string, std::string>>& maps, const std::vector<std::string>& names,
               std::vector<std::string>& codes) {
  std::vector<bool> given(names.size(), false);
  for (const auto& [col, code] : maps) {
    std::size_t index = names.size();
    for (std::size_t c = 0; c < names.size(); ++c)
      if (names[c] == col) index = c;
    if (index == names.size() && !col.empty() && col.find_first_not_of("0123456789") == std::string::npos &&
        col.size() <= 9) {
      const std::size_t n = std::stoul(col);
      if (n >= 1 && n <= names.size()) index = n - 1;
    }
    if (index == names.size()) throw UsageError{"--map " + col + "=" + code + ": the table has no column " + col};
    if (given[index])
      throw UsageError{"--map " + col + "=" + code + ": column " + names[index] + " is already mapped by another --map"};
    given[index] = true;
    for (auto& other : codes)
      if (other == code) other.clear();  // a column named for it gives the code up
    codes[index] = code;
  }
}

// The code of each of the table's columns and what the names did: the profile's, else by the
// column names when asked (where the values fit), then each --map. Throws UsageError for a --map
// that does not fit the table.
struct ColumnMapping {
  std::vector<std::string> codes;
  mapping::NameMapping byName;
  bool namesAsked = false;
};

ColumnMapping MapColumns(const RunFlags& flags, const convert::Profile& profile, const import::LoadedTable& table,
                         const std::string& marcCodeList) {
  const std::vector<std::string>& names = table.FieldNames();
  ColumnMapping m;
  m.namesAsked = flags.byName || (flags.profileName && profile.mapByName);
  const mapping::ColumnSamples samples = m.namesAsked ? mapping::SampleColumns(table) : mapping::ColumnSamples();
  if (flags.profileName) {
    convert::Profile used = profile;
    used.mapByName = m.namesAsked;
    convert::ProfileMatch match = convert::MatchProfile(used, names, {}, samples);
    if (!match.unmatched.empty()) std::fprintf(stderr, "%s\n", words::UnmatchedText(profile, match).c_str());
    m.codes = std::move(match.codes);
    m.byName = std::move(match.byName);
  } else {
    m.codes = flags.byName ? import::PrefilledMapping(names, marcCodeList) : std::vector<std::string>(names.size());
    if (flags.byName) m.byName = mapping::MapByColumnNames(names, samples, m.codes);
  }
  ApplyMaps(flags.maps, names, m.codes);
  return m;
}


// The mapping by column names, before the run: each mapped column with its code, the columns left,
// and why a column whose name says a code was not given it.
void SayMapping(const std::vector<std::string>& names, const ColumnMapping& m) {
  const QString sep = QCoreApplication::translate("Cli", "，");
  QStringList mapped, left;
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (m.codes[c].empty())
      left << Q(names[c]);
    else
      mapped << Q(names[c]) + " → " + Q(m.codes[c]);
  }
  const QString none = QCoreApplication::translate("Cli", "无");
  Say(QCoreApplication::translate("Cli", "列的对应：%1").arg(mapped.isEmpty() ? none : mapped.join(sep)));
  if (!left.isEmpty()) Say(QCoreApplication::translate("Cli", "没有对应的列：%1").arg(left.join(sep)));
  for (const mapping::RejectedColumn& r : m.byName.rejected)
    if (m.codes[r.column].empty()) Say(Q(words::RejectedText(names[r.column], r)));
  for (const mapping::OfferedColumn& o : m.byName.offered)
    if (m.codes[o.column].empty() && !o.codes.empty())
      Say(Q(words::OfferedText(names[o.column], o)) +
          QCoreApplication::translate("Cli", "（--map %1=%2）").arg(Q(names[o.column]), Q(o.codes.front())));
}

// No column gives the title: the table's columns, and how to name the title's.
void SayTitleMissing(const std::vector<std::string>& names) {
  QStringList columns;
  for (const std::string& n : names) columns << Q(n);
  Say(QCoreApplication::translate("Cli", "没有一列对应题名（200a），无法转换。表格的列：%1")
          .arg(columns.join(QCoreApplication::translate("Cli", "，"))));
  Say(QCoreApplication::translate("Cli", "请用 --map 列名=200a 指明题名所在的列"));
}

// Reads the arguments of convert (`preview` false) or preview; the source table is opened and the
// mapping resolved against its columns. Nothing when the file cannot be read (already said).
std::optional<RunArgs> ReadRunArgs(std::vector<std::string> argv, bool preview) {
  RunArgs run;
  const RunFlags flags = ReadFlags(std::move(argv), preview, run);
  const std::string marcCodeList = mapping::DefaultMarcCodeList();
  CheckFlags(flags, run, preview, marcCodeList);

  // A profile gives the rules, template, agency code and mapping; flags given beside it win.
  convert::Profile profile;
  if (flags.profileName) {
    std::string error;
    auto loaded = convert::LoadProfile(*flags.profileName, error);
    if (!loaded) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return std::nullopt;
    }
    profile = std::move(*loaded);
  }
  ResolveSettings(flags, profile, preview ? "preview" : "convert", run);
  if (!ResolveCopying(flags, profile, run.input)) return std::nullopt;

  // Without lookups the rows are used as they are read: the classic rules convert them, the
  // recommended ones look for repeats among them. Lookups need the whole table first. An output to
  // be replaced waits for it too: it is emptied when opened, and a read failing part way would
  // have emptied it for nothing.
  const convert::RunInput& in = run.input;
  const bool whileRead = !preview && in.copyFrom.empty() && !in.heldIn && !in.heldFile && !in.replace;
  const auto opened = OpenSourceOrSay(*run.file, run.table, whileRead ? Rows::WhileUsed : Rows::Whole);
  if (!opened) return std::nullopt;
  // The pinyin dictionary is loaded while the first rows are read, and the GBK table made (the
  // composing threads would otherwise wait for the first of them to make it).
  run.input.pinyin = std::make_shared<convert::PinyinSource>(convert::PinyinSource::Beside());
  if (run.input.encoding == iso2709::Encoding::Gbk) text::GbkEncodes(U'一');
  if (whileRead) {
    // The field names, and the top rows the mapping by names looks at.
    opened->table->WaitForRows(mapping::kSampleRows);
    if (const std::string error = opened->table->LoadError(); !error.empty()) {
      std::fprintf(stderr, "%s\n", ReadErrorText(error).c_str());
      return std::nullopt;
    }
    run.reading = opened->reading;
  }
  const ColumnMapping columns = MapColumns(flags, profile, *opened->table, marcCodeList);
  const std::vector<std::string>& names = opened->table->FieldNames();
  if (columns.namesAsked) SayMapping(names, columns);
  if (std::find(columns.codes.begin(), columns.codes.end(), "200a") == columns.codes.end()) {
    SayTitleMissing(names);
    return std::nullopt;
  }
  run.input.mapping = columns.codes;
  run.input.table = opened->table;
  return run;
}

// What the run did, on standard error.
void PrintSummary(const convert::RunResult& r, const convert::RunInput& input, double seconds) {
  if (r.existing > 0)
    Say(QCoreApplication::translate("Cli", "追加在 %1 原有的 %2 条记录之后（--overwrite 替换它们）").arg(Q(input.outputPath)).arg(r.existing));
  if (r.cutBytes > 0 && r.outcome != convert::RunOutcome::OutputFailed) Say(Q(words::CutNote(r).substr(2)));
  Say(QCoreApplication::translate("Cli", "写入 %1 条记录，%2 条有警告，%3 行没有生成记录（%4 行，%5 秒，每秒 %6 行）")
          .arg(r.written)
          .arg(r.warned)
          .arg(r.failed)
          .arg(r.rows)
          .arg(seconds, 0, 'f', 2)
          .arg(seconds > 0 ? r.rows / seconds : 0.0, 0, 'f', 0));
  if (r.merged > 0)
    Say(Q(words::MergedSummary(r)) + QCoreApplication::translate("Cli", "（--keep-duplicates 让每一行都生成记录）"));
  if (const std::string unencodable = words::UnencodableSummary(r, input); !unencodable.empty()) Say(Q(unencodable));
  if (r.privateUse > 0) Say(Q(words::PrivateUseSummary(r)));
  if (r.failed > 0)
    Say(QCoreApplication::translate("Cli", "第一个未生成记录的是第 %1 行：%2").arg(r.firstFailedRow).arg(Q(words::Describe(r.firstFailure))));
  if (!input.copyFrom.empty()) {
    const auto count = [&](convert::Kind k) { return r.counts.count(k) ? r.counts.at(k) : std::int64_t{0}; };
    Say(QCoreApplication::translate("Cli", "套录：%1 行套录到，%2 行未套录到（查询 %3 次，取自缓存 %4 次）")
            .arg(count(convert::Kind::CopiedFrom))
            .arg(count(convert::Kind::NotCopied))
            .arg(r.searches)
            .arg(r.cachedAnswers));
  }
  if (input.heldIn || input.heldFile)
    Say(QCoreApplication::translate("Cli", "查重：%1 行本馆已有，其中 %2 行没有转换（--held convert 照样转换，--held items 只写馆藏）")
            .arg(r.held)
            .arg(r.heldSkipped));
  if (r.outcome == convert::RunOutcome::Stopped) Say(QCoreApplication::translate("Cli", "已停止，写入了 %1 条记录").arg(r.written));
  // What the findings were, by kind; the rows are in the report (--report).
  const std::string summary = words::SummaryText(r);
  if (!summary.empty()) std::fputs(summary.c_str(), stderr);
}

}  // namespace

int PreviewCommand(std::vector<std::string> argv) {
  UseWords();
  auto run = ReadRunArgs(std::move(argv), true);
  if (!run) return kExitFailed;
  const convert::RowPreview preview = convert::PreviewRow(run->input, run->row.value_or(1) - 1);
  std::fputs(words::PreviewText(preview).c_str(), stdout);
  return preview.record.empty() ? kExitFailed : kExitOk;
}

int ConvertCommand(std::vector<std::string> argv) {
  UseWords();
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
  std::mutex lookingUp;  // the lookup threads report at once
  callbacks.lookingUp = [&](std::int64_t k, std::int64_t m) {
    if (!terminal) return;
    std::lock_guard<std::mutex> lock(lookingUp);
    const auto t = std::chrono::steady_clock::now();
    if (t - last < std::chrono::milliseconds(100) && k != m) return;
    last = t;
    std::fprintf(stderr, "\r套录查询: %lld/%lld ", static_cast<long long>(k), static_cast<long long>(m));
  };
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  std::signal(SIGXFSZ, SIG_IGN);  // past a file-size limit a write fails (EFBIG) instead of killing us
  const convert::RunResult r = convert::RunConversion(input, callbacks);
  if (terminal) std::fputc('\n', stderr);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // A finished run is summed up below; the window's end message (and its report) is not built.
  if (r.outcome != convert::RunOutcome::Finished)
    if (const auto message = words::MessageFor(r, input)) std::fprintf(stderr, "%s\n", message->text.c_str());
  if (r.outcome == convert::RunOutcome::PathMissing || r.outcome == convert::RunOutcome::RequiredMissing ||
      r.outcome == convert::RunOutcome::ReadFailed)
    return kExitFailed;
  if (r.refused) {
    Say(QCoreApplication::translate("Cli", "%1 里有 %2 条记录，没有改动；--overwrite 可以替换它").arg(Q(input.outputPath)).arg(r.existing));
    return kExitFailed;
  }
  PrintSummary(r, input, seconds);
  const int firstLine = input.table ? input.table->FirstDataLine() : 0;
  if (input.dryRun) std::fputs(words::ReportText(r, firstLine).c_str(), stdout);
  if (report) {
    const auto lines = [&](const auto& line) { words::ForEachReportLine(r, firstLine, line); };
    if (const std::string why = output::WriteReport(*report, lines); !why.empty())
      Say(QCoreApplication::translate("Cli", "无法写入报告 %1：%2").arg(Q(*report), Q(why)));
  }
  return r.outcome == convert::RunOutcome::Finished && r.failed == 0 ? kExitOk : kExitFailed;
}

}  // namespace rowcaster::cli
