#pragma once
// A small publisher database for tests, written with SQLite like the shipped one.

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestPaths.h"

namespace rowcaster::test {

using CbkRow = std::array<std::string, 4>;  // c_sbn, c_cbs, c_cbd, c_cbno

inline std::string MakeCbk(const std::string& name, const std::vector<CbkRow>& rows) {
  const std::string path = TempPath(name);
  std::remove(path.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create " + path);
  sqlite3_exec(db,
               "create table cbk (c_sbn text collate nocase, c_cbs text collate nocase, c_cbd text collate nocase,"
               " c_cbno text)",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "insert into cbk values (?,?,?,?)", -1, &s, nullptr);
  for (const auto& r : rows) {
    for (int i = 0; i < 4; ++i) sqlite3_bind_text(s, i + 1, r[i].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return path;
}

inline std::string JetConnStr(const std::string& path) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False";
}

}  // namespace rowcaster::test
