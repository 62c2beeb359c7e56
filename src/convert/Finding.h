#pragma once
// What the conversion tells about a row, as data: a level, a stable kind, the field it is about and
// the values involved. The core never words a finding; the window, the command line, the report
// file and the preview do (words/), so one finding reads the same everywhere.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::convert {

enum class Level {
  Error,    // the row gives no record
  Warning,  // the record is written; look here
  Note,     // the rules inferred or changed something
};

// Stable kinds: report files carry their codes (KindCode), so a kind is never renumbered or
// renamed; new ones are added.
enum class Kind {
  // Errors: no record.
  NoTitle,              // the recommended rules need a title
  PublisherTableMissing,  // no publisher table was given to the composition
  PublisherTableUnusable, // values: what the database said
  PinyinUnavailable,    // values: why the dictionary could not be loaded
  RecordNotBuilt,       // values: the builder's reason
  RecordNotWritten,     // values: the writer's reason
  RecordEmpty,          // the composition gave nothing to build
  OutOfMemory,
  RowCrashed,           // values: what went wrong, when known
  NoSuchRow,            // values: the row asked for, from 1
  NotABook,             // field 200 $a; values: the title of a total or end row (合计, 结束)
  FieldTooLong,         // the field's tag; values: the tag, its bytes, and where known the subfield's name and the column
  // Warnings.
  IsbnCheckDigit,       // field 010 $z; values: the ISBN
  NotAnIsbn,            // field 010; values: the cell
  PriceUnreadable,      // field 010 $d; values: the cell
  NoYear,               // field 100 $a
  DateWithoutYear,      // field 100 $a; values: the date
  Unencodable,          // values: how many, the encoding's name, the characters
  XmlControlCharacters, // values: how many, the characters
  NameFragment,         // field 7XX; values: a piece of a name that names nobody ("S.")
  ShopTitle,            // field 200 $a: a shop listing's title, written as given
  IsbnOldCheckDigit,    // field 010 $z; values: the 13 digits, the ISBN-10 they probably are
  SizeUnreadable,       // field 215 $d; values: the cell, written as given
  NotAClassNumber,      // field 690; values: the cell
  LanguageUnknown,      // field 101 $a: a title without Han characters, no language given; values: the title
  OriginalLanguageUnknown,  // field 101 $c: a translation from an unknown language; values: the mark, if any
  BarcodesUnreadable,   // field 905 $b; values: the cell, a piece of which reads as no barcode or range
  CopiesDisagree,       // field 905 $f; values: the copies given, the barcodes there are
  NoAgencyCode,         // of the run, not a row: 801 $b and 905 $a are left empty
  NotCopied,            // no catalogue had the row's book: its own record is written (未套录到)
  CopyRejected,         // field 200 $a; values: the catalogue, its title, the row's title: a hit under another title
  CopyUnreadable,       // values: the catalogue: its records could not be read; the row's own record is written
  TargetUnavailable,    // of the run; values: the catalogue, the error code, what yaz and the server said
  PlaceUnknown,         // field 210 $a: no place in the row or the publisher table
  PublisherAbbreviated, // field 210 $c; values: the cell, a name in the publisher table that holds it
  DuplicateRow,         // the row repeats an earlier one, whose record stands for both; values: that row, from 1
  SameTitleOtherIsbn,   // field 200 $a; values: another row with the title and another ISBN, from 1
  PrivateUseKept,       // values: how many private-use characters were written as they are, the characters
  HeldSkipped,          // no record: the library holds the book; values: the catalogue or export, the held
                        // record's 001, "isbn" or "title" (how it matched)
  HeldConverted,        // the library holds the book, its record is written anyway; values as HeldSkipped
  HeldItemsOnly,        // the library holds the book: a brief record for its items; values as HeldSkipped
  // Notes.
  TranslatorInferred,   // field 702; values: the name taken for the translator's
  NotAPerson,           // field 7XX; values: the placeholder left out (佚名, an image file's name)
  SamePersonOnce,       // field 7XX; values: the name, the role left out
  TitleSplit,           // field 200 $e; values: the title proper, the subtitle
  TitlePartMoved,       // field 205 $a, 200 $h, 200 $i, 010 $b or 215 $a; values: the piece of the title
  YearFromSerial,       // field 100 $a; values: the date, the year its serial number is
  SizeConverted,        // field 215 $d; values: the cell, the height in centimetres
  YearFromDateSerial,   // field 100 $a; values: the serial number, the year of its day
  RoleAssumed,          // field 200 $f; values: the names, apart by 、, that got 著 for want of a role word
  OriginalLanguageFromMark,  // field 101 $c; values: the nationality mark, the language code
  PlaceholderDropped,   // the field of the cell; values: a cell standing for "none" (0, 无, -, an image's name)
  BarReplaced,          // the field of the cell; values: the cell, whose "|" (the subfield mark) is written "｜"
  LookAlikeFolded,      // the field of the cell; values: the cell, as written with look-alikes GBK has
  CopiedFrom,           // values: the catalogue, the source record's 001: the record is the catalogue's
  CopyConflict,         // field 210 $c or 210 $d; values: the row's, the catalogue record's
  PublisherNotAName,    // field 210 $c; values: the cell, which holds an edition or a date
  PublisherFromIsbn,    // field 210 $c; values: the name the ISBN's publisher prefix gives
  PublisherCompleted,   // field 210 $c; values: the cell, the name the ISBN's publisher prefix gives
  RowsMerged,           // values: the later rows that repeat this one ("12、40"), the copies added up for
                        // 905 $f (empty without a copies column), a copies cell that could not be added
  PartFromVolumeColumn, // field 200 $h; values: the volume column's value, taken for a volume of a set
  CopyAlternatives,     // values: the catalogue, then the ids of its other records that fit the row less well
};

// Every kind, for those who go through them all.
inline constexpr Kind kKinds[] = {
    Kind::NoTitle,        Kind::PublisherTableMissing, Kind::PublisherTableUnusable, Kind::PinyinUnavailable,
    Kind::RecordNotBuilt, Kind::RecordNotWritten,      Kind::RecordEmpty,            Kind::OutOfMemory,
    Kind::RowCrashed,     Kind::NoSuchRow,             Kind::IsbnCheckDigit,         Kind::NotAnIsbn,
    Kind::PriceUnreadable, Kind::NoYear,               Kind::DateWithoutYear,        Kind::Unencodable,
    Kind::XmlControlCharacters, Kind::NameFragment,    Kind::TranslatorInferred,     Kind::NotAPerson,
    Kind::SamePersonOnce, Kind::NotABook,              Kind::ShopTitle,              Kind::IsbnOldCheckDigit,
    Kind::SizeUnreadable, Kind::NotAClassNumber,       Kind::TitleSplit,             Kind::TitlePartMoved,
    Kind::YearFromSerial, Kind::SizeConverted,         Kind::YearFromDateSerial,
    Kind::RoleAssumed,    Kind::LanguageUnknown,       Kind::OriginalLanguageUnknown, Kind::OriginalLanguageFromMark,
    Kind::NoAgencyCode,   Kind::PlaceholderDropped,    Kind::BarReplaced,
    Kind::LookAlikeFolded, Kind::FieldTooLong,  Kind::BarcodesUnreadable,   Kind::CopiesDisagree,
    Kind::NotCopied,      Kind::CopyRejected,
    Kind::CopyUnreadable, Kind::TargetUnavailable,     Kind::CopiedFrom,             Kind::CopyConflict,
    Kind::PlaceUnknown,   Kind::PublisherAbbreviated, Kind::PublisherNotAName, Kind::PublisherFromIsbn,  Kind::PublisherCompleted,
    Kind::DuplicateRow,   Kind::SameTitleOtherIsbn,    Kind::RowsMerged,             Kind::PartFromVolumeColumn,
    Kind::CopyAlternatives, Kind::PrivateUseKept, Kind::HeldSkipped,          Kind::HeldConverted,          Kind::HeldItemsOnly,
};

struct Finding {
  Level level = Level::Warning;
  Kind kind = Kind::RowCrashed;
  std::string field;                // "010 $z"; empty when the finding is about the row
  std::vector<std::string> values;  // UTF-8
};

// A finding's level as the kind gives it.
Level LevelOf(Kind kind);
Finding MakeFinding(Kind kind, std::string field = {}, std::vector<std::string> values = {});

// "isbn-check-digit" …: the kind's code in report files.
std::string_view KindCode(Kind kind);

// The first error among `findings`, or nullptr.
const Finding* FirstError(const std::vector<Finding>& findings);

}  // namespace rowcaster::convert
