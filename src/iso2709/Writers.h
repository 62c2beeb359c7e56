#pragma once
// Writers of records: each walks a Record and appends its bytes. ISO 2709 in GBK, GB18030 or
// UTF-8; MARCXML (the MARC21 slim schema, always UTF-8); a readable listing, one field a line.
// A writer holds encoder state: one per thread.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "iso2709/Record.h"

namespace rowcaster::iso2709 {

enum class Encoding { Gbk, Gb18030, Utf8 };
enum class Format { Iso2709, MarcXml, Text };

// "gbk", "gb18030", "utf-8" (also "utf8", any case); nothing for other names.
std::optional<Encoding> EncodingNamed(std::string_view name);
std::string_view NameOf(Encoding encoding);
// "iso2709", "marcxml", "text".
std::optional<Format> FormatNamed(std::string_view name);
std::string_view NameOf(Format format);
// The encoding a format is written in when none is asked for: MARCXML and the listing in UTF-8,
// ISO 2709 in GBK.
Encoding DefaultEncoding(Format format);
// Why `format` cannot be written in `encoding`, or the empty text.
std::string Unsupported(Format format, Encoding encoding);

struct WriteResult {
  bool ok = true;
  std::string description;  // why not, one line
  // A field past ISO 2709's limit of 9,999 bytes: its tag and length in the output's bytes.
  std::string tooLongTag;
  long long tooLongBytes = 0;
  // Characters the encoding has no code for, written as "?" (or left out of MARCXML, which cannot
  // hold them): how many, and each distinct one once.
  std::size_t unencodable = 0;
  std::string unencodableChars;
  // Private-use characters written as they are: how many, and each distinct one once.
  std::size_t privateUse = 0;
  std::string privateUseChars;
};

// What a writer does with a private-use character (text::IsPrivateUse), which a library system
// cannot show.
enum class PrivateUse {
  Kept,     // written as the encoding holds it (GBK, GB18030: a user-defined code), counted
  Lacking,  // GBK and GB18030 count it among the characters they lack and write "?"; UTF-8 keeps it
};

class RecordWriter {
 public:
  RecordWriter(Format format, Encoding encoding, PrivateUse privateUse = PrivateUse::Kept);
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  Format format() const { return format_; }
  Encoding encoding() const { return encoding_; }

  // Appends the record to `out`; on failure `out` is as it was.
  WriteResult Append(const Record& record, std::string& out);

  // The readable listing (UTF-8) of the record as this writer's encoding gives it: the leader's
  // lengths and, for UTF-8, the character sets of 100 $a.
  std::string ListingOf(const Record& record);

  // What a new file begins with and ends with (MARCXML's collection element).
  std::string_view Prologue() const;
  std::string_view Epilogue() const;

 private:
  class Encoder;
  WriteResult AppendIso(const Record& record, std::string& out);
  WriteResult AppendIsoByParts(const Record& record, std::string& out);
  WriteResult AppendXml(const Record& record, std::string& out);
  WriteResult AppendText(const Record& record, std::string& out);
  // Encodes a field's body (indicators and subfields, or a control field's data) into body_.
  void EncodeBody(const Field& f, WriteResult& result);
  void AppendBody(const Field& f, std::string& out, WriteResult& result);
  // The leader with the record length and base address of the record's ISO 2709 form in the
  // writer's encoding (MARCXML: UTF-8).
  std::string Leader(const Record& record);

  Format format_;
  Encoding encoding_;
  std::unique_ptr<Encoder> encoder_;
  std::string body_;  // scratch
};

// 100 $a as a UTF-8 record gives it: character set positions 26-29 "50  " (ISO 10646).
std::string Utf8CharacterSets(std::string_view value100a);

}  // namespace rowcaster::iso2709
