#pragma once
// GBK (Windows code page 936) text: the encoding of the output file and of every length that an
// ISO 2709 record counts. Text inside the program is UTF-8; these functions are the boundary.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::text {

// True when `utf8` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(std::string_view utf8);
// How many bytes `utf8` begins with that are well-formed UTF-8: all of them when IsValidUtf8.
std::size_t ValidUtf8Prefix(std::string_view utf8);

// Appends the GBK bytes of `utf8` to `out`, as code page 936 writes them: a character that GBK
// cannot encode becomes one "?", counted in `*unencodable` when given. Returns false, leaving `out`
// as it was, when `utf8` is not well-formed UTF-8.
bool AppendGbk(std::string& out, std::string_view utf8, std::size_t* unencodable = nullptr);

// AppendGbk, but a private-use character (IsPrivateUse), which writers treat apart, stops it too,
// leaving `out` and `*unencodable` as they were.
enum class GbkAppend { Done, Malformed, PrivateUse };
GbkAppend AppendGbkUntilPrivateUse(std::string& out, std::string_view utf8, std::size_t* unencodable = nullptr);

// The GBK bytes of `utf8`, or nothing when it is not well-formed UTF-8.
std::optional<std::string> ToGbk(std::string_view utf8);

// How many bytes AppendGbk writes for `utf8` (which must be well-formed).
std::size_t GbkLength(std::string_view utf8);

// True when code page 936 has the character (ASCII included).
bool GbkEncodes(char32_t cp);
// A set of ASCII bytes, made once (constexpr) rather than for every text it is tested against.
class AsciiSet {
 public:
  constexpr AsciiSet() = default;
  constexpr explicit AsciiSet(std::string_view bytes) {
    for (const char r : bytes)
      if (const auto b = static_cast<unsigned char>(r); b < 0x80) bits_[b >> 6] |= std::uint64_t{1} << (b & 63);
  }
  constexpr bool Has(unsigned char b) const { return b < 0x80 && ((bits_[b >> 6] >> (b & 63)) & 1); }

 private:
  std::uint64_t bits_[2] = {0, 0};  // bit b: ASCII byte b is in the set
};

// Whether GBK has every character of the UTF-8 text; with `refused` (ASCII bytes), false too when
// the text holds one of them.
bool GbkEncodesAll(std::string_view utf8, const AsciiSet& refused = {});
inline bool GbkEncodesAll(std::string_view utf8, std::string_view refused) {
  return GbkEncodesAll(utf8, AsciiSet(refused));
}

// The distinct characters of `utf8` that GBK cannot write, in order of appearance.
std::vector<std::string> NotInGbk(std::string_view utf8);

// Decodes GBK bytes to UTF-8. A byte sequence that code page 936 does not define becomes U+FFFD.
std::string FromGbk(std::string_view gbk);
void AppendFromGbk(std::string& out, std::string_view gbk);

}  // namespace rowcaster::text
