#pragma once
// Looking books up in catalogues (套录) over Z39.50 or SRU with yaz's ZOOM: by ISBN (ISBN-13,
// ISBN-10 and their hyphenated forms in one query), or by title and first author for rows without
// a valid ISBN when allowed. Several connections work at once, each on its own thread; every wait
// has a time-out, so a server that is down, slow or answers garbage costs at most that long.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/Target.h"
#include "iso2709/Record.h"

namespace rowcaster::catalogue {

struct LookupSettings {
  int timeoutSeconds = 10;  // each wait on a server
  int connections = 8;      // lookups at once
  bool byTitle = false;     // rows without a valid ISBN are searched by title and first author
  std::string cachePath;    // empty: no cache
  int cacheDays = 30;
  std::int64_t now = 0;     // seconds since the epoch, for the cache's age limit
};

// What a row is looked up by.
struct Wanted {
  std::string isbn;  // the row's cell, as it is
  std::string title, author;
};

enum class LookupStatus {
  NotAsked,      // nothing to look up by (no valid ISBN, no title search)
  Found,         // `record` fits the row
  NotFound,      // no target had the book
  TitleMismatch, // a target had the ISBN, but under another title (`otherTitle`)
  Unreadable,    // a target's records could not be read
  Unavailable,   // every target that could have had it failed
};

struct LookupResult {
  LookupStatus status = LookupStatus::NotAsked;
  iso2709::Record record;  // Found: the catalogue's record, UTF-8
  std::size_t target = 0;  // Found, TitleMismatch, Unreadable: which target
  std::string otherTitle;  // TitleMismatch
  std::vector<std::string> others;  // Found: the ids (001) of the target's other records that fit less well
  bool cached = false;     // Found from the cache
};

// A target that failed during the run: later rows did not ask it.
struct TargetFailure {
  std::size_t target = 0;
  int code = 0;          // ZOOM's error code (10000 and up) or the server's diagnostic
  std::string message;   // yaz's text for the code, and what the server added
};

struct LookupRun {
  std::vector<LookupResult> results;  // one a wanted row
  std::vector<TargetFailure> failures;
  std::int64_t searches = 0;  // queries sent
  std::int64_t cached = 0;    // answers taken from the cache
  bool stopped = false;
};

struct LookupCallbacks {
  std::function<void(std::int64_t k, std::int64_t m)> progress;  // any thread
  const std::atomic<bool>* stop = nullptr;
};

LookupRun LookUp(const std::vector<Target>& targets, const std::vector<Wanted>& wanted, const LookupSettings& settings,
                 const LookupCallbacks& callbacks = {});

// The records a target holds for one ISBN (or title and author), without cache or title check:
// for `rowcaster-cli lookup`. `failure` is set when the target failed.
std::vector<iso2709::Record> Search(const Target& target, const Wanted& wanted, const LookupSettings& settings,
                                    TargetFailure& failure);

// Connects and says whether the target answers; `failure` says why not.
bool TestTarget(const Target& target, int timeoutSeconds, TargetFailure& failure);

// The records in the bytes a target sent: ISO 2709 in the target's charset, or MARCXML. Records
// that are not whole or not sane are left out; `unreadable` counts them.
std::vector<iso2709::Record> DecodeRecords(const Target& target, const std::vector<std::string>& raw,
                                           std::size_t& unreadable);

}  // namespace rowcaster::catalogue
