#pragma once
// dBASE III/IV, FoxPro 2.x and Visual FoxPro tables (.dbf), with memo files (.fpt, .dbt).

#include <memory>
#include <string>

#include "platform/data/Connection.h"

namespace rowcaster::data {

// A connection to the folder `folder`; its queries name a table file ("select * from books.dbf").
std::unique_ptr<Connection> OpenDbfFolder(const std::string& folder, bool hideDeleted);

// The Windows code page that a table's language-driver byte names (0: the system code page).
int DbfCodePage(unsigned char languageDriver);

// The rows of one table file.
std::unique_ptr<RowSet> OpenDbfTable(const std::string& path, bool hideDeleted);

}  // namespace rowcaster::data
