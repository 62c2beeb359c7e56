#pragma once
// One whole conversion: the two checks, then one record per data row of the loaded table, appended
// to the output file in row order. Shared by the window (on a worker thread) and the command line.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Held.h"
#include "catalogue/Lookup.h"
#include "catalogue/Target.h"
#include "convert/Composition.h"
#include "convert/Finding.h"
#include "iso2709/Writers.h"
#include "import/LoadedTable.h"
#include "output/ExistingOutput.h"
#include "platform/Clock.h"

namespace rowcaster::convert {

struct RunInput {
  Rules rules = Rules::Classic;
  std::string agencyCode;                           // 801 $b under the recommended rules
  std::string defaultRole = "著";                   // recommended rules: names without a role word
  HoldingsSettings holdings;                        // recommended rules: the item fields to write
  std::string outputPath;                           // taken as it is, untrimmed
  std::vector<std::string> mapping;                 // per source column: empty or a code
  // The content grid's rows. A table still being read (LoadedTable::Loading) is converted as its
  // rows come; a read that fails before the end takes the run's records back out of the output.
  std::shared_ptr<const import::LoadedTable> table;
  std::string templateText{kDefaultTemplate};
  Clock clock = SystemLocalTime;
  std::string cbkConnStr;
  std::shared_ptr<const PinyinSource> pinyin;
  int threads = 0;  // composing threads; 0: one per core
  bool dryRun = false;  // compose every row, write nothing
  bool keepReport = true;  // keep RunResult::report (the counts are kept either way)
  iso2709::Format format = iso2709::Format::Iso2709;
  iso2709::Encoding encoding = iso2709::Encoding::Gbk;  // MARCXML is always UTF-8
  bool replace = false;  // empty an existing output file first instead of appending to it
  // Copy cataloguing (套录): the catalogues rows are looked up in before composing, in order. With
  // none, every row gets its own record as before.
  std::vector<catalogue::Target> copyFrom;
  catalogue::LookupSettings lookup;
  bool copyPriceAlways = false;  // the row's price replaces a copied record's 010 $d
  bool keepDuplicates = false;  // recommended rules: a row that repeats an earlier one gives its record too
  // The check for books the library holds (查重): its own catalogue, asked by ISBN (and by title when
  // `lookup.byTitle`), or an export of it; with neither, no row is checked.
  std::optional<catalogue::Target> heldIn;
  std::shared_ptr<const catalogue::HeldIndex> heldFile;
  std::string heldFileName;  // what reports and 035 $a call the export
  catalogue::HeldAction held = catalogue::HeldAction::Skip;
};

enum class RunOutcome {
  PathMissing,     // the output path is empty; the window puts the focus on its path button
  RequiredMissing, // title, ISBN or price is not mapped (the recommended rules need the title only)
  OutputFailed,    // the output file cannot be opened, written or closed
  Stopped,         // stopped between records
  ReadFailed,      // the table being read failed before its end; the output is as it was
  Finished,        // every row was gone through (some may have failed)
};

// A row that failed or got a finding, for the run's report.
struct RowReport {
  std::int64_t row = 0;  // from 1
  std::string title, isbn;
  bool failed = false;
  std::vector<Finding> findings;  // a failed row's error, or the written record's findings
  bool merged = false;  // no record: the row repeats an earlier one (a DuplicateRow among findings)
};

struct RunResult {
  RunOutcome outcome = RunOutcome::Finished;
  std::int64_t rows = 0;     // m, the data rows of the run
  std::int64_t written = 0;  // records appended
  std::int64_t failed = 0;   // rows that gave no record
  std::int64_t firstFailedRow = 0;
  Finding firstFailure;      // why the first failed row gave no record
  std::string outputError;   // with OutputFailed
  std::string readError;     // with ReadFailed: why the table could not be read
  std::int64_t cutBytes = 0; // a partial record cut from the end of the existing output file
  std::int64_t warned = 0;   // records written with warnings
  std::int64_t noted = 0;    // records written with notes only
  std::int64_t merged = 0;   // rows merged into an earlier row's record (reported, not failed)
  std::int64_t held = 0;     // rows the library holds already (skipped, converted or items only)
  std::int64_t heldSkipped = 0;  // of those, rows that gave no record (reported, not failed)
  std::int64_t existing = 0; // records the output file held before, appended to
  bool refused = false;      // with OutputFailed: the file's records cannot be appended to (untouched)
  output::ExistingOutput refusal;  // with refused: what the file holds and why
  std::int64_t unencodable = 0;     // characters the encoding could not hold, over all rows
  std::int64_t unencodableRows = 0; // rows with such characters
  std::int64_t privateUse = 0;      // private-use characters written as they are, over all rows
  std::int64_t privateUseRows = 0;  // rows with such characters
  std::vector<RowReport> report;  // every row with a finding, in row order (with RunInput::keepReport)
  std::map<Kind, std::int64_t> counts;  // rows by the kinds of their findings
  std::vector<Finding> runFindings;     // about the run's settings, told once
  std::int64_t searches = 0;       // queries sent to catalogues
  std::int64_t cachedAnswers = 0;  // catalogue answers taken from the cache
};

struct RunCallbacks {
  // Row k of m has been written (or has failed); may be called from any thread, often.
  std::function<void(std::int64_t k, std::int64_t m)> progress;
  // Set to stop the run after the record being written.
  const std::atomic<bool>* stop = nullptr;
  // Given, it holds the records written so far, updated with each batch.
  std::atomic<std::int64_t>* written = nullptr;
  // Row k of m has been looked up in the catalogues (before any is composed); any thread.
  std::function<void(std::int64_t k, std::int64_t m)> lookingUp;
};

// Which of the fields a run needs are mapped (the recommended rules need the title only).
struct RequiredFields {
  bool title = false, isbn = false, price = false;
};
RequiredFields RequiredMapped(const std::vector<std::string>& mapping, Rules rules);

// The two checks a run makes before it touches anything: Finished when both pass.
RunOutcome CheckRun(const RunInput& input);

// One row's record as it would be written, without writing anything: the record (empty when the
// row gives none), its readable listing, its findings (with no record, the error).
struct RowPreview {
  std::string record, listing;
  std::vector<Finding> findings;
  bool merged = false;  // no record: the row repeats an earlier one, whose record stands for it
  std::string copiedFrom;  // the catalogue the record was copied from, if any
};
RowPreview PreviewRow(const RunInput& input, std::int64_t row);  // row from 0

// Whether the first records `existing` holds are the ones this run would write first (the same
// table converted again). Compared field by field without what differs from day to day: the
// record's id (001), its time (005), the date it was entered (100 $a/0-7) and 801 $c.
bool RepeatsExistingRecords(const RunInput& input, const output::ExistingOutput& existing);

// Runs the conversion. Nothing here words or shows a message: the caller does (words/). Without
// lookups a table still being read is used as its rows come: the classic rules convert them, the
// recommended rules look for repeats among them and convert once the table is whole. Lookups need
// the table whole first.
RunResult RunConversion(const RunInput& input, const RunCallbacks& callbacks = {});

}  // namespace rowcaster::convert
