#pragma once
// A bibliographic record as the builder fills it and the writers walk it: the leader, then fields
// in output order. Text is UTF-8; the writers encode it.

#include <cstddef>
#include <string>
#include <vector>

namespace rowcaster::iso2709 {

struct Subfield {
  std::string code;  // one character
  std::string data;
};

struct Field {
  std::string tag;         // three digits
  std::string indicators;  // a data field's two characters (as the work form gave them); empty for 001-009
  std::string data;        // a control field's data
  std::vector<Subfield> subfields;
  std::size_t line = 0;    // the work-form line it came from, counted from 1; 0 when it has none

  bool IsControl() const { return tag < "010"; }
};

struct Record {
  // 24 characters; positions 0-4 (record length) and 12-16 (base address) are the writer's.
  std::string leader;
  std::vector<Field> fields;
};

}  // namespace rowcaster::iso2709
