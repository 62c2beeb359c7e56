// The holdings check's matching: which rows' records an export of the library's catalogue holds,
// by ISBN or by title, first author, publisher and year; the brief record for items; reading exports.
#include "catalogue/Held.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestPaths.h"
#include "iso2709/Writers.h"

namespace rowcaster::catalogue {
namespace {

using iso2709::Field;
using iso2709::Record;

// A book as a record: "" leaves a field out. `title` may carry a part after "|h".
struct Book {
  std::string id, isbn, title, author, publisher, date;
};

Record Of(const Book& b) {
  Record r;
  r.leader = "00000nam0 2200000   450 ";
  r.fields.push_back({"001", "", b.id, {}, 0});
  if (!b.isbn.empty()) r.fields.push_back({"010", "  ", {}, {{"a", b.isbn}}, 0});
  r.fields.push_back({"100", "  ", {}, {{"a", "20240101d2019    em y0chiy50      ea"}}, 0});
  Field title{"200", "1 ", {}, {}, 0};
  const std::size_t part = b.title.find("|h");
  title.subfields.push_back({"a", b.title.substr(0, part)});
  if (part != std::string::npos) title.subfields.push_back({"h", b.title.substr(part + 2)});
  r.fields.push_back(title);
  if (!b.publisher.empty() || !b.date.empty())
    r.fields.push_back({"210", "  ", {}, {{"a", "北京"}, {"c", b.publisher}, {"d", b.date}}, 0});
  if (!b.author.empty()) r.fields.push_back({"701", " 0", {}, {{"a", b.author}, {"4", "著"}}, 0});
  r.fields.push_back({"801", " 0", {}, {{"a", "CN"}, {"b", "110001"}}, 0});
  r.fields.push_back({"905", "  ", {}, {{"a", "110001"}, {"b", "T0001"}}, 0});
  return r;
}

HeldIndex Library() {
  HeldIndex index;
  for (const Book& b : std::vector<Book>{
           {"H1", "978-7-5327-0001-1", "星空笔记", "李明", "上海译文出版社", "2019"},
           {"H2", "", "江南往事", "王芳", "人民文学出版社", "2008.5"},
           {"H3", "7-02-000220-X", "紅樓夢|h上册", "曹雪芹", "人民文学出版社", "1982"},
           {"H4", "", "无年份的书", "赵六", "译林出版社", ""},
       })
    index.Add(Of(b));
  return index;
}

TEST(Held, RowsMatchByIsbnElseByTitleAuthorPublisherAndYear) {
  const HeldIndex index = Library();
  const struct {
    Book row;
    const char* id;  // "" when not held
    bool byTitle;
  } cases[] = {
      {{"", "9787532700011", "别的题名", "", "", ""}, "H1", false},             // ISBN alone decides
      {{"", "7532700011", "星空笔记", "", "", ""}, "H1", false},                // ISBN-10 of the same book
      {{"", "978-7-5327-0001-2", "星空笔记", "李明", "上海译文出版社", "2019"}, "H1", true},  // a wrong ISBN is none: the rest decide
      {{"", "978-7-5327-0001-2", "星空笔记", "李明", "上海译文出版社", "2018"}, "", false},
      {{"", "", "江南往事", "王芳", "人民文学出版社", "2008"}, "H2", true},     // no ISBN: title, author, publisher, year
      {{"", "", "江南 往事！", "王 芳", "人民文学出版社", "c2008"}, "H2", true}, // blanks and punctuation do not count
      {{"", "978-7-5327-0998-4", "江南往事", "王芳", "人民文学出版社", "2008"}, "H2", true},  // the held one has no ISBN
      {{"", "", "江南往事", "王芳", "人民文学出版社", "2009"}, "", false},      // another year
      {{"", "", "江南往事", "李明", "人民文学出版社", "2008"}, "", false},      // another author
      {{"", "", "江南往事", "王芳", "译林出版社", "2008"}, "", false},          // another publisher
      {{"", "", "红楼梦|h上册", "曹雪芹", "人民文学出版社", "1982"}, "H3", true}, // traditional as simplified
      {{"", "", "红楼梦|h下册", "曹雪芹", "人民文学出版社", "1982"}, "", false},  // another volume
      {{"", "", "红楼梦", "曹雪芹", "人民文学出版社", "1982"}, "", false},        // the set, not the volume
      {{"", "978-7-02-000221-4", "红楼梦|h上册", "曹雪芹", "人民文学出版社", "1982"}, "", false},  // two ISBNs: two books
      {{"", "", "无年份的书", "赵六", "译林出版社", ""}, "H4", true},           // the year from 100 $a on both sides
      {{"", "", "", "", "", ""}, "", false},                                     // no title: nothing to match
  };
  for (const auto& c : cases) {
    const std::optional<HeldMatch> held = index.Find(Of(c.row));
    EXPECT_EQ(held ? held->id : "", c.id) << c.row.title << " " << c.row.isbn;
    if (held) EXPECT_EQ(held->byTitle, c.byTitle) << c.row.title;
  }
  EXPECT_EQ(index.FindIsbn("ISBN 978-7-5327-0001-1")->id, "H1");
  EXPECT_FALSE(index.FindIsbn("978-7-5327-0001-2"));
  EXPECT_FALSE(index.FindIsbn(""));
}

TEST(Held, TheBriefRecordKeepsWhatALibrarySystemMatchesAndTheItems) {
  Record own = Of({"R1", "978-7-5327-0001-1", "星空笔记", "李明", "上海译文出版社", "2019"});
  own.fields.push_back({"852", "  ", {}, {{"a", "item"}}, 0});
  own.fields.push_back({"995", "  ", {}, {{"f", "T0002"}}, 0});
  Record brief;
  ItemsOnly(own, "本馆", "H1", {"852"}, brief);
  std::string tags;
  for (const Field& f : brief.fields) tags += f.tag + " ";
  EXPECT_EQ(tags, "001 010 035 100 200 801 852 905 995 ");
  EXPECT_EQ(brief.fields[2].subfields[0].data, "(本馆)H1");
  ItemsOnly(own, "本馆", "", {}, brief);
  for (const Field& f : brief.fields) EXPECT_NE(f.tag, "035") << "no id, no 035";
}

TEST(Held, ExportsAreReadInEachEncodingAndDamagedRecordsSkipped) {
  const std::string dir = test::TempPath("held");
  std::filesystem::create_directories(dir);
  const Record book = Of({"H9", "978-7-5327-0001-1", "星空笔记", "李明", "上海译文出版社", "2019"});
  for (const auto encoding : {iso2709::Encoding::Gbk, iso2709::Encoding::Gb18030, iso2709::Encoding::Utf8}) {
    iso2709::RecordWriter writer(iso2709::Format::Iso2709, encoding);
    std::string bytes, one;
    ASSERT_TRUE(writer.Append(book, one).ok);
    bytes = one + "garbage\x1D" + one.substr(0, one.size() / 2);  // a damaged record, then a cut one
    const std::string path = dir + "/export.iso";
    std::ofstream(path, std::ios::binary) << bytes;
    HeldIndex index;
    ASSERT_EQ(index.Load(path), HeldFileProblem::None) << iso2709::NameOf(encoding);
    EXPECT_EQ(index.records(), 1u);
    EXPECT_EQ(index.skipped(), 2u);
    const auto held = index.Find(Of({"", "", "星空笔记", "李明", "上海译文出版社", "2019"}));
    ASSERT_TRUE(held) << iso2709::NameOf(encoding) << ": the Chinese text read in its encoding";
    EXPECT_EQ(held->id, "H9");
  }
  std::ofstream(dir + "/empty.iso") << "ISBN,题名\n";
  EXPECT_EQ(HeldIndex().Load(dir + "/empty.iso"), HeldFileProblem::NoRecords);
  EXPECT_EQ(HeldIndex().Load(dir + "/missing.iso"), HeldFileProblem::Unreadable);
  std::ofstream(dir + "/bad.xml") << "<collection><record>";
  EXPECT_EQ(HeldIndex().Load(dir + "/bad.xml"), HeldFileProblem::Unreadable);
  std::filesystem::remove_all(dir);
}

TEST(Held, ActionsAreNamedByTheirWords) {
  EXPECT_EQ(ParseHeldAction("skip"), HeldAction::Skip);
  EXPECT_EQ(ParseHeldAction("convert"), HeldAction::Convert);
  EXPECT_EQ(ParseHeldAction("items"), HeldAction::Items);
  EXPECT_FALSE(ParseHeldAction("Skip"));
  EXPECT_FALSE(ParseHeldAction(""));
}

}  // namespace
}  // namespace rowcaster::catalogue
