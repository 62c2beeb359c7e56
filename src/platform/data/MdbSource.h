#pragma once
// Access/Jet databases (.mdb, Jet 3 and Jet 4) through mdbtools. Jet 3 text is read in the system
// code page (GBK), Jet 4 text is UTF-16.

#include <memory>
#include <string>

#include "platform/data/Connection.h"

namespace rowcaster::data {

std::unique_ptr<Connection> OpenMdb(const std::string& path);

}  // namespace rowcaster::data
