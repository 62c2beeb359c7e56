#pragma once
// Text in a Windows code page, decoded to UTF-8: the 8-bit strings of old workbooks and FoxPro
// tables. Code page 936 (GBK) is the system code page the program assumes.

#include <memory>
#include <string>
#include <string_view>

namespace rowcaster::text {

inline constexpr int kSystemCodePage = 936;

class CodePageDecoder {
 public:
  // A decoder for the Windows code page number `codePage` (936, 950, 1252, 10000 …). An unknown
  // number falls back to the system code page.
  explicit CodePageDecoder(int codePage);
  ~CodePageDecoder();
  CodePageDecoder(CodePageDecoder&&) noexcept;
  CodePageDecoder& operator=(CodePageDecoder&&) noexcept;

  int codePage() const { return codePage_; }
  // Undefined bytes become U+FFFD.
  std::string Decode(std::string_view bytes) const;
  // The same, into `out` (replacing what it held), reusing its storage.
  void DecodeInto(std::string& out, std::string_view bytes) const;

 private:
  struct Icu;
  int codePage_;
  std::unique_ptr<Icu> icu_;  // null for GBK and UTF-16, which are decoded here
};

// UTF-16LE bytes to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string FromUtf16Le(std::string_view bytes);
void AppendFromUtf16Le(std::string& out, std::string_view bytes);
// Code points below 0x100 (BIFF8 "compressed" strings) to UTF-8.
std::string FromLatin1(std::string_view bytes);
void AppendFromLatin1(std::string& out, std::string_view bytes);

}  // namespace rowcaster::text
