#include "platform/text/CodePage.h"

#include <unicode/ucnv.h>

#include <mutex>
#include <string>

#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

namespace rowcaster::text {
namespace {


// ICU's names for the code pages old files carry.
std::string IcuName(int cp) {
  switch (cp) {
    case 367: return "US-ASCII";
    case 10000: case 32768: return "macintosh";
    case 10006: return "x-mac-greek";
    case 10007: return "x-mac-cyrillic";
    case 10029: return "x-mac-centraleurroman";
    case 32769: return "windows-1252";
    case 20866: return "KOI8-R";
    case 28591: return "ISO-8859-1";
    default: return (cp >= 1250 && cp <= 1258) || cp == 874 || cp == 932 || cp == 949 || cp == 950
                        ? "windows-" + std::to_string(cp)
                        : "ibm-" + std::to_string(cp);
  }
}

}  // namespace

struct CodePageDecoder::Icu {
  UConverter* cnv = nullptr;
  std::mutex lock;  // a converter keeps state; one decode at a time
  ~Icu() {
    if (cnv) ucnv_close(cnv);
  }
};

CodePageDecoder::CodePageDecoder(int codePage) : codePage_(codePage) {
  if (codePage_ == 936 || codePage_ == 1200 || codePage_ == 65001) return;
  UErrorCode err = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open(IcuName(codePage_).c_str(), &err);
  if (U_FAILURE(err) || !cnv) {
    codePage_ = kSystemCodePage;
    return;
  }
  icu_ = std::make_unique<Icu>();
  icu_->cnv = cnv;
}

CodePageDecoder::~CodePageDecoder() = default;
CodePageDecoder::CodePageDecoder(CodePageDecoder&&) noexcept = default;
CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&&) noexcept = default;

void CodePageDecoder::DecodeInto(std::string& out, std::string_view bytes) const {
  out.clear();
  if (codePage_ == 936 && !icu_) {
    AppendFromGbk(out, bytes);
  } else {
    out = Decode(bytes);
  }
}

std::string CodePageDecoder::Decode(std::string_view bytes) const {
  if (codePage_ == 1200) return FromUtf16Le(bytes);
  if (codePage_ == 65001) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return FromLatin1(bytes);
  }
  if (!icu_) return FromGbk(bytes);
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::string(bytes);
  std::lock_guard<std::mutex> guard(icu_->lock);
  std::u16string u(bytes.size() * 2 + 4, u'\0');
  UErrorCode err = U_ZERO_ERROR;
  ucnv_reset(icu_->cnv);
  const int32_t n = ucnv_toUChars(icu_->cnv, reinterpret_cast<UChar*>(u.data()), static_cast<int32_t>(u.size()),
                                  bytes.data(), static_cast<int32_t>(bytes.size()), &err);
  if (U_FAILURE(err)) return FromLatin1(bytes);
  u.resize(n);
  std::string le;
  le.reserve(u.size() * 2);
  for (char16_t c : u) {
    le += static_cast<char>(c & 0xFF);
    le += static_cast<char>(c >> 8);
  }
  return FromUtf16Le(le);
}

std::string FromUtf16Le(std::string_view bytes) {
  std::string out;
  AppendFromUtf16Le(out, bytes);
  return out;
}

// A code unit gives at most three bytes of UTF-8 and a surrogate pair four: the room is made once
// and written through a pointer.
void AppendFromUtf16Le(std::string& out, std::string_view bytes) {
  const std::size_t n = bytes.size() / 2, start = out.size();
  out.resize(start + n * 3);
  char* p = out.data() + start;
  auto unit = [&](std::size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  };
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
      p = PutUtf8(p, 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      p = PutUtf8(p, 0xFFFD);
    } else {
      p = PutUtf8(p, c);
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string FromLatin1(std::string_view bytes) {
  std::string out;
  AppendFromLatin1(out, bytes);
  return out;
}

void AppendFromLatin1(std::string& out, std::string_view bytes) {
  const std::size_t start = out.size();
  out.resize(start + bytes.size() * 2);
  char* p = out.data() + start;
  for (const unsigned char c : bytes) p = PutUtf8(p, c);
  out.resize(static_cast<std::size_t>(p - out.data()));
}

}  // namespace rowcaster::text
