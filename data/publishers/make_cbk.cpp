// Builds the publisher database cbk.db (SQLite) from publishers.csv: table cbk with the columns
// c_sbn, c_cbs, c_cbd and c_cbno, in the order of the file, each searched column indexed.
// Text is compared without regard to the case of Latin letters, as the original Jet file did.
//
//   make_cbk publishers.csv cbk.db

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

static bool Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "make_cbk: %s\n", error ? error : "sqlite error");
    sqlite3_free(error);
    return false;
  }
  return true;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_cbk publishers.csv cbk.db\n");
    return 2;
  }
  std::ifstream csv(argv[1]);
  if (!csv) {
    std::fprintf(stderr, "make_cbk: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string tmp = std::string(argv[2]) + ".tmp";
  std::remove(tmp.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(tmp.c_str(), &db) != SQLITE_OK) {
    std::fprintf(stderr, "make_cbk: cannot create %s\n", tmp.c_str());
    return 1;
  }
  bool ok = Exec(db,
                 "create table cbk (c_sbn text collate nocase, c_cbs text collate nocase, "
                 "c_cbd text collate nocase, c_cbno text);"
                 "begin;");
  sqlite3_stmt* insert = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "insert into cbk values (?, ?, ?, ?)", -1, &insert, nullptr) == SQLITE_OK;
  std::string line;
  int lineNo = 0, rows = 0;
  while (ok && std::getline(csv, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNo == 1) {
      if (line != "c_sbn,c_cbs,c_cbd,c_cbno") {
        std::fprintf(stderr, "make_cbk: unexpected header '%s'\n", line.c_str());
        ok = false;
      }
      continue;
    }
    if (line.empty()) continue;
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
      const std::size_t comma = line.find(',', start);
      fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (fields.size() != 4) {
      std::fprintf(stderr, "make_cbk: line %d has %zu fields, not 4\n", lineNo, fields.size());
      ok = false;
      break;
    }
    for (int i = 0; i < 4; ++i) sqlite3_bind_text(insert, i + 1, fields[i].c_str(), -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_reset(insert);
    ++rows;
  }
  sqlite3_finalize(insert);
  ok = ok && Exec(db,
                  "commit;"
                  "create index cbk_sbn on cbk (c_sbn);"
                  "create index cbk_cbs on cbk (c_cbs);"
                  "create index cbk_cbd on cbk (c_cbd);");
  sqlite3_close(db);
  if (!ok || std::rename(tmp.c_str(), argv[2]) != 0) {
    std::remove(tmp.c_str());
    std::fprintf(stderr, "make_cbk: failed to build %s\n", argv[2]);
    return 1;
  }
  std::printf("make_cbk: %d publishers into %s\n", rows, argv[2]);
  return 0;
}
