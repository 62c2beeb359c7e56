#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace rowcaster::text {
namespace {

// One UTF-8 sequence decoded; cp == kBad for a malformed sequence. `len` is what it used.
constexpr char32_t kBad = 0xFFFFFFFF;

struct Decoded {
  char32_t cp;
  std::size_t len;
};

inline Decoded DecodeAt(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return {b0, 1};
  std::size_t need;
  char32_t cp;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    return {kBad, 1};
  }
  if (i + need >= s.size()) return {kBad, 1};
  for (std::size_t k = 1; k <= need; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return {kBad, 1};
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {kBad, 1};
  return {cp, need + 1};
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter OpenCp936() {
  UErrorCode err = U_ZERO_ERROR;
  Converter c(ucnv_open("windows-936", &err));
  if (U_FAILURE(err)) throw std::runtime_error("ICU has no windows-936 converter");
  ucnv_setSubstChars(c.get(), "?", 1, &err);
  ucnv_setFallback(c.get(), true);  // best-fit mappings, as the Windows code page does
  return c;
}

// Encoding table for the Basic Multilingual Plane: 0 = not encodable ("?"), a value below 0x100
// is one byte, anything else is lead byte << 8 | trail byte.
struct EncodeTable {
  std::array<std::uint16_t, 0x10000> map{};

  // The characters of the plane converted a few thousand at a time, the offsets telling which
  // bytes each one made (the code page keeps no state between characters): a few calls instead of
  // 63,000, and little room for them.
  EncodeTable() {
    Converter cnv = OpenCp936();
    for (char32_t cp = 0; cp < 0x80; ++cp) map[cp] = static_cast<std::uint16_t>(cp);
    constexpr std::size_t kChunk = 4096;
    std::vector<UChar> chars;
    std::vector<char> bytes(kChunk * 4);
    std::vector<int32_t> offsets(bytes.size());
    for (char32_t from = 0x80; from <= 0xFFFF; from += kChunk) {
      chars.clear();
      for (char32_t cp = from; cp < from + kChunk && cp <= 0xFFFF; ++cp)
        if (cp < 0xD800 || cp > 0xDFFF) chars.push_back(static_cast<UChar>(cp));
      if (!chars.empty()) Convert(cnv.get(), chars, bytes, offsets);
    }
  }

 private:
  void Convert(UConverter* cnv, const std::vector<UChar>& chars, std::vector<char>& bytes, std::vector<int32_t>& offsets) {
    char* target = bytes.data();
    const UChar* source = chars.data();
    UErrorCode err = U_ZERO_ERROR;
    ucnv_fromUnicode(cnv, &target, bytes.data() + bytes.size(), &source, chars.data() + chars.size(), offsets.data(),
                     true, &err);
    if (U_FAILURE(err) || source != chars.data() + chars.size()) throw std::runtime_error("windows-936 conversion failed");
    const std::size_t made = static_cast<std::size_t>(target - bytes.data());
    for (std::size_t i = 0; i < made;) {
      std::size_t n = 1;
      while (i + n < made && offsets[i + n] == offsets[i]) ++n;
      const char32_t cp = chars.at(static_cast<std::size_t>(offsets[i]));
      const auto b0 = static_cast<unsigned char>(bytes[i]);
      if (n == 1 && b0 == '?') {
        map[cp] = 0;  // not encodable; a character ICU drops silently makes no bytes and stays 0 too
      } else if (n == 2 && b0 >= 0x81 && b0 <= 0xFE) {
        map[cp] = static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(bytes[i + 1]));
      } else if (n == 1) {
        map[cp] = b0;
      } else {
        throw std::runtime_error("unexpected windows-936 mapping");
      }
      i += n;
    }
  }
};

const EncodeTable& Encoder() {
  static const EncodeTable table;
  return table;
}

// Decoding table: single bytes 0x80..0xFF, and pairs lead 0x81..0xFE × trail 0x40..0xFE.
struct DecodeTable {
  std::array<char32_t, 0x80> single{};
  // Each pair's UTF-8 bytes (up to three: a pair decodes to one BMP character, U+FFFD when it stands
  // for none) and, last, their count.
  std::vector<std::array<char, 4>> pairUtf8 = std::vector<std::array<char, 4>>(126 * 191);

  DecodeTable() {
    Converter cnv = OpenCp936();
    auto one = [&](const char* bytes, int len) -> char32_t {
      UChar buf[4];
      UErrorCode err = U_ZERO_ERROR;
      ucnv_reset(cnv.get());
      const int32_t n = ucnv_toUChars(cnv.get(), buf, 4, bytes, len, &err);
      if (U_FAILURE(err) || n != 1 || buf[0] == 0x1A) return 0xFFFD;
      return buf[0];
    };
    for (int b = 0x80; b <= 0xFF; ++b) {
      const char c = static_cast<char>(b);
      single[b - 0x80] = (b >= 0x81 && b <= 0xFE) ? 0 : one(&c, 1);
    }
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        std::array<char, 4>& u = pairUtf8[(lead - 0x81) * 191 + (trail - 0x40)];
        u[3] = static_cast<char>(PutUtf8(u.data(), trail == 0x7F ? char32_t{0xFFFD} : one(bytes, 2)) - u.data());
      }
    }
  }
};

const DecodeTable& Decoder() {
  static const DecodeTable table;
  return table;
}

// The bytes `utf8` begins with that are well-formed: written once, made part of both callers (a
// call of its own costs IsValidUtf8, which checks millions of short texts, a tenth more).
[[gnu::always_inline]] inline std::size_t WellFormedBytes(std::string_view utf8) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    // Eight ASCII bytes at a time.
    while (i + 8 <= utf8.size()) {
      std::uint64_t word;
      std::memcpy(&word, utf8.data() + i, 8);
      if (word & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= utf8.size()) break;
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    if (PlainThreeByteAt(utf8, i) != 0) {  // most Han characters; E0 and ED go the long way
      i += 3;
      continue;
    }
    const Decoded d = DecodeAt(utf8, i);
    if (d.cp == kBad) return i;
    i += d.len;
  }
  return utf8.size();
}

}  // namespace

bool IsValidUtf8(std::string_view utf8) { return WellFormedBytes(utf8) == utf8.size(); }

std::size_t ValidUtf8Prefix(std::string_view utf8) { return WellFormedBytes(utf8); }

namespace {

// AppendGbk's loop; with `stopAtPrivateUse` it gives up at the first private-use character.
GbkAppend AppendGbkBytes(std::string& out, std::string_view utf8, std::size_t* unencodable, bool stopAtPrivateUse) {
  const std::size_t start = out.size();
  const auto& map = Encoder().map;
  // No character takes more bytes in GBK than in UTF-8 (one the table lacks becomes a one-byte
  // "?"): the room is made once and written through a pointer.
  out.resize(start + utf8.size());
  char* p = out.data() + start;
  std::size_t missing = 0;
  const auto put = [&](std::uint16_t g) {
    if (g == 0) {
      *p++ = '?';
      ++missing;
    } else if (g < 0x100) {
      *p++ = static_cast<char>(g);
    } else {
      *p++ = static_cast<char>(g >> 8);
      *p++ = static_cast<char>(g & 0xFF);
    }
  };
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      *p++ = static_cast<char>(b);
      ++i;
      continue;
    }
    // Most Han characters, without decoding the long way (a private-use one does not stop here).
    if (const char32_t cp = PlainThreeByteAt(utf8, i); cp != 0 && !(stopAtPrivateUse && IsPrivateUse(cp))) {
      put(map[cp]);
      i += 3;
      continue;
    }
    const Decoded d = DecodeAt(utf8, i);
    if (d.cp == kBad) {  // the characters before it stay counted, as they always were
      out.resize(start);
      if (unencodable) *unencodable += missing;
      return GbkAppend::Malformed;
    }
    if (stopAtPrivateUse && IsPrivateUse(d.cp)) {
      out.resize(start);
      return GbkAppend::PrivateUse;
    }
    i += d.len;
    put(d.cp <= 0xFFFF ? map[d.cp] : 0);
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  if (unencodable) *unencodable += missing;
  return GbkAppend::Done;
}

}  // namespace

bool AppendGbk(std::string& out, std::string_view utf8, std::size_t* unencodable) {
  return AppendGbkBytes(out, utf8, unencodable, false) == GbkAppend::Done;
}

GbkAppend AppendGbkUntilPrivateUse(std::string& out, std::string_view utf8, std::size_t* unencodable) {
  return AppendGbkBytes(out, utf8, unencodable, true);
}

namespace {

bool Holds(const EncodeTable& table, char32_t cp) {
  return cp < 0x80 || (cp <= 0xFFFF && !(cp >= 0xD800 && cp <= 0xDFFF) && table.map[cp] != 0);
}

}  // namespace

bool GbkEncodes(char32_t cp) { return Holds(Encoder(), cp); }

bool GbkEncodesAll(std::string_view utf8, const AsciiSet& refused) {
  const EncodeTable& table = Encoder();  // once, not for every character
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      if (refused.Has(b)) return false;
      ++i;
      continue;
    }
    if (const char32_t cp = PlainThreeByteAt(utf8, i); cp != 0) {  // most Han characters
      if (table.map[cp] == 0) return false;
      i += 3;
      continue;
    }
    if (!Holds(table, NextCodePoint(utf8, i))) return false;
  }
  return true;
}

std::vector<std::string> NotInGbk(std::string_view utf8) {
  std::vector<std::string> found;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t start = i;
    const char32_t c = NextCodePoint(utf8, i);
    if (GbkEncodes(c)) continue;
    std::string ch(utf8.substr(start, i - start));
    if (std::find(found.begin(), found.end(), ch) == found.end()) found.push_back(std::move(ch));
  }
  return found;
}

std::optional<std::string> ToGbk(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  if (!AppendGbk(out, utf8)) return std::nullopt;
  return out;
}

std::size_t GbkLength(std::string_view utf8) {
  const auto& map = Encoder().map;
  std::size_t n = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      ++n;
      ++i;
      continue;
    }
    const Decoded d = DecodeAt(utf8, i);
    i += d.len;
    const std::uint16_t g = (d.cp != kBad && d.cp <= 0xFFFF) ? map[d.cp] : 0;
    n += g >= 0x100 ? 2 : 1;
  }
  return n;
}

std::string FromGbk(std::string_view gbk) {
  std::string out;
  AppendFromGbk(out, gbk);
  return out;
}

void AppendFromGbk(std::string& out, std::string_view gbk) {
  std::size_t i = 0;
  // ASCII needs no table.
  while (i < gbk.size() && static_cast<unsigned char>(gbk[i]) < 0x80) ++i;
  out.append(gbk.data(), i);
  if (i == gbk.size()) return;
  const DecodeTable& t = Decoder();
  // A byte gives at most three bytes of UTF-8 (a lone one that stands for U+FFFD or a euro sign):
  // the room is made once, with one byte more for a pair's four-byte copy, and written through a
  // pointer.
  const std::size_t start = out.size();
  out.resize(start + 3 * (gbk.size() - i) + 1);
  char* p = out.data() + start;
  while (i < gbk.size()) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    if (b < 0x80) {
      *p++ = static_cast<char>(b);
      ++i;
      continue;
    }
    if (b >= 0x81 && b <= 0xFE && i + 1 < gbk.size()) {
      const auto trail = static_cast<unsigned char>(gbk[i + 1]);
      if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
        const std::array<char, 4>& u = t.pairUtf8[(b - 0x81) * 191 + (trail - 0x40)];
        std::memcpy(p, u.data(), 4);
        p += u[3];
        i += 2;
        continue;
      }
    }
    p = PutUtf8(p, (b >= 0x81 && b <= 0xFE) ? char32_t{0xFFFD} : t.single[b - 0x80]);
    ++i;
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

}  // namespace rowcaster::text
