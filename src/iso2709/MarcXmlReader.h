#pragma once
// Records from MARCXML (the MARC21 slim schema, with or without its namespace), as catalogue
// servers send them: untrusted text, read with the limits an ISO 2709 record has.

#include <string_view>
#include <vector>

#include "iso2709/Record.h"

namespace rowcaster::iso2709 {

// The records of a MARCXML document (a <record>, or a <collection> of them); false, with nothing
// in `records`, when the text is not well-formed MARCXML or a record exceeds a record's limits.
bool ReadMarcXml(std::string_view xml, std::vector<Record>& records);

// Whether a record read from outside is one our writers can write: a 24-character leader, tags
// of three letters or digits, data fields with two indicators and one-character subfield codes,
// valid UTF-8, no record or field marks in the data, at most 99999 bytes of data.
bool SaneRecord(const Record& record);

}  // namespace rowcaster::iso2709
