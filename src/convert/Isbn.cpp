#include "convert/Isbn.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <vector>

#include "convert/Values.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {

extern const char kIsbnRanges[];  // data/isbn/ranges.tsv, compiled in

namespace {

struct Group {
  std::vector<std::pair<std::string, std::string>> ranges;  // registrant elements, first and last
};

// "978-7" → its registrant ranges.
const std::map<std::string, Group>& Groups() {
  static const std::map<std::string, Group> groups = [] {
    std::map<std::string, Group> g;
    std::istringstream in(kIsbnRanges);
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      const std::size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
      if (tab2 == std::string::npos) continue;
      Group& group = g[line.substr(0, tab1)];
      std::istringstream list(line.substr(tab2 + 1));
      for (std::string range; std::getline(list, range, ',');) {
        const std::size_t dash = range.find('-');
        if (dash != std::string::npos) group.ranges.emplace_back(range.substr(0, dash), range.substr(dash + 1));
      }
    }
    return g;
  }();
  return groups;
}

char Check10(std::string_view d) {
  int sum = 0;
  for (int i = 0; i < 9; ++i) sum += (10 - i) * (d[i] - '0');
  const int c = (11 - sum % 11) % 11;
  return c == 10 ? 'X' : static_cast<char>('0' + c);
}

char Check13(std::string_view d) {
  int sum = 0;
  for (int i = 0; i < 12; ++i) sum += (i % 2 ? 3 : 1) * (d[i] - '0');
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

// Full-width digits and letters as ASCII; other characters as they are.
std::string Narrow(std::string_view value) {
  if (std::all_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(value);  // most cells: nothing to narrow
  return NarrowWith(value, [](char32_t c) { return c; });
}

}  // namespace

std::string HyphenateIsbn(std::string_view digits) {
  const bool thirteen = digits.size() == 13;
  if (!thirteen && digits.size() != 10) return std::string(digits);
  const std::string prefix = thirteen ? std::string(digits.substr(0, 3)) : "978";
  const std::string_view body = thirteen ? digits.substr(3) : digits;  // group … check digit
  for (std::size_t groupLength = 1; groupLength <= 5 && groupLength < body.size(); ++groupLength) {
    const auto it = Groups().find(prefix + "-" + std::string(body.substr(0, groupLength)));
    if (it == Groups().end()) continue;
    const std::string_view rest = body.substr(groupLength, body.size() - groupLength - 1);
    for (const auto& [first, last] : it->second.ranges) {
      if (first.size() >= rest.size()) continue;
      const std::string_view candidate = rest.substr(0, first.size());
      if (candidate < first || candidate > last) continue;
      std::string out = thirteen ? prefix + "-" : std::string();
      out += std::string(body.substr(0, groupLength)) + "-" + std::string(candidate) + "-" +
             std::string(rest.substr(first.size())) + "-" + body.back();
      return out;
    }
    return std::string(digits);  // a group without a range for this registrant: not yet assigned
  }
  return std::string(digits);
}

Isbn ParseIsbn(std::string_view value) {
  std::string v = Narrow(value);
  for (char& c : v) c = text::AsciiLower(c);
  // "ISBN", "ISBN-13:", "ISBN：" before the number.
  if (v.starts_with("isbn")) {
    v.erase(0, 4);
    if (v.starts_with("-13") || v.starts_with("-10")) v.erase(0, 3);
  }
  // A number cell a spreadsheet wrote as "9787302123453.0".
  if (v.size() > 2 && v.ends_with(".0")) v.resize(v.size() - 2);
  std::string digits;
  for (char c : v) {
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c == 'x' && (digits.size() == 9 || digits.size() == 12)) {  // 12: an ISBN-10's X behind 978
      digits += 'X';
    } else if (c == ' ' && digits.size() == 13) {
      break;  // a whole ISBN-13, then a blank: what follows (a second ISBN) is not part of it
    } else if (c == '-' || c == ' ' || c == ':' || c == '.') {
      continue;  // separators
    } else {
      // Anything else (letters of a URL or a word, a second ISBN's separator) ends the number.
      if (digits.size() == 10 || digits.size() == 13) break;
      return {};
    }
    if (digits.size() > 13) return {};
  }
  Isbn isbn;
  if (digits.size() == 13) {
    // Thirteen digits are kept for $z even without the 978/979 prefix: never dropped.
    isbn.digits = digits;
    const bool prefixed = digits.starts_with("978") || digits.starts_with("979");
    isbn.kind = prefixed && Check13(digits) == digits.back() ? Isbn::Kind::Valid : Isbn::Kind::Invalid;
    if (isbn.kind == Isbn::Kind::Invalid && digits.starts_with("978") && Check10(digits.substr(3)) == digits.back())
      isbn.isbn10 = HyphenateIsbn(digits.substr(3));
  } else if (digits.size() == 10 && digits.find('X') >= 9) {
    isbn.digits = digits;
    isbn.kind = Check10(digits) == digits.back() ? Isbn::Kind::Valid : Isbn::Kind::Invalid;
  } else {
    return {};
  }
  isbn.text = isbn.kind == Isbn::Kind::Valid ? HyphenateIsbn(isbn.digits) : isbn.digits;
  return isbn;
}

bool IsIsbnPlaceholder(std::string_view value) {
  // Read up to its first character that is none of 0 - / and blank (full-width ones narrowed).
  for (std::size_t i = 0; i < value.size();) {
    const char32_t c = text::HalfWidth(text::NextCodePoint(value, i));
    if (c != U'0' && c != U'-' && c != U'/' && c != U' ') return false;
  }
  return true;
}

Isbn CheckedIsbn(std::string_view cell, std::vector<Finding>& findings) {
  if (IsIsbnPlaceholder(cell)) {  // "0000000000" even passes the ISBN-10 check
    if (!cell.empty()) findings.push_back(MakeFinding(Kind::PlaceholderDropped, "010 $a", {std::string(cell)}));
    return {};
  }
  const Isbn isbn = ParseIsbn(cell);
  if (isbn.kind == Isbn::Kind::Invalid) {
    findings.push_back(isbn.isbn10.empty() ? MakeFinding(Kind::IsbnCheckDigit, "010 $z", {isbn.text})
                                           : MakeFinding(Kind::IsbnOldCheckDigit, "010 $z", {isbn.text, isbn.isbn10}));
  } else if (isbn.kind == Isbn::Kind::None) {
    findings.push_back(MakeFinding(Kind::NotAnIsbn, "010", {std::string(cell)}));
  }
  return isbn;
}

std::string Isbn13(const Isbn& isbn) {
  if (isbn.kind != Isbn::Kind::Valid) return {};
  if (isbn.digits.size() == 13) return isbn.digits;
  const std::string twelve = "978" + isbn.digits.substr(0, 9);
  return twelve + Check13(twelve);
}

std::vector<std::string> IsbnForms(const Isbn& isbn) {
  std::vector<std::string> forms;
  const std::string thirteen = Isbn13(isbn);
  if (thirteen.empty()) return forms;
  std::vector<std::string> digits{thirteen};
  if (thirteen.starts_with("978")) digits.push_back(thirteen.substr(3, 9) + Check10(thirteen.substr(3, 9)));
  for (const std::string& d : digits)
    for (std::string form : {d, HyphenateIsbn(d)})
      if (std::find(forms.begin(), forms.end(), form) == forms.end()) forms.push_back(std::move(form));
  return forms;
}

}  // namespace rowcaster::convert
