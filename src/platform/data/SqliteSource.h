#pragma once
// SQLite files behind a Jet connection string (the shipped publisher database cbk.db).

#include <memory>
#include <string>

#include "platform/data/Connection.h"

namespace rowcaster::data {

std::unique_ptr<Connection> OpenSqlite(const std::string& path);

}  // namespace rowcaster::data
