#pragma once
// Small helpers for UTF-8 text: writing a code point, counting and cutting by characters, trimming
// blanks.

#include <string>
#include <string_view>

namespace rowcaster::text {

// Writes the UTF-8 form of `cp` (one to four bytes) at `p`; returns the position behind it.
inline char* PutUtf8(char* p, char32_t cp) {
  if (cp < 0x80) {
    *p++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *p++ = static_cast<char>(0xC0 | cp >> 6);
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *p++ = static_cast<char>(0xE0 | cp >> 12);
    *p++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | cp >> 18);
    *p++ = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return p;
}

inline void AppendUtf8(std::string& out, char32_t cp) {
  char bytes[4];
  out.append(bytes, PutUtf8(bytes, cp));
}

// The code point at `i`, moving `i` past it; a byte that does not begin a well-formed sequence is
// taken as U+FFFD, one byte long.
inline char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x80) {
    ++i;
    return b;
  }
  const std::size_t extra = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
  if (extra == 0 || i + extra >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = b & (0x3F >> extra);
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = cp << 6 | (c & 0x3F);
  }
  i += extra + 1;
  return cp;
}

// The character at `i` when its bytes there are a lead E1-EC, EE or EF and two continuation bytes:
// a form that is always well formed (E0 may be overlong, ED a surrogate), U+1000 to U+CFFF or
// U+E000 to U+FFFF, most Han characters among them. 0 when the bytes there are not such a form.
inline char32_t PlainThreeByteAt(std::string_view s, std::size_t i) {
  if (i + 2 >= s.size()) return 0;
  const auto b = static_cast<unsigned char>(s[i]), c1 = static_cast<unsigned char>(s[i + 1]),
             c2 = static_cast<unsigned char>(s[i + 2]);
  if (b < 0xE1 || b > 0xEF || b == 0xED || (c1 & 0xC0) != 0x80 || (c2 & 0xC0) != 0x80) return 0;
  return (b & 0x0Fu) << 12 | (c1 & 0x3Fu) << 6 | (c2 & 0x3Fu);
}

// Well-formed UTF-8 as code points, and back: for rules that look around a character.
inline std::u32string U32(std::string_view s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) out += NextCodePoint(s, i);
  return out;
}
inline std::string U8(std::u32string_view s) {
  std::string out;
  for (const char32_t c : s) AppendUtf8(out, c);
  return out;
}

// A full-width ASCII form (Ａ, １, ：) as its ASCII character; any other character as it is.
constexpr char32_t HalfWidth(char32_t c) { return c >= 0xFF01 && c <= 0xFF5E ? c - 0xFEE0 : c; }

// A Han ideograph: the unified blocks with extension A, the compatibility block, extensions B on.
constexpr bool IsHanIdeograph(char32_t c) {
  return (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
}
inline bool HasHanIdeograph(std::string_view s) {
  for (std::size_t i = 0; i < s.size();)
    if (IsHanIdeograph(NextCodePoint(s, i))) return true;
  return false;
}

// A private-use character: U+E000 to U+F8FF and the planes 15 and 16. No font a library system
// uses has a glyph for one.
constexpr bool IsPrivateUse(char32_t c) { return (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xF0000 && c <= 0x10FFFF); }

// The number of characters (code points) of `s`.
inline std::size_t Utf8Length(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// At most `count` characters of `s`, starting with character `from` (counted from 0).
inline std::string_view Utf8Substr(std::string_view s, std::size_t from, std::size_t count) {
  std::size_t i = 0;
  auto skip = [&](std::size_t chars) {
    for (; chars > 0 && i < s.size(); --chars) {
      ++i;
      while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
  };
  skip(from);
  const std::size_t start = i;
  skip(count);
  return s.substr(start, i - start);
}

// `s` without the blanks (U+0020; no other white space) at either end.
inline std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// How many bytes at the end of `bytes` begin a UTF-8 character that goes on past it (a block of
// text cut inside a character); 0 when it ends whole.
inline std::size_t IncompleteUtf8Tail(std::string_view bytes) {
  for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto b = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((b & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return need > back ? back : 0;
  }
  return 0;
}

// `c` made small when it is a Latin capital A to Z.
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// `s` with the Latin capitals A to Z made small; other bytes as they are.
inline std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

}  // namespace rowcaster::text
