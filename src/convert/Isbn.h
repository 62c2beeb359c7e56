#pragma once
// ISBNs as cataloguers' tables hold them ("ISBN 978-7-302-12345-3", "9787302123453", "7302123458",
// a number cell, a lower-case x), checked and hyphenated by the ranges of the ISBN agency.

#include <string>
#include <string_view>
#include <vector>

#include "convert/Finding.h"

namespace rowcaster::convert {

struct Isbn {
  enum class Kind {
    None,     // nothing that looks like an ISBN (empty, 0, 111, a URL, words)
    Valid,    // 10 or 13 digits with a right check digit
    Invalid,  // 10 or 13 digits (X last), but the check digit is wrong or 13 lack the 978/979
  };
  Kind kind = Kind::None;
  std::string digits;  // the 10 or 13 characters, X upper-case
  std::string text;    // Valid: hyphenated where the ranges know the group; otherwise the digits
  std::string isbn10;  // Invalid "978" + an ISBN-10 with its own check digit: that ISBN-10, hyphenated
};

Isbn ParseIsbn(std::string_view value);

// What stands for "no ISBN" in a table: nothing, zeros, dashes or slashes ("0", "-", "0000000000").
bool IsIsbnPlaceholder(std::string_view value);

// The row's ISBN for 010: a wrong one is kept for $z and warned (naming the ISBN-10 a "978" +
// ISBN-10 probably is); a cell that holds no ISBN is warned unless it is a placeholder.
Isbn CheckedIsbn(std::string_view cell, std::vector<Finding>& findings);

// The digits hyphenated as group-registrant-publication-check (with the 978/979 prefix for a
// 13-digit ISBN); the digits as they are when the ranges do not know the group.
std::string HyphenateIsbn(std::string_view digits);

// The 13 digits of a valid ISBN (an ISBN-10 with the 978 prefix); empty for any other.
std::string Isbn13(const Isbn& isbn);
// The forms a catalogue may hold a valid ISBN in: ISBN-13 and ISBN-10 (for 978), each as digits
// and hyphenated, without repeats. None for an ISBN that is not valid.
std::vector<std::string> IsbnForms(const Isbn& isbn);

}  // namespace rowcaster::convert
