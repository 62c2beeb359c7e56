#include "convert/ConversionRun.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>

#include "catalogue/Merge.h"
#include "convert/Persons.h"
#include "convert/Repeats.h"
#include "convert/Values.h"
#include "iso2709/Listing.h"
#include "mapping/ColumnNames.h"
#include "output/OutputFile.h"

namespace rowcaster::convert {
namespace {

constexpr std::int64_t kBatch = 256;  // rows composed together and written with one call

struct RowResult {
  std::string record;              // the record's bytes; empty when the row failed
  std::vector<Finding> findings;   // a failed row's error alone
  std::string title, isbn;         // only when there is something to report
  std::size_t unencodable = 0;     // characters the output's encoding could not hold
  std::size_t privateUse = 0;      // private-use characters written as they are
  bool merged = false;             // no record: the row repeats an earlier one
  bool heldSkipped = false;        // no record: the library holds the book
};

// Each kind once a row: the counts say how many rows have it.
void CountKinds(const std::vector<Finding>& findings, std::map<Kind, std::int64_t>& counts) {
  for (std::size_t k = 0; k < findings.size(); ++k) {
    const auto first = std::find_if(findings.begin(), findings.end(),
                                    [&](const Finding& f) { return f.kind == findings[k].kind; });
    if (first == findings.begin() + static_cast<std::ptrdiff_t>(k)) ++counts[findings[k].kind];
  }
}

bool HasLevel(const std::vector<Finding>& findings, Level level) {
  return std::any_of(findings.begin(), findings.end(), [&](const Finding& f) { return f.level == level; });
}

RowResult Failed(Finding error) {
  RowResult r;
  r.findings.push_back(std::move(error));
  return r;
}

// The columns that feed each parameter: the last mapping row holding a code wins.
std::array<int, kParamCount> SubfieldColumns(const std::vector<std::string>& mapping) {
  std::array<int, kParamCount> columns;
  columns.fill(-1);
  for (std::size_t r = 0; r < mapping.size(); ++r)
    if (const auto p = ParamOfCode(mapping[r])) columns[*p] = static_cast<int>(r);
  return columns;
}

// The role the names of the column feeding 200 $g take when no role word reaches them: a column
// named 译者 holds translators. Empty for other columns.
std::string RoleOf200g(const RunInput& input) {
  const int column = SubfieldColumns(input.mapping)[*ParamOfCode("200g")];
  if (!input.table || column < 0 || static_cast<std::size_t>(column) >= input.table->FieldNames().size()) return {};
  return mapping::RoleOfColumnName(input.table->FieldNames()[column]);
}

// What one composing thread keeps for itself: its own publisher lookup and composition context.
struct Worker {
  explicit Worker(const RunInput& input)
      : lookup(input.cbkConnStr), writer(input.format, input.encoding, PrivateUseBy(input.rules)) {
    context.rules = input.rules;
    context.encoding = writer.encoding();
    context.agencyCode = input.agencyCode;
    context.defaultRole = input.defaultRole;
    context.holdings = input.holdings;
    context.otherRole = RoleOf200g(input);
    context.templateText = input.templateText;
    context.lookup = &lookup;
    context.pinyin = input.pinyin.get();
  }
  RegionLookup lookup;
  CompositionContext context;
  SubfieldValues values;
  std::vector<std::string_view> cells;
  iso2709::RecordWriter writer;
  iso2709::Record record;  // the last row's
  iso2709::Record merged;  // the last copied row's
};

using Copies = std::vector<catalogue::LookupResult>;

// What the catalogues answered for every row before composing: the records to copy and what the
// library's own catalogue holds. Empty when not asked.
struct Lookups {
  Copies copies, held;
};

// What the catalogues answered for one row.
struct Answers {
  const catalogue::LookupResult* copy = nullptr;
  const catalogue::LookupResult* held = nullptr;
};

Answers AnswersFor(const Lookups* lookups, std::int64_t row) {
  Answers a;
  if (!lookups) return a;
  const auto r = static_cast<std::size_t>(row);
  if (r < lookups->copies.size()) a.copy = &lookups->copies[r];
  if (r < lookups->held.size()) a.held = &lookups->held[r];
  return a;
}

// The looked-up record merged into the row's own, or why the row keeps its own.
void ApplyCopy(const RunInput& input, const catalogue::LookupResult& copy, std::string_view rowTitle, Worker& w,
               std::vector<Finding>& findings) {
  using catalogue::LookupStatus;
  const std::string name = copy.target < input.copyFrom.size() ? input.copyFrom[copy.target].name : std::string();
  if (copy.status == LookupStatus::Found) {
    catalogue::MergeRecords(copy.record, w.record, {name, input.copyPriceAlways}, w.merged, findings);
    std::swap(w.record, w.merged);
    if (!copy.others.empty()) {
      std::vector<std::string> values{name};
      values.insert(values.end(), copy.others.begin(), copy.others.end());
      findings.push_back(MakeFinding(Kind::CopyAlternatives, {}, std::move(values)));
    }
    return;
  }
  if (copy.status == LookupStatus::TitleMismatch)
    findings.push_back(MakeFinding(Kind::CopyRejected, "200 $a", {name, copy.otherTitle, OneLine(rowTitle)}));
  if (copy.status == LookupStatus::Unreadable) findings.push_back(MakeFinding(Kind::CopyUnreadable, {}, {name}));
  findings.push_back(MakeFinding(Kind::NotCopied));
}

// The library's holding of the row's book: by its catalogue's answer, else by its export.
std::optional<catalogue::HeldMatch> HeldBy(const RunInput& input, const catalogue::LookupResult* asked,
                                           const iso2709::Record& own) {
  if (asked && asked->status == catalogue::LookupStatus::Found)
    return catalogue::HeldMatch{catalogue::RecordId(asked->record), catalogue::RecordIsbns(own).empty()};
  if (input.heldFile) return input.heldFile->Find(own);
  return std::nullopt;
}

// A held row: reported, and by the run's choice given no record, its record or its items only.
// True when the row gives no record.
bool ApplyHeld(const RunInput& input, const catalogue::HeldMatch& held, Worker& w, std::vector<Finding>& findings) {
  const std::string source = input.heldIn ? input.heldIn->name : input.heldFileName;
  const std::vector<std::string> values{source, held.id, held.byTitle ? "title" : "isbn"};
  switch (input.held) {
    case catalogue::HeldAction::Skip:
      findings = {MakeFinding(Kind::HeldSkipped, {}, values)};
      return true;
    case catalogue::HeldAction::Convert:
      findings.push_back(MakeFinding(Kind::HeldConverted, {}, values));
      return false;
    case catalogue::HeldAction::Items:
      catalogue::ItemsOnly(w.record, source, held.id, {HoldingsTag(input.holdings)}, w.merged);
      std::swap(w.record, w.merged);
      findings.push_back(MakeFinding(Kind::HeldItemsOnly, {}, values));
      return false;
  }
  return false;
}

// One row's record, or why it has none. Nothing a row does ends the run.
RowResult ComposeRow(const RunInput& input, Worker& w, Answers asked) {
  try {
    w.context.now = input.clock();
    RowResult r;
    const std::string title = asked.copy ? w.values[d200a] : std::string();
    const iso2709::Built built = ComposeRecord(w.values, w.context, w.record, r.findings);
    if (built.status != iso2709::BuildStatus::Built) return Failed(*FirstError(r.findings));
    const std::optional<catalogue::HeldMatch> held = HeldBy(input, asked.held, w.record);
    if (held && ApplyHeld(input, *held, w, r.findings)) {
      r.heldSkipped = true;
      return r;
    }
    if (asked.copy && !(held && input.held == catalogue::HeldAction::Items)) ApplyCopy(input, *asked.copy, title, w, r.findings);
    const iso2709::WriteResult written = w.writer.Append(w.record, r.record);
    if (!written.ok && !written.tooLongTag.empty())
      return Failed(MakeFinding(Kind::FieldTooLong, written.tooLongTag, {written.tooLongTag, std::to_string(written.tooLongBytes)}));
    if (!written.ok) return Failed(MakeFinding(Kind::RecordNotWritten, {}, {written.description}));
    r.unencodable = written.unencodable;
    r.privateUse = written.privateUse;
    AddWriteFindings(written, w.writer.encoding(), r.findings);
    return r;
  } catch (const std::bad_alloc&) {
    return Failed(MakeFinding(Kind::OutOfMemory));
  } catch (const std::exception& e) {
    return Failed(MakeFinding(Kind::RowCrashed, {}, {e.what()}));
  } catch (...) {
    return Failed(MakeFinding(Kind::RowCrashed));
  }
}

// A field too long for ISO 2709 is told by the subfield and the column of the row's longest cell
// that feeds its tag: values gain the subfield's name and the column's.
template <typename Cell>
void NameTheColumn(Finding& f, const RunInput& input, const std::array<int, kParamCount>& columns, const Cell& cell) {
  std::size_t longest = 0;
  const Subfield* which = nullptr;
  for (const Subfield& s : kSubfields)
    if (s.code.substr(0, 3) == f.field && columns[s.param] >= 0 && cell(s.param).size() >= longest) {
      longest = cell(s.param).size();
      which = &s;
    }
  if (!which) return;
  const auto& names = input.table->FieldNames();
  const auto c = static_cast<std::size_t>(columns[which->param]);
  f.values.push_back(std::string(TrimWide(which->label)));
  f.values.push_back(c < names.size() ? names[c] : std::string());
}

// What the other rows of the table decided for this one goes into its values first.
void ApplyPlan(const RowPlan& plan, SubfieldValues& values) {
  if (!plan.cells) return;
  const RowPlan::Cells& c = *plan.cells;
  if (!c.title.empty()) values[d200a] = c.title;
  if (!c.part.empty()) values[d200h] = c.part;
  if (!c.copies.empty()) values[d905f] = c.copies;
  if (!c.barcodes.empty()) values[d905b] = c.barcodes;
}

// Row `row` (from 0) of the input's table composed with `w`, by the plan for it when there is one.
RowResult ComposeOne(const RunInput& input, const std::array<int, kParamCount>& columns, const RowPlans& plans,
                     std::int64_t row, Worker& w, Answers asked = {}) {
  input.table->Row(static_cast<std::size_t>(row), w.cells);
  const auto cell = [&](Param p) -> std::string_view {
    const int c = columns[p];
    return c >= 0 && static_cast<std::size_t>(c) < w.cells.size() ? w.cells[c] : std::string_view();
  };
  const RowPlan* plan = plans.Find(row);
  RowResult r;
  if (plan && plan->sameAs > 0) {
    r.merged = true;
    r.findings = plan->Findings();
  } else {
    for (std::size_t p = 0; p < kParamCount; ++p) w.values[p].assign(cell(static_cast<Param>(p)));
    if (plan) ApplyPlan(*plan, w.values);
    w.context.recordNumber = row + 1;
    r = ComposeRow(input, w, asked);
    if (!r.findings.empty() && r.findings.front().kind == Kind::FieldTooLong) NameTheColumn(r.findings.front(), input, columns, cell);
    if (plan && !r.record.empty()) plan->AppendFindings(r.findings);
  }
  if (input.keepReport && (r.record.empty() || !r.findings.empty())) {
    r.title = OneLine(cell(d200a));
    r.isbn = OneLine(cell(d010a));
  }
  return r;
}

// Composes rows in parallel and hands them back in order; a table still being read is composed
// as its rows come. It starts its threads and their lookups at once but composes nothing before
// Begin: the plans and lookups it is given are filled in meanwhile.
class Composer {
 public:
  Composer(const RunInput& input, const std::array<int, kParamCount>& columns, const RowPlans& plans, int threads,
           const Lookups* lookups)
      : input_(input), columns_(columns), plans_(plans), threads_(threads), lookups_(lookups) {
    workers_.reserve(static_cast<std::size_t>(threads));
    try {
      for (int t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      // No more threads (a memory or process limit): the ones started do the work, or, with
      // none, the caller composes each batch itself.
    }
    std::lock_guard<std::mutex> lock(mutex_);
    threads_ = std::max<std::int64_t>(1, static_cast<std::int64_t>(workers_.size()));
  }
  ~Composer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    for (auto& w : workers_) w.join();
  }

  void Begin() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      begun_ = true;
    }
    wake_.notify_all();
  }

  // The rows of batch `b`, waiting until they are read and composed; nothing past the last row.
  std::optional<std::vector<RowResult>> Take(std::int64_t b) {
    if (workers_.empty()) {
      if (!own_) own_ = std::make_unique<Worker>(input_);
      taken_ = b + 1;
      const std::int64_t rows = RowsUpTo(b);
      if (rows <= b * kBatch) return std::nullopt;
      return ComposeBatch(b, rows, *own_);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return done_.count(b) > 0 || (end_ >= 0 && b >= end_) || error_; });
    if (done_.count(b) == 0 && error_) std::rethrow_exception(error_);
    if (done_.count(b) == 0) return std::nullopt;
    std::vector<RowResult> out = std::move(done_[b]);
    done_.erase(b);
    taken_ = b + 1;
    wake_.notify_all();
    return out;
  }

 private:
  // The table's rows once batch `b` is whole or the table is read to its end.
  std::int64_t RowsUpTo(std::int64_t b) const {
    if (!input_.table) return 0;
    return static_cast<std::int64_t>(input_.table->WaitForRows(static_cast<std::size_t>((b + 1) * kBatch)));
  }

  // A composing thread; what it throws outside a row (memory running out) ends its work and is
  // thrown again to the caller of Take.
  void Work() {
    try {
      WorkOn();
    } catch (...) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!error_) error_ = std::current_exception();
      }
      ready_.notify_all();
    }
  }

  void WorkOn() {
    Worker worker(input_);
    for (;;) {
      std::int64_t b;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        // Keep only a few batches ahead of the writer: memory stays flat.
        wake_.wait(lock, [&] {
          return quit_ || (begun_ && (end_ < 0 || next_ < end_) && next_ < taken_ + 4 * threads_);
        });
        if (quit_) return;
        b = next_++;
      }
      const std::int64_t rows = RowsUpTo(b);
      if (rows <= b * kBatch) {
        // Past the last row: the batches from here on are empty.
        {
          std::lock_guard<std::mutex> lock(mutex_);
          end_ = end_ < 0 ? b : std::min(end_, b);
        }
        ready_.notify_all();
        wake_.notify_all();
        continue;
      }
      std::vector<RowResult> results = ComposeBatch(b, rows, worker);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        done_[b] = std::move(results);
      }
      ready_.notify_all();
    }
  }

  std::vector<RowResult> ComposeBatch(std::int64_t b, std::int64_t rows, Worker& w) {
    std::vector<RowResult> results;
    const std::int64_t end = std::min(rows, (b + 1) * kBatch);
    for (std::int64_t row = b * kBatch; row < end; ++row)
      results.push_back(ComposeOne(input_, columns_, plans_, row, w, AnswersFor(lookups_, row)));
    return results;
  }

  const RunInput& input_;
  const std::array<int, kParamCount> columns_;
  const RowPlans& plans_;
  std::int64_t threads_;  // composing threads running (at least 1 for the look-ahead)
  const Lookups* lookups_;  // what the catalogues answered by row, or nothing
  std::unique_ptr<Worker> own_;  // the caller's, when no thread could be started
  std::int64_t next_ = 0, taken_ = 0;
  std::int64_t end_ = -1;  // the first batch past the last row, once known
  std::exception_ptr error_;  // what ended a composing thread
  bool quit_ = false;
  bool begun_ = false;  // composing allowed
  std::mutex mutex_;
  std::condition_variable wake_, ready_;
  std::map<std::int64_t, std::vector<RowResult>> done_;
  std::vector<std::thread> workers_;
};

// Row `row` (from 1) counted and reported (with `keep`), its record added to the batch unless it has none.
void TakeRow(RowResult& r, std::int64_t row, bool keep, RunResult& result, std::string& batch,
             std::vector<std::size_t>& ends) {
  CountKinds(r.findings, result.counts);
  const auto report = [&](bool failed, bool merged = false) {
    if (keep) result.report.push_back({row, std::move(r.title), std::move(r.isbn), failed, std::move(r.findings), merged});
  };
  if (r.heldSkipped) {
    ++result.held;
    ++result.heldSkipped;
    report(false);
    return;
  }
  if (std::any_of(r.findings.begin(), r.findings.end(),
                  [](const Finding& f) { return f.kind == Kind::HeldConverted || f.kind == Kind::HeldItemsOnly; }))
    ++result.held;
  if (r.merged) {
    ++result.merged;
    report(false, true);
    return;
  }
  if (r.record.empty()) {
    if (result.failed++ == 0) {
      result.firstFailedRow = row;
      result.firstFailure = r.findings.front();
    }
    report(true);
    return;
  }
  batch += r.record;
  ends.push_back(batch.size());
  if (r.unencodable) {
    result.unencodable += static_cast<std::int64_t>(r.unencodable);
    ++result.unencodableRows;
  }
  if (r.privateUse) {
    result.privateUse += static_cast<std::int64_t>(r.privateUse);
    ++result.privateUseRows;
  }
  if (!r.findings.empty()) {
    ++(HasLevel(r.findings, Level::Warning) ? result.warned : result.noted);
    report(false);
  }
}

// What the rows of the input's table decide for each other (only the recommended rules look); with
// `only`, just what they decide for that row (from 0).
RowPlans PlansFor(const RunInput& input, const std::array<int, kParamCount>& columns,
                  const std::atomic<bool>* stop = nullptr, std::int64_t only = -1) {
  if (input.rules != Rules::Recommended || !input.table) return {};
  return PlanRows(*input.table, columns, !input.keepDuplicates, stop, only);
}

RowPreview Preview(const RunInput& input, const std::array<int, kParamCount>& columns, const RowPlans& plans,
                   std::int64_t row, Worker& worker, Answers asked = {}) {
  RowResult r = ComposeOne(input, columns, plans, row, worker, asked);
  RowPreview preview;
  preview.findings = std::move(r.findings);
  preview.merged = r.merged;
  // The listing shows the record as the chosen encoding writes it, leader lengths included.
  if (!r.record.empty()) preview.listing = worker.writer.ListingOf(worker.record);
  preview.record = std::move(r.record);
  return preview;
}

}  // namespace

RequiredFields RequiredMapped(const std::vector<std::string>& mapping, Rules rules) {
  RequiredFields r;
  if (rules == Rules::Recommended) r.isbn = r.price = true;  // only the title is required
  for (const auto& code : mapping) {
    r.title = r.title || code == "200a";
    r.isbn = r.isbn || code == "010a";
    r.price = r.price || code == "010d";
  }
  return r;
}

RunOutcome CheckRun(const RunInput& input) {
  // The output path: only the empty text fails.
  if (input.outputPath.empty() && !input.dryRun) return RunOutcome::PathMissing;
  // Title, ISBN and price must be mapped.
  const RequiredFields mapped = RequiredMapped(input.mapping, input.rules);
  return mapped.title && mapped.isbn && mapped.price ? RunOutcome::Finished : RunOutcome::RequiredMissing;
}


namespace {

// A record's fields as compared between runs, without what the day of the run writes: the record's
// id (001), its time (005), the date it was entered (100 $a/0-7) and the date of the transaction
// (801 $c).
std::optional<std::vector<iso2709::Field>> ComparableFields(std::string_view bytes, iso2709::Encoding encoding) {
  iso2709::Record record;
  if (!iso2709::ReadRecord(bytes, record, encoding)) return std::nullopt;
  std::vector<iso2709::Field> fields;
  for (iso2709::Field& f : record.fields) {
    if (f.tag == "001" || f.tag == "005") continue;
    for (iso2709::Subfield& sub : f.subfields) {
      if (f.tag == "100" && sub.code == "a") sub.data.replace(0, std::min<std::size_t>(8, sub.data.size()), 8, ' ');
      if (f.tag == "801" && sub.code == "c") sub.data.clear();
    }
    f.line = 0;
    fields.push_back(std::move(f));
  }
  return fields;
}

bool SameFields(const std::vector<iso2709::Field>& a, const std::vector<iso2709::Field>& b) {
  const auto same = [](const iso2709::Field& x, const iso2709::Field& y) {
    if (x.tag != y.tag || x.indicators != y.indicators || x.data != y.data || x.subfields.size() != y.subfields.size())
      return false;
    for (std::size_t k = 0; k < x.subfields.size(); ++k)
      if (x.subfields[k].code != y.subfields[k].code || x.subfields[k].data != y.subfields[k].data) return false;
    return true;
  };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
}

// What row `row` is looked up by: its ISBN, title and first author.
catalogue::Wanted WantedRow(const RunInput& input, const std::array<int, kParamCount>& columns, std::size_t row,
                            std::vector<std::string_view>& cells) {
  input.table->Row(row, cells);
  const auto cell = [&](Param p) {
    const int c = columns[p];
    return c >= 0 && static_cast<std::size_t>(c) < cells.size() ? OneLine(cells[c]) : std::string();
  };
  catalogue::Wanted wanted{cell(d010a), cell(d200a), {}};
  if (input.lookup.byTitle && !wanted.title.empty()) {
    const std::vector<Responsible> persons = SplitResponsibility(cell(d200f));
    if (!persons.empty()) wanted.author = persons.front().name;
  }
  return wanted;
}

std::vector<catalogue::Wanted> WantedRows(const RunInput& input) {
  const std::array<int, kParamCount> columns = SubfieldColumns(input.mapping);
  std::vector<catalogue::Wanted> wanted(input.table ? input.table->RowCount() : 0);
  std::vector<std::string_view> cells;
  for (std::size_t row = 0; row < wanted.size(); ++row) wanted[row] = WantedRow(input, columns, row, cells);
  return wanted;
}

// `wanted` looked up in `targets`, every row before any is composed. False when the run was stopped.
bool LookUpRows(const RunInput& input, const std::vector<catalogue::Target>& targets,
                const std::vector<catalogue::Wanted>& wanted, const RunCallbacks& callbacks, RunResult& result,
                Copies& answers, bool cached = true) {
  catalogue::LookupCallbacks lookupCallbacks;
  lookupCallbacks.progress = callbacks.lookingUp;
  lookupCallbacks.stop = callbacks.stop;
  catalogue::LookupSettings settings = input.lookup;
  if (!cached) settings.cachePath.clear();
  if (settings.now == 0) settings.now = std::chrono::duration_cast<std::chrono::seconds>(
                                           std::chrono::system_clock::now().time_since_epoch()).count();
  catalogue::LookupRun run = catalogue::LookUp(targets, wanted, settings, lookupCallbacks);
  result.searches += run.searches;
  result.cachedAnswers += run.cached;
  for (const catalogue::TargetFailure& f : run.failures)
    result.runFindings.push_back(
        MakeFinding(Kind::TargetUnavailable, {}, {targets[f.target].name, std::to_string(f.code), f.message}));
  answers = std::move(run.results);
  return !run.stopped;
}

// Rows the library holds are asked first; unless they are to be converted anyway, no record is
// copied for them (skipped, or items only), so they are not looked up for copying. False when the
// run was stopped.
bool LookUpAll(const RunInput& input, std::vector<catalogue::Wanted> wanted, const RunCallbacks& callbacks,
               RunResult& result, Lookups& lookups) {
  // What the library holds changes every day: its catalogue is asked afresh, never the cache.
  if (input.heldIn && !LookUpRows(input, {*input.heldIn}, wanted, callbacks, result, lookups.held, false)) return false;
  if (input.copyFrom.empty()) return true;
  if (input.held != catalogue::HeldAction::Convert)
    for (std::size_t row = 0; row < wanted.size(); ++row) {
      const bool asked = row < lookups.held.size() && lookups.held[row].status == catalogue::LookupStatus::Found;
      if (asked || (input.heldFile && input.heldFile->FindIsbn(wanted[row].isbn))) wanted[row] = {};
    }
  return LookUpRows(input, input.copyFrom, wanted, callbacks, result, lookups.copies);
}

// What comes before the first row: settings that touch every record, told once, not a row at a
// time; the rows that repeat others; the catalogue pre-pass. False when the run was stopped.
bool BeforeRows(const RunInput& input, const RunCallbacks& callbacks, RunResult& result, RowPlans& plans,
                Lookups& lookups) {
  if (input.rules == Rules::Recommended && input.agencyCode.empty())
    result.runFindings.push_back(MakeFinding(Kind::NoAgencyCode, "801 $b"));
  plans = PlansFor(input, SubfieldColumns(input.mapping), callbacks.stop);
  if (callbacks.stop && callbacks.stop->load()) return false;
  if (!input.heldIn && input.copyFrom.empty()) return true;
  return LookUpAll(input, WantedRows(input), callbacks, result, lookups);
}

// Writes the composed rows batch by batch, in order, as the composer hands them over. False when
// the run ended early (stopped, or the output failed), with the outcome set.
bool WriteBatches(const RunInput& input, const RunCallbacks& callbacks, Composer& composer, output::OutputFile& out,
                  RunResult& result) {
  const auto rowsNow = [&] { return input.table ? static_cast<std::int64_t>(input.table->RowCount()) : 0; };
  result.rows = rowsNow();
  std::string batch;
  std::vector<std::size_t> ends;
  for (std::int64_t b = 0;; ++b) {
    std::optional<std::vector<RowResult>> rows = composer.Take(b);
    if (!rows) {
      result.rows = rowsNow();  // the table is read to its end by now
      return true;
    }
    batch.clear();
    ends.clear();
    std::int64_t row = b * kBatch;
    bool stopped = false;
    for (RowResult& r : *rows) {
      ++row;
      TakeRow(r, row, input.keepReport, result, batch, ends);
      if (callbacks.stop && callbacks.stop->load()) {
        stopped = true;
        break;
      }
    }
    const std::size_t whole = batch.empty() ? 0 : out.Write(batch, ends);
    result.written += static_cast<std::int64_t>(whole);
    result.rows = rowsNow();
    if (whole < ends.size()) {
      out.Close();
      result.outcome = RunOutcome::OutputFailed;
      result.outputError = out.error();
      return false;
    }
    if (callbacks.written) callbacks.written->store(result.written);
    if (callbacks.progress) callbacks.progress(row, result.rows);
    if (stopped) {
      out.Close();
      result.outcome = RunOutcome::Stopped;
      return false;
    }
  }
}

// After the last row: the run's outcome when the table's reading failed part way (the output taken
// back, or kept for a stop), or when closing the output failed. False when the run did not finish.
bool EndRun(const RunInput& input, const RunCallbacks& callbacks, output::OutputFile& out, RunResult& result) {
  const std::string readError = input.table ? input.table->LoadError() : std::string();
  if (!readError.empty() && callbacks.stop && callbacks.stop->load()) {
    // The stop ended the table's reading too (an interrupt reaches the reading process): the
    // records written stay, as for any stop.
    out.Close();
    result.outcome = RunOutcome::Stopped;
    return false;
  }
  if (!readError.empty()) {
    // What was written came from a table read only in part: the output goes back to what it held.
    result.readError = readError;
    out.TakeBack();
    out.Close();
    result.written = 0;
    result.outcome = RunOutcome::ReadFailed;
    return false;
  }
  if (!out.Close()) {
    result.outcome = RunOutcome::OutputFailed;
    result.outputError = out.error();
    return false;
  }
  return true;
}

}  // namespace

RowPreview PreviewRow(const RunInput& input, std::int64_t row) {
  if (!input.table || row < 0 || row >= static_cast<std::int64_t>(input.table->RowCount())) {
    RowPreview none;
    none.findings.push_back(MakeFinding(Kind::NoSuchRow, {}, {std::to_string(row + 1)}));
    return none;
  }
  const std::array<int, kParamCount> columns = SubfieldColumns(input.mapping);
  Worker worker(input);
  // The row alone asked in the catalogues (a wait the lookup time-out bounds).
  Lookups lookups;
  RunResult asked;
  if (input.heldIn || !input.copyFrom.empty()) {
    std::vector<std::string_view> cells;
    LookUpAll(input, {WantedRow(input, columns, static_cast<std::size_t>(row), cells)}, {}, asked, lookups);
  }
  RowPreview preview =
      Preview(input, columns, PlansFor(input, columns, nullptr, row), row, worker, AnswersFor(&lookups, 0));
  preview.findings.insert(preview.findings.begin(), asked.runFindings.begin(), asked.runFindings.end());
  for (const Finding& f : preview.findings)
    if (f.kind == Kind::CopiedFrom && !f.values.empty()) preview.copiedFrom = f.values.front();
  return preview;
}

bool RepeatsExistingRecords(const RunInput& input, const output::ExistingOutput& existing) {
  if (input.format != iso2709::Format::Iso2709 || !input.table) return false;
  const std::array<int, kParamCount> columns = SubfieldColumns(input.mapping);
  const RowPlans plans = PlansFor(input, columns);
  Worker worker(input);
  // The records in the order the rows give them; a row merged into an earlier one gives none.
  std::size_t compared = 0;
  for (std::size_t row = 0; row < input.table->RowCount() && compared < existing.firstRecords.size(); ++row) {
    const RowPreview preview = Preview(input, columns, plans, static_cast<std::int64_t>(row), worker);
    if (preview.merged) continue;
    const auto mine = ComparableFields(preview.record, input.encoding);
    const auto theirs = ComparableFields(existing.firstRecords[compared++], input.encoding);
    if (!mine || !theirs || !SameFields(*mine, *theirs)) return false;
  }
  return compared > 0;
}

RunResult RunConversion(const RunInput& input, const RunCallbacks& callbacks) {
  RunResult result;
  result.outcome = CheckRun(input);
  if (result.outcome != RunOutcome::Finished) return result;
  // The output file, appended to; a file that cannot be opened stops the run before any row.
  output::OutputFile out({input.outputPath, input.format, input.encoding, input.replace, input.dryRun});
  result.cutBytes = out.cutBytes();
  result.existing = out.existing().records;
  result.refused = out.existing().refusal != output::Refusal::None;
  if (result.refused) {
    result.refusal = out.existing();
    result.refusal.firstRecords.clear();
  }
  if (!out.ok()) {
    result.outcome = RunOutcome::OutputFailed;
    result.outputError = out.error();
    return result;
  }
  RowPlans plans;
  Lookups lookups;
  const int threads = input.threads > 0 ? input.threads : std::max(1u, std::thread::hardware_concurrency());
  {
    // The composing threads are started, and their lookups opened, while the rows are planned or
    // looked up (a thread takes milliseconds to start on some machines).
    Composer composer(input, SubfieldColumns(input.mapping), plans, threads, &lookups);
    if (!BeforeRows(input, callbacks, result, plans, lookups)) {
      out.Close();
      result.outcome = RunOutcome::Stopped;
      return result;
    }
    if (input.table && !input.table->Loading() && !input.table->LoadError().empty()) {
      // The table's reading failed before the first row was composed (the recommended rules look at
      // every row first): nothing is made from part of it.
      EndRun(input, callbacks, out, result);
      return result;
    }
    // A table still being read when the run begins: what fails the run part way takes its records
    // back out, for they came from part of the table (see EndRun for a failed read).
    const bool whileRead = input.table && input.table->Loading();
    composer.Begin();
    try {
      if (!WriteBatches(input, callbacks, composer, out, result)) return result;
    } catch (...) {
      // Out of memory, the likeliest here: the reading and the composing take it together.
      if (whileRead) out.TakeBack();
      throw;
    }
  }
  {
    // The plans of a large table take a while to free (a million rows: 0.1 s): they go while the
    // output is synced.
    std::jthread freeing;
    if (plans.size() > 0) freeing = std::jthread([gone = std::move(plans)]() mutable { gone = RowPlans(); });
    if (!EndRun(input, callbacks, out, result)) return result;
  }
  if (callbacks.progress && result.rows == 0) callbacks.progress(0, 0);
  result.outcome = RunOutcome::Finished;
  return result;
}

}  // namespace rowcaster::convert
