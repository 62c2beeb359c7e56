#include "catalogue/Lookup.h"

#include <yaz/yconfig.h>
#include <yaz/zoom.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "catalogue/Cache.h"
#include "catalogue/TitleMatch.h"
#include "convert/Isbn.h"
#include "iso2709/Listing.h"
#include "catalogue/Held.h"
#include "iso2709/MarcXmlReader.h"

namespace rowcaster::catalogue {
namespace {

constexpr int kMostHits = 10;  // records fetched a search; the best title among them is taken

struct Query {
  std::string text;
  bool cql = false;
  std::string isbn13;  // the cache's key; empty for a title search
};

// A term as PQF and CQL quote it: without the quote and the escape character.
std::string Quoted(std::string_view term) {
  std::string out = "\"";
  for (const char c : term)
    if (c != '"' && c != '\\') out += c;
  return out + "\"";
}

// Every form of the ISBN in one query, or the title and first author; nothing to ask by otherwise.
std::optional<Query> QueryFor(const Target& target, const Wanted& w, bool byTitle) {
  const bool cql = target.protocol == Protocol::Sru;
  Query q;
  q.cql = cql;
  const convert::Isbn isbn = convert::ParseIsbn(w.isbn);
  const std::vector<std::string> forms = convert::IsbnForms(isbn);
  if (!forms.empty()) {
    q.isbn13 = convert::Isbn13(isbn);
    for (std::size_t k = 0; k < forms.size(); ++k) {
      if (cql) q.text += (k ? " or " : "") + std::string("bath.isbn=") + Quoted(forms[k]);
      else q.text = (k ? "@or " : "") + q.text + " @attr 1=7 " + Quoted(forms[k]);
    }
    return q;
  }
  if (!byTitle || NormalTitle(w.title).empty()) return std::nullopt;
  const bool author = !NormalTitle(w.author).empty();
  if (cql) {
    q.text = "dc.title=" + Quoted(w.title) + (author ? " and dc.creator=" + Quoted(w.author) : "");
  } else {
    q.text = "@attr 1=4 " + Quoted(w.title);
    if (author) q.text = "@and " + q.text + " @attr 1=1003 " + Quoted(w.author);
  }
  return q;
}

void ReadError(ZOOM_connection c, TargetFailure& failure) {
  const char* message = nullptr;
  const char* addinfo = nullptr;
  failure.code = ZOOM_connection_error(c, &message, &addinfo);
  failure.message = message ? message : "";
  if (addinfo && *addinfo) failure.message += std::string(failure.message.empty() ? "" : ": ") + addinfo;
}

// One connection to one target, opened when first used and kept for the next searches.
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { Close(); }

  // The raw records of the query's first hits; false with `failure` when the target failed.
  bool Search(const Target& t, const Query& query, int timeout, std::vector<std::string>& raw, TargetFailure& failure) {
    raw.clear();
    if (!c_ && !Open(t, timeout, failure)) return false;
    ZOOM_query q = ZOOM_query_create();
    if (query.cql) ZOOM_query_cql(q, query.text.c_str());
    else ZOOM_query_prefix(q, query.text.c_str());
    ZOOM_resultset r = ZOOM_connection_search(c_, q);
    ZOOM_query_destroy(q);
    bool ok = ZOOM_connection_error(c_, nullptr, nullptr) == 0;
    const std::size_t n = ok ? std::min<std::size_t>(ZOOM_resultset_size(r), kMostHits) : 0;
    for (std::size_t i = 0; ok && i < n; ++i) {
      ZOOM_record rec = ZOOM_resultset_record(r, i);
      ok = ZOOM_connection_error(c_, nullptr, nullptr) == 0;
      int len = 0;
      const char* bytes = rec ? ZOOM_record_get(rec, "raw", &len) : nullptr;
      if (bytes && len > 0) raw.emplace_back(bytes, static_cast<std::size_t>(len));
    }
    if (!ok) ReadError(c_, failure);
    ZOOM_resultset_destroy(r);
    if (!ok) Close();  // a connection that failed is not trusted again
    return ok;
  }

 private:
  bool Open(const Target& t, int timeout, TargetFailure& failure) {
    ZOOM_options o = ZOOM_options_create();
    ZOOM_options_set(o, "timeout", std::to_string(std::max(1, timeout)).c_str());
    ZOOM_options_set(o, "count", std::to_string(kMostHits).c_str());
    ZOOM_options_set(o, "databaseName", t.database.c_str());
    ZOOM_options_set(o, "elementSetName", t.elementSet.c_str());
    ZOOM_options_set(o, "preferredRecordSyntax", t.syntax == Syntax::Unimarc ? "unimarc" : "xml");
    if (!t.user.empty()) ZOOM_options_set(o, "user", t.user.c_str());
    if (!t.password.empty()) ZOOM_options_set(o, "password", t.password.c_str());
    std::string host = t.host + ":" + std::to_string(t.port);
    if (t.protocol == Protocol::Sru) {
      ZOOM_options_set(o, "sru", "get");
      ZOOM_options_set(o, "schema", "marcxml");
      host = "http://" + host + "/" + t.database;
    }
    c_ = ZOOM_connection_create(o);
    ZOOM_options_destroy(o);
    ZOOM_connection_connect(c_, host.c_str(), 0);
    if (ZOOM_connection_error(c_, nullptr, nullptr) == 0) return true;
    ReadError(c_, failure);
    Close();
    return false;
  }
  void Close() {
    if (c_) ZOOM_connection_destroy(c_);
    c_ = nullptr;
  }
  ZOOM_connection c_ = nullptr;
};

// What every lookup thread shares.
struct Shared {
  Shared(const std::vector<Target>& t, const std::vector<Wanted>& w, const LookupSettings& s, const LookupCallbacks& c,
         Cache& k)
      : targets(t), wanted(w), settings(s), callbacks(c), cache(k),
        down(std::make_unique<std::atomic<bool>[]>(t.size())), results(w.size()) {
    for (const Target& target : t) keys.push_back(TargetUrl(target));
  }
  const std::vector<Target>& targets;
  const std::vector<Wanted>& wanted;
  const LookupSettings& settings;
  const LookupCallbacks& callbacks;
  Cache& cache;
  std::vector<std::string> keys;  // each target's URL, the cache's key
  std::unique_ptr<std::atomic<bool>[]> down;
  std::atomic<std::size_t> next{0};
  std::atomic<std::int64_t> done{0}, searches{0}, cached{0};
  std::mutex mutex;
  std::vector<TargetFailure> failures;
  std::vector<LookupResult> results;
};

void MarkDown(Shared& s, std::size_t t, TargetFailure failure) {
  if (s.down[t].exchange(true)) return;  // told once: the first failure says why
  failure.target = t;
  std::lock_guard<std::mutex> lock(s.mutex);
  s.failures.push_back(std::move(failure));
}

// What target `t` holds for the row: from the cache, else asked. Nothing when it failed or is down.
std::optional<std::vector<std::string>> Answer(Shared& s, std::vector<Connection>& connections, std::size_t t,
                                               const Query& query, bool& fromCache) {
  fromCache = false;
  if (auto kept = s.cache.Get(s.keys[t], query.isbn13)) {
    fromCache = true;
    ++s.cached;
    return kept;
  }
  if (s.down[t]) return std::nullopt;
  std::vector<std::string> raw;
  TargetFailure failure;
  ++s.searches;
  if (!connections[t].Search(s.targets[t], query, s.settings.timeoutSeconds, raw, failure)) {
    MarkDown(s, t, std::move(failure));
    return std::nullopt;
  }
  s.cache.Put(s.keys[t], query.isbn13, raw);
  return raw;
}

// One row through the targets in order: the first record whose title fits wins.
LookupResult LookUpRow(Shared& s, std::vector<Connection>& connections, const Wanted& w) {
  LookupResult out;
  bool asked = false, failed = false;
  for (std::size_t t = 0; t < s.targets.size(); ++t) {
    const std::optional<Query> query = QueryFor(s.targets[t], w, s.settings.byTitle);
    if (!query) return out;
    bool fromCache = false;
    const auto raw = Answer(s, connections, t, *query, fromCache);
    if (!raw) {
      failed = true;
      continue;
    }
    asked = true;
    std::size_t unreadable = 0;
    std::vector<iso2709::Record> records = DecodeRecords(s.targets[t], *raw, unreadable);
    if (const int best = BestFit(records, w.title); best >= 0) {
      for (std::size_t k = 0; k < records.size(); ++k)
        if (k != static_cast<std::size_t>(best) && TitleFit(records[k], w.title) > 0) {
          const std::string id = RecordId(records[k]);
          out.others.push_back(id.empty() ? RecordTitle(records[k]) : id);
        }
      out.status = LookupStatus::Found;
      out.record = std::move(records[static_cast<std::size_t>(best)]);
      out.target = t;
      out.cached = fromCache;
      return out;
    }
    if (!records.empty() && out.status != LookupStatus::TitleMismatch) {
      out.status = LookupStatus::TitleMismatch;
      out.target = t;
      out.otherTitle = RecordTitle(records.front());
    } else if (records.empty() && unreadable > 0 && out.status == LookupStatus::NotAsked) {
      out.status = LookupStatus::Unreadable;
      out.target = t;
    }
  }
  if (out.status == LookupStatus::NotAsked) out.status = asked || !failed ? LookupStatus::NotFound : LookupStatus::Unavailable;
  return out;
}

void Work(Shared& s) {
  std::vector<Connection> connections(s.targets.size());
  const auto total = static_cast<std::int64_t>(s.wanted.size());
  for (;;) {
    if (s.callbacks.stop && s.callbacks.stop->load()) return;
    const std::size_t row = s.next++;
    if (row >= s.wanted.size()) return;
    s.results[row] = LookUpRow(s, connections, s.wanted[row]);
    const std::int64_t done = ++s.done;
    if (s.callbacks.progress) s.callbacks.progress(done, total);
  }
}

}  // namespace

std::vector<iso2709::Record> DecodeRecords(const Target& target, const std::vector<std::string>& raw,
                                           std::size_t& unreadable) {
  std::vector<iso2709::Record> records;
  unreadable = 0;
  for (const std::string& bytes : raw) {
    const std::size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start != std::string::npos && bytes[start] == '<') {
      std::vector<iso2709::Record> read;
      if (iso2709::ReadMarcXml(bytes, read) && !read.empty()) {
        for (auto& r : read) records.push_back(std::move(r));
        continue;
      }
    } else {
      iso2709::Record r;
      if (iso2709::ReadRecord(bytes, r, target.charset) && iso2709::SaneRecord(r)) {
        records.push_back(std::move(r));
        continue;
      }
    }
    ++unreadable;
  }
  return records;
}

LookupRun LookUp(const std::vector<Target>& targets, const std::vector<Wanted>& wanted, const LookupSettings& settings,
                 const LookupCallbacks& callbacks) {
  static std::once_flag yaz;
  std::call_once(yaz, yaz_init_globals);
  Cache cache(settings.cachePath, settings.cacheDays, settings.now);
  Shared s(targets, wanted, settings, callbacks, cache);
  const std::size_t threads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(1, settings.connections)), 1,
                                                      std::max<std::size_t>(1, wanted.size()));
  std::vector<std::thread> pool;
  try {
    for (std::size_t k = 1; k < threads; ++k) pool.emplace_back([&s] { Work(s); });
  } catch (const std::system_error&) {
    // Fewer threads than asked for: the ones started and this one do the work.
  }
  Work(s);
  for (std::thread& t : pool) t.join();
  cache.Flush();
  LookupRun run;
  run.results = std::move(s.results);
  run.failures = std::move(s.failures);
  run.searches = s.searches;
  run.cached = s.cached;
  run.stopped = callbacks.stop && callbacks.stop->load() && s.done < static_cast<std::int64_t>(wanted.size());
  return run;
}

std::vector<iso2709::Record> Search(const Target& target, const Wanted& wanted, const LookupSettings& settings,
                                    TargetFailure& failure) {
  static std::once_flag yaz;
  std::call_once(yaz, yaz_init_globals);
  const std::optional<Query> query = QueryFor(target, wanted, true);
  if (!query) return {};
  Connection connection;
  std::vector<std::string> raw;
  if (!connection.Search(target, *query, settings.timeoutSeconds, raw, failure)) return {};
  std::size_t unreadable = 0;
  return DecodeRecords(target, raw, unreadable);
}

bool TestTarget(const Target& target, int timeoutSeconds, TargetFailure& failure) {
  LookupSettings settings;
  settings.timeoutSeconds = timeoutSeconds;
  failure = {};
  Search(target, {"9787020002207", "", ""}, settings, failure);
  return failure.code == 0;
}

}  // namespace rowcaster::catalogue
