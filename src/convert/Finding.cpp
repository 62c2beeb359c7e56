#include "convert/Finding.h"

namespace rowcaster::convert {

Level LevelOf(Kind kind) {
  switch (kind) {
    case Kind::NoTitle:
    case Kind::PublisherTableMissing:
    case Kind::PublisherTableUnusable:
    case Kind::PinyinUnavailable:
    case Kind::RecordNotBuilt:
    case Kind::RecordNotWritten:
    case Kind::RecordEmpty:
    case Kind::OutOfMemory:
    case Kind::RowCrashed:
    case Kind::NoSuchRow:
    case Kind::NotABook:
    case Kind::FieldTooLong: return Level::Error;
    case Kind::IsbnCheckDigit:
    case Kind::NotAnIsbn:
    case Kind::PriceUnreadable:
    case Kind::NoYear:
    case Kind::DateWithoutYear:
    case Kind::Unencodable:
    case Kind::XmlControlCharacters:
    case Kind::NameFragment:
    case Kind::ShopTitle:
    case Kind::IsbnOldCheckDigit:
    case Kind::SizeUnreadable:
    case Kind::NotAClassNumber:
    case Kind::LanguageUnknown:
    case Kind::OriginalLanguageUnknown:
    case Kind::NoAgencyCode:
    case Kind::BarcodesUnreadable:
    case Kind::CopiesDisagree:
    case Kind::NotCopied:
    case Kind::CopyRejected:
    case Kind::CopyUnreadable:
    case Kind::TargetUnavailable:
    case Kind::PlaceUnknown:
    case Kind::PublisherAbbreviated:
    case Kind::DuplicateRow:
    case Kind::SameTitleOtherIsbn:
    case Kind::PrivateUseKept:
    case Kind::HeldSkipped:
    case Kind::HeldConverted:
    case Kind::HeldItemsOnly: return Level::Warning;
    case Kind::TranslatorInferred:
    case Kind::NotAPerson:
    case Kind::SamePersonOnce:
    case Kind::TitleSplit:
    case Kind::TitlePartMoved:
    case Kind::YearFromSerial:
    case Kind::SizeConverted:
    case Kind::YearFromDateSerial:
    case Kind::RoleAssumed:
    case Kind::OriginalLanguageFromMark:
    case Kind::PlaceholderDropped:
    case Kind::BarReplaced:
    case Kind::LookAlikeFolded:
    case Kind::CopiedFrom:
    case Kind::CopyConflict:
    case Kind::PublisherNotAName:
    case Kind::PublisherFromIsbn:
    case Kind::PublisherCompleted:
    case Kind::RowsMerged:
    case Kind::PartFromVolumeColumn:
    case Kind::CopyAlternatives: return Level::Note;
  }
  return Level::Error;
}

Finding MakeFinding(Kind kind, std::string field, std::vector<std::string> values) {
  return {LevelOf(kind), kind, std::move(field), std::move(values)};
}

std::string_view KindCode(Kind kind) {
  switch (kind) {
    case Kind::NoTitle: return "no-title";
    case Kind::PublisherTableMissing: return "publisher-table-missing";
    case Kind::PublisherTableUnusable: return "publisher-table-unusable";
    case Kind::PinyinUnavailable: return "pinyin-unavailable";
    case Kind::RecordNotBuilt: return "record-not-built";
    case Kind::RecordNotWritten: return "record-not-written";
    case Kind::RecordEmpty: return "record-empty";
    case Kind::OutOfMemory: return "out-of-memory";
    case Kind::RowCrashed: return "row-crashed";
    case Kind::NoSuchRow: return "no-such-row";
    case Kind::IsbnCheckDigit: return "isbn-check-digit";
    case Kind::NotAnIsbn: return "not-an-isbn";
    case Kind::PriceUnreadable: return "price-unreadable";
    case Kind::NoYear: return "no-year";
    case Kind::DateWithoutYear: return "date-without-year";
    case Kind::Unencodable: return "unencodable";
    case Kind::XmlControlCharacters: return "xml-control-characters";
    case Kind::NameFragment: return "name-fragment";
    case Kind::TranslatorInferred: return "translator-inferred";
    case Kind::NotAPerson: return "not-a-person";
    case Kind::SamePersonOnce: return "same-person-once";
    case Kind::NotABook: return "not-a-book";
    case Kind::ShopTitle: return "shop-title";
    case Kind::IsbnOldCheckDigit: return "isbn-old-check-digit";
    case Kind::SizeUnreadable: return "size-unreadable";
    case Kind::NotAClassNumber: return "not-a-class-number";
    case Kind::TitleSplit: return "title-split";
    case Kind::TitlePartMoved: return "title-part-moved";
    case Kind::YearFromSerial: return "year-from-serial";
    case Kind::SizeConverted: return "size-converted";
    case Kind::YearFromDateSerial: return "year-from-date-serial";
    case Kind::RoleAssumed: return "role-assumed";
    case Kind::LanguageUnknown: return "language-unknown";
    case Kind::OriginalLanguageUnknown: return "original-language-unknown";
    case Kind::OriginalLanguageFromMark: return "original-language-from-mark";
    case Kind::NoAgencyCode: return "no-agency-code";
    case Kind::PlaceholderDropped: return "placeholder";
    case Kind::BarReplaced: return "bar-replaced";
    case Kind::LookAlikeFolded: return "look-alike-folded";
    case Kind::FieldTooLong: return "field-too-long";
    case Kind::BarcodesUnreadable: return "barcodes-unreadable";
    case Kind::CopiesDisagree: return "copies-disagree";
    case Kind::NotCopied: return "not-copied";
    case Kind::CopyRejected: return "copy-rejected";
    case Kind::CopyUnreadable: return "copy-unreadable";
    case Kind::TargetUnavailable: return "target-unavailable";
    case Kind::CopiedFrom: return "copied-from";
    case Kind::CopyConflict: return "copy-conflict";
    case Kind::PlaceUnknown: return "place-unknown";
    case Kind::PublisherAbbreviated: return "publisher-abbreviated";
    case Kind::PublisherNotAName: return "publisher-not-a-name";
    case Kind::DuplicateRow: return "duplicate-row";
    case Kind::SameTitleOtherIsbn: return "same-title-other-isbn";
    case Kind::PublisherFromIsbn: return "publisher-from-isbn";
    case Kind::PublisherCompleted: return "publisher-completed";
    case Kind::RowsMerged: return "rows-merged";
    case Kind::PartFromVolumeColumn: return "part-from-volume-column";
    case Kind::PrivateUseKept: return "private-use-kept";
    case Kind::HeldSkipped: return "held-skipped";
    case Kind::CopyAlternatives: return "copy-alternatives";
    case Kind::HeldConverted: return "held-converted";
    case Kind::HeldItemsOnly: return "held-items-only";
  }
  return "unknown";
}

const Finding* FirstError(const std::vector<Finding>& findings) {
  for (const Finding& f : findings)
    if (f.level == Level::Error) return &f;
  return nullptr;
}

}  // namespace rowcaster::convert
