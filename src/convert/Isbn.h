#pragma once
// ISBNs as cataloguers' tables hold them ("ISBN 978-7-302-12345-3", "9787302123453", "7302123458",
// a number cell, a lower-case x), checked and hyphenated by the ranges of the ISBN agency.

#include <string>
#include <string_view>

namespace rowcaster::convert {

struct Isbn {
  enum class Kind {
    None,     // nothing that looks like an ISBN (empty, 0, 111, a URL, words)
    Valid,    // 10 or 13 digits with a right check digit
    Invalid,  // 10 or 13 digits, but the check digit is wrong
  };
  Kind kind = Kind::None;
  std::string digits;  // the 10 or 13 characters, X upper-case
  std::string text;    // Valid: hyphenated where the ranges know the group; otherwise the digits
};

Isbn ParseIsbn(std::string_view value);

// The digits hyphenated as group-registrant-publication-check (with the 978/979 prefix for a
// 13-digit ISBN); the digits as they are when the ranges do not know the group.
std::string HyphenateIsbn(std::string_view digits);

}  // namespace rowcaster::convert
