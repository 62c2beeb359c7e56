#include "iso2709/Writers.h"

#include <gtest/gtest.h>

#include "iso2709/IsoRecord.h"
#include "iso2709/Listing.h"
#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

namespace rowcaster::iso2709 {
namespace {

const LocalTime kNow{2026, 12, 7, 10, 0, 0};

Record Built(const std::string& form) {
  Record r;
  const iso2709::Built b = BuildRecord(form, kNow, {}, r);
  EXPECT_EQ(b.status, BuildStatus::Built) << b.description;
  return r;
}

std::string Write(Format format, Encoding encoding, const Record& r, WriteResult* result = nullptr) {
  RecordWriter writer(format, encoding);
  std::string out;
  const WriteResult w = writer.Append(r, out);
  EXPECT_TRUE(w.ok) << w.description;
  if (result) *result = w;
  return out;
}

TEST(RecordWriter, CountsWhatEachEncodingCannotHold) {
  const Record r = Built("200 1  |a䶮𠀀之书 • Müller|b书\r\n801    |aCN\r\n");
  struct Case {
    Encoding encoding;
    std::size_t unencodable;
    std::string chars;
    std::string title;  // 200 $a's bytes in the record
  };
  const Case cases[] = {
      {Encoding::Gbk, 3, "䶮𠀀•", "??\xD6\xAE\xCA\xE9 ? M\xA8\xB9ller"},
      {Encoding::Gb18030, 0, "", "\xFE\x9F\x95\x32\x82\x36\xD6\xAE\xCA\xE9 \x81\x36\xA6\x31 M\xA8\xB9ller"},
      {Encoding::Utf8, 0, "", "䶮𠀀之书 • Müller"},
  };
  for (const Case& c : cases) {
    WriteResult w;
    const std::string bytes = Write(Format::Iso2709, c.encoding, r, &w);
    EXPECT_EQ(w.unencodable, c.unencodable) << NameOf(c.encoding);
    EXPECT_EQ(w.unencodableChars, c.chars) << NameOf(c.encoding);
    EXPECT_NE(bytes.find("\x1F" "a" + c.title + "\x1F" "b"), std::string::npos) << NameOf(c.encoding);
    // The lengths are those of the encoded bytes.
    EXPECT_EQ(std::stoul(bytes.substr(0, 5)), bytes.size()) << NameOf(c.encoding);
  }
}

// Private-use characters, which no library system shows: kept as the encoding holds them and
// counted, or (as the recommended rules ask) counted among the characters GBK and GB18030 lack and
// written "?"; UTF-8 and MARCXML keep them. Those GBK has no user-defined code for are lacking either way.
// The same behind an ASCII head, which every encoding copies as it is.
TEST(RecordWriter, CountsPrivateUseCharacters) {
  for (const std::string head : {"", "Vol. 2 "}) {
    SCOPED_TRACE("head \"" + head + "\"");
    const std::string pua = "\uE000\uE766\uF8FF\U000F0000";  // 0xAAA1 and 0xA2AB in code page 936; none; none
    const Record r = Built("200 1  |a" + head + "书" + pua + "\uF900|b书\r\n801    |aCN\r\n");
    struct Case {
      Format format;
      Encoding encoding;
      PrivateUse privateUse;
      std::size_t unencodable, kept;
      std::string unencodableChars, keptChars;
      std::string title;  // 200 $a's bytes in the record, when the case gives them
    };
    const std::string gbkRest = *text::ToGbk("\uF900");
    const Case cases[] = {
        {Format::Iso2709, Encoding::Gbk, PrivateUse::Kept, std::size_t{2} + !text::GbkEncodes(0xF900), 2,
         "\uF8FF\U000F0000" + std::string(text::GbkEncodes(0xF900) ? "" : "\uF900"), "\uE000\uE766",
         "\xCA\xE9\xAA\xA1\xA2\xAB??" + gbkRest},
        {Format::Iso2709, Encoding::Gbk, PrivateUse::Lacking, std::size_t{4} + !text::GbkEncodes(0xF900), 0,
         pua + std::string(text::GbkEncodes(0xF900) ? "" : "\uF900"), "", "\xCA\xE9????" + gbkRest},
        {Format::Iso2709, Encoding::Gb18030, PrivateUse::Kept, 0, 4, "", pua, ""},
        {Format::Iso2709, Encoding::Gb18030, PrivateUse::Lacking, 4, 0, pua, "", ""},
        {Format::Iso2709, Encoding::Utf8, PrivateUse::Kept, 0, 4, "", pua, "书" + pua + "\uF900"},
        {Format::Iso2709, Encoding::Utf8, PrivateUse::Lacking, 0, 4, "", pua, "书" + pua + "\uF900"},
        {Format::MarcXml, Encoding::Utf8, PrivateUse::Lacking, 0, 4, "", pua, ""},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(NameOf(c.format)) + " " + std::string(NameOf(c.encoding)) +
                   (c.privateUse == PrivateUse::Kept ? " kept" : " lacking"));
      RecordWriter writer(c.format, c.encoding, c.privateUse);
      std::string bytes;
      const WriteResult w = writer.Append(r, bytes);
      ASSERT_TRUE(w.ok);
      EXPECT_EQ(w.unencodable, c.unencodable);
      EXPECT_EQ(w.unencodableChars, c.unencodableChars);
      EXPECT_EQ(w.privateUse, c.kept);
      EXPECT_EQ(w.privateUseChars, c.keptChars);
      if (!c.title.empty()) {
        EXPECT_NE(bytes.find("\x1F" "a" + head + c.title + "\x1F" "b"), std::string::npos);
      }
      if (c.format == Format::Iso2709) {
        EXPECT_EQ(std::stoul(bytes.substr(0, 5)), bytes.size());
      }
    }
    // GB18030 holds the kept ones as they are.
    RecordWriter gb18030(Format::Iso2709, Encoding::Gb18030, PrivateUse::Kept);
    std::string bytes;
    gb18030.Append(r, bytes);
    iso2709::Record back;
    ASSERT_TRUE(ReadRecord(bytes, back, Encoding::Gb18030));
    EXPECT_EQ(back.fields.at(1).subfields.at(0).data, head + "书" + pua + "\uF900");
  }
}

// A text with bytes that begin no character (a record copied from a catalogue may hold them):
// GBK writes each as a counted "?", named U+FFFD, and the characters around it as ever, whether or
// not a private-use character comes first, in the record and in the listing.
TEST(RecordWriter, WritesEachBrokenByteOfGbkAsACountedQuestionMark) {
  struct Case {
    std::string data;  // 200 $a as the record holds it
    PrivateUse privateUse;
    std::string bytes;  // 200 $a as GBK writes it
    std::size_t unencodable;
    std::string chars;
    std::size_t kept = 0;  // private-use characters
  };
  const std::string fffd = "\uFFFD";
  const Case cases[] = {
      {"书\xFF名", PrivateUse::Kept, "\xCA\xE9?\xC3\xFB", 1, fffd},
      {"\xFF", PrivateUse::Kept, "?", 1, fffd},
      {"书名\xE4\xB8", PrivateUse::Kept, "\xCA\xE9\xC3\xFB??", 2, fffd},  // a last character cut short
      {"\x80\x80书", PrivateUse::Kept, "??\xCA\xE9", 2, fffd},
      {"A \xC0\xAF", PrivateUse::Kept, "A ??", 2, fffd},  // an overlong "/"
      {"\xED\xA0\x80书", PrivateUse::Kept, "???\xCA\xE9", 3, fffd},  // a surrogate
      {"䶮\xFF书", PrivateUse::Kept, "??\xCA\xE9", 2, "䶮" + fffd},  // one GBK lacks, then a broken byte
      {"\uE000\xFF书", PrivateUse::Kept, "\xAA\xA1?\xCA\xE9", 1, fffd, 1},
      {"\uE000\xFF书", PrivateUse::Lacking, "??\xCA\xE9", 2, "\uE000" + fffd},
      {"书\xFF\uE000", PrivateUse::Lacking, "\xCA\xE9??", 2, fffd + "\uE000"},
  };
  for (const Case& c : cases) {
    std::string hex;
    for (const unsigned char b : c.data) hex += "0123456789ABCDEF"[b >> 4], hex += "0123456789ABCDEF"[b & 15];
    SCOPED_TRACE(hex);
    Record r = Built("200 1  |aX|b书\r\n801    |aCN\r\n");
    r.fields.at(1).subfields.at(0).data = c.data;
    RecordWriter writer(Format::Iso2709, Encoding::Gbk, c.privateUse);
    std::string bytes;
    const WriteResult w = writer.Append(r, bytes);
    ASSERT_TRUE(w.ok) << w.description;
    EXPECT_EQ(w.unencodable, c.unencodable);
    EXPECT_EQ(w.unencodableChars, c.chars);
    EXPECT_EQ(w.privateUse, c.kept);
    EXPECT_NE(bytes.find("\x1F" "a" + c.bytes + "\x1F" "b"), std::string::npos);
    EXPECT_EQ(std::stoul(bytes.substr(0, 5)), bytes.size());
    RecordWriter listing(Format::Text, Encoding::Gbk, c.privateUse);
    std::string text;
    ASSERT_TRUE(listing.Append(r, text).ok);
    EXPECT_NE(text.find(c.bytes), std::string::npos);
  }
}

TEST(PrivateUse, FromE000ToF8FFAndThePlanes15And16) {
  const std::pair<char32_t, bool> cases[] = {{0xD7FF, false}, {0xE000, true},     {0xF8FF, true},     {0xF900, false},
                                             {0xEFFFF, false}, {0xF0000, true},   {0xFFFFD, true},    {0x100000, true},
                                             {0x10FFFF, true}, {0x110000, false}, {U'书', false}, {U'A', false}};
  for (const auto& [c, privateUse] : cases) EXPECT_EQ(text::IsPrivateUse(c), privateUse) << std::hex << static_cast<std::uint32_t>(c);
}

// A field's limit is in bytes of the encoding: the same text fits in GBK (2 bytes a character)
// and not in UTF-8 (3).
TEST(RecordWriter, ChecksTheFieldLimitInBytesOfTheEncoding) {
  struct Case {
    Encoding encoding;
    std::size_t han;  // Han characters in 330 $a
    bool fits;
  };
  // 330 $a of n Han characters: indicators 2 + $a 2 + data + terminator 1.
  const Case cases[] = {
      {Encoding::Gbk, (9999 - 5) / 2, true},       // 9994 bytes of data: 9999 in all
      {Encoding::Gbk, (9999 - 5) / 2 + 1, false},  // 10001
      {Encoding::Utf8, (9999 - 5) / 3, true},      // 9998
      {Encoding::Utf8, (9999 - 5) / 3 + 1, false},
      {Encoding::Gb18030, (9999 - 5) / 2, true},
      {Encoding::Gb18030, (9999 - 5) / 2 + 1, false},
  };
  for (const Case& c : cases) {
    std::string data;
    for (std::size_t k = 0; k < c.han; ++k) data += "书";
    const Record r = Built("200 1  |a题名\r\n330    |a" + data + "\r\n");
    RecordWriter writer(Format::Iso2709, c.encoding);
    std::string out = "kept";
    const WriteResult w = writer.Append(r, out);
    EXPECT_EQ(w.ok, c.fits) << NameOf(c.encoding) << " " << c.han;
    if (!c.fits) {
      EXPECT_EQ(out, "kept");
      EXPECT_NE(w.description.find("第 2 行"), std::string::npos) << w.description;
      EXPECT_NE(w.description.find("9999"), std::string::npos) << w.description;
    }
  }
}

// The record assembled piece by piece, as ISO 2709 lays it out: each field's text encoded on its
// own, the directory of tag, length and start, the leader's two numbers.
std::string Assembled(const Record& r, Encoding encoding) {
  const auto encode = [encoding](std::string_view utf8) {
    return encoding == Encoding::Gbk ? text::ToGbk(utf8).value() : std::string(utf8);
  };
  std::string directory, data;
  for (const Field& f : r.fields) {
    std::string body = f.IsControl() ? encode(f.data) : encode(f.indicators);
    for (const Subfield& s : f.subfields) body += "\x1F" + encode(s.code) + encode(s.data);
    body += '\x1E';
    directory += f.tag.substr(0, 3) + PadDigits(4, static_cast<long long>(body.size())) +
                 PadDigits(5, static_cast<long long>(data.size()));
    data += body;
  }
  const std::size_t base = 24 + directory.size() + 1;
  return PadDigits(5, static_cast<long long>(base + data.size() + 1)) + r.leader.substr(5, 7) +
         PadDigits(5, static_cast<long long>(base)) + r.leader.substr(17, 7) + directory + "\x1E" + data + "\x1D";
}

// Varied records from a fixed seed: ASCII, Han, Latin letters with marks, characters GBK lacks
// (U+4DAE, U+20000, U+2022), private-use ones, empty subfields, many or no subfields.
Record VariedRecord(std::uint32_t& seed) {
  const auto next = [&seed](std::uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  static const std::string kPieces[] = {"a", "Book 12", "书", "中国图书馆", "Müller", "䶮", "𠀀", "•", "\uE000", "\uF8FF",
                                        " ", "|", "ǎ", "１２", "\t"};
  Record r;
  r.leader = "00000nam0 22000001  450 ";
  r.fields.push_back({"001", {}, "0020261207100000", {}, 0});
  const std::size_t fields = 1 + next(12);
  for (std::size_t i = 0; i < fields; ++i) {
    Field f{PadDigits(3, 10 + next(990)), next(4) == 0 ? "1 " : "  ", {}, {}, i + 1};
    const std::size_t subfields = next(6);
    for (std::size_t k = 0; k < subfields; ++k) {
      std::string value;
      for (std::size_t n = next(8); n > 0; --n) value += kPieces[next(std::size(kPieces))];
      f.subfields.push_back({std::string(1, static_cast<char>('a' + next(26))), value});
    }
    r.fields.push_back(std::move(f));
  }
  return r;
}

TEST(RecordWriter, WritesTheBytesOfTheRecordAssembledPieceByPiece) {
  std::uint32_t seed = 20261207;
  for (int n = 0; n < 2000; ++n) {
    const Record r = VariedRecord(seed);
    for (const Encoding encoding : {Encoding::Gbk, Encoding::Utf8}) {
      RecordWriter writer(Format::Iso2709, encoding);
      std::string out = "before";
      const WriteResult w = writer.Append(r, out);
      ASSERT_TRUE(w.ok) << w.description;
      ASSERT_EQ(out, "before" + Assembled(r, encoding)) << "record " << n << " " << NameOf(encoding);
    }
  }
}

// Tags of other lengths than three characters (a record from elsewhere) are written as far as
// their first three characters go, as the directory always held them.
TEST(RecordWriter, WritesTagsOfOtherLengthsAsTheDirectoryHoldsThem) {
  for (const std::string tag : {"20", "2001"}) {
    Record r;
    r.leader = "00000nam0 22000001  450 ";
    r.fields.push_back({tag, "  ", {}, {{"a", "书"}}, 1});
    r.fields.push_back({"801", "  ", {}, {{"a", "CN"}}, 2});
    EXPECT_EQ(Write(Format::Iso2709, Encoding::Gbk, r), Assembled(r, Encoding::Gbk)) << tag;
  }
}

// The record's length limit on both sides: what does not fit leaves the output as it was.
TEST(RecordWriter, ChecksTheRecordLengthLimit) {
  const auto record = [](std::size_t fields, std::size_t bytes) {
    Record r;
    r.leader = "00000nam0 22000001  450 ";
    for (std::size_t i = 0; i < fields; ++i) r.fields.push_back({"330", "  ", {}, {{"a", std::string(bytes, 'x')}}, i + 1});
    return r;
  };
  // 24 + 12n + 1 + n(bytes + 5) + 1 = 99,999 exactly, and one byte more.
  const std::size_t n = 11, exact = (99999 - 26 - 12 * n) / n - 5;
  const std::size_t rest = 99999 - 26 - 12 * n - n * (exact + 5);
  Record atLimit = record(n, exact);
  atLimit.fields.back().subfields[0].data.append(rest, 'y');
  Record overLimit = atLimit;
  overLimit.fields.back().subfields[0].data += 'z';
  for (const Encoding encoding : {Encoding::Gbk, Encoding::Utf8}) {
    RecordWriter writer(Format::Iso2709, encoding);
    std::string out = "kept";
    EXPECT_TRUE(writer.Append(atLimit, out).ok);
    EXPECT_EQ(out.size(), 4u + 99999u);
    EXPECT_EQ(out.substr(4), Assembled(atLimit, encoding));
    out = "kept";
    const WriteResult w = writer.Append(overLimit, out);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(out, "kept");
    EXPECT_NE(w.description.find("99999"), std::string::npos) << w.description;
  }
}

TEST(RecordWriter, GivesUtf8RecordsTheirCharacterSetIn100) {
  const Record r = Built("100    |a20261207d2019    em y0chiy0110    ea\r\n200 1  |a书\r\n");
  EXPECT_NE(Write(Format::Iso2709, Encoding::Gbk, r).find("y0chiy0110    ea"), std::string::npos);
  EXPECT_NE(Write(Format::Iso2709, Encoding::Gb18030, r).find("y0chiy0110    ea"), std::string::npos);
  EXPECT_NE(Write(Format::Iso2709, Encoding::Utf8, r).find("y0chiy50      ea"), std::string::npos);
  EXPECT_NE(Write(Format::MarcXml, Encoding::Utf8, r).find(">20261207d2019    em y0chiy50      ea<"), std::string::npos);
}

TEST(Utf8CharacterSets, SetsPositions26To29CountingCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"20261207d2019    em y0chiy0110    ea", "20261207d2019    em y0chiy50      ea"},
      {"short", "short                     50  "},  // padded to position 26
      {"", std::string(26, ' ') + "50  "},
      {"书书书书书书书书书书书书书书书书书书书书书书书书书书0110书", "书书书书书书书书书书书书书书书书书书书书书书书书书书50  书"},
      {std::string(28, 'x'), std::string(26, 'x') + "50  "},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(Utf8CharacterSets(in), want) << in;
}

TEST(RecordWriter, WritesMarcXmlEscapedAndWithoutWhatXmlCannotHold) {
  const Record r = Built("200 1  |aA & B <C> \"D\"\x01|b\x7F" "E\tF\r\n801    |aCN\r\n");
  WriteResult w;
  const std::string xml = Write(Format::MarcXml, Encoding::Utf8, r, &w);
  EXPECT_NE(xml.find("<subfield code=\"a\">A &amp; B &lt;C&gt; &quot;D&quot;</subfield>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<subfield code=\"b\">\x7F" "E\tF</subfield>"), std::string::npos) << xml;
  EXPECT_EQ(w.unencodable, 1u);
  EXPECT_EQ(w.unencodableChars, "\x01");
  EXPECT_NE(xml.find("<datafield tag=\"200\" ind1=\"1\" ind2=\" \">"), std::string::npos);
  EXPECT_NE(xml.find("<controlfield tag=\"001\">0020261207100000</controlfield>"), std::string::npos);
  RecordWriter writer(Format::MarcXml, Encoding::Gbk);  // MARCXML is UTF-8 whatever is asked
  EXPECT_EQ(writer.encoding(), Encoding::Utf8);
  EXPECT_NE(writer.Prologue().find("http://www.loc.gov/MARC21/slim"), std::string_view::npos);
}

// The listing's leader gives the lengths of the record as its encoding writes it.
TEST(RecordWriter, ListsTheRecordWithTheLeaderOfItsEncoding) {
  const Record r = Built("200 1  |a书名𠀀|f张三\r\n801    |aCN\r\n");
  const Record gbk = Built("200 1  |a书名|f张三\r\n801    |aCN\r\n");  // 𠀀 is not in GBK
  for (Encoding e : {Encoding::Gbk, Encoding::Gb18030, Encoding::Utf8}) {
    const Record& record = e == Encoding::Gbk ? gbk : r;
    Record back;
    ASSERT_TRUE(ReadRecord(Write(Format::Iso2709, e, record), back, e));
    RecordWriter writer(Format::Text, e);
    EXPECT_EQ(writer.ListingOf(record), Listing(back)) << NameOf(e);
  }
  EXPECT_EQ(Write(Format::Text, Encoding::Utf8, r).substr(25),
            "001 0020261207100000\n200 1  $a 书名𠀀 $f 张三\n801    $a CN\n\n");
}

TEST(RecordWriter, NamesOfEncodingsAndFormats) {
  EXPECT_EQ(EncodingNamed("UTF-8"), Encoding::Utf8);
  EXPECT_EQ(EncodingNamed("utf8"), Encoding::Utf8);
  EXPECT_EQ(EncodingNamed("GB18030"), Encoding::Gb18030);
  EXPECT_EQ(EncodingNamed("gbk"), Encoding::Gbk);
  EXPECT_FALSE(EncodingNamed("latin1"));
  EXPECT_EQ(FormatNamed("MARCXML"), Format::MarcXml);
  EXPECT_FALSE(FormatNamed("json"));
  EXPECT_FALSE(Unsupported(Format::MarcXml, Encoding::Gbk).empty());
  EXPECT_TRUE(Unsupported(Format::Text, Encoding::Gb18030).empty());
}

}  // namespace
}  // namespace rowcaster::iso2709
