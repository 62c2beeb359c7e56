#pragma once
// Whether a catalogue record is the book a row describes: its title (200 $a, with what follows in
// $e, $h and $i) against the row's title, both normalised.

#include <string>
#include <string_view>
#include <vector>

#include "iso2709/Record.h"

namespace rowcaster::catalogue {

// The title without blanks and punctuation, full-width letters and digits as ASCII, lower case,
// traditional characters as simplified.
std::string NormalTitle(std::string_view title);

// How well a record's title fits the row's: 0 not at all; 1 one is the start of the other (the
// row has a subtitle, a volume, or only the first words); 2 the title with its subtitle or parts
// is the row's; 3 the same title. A row without a title fits any record at 1.
int TitleFit(const iso2709::Record& record, std::string_view rowTitle);

// The first 200 $a of a record, or the empty text.
std::string RecordTitle(const iso2709::Record& record);
// The first run of four digits: the year of 210 $d ("2019.5", "c2019"); empty when there is none.
std::string FirstYear(std::string_view date);
// The first `tag` $`code` of a record, or the empty text.
std::string FirstSubfield(const iso2709::Record& record, std::string_view tag, std::string_view code);

// The record (index into `records`) that fits the row's title best, or -1 when none fits.
int BestFit(const std::vector<iso2709::Record>& records, std::string_view rowTitle);

}  // namespace rowcaster::catalogue
