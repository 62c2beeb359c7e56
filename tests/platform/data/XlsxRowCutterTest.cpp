#include "platform/data/XlsxRowCutter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rowcaster::data {
namespace {

// A worksheet's bytes, given in the chunks it is inflated in, come out as pieces of whole rows, or
// as a failure where the rows cannot be cut plainly.
TEST(XlsxRowCutter, CutsAfterRowEndTags) {
  struct Case {
    const char* what;
    std::vector<std::string> chunks;
    std::size_t minPiece;
    std::vector<std::string> pieces;
    bool failed;
  };
  const Case cases[] = {
      {"one chunk", {"<worksheet><sheetData><row r=\"1\">a</row><row r=\"2\">b</row></sheetData></worksheet>"}, 1,
       {"<row r=\"1\">a</row><row r=\"2\">b</row>", ""}, false},
      {"tags split across chunks", {"<worksheet><sheet", "Data><row>a</row><ro", "w>b</row></sheetData>"}, 1,
       {"<row>a</row>", "<row>b</row>", ""}, false},
      {"pieces below the least size wait for the end", {"<sheetData><row>a</row>", "<row>b</row></sheetData>"}, 1000,
       {"<row>a</row><row>b</row>"}, false},
      {"a cut needs the piece's least size", {"<sheetData><row>a</row>", "<row>b</row><row>c</row></sheetData>"}, 20,
       {"<row>a</row><row>b</row><row>c</row>", ""}, false},
      {"prefixed names", {"<x:worksheet><x:sheetData><x:row>a</row></x:row><x:row>b", "</x:row></x:sheetData>"}, 1,
       {"<x:row>a</row></x:row>", "<x:row>b</x:row>", ""}, false},
      {"no rows", {"<worksheet><sheetData/>", "<more/>"}, 1, {}, false},
      {"no sheetData", {"<worksheet></worksheet>"}, 1, {}, true},
      {"a document type before the rows", {"<!DOCTYPE w><worksheet><sheetData><row>a</row></sheetData>"}, 1, {}, true},
      {"a comment among the rows", {"<sheetData><row>a</row><!-- </row> --><row>b</row></sheetData>"}, 1, {}, true},
      {"an instruction in the last piece", {"<sheetData><row>a</row><?pi x?></sheetData>"}, 1, {"<row>a</row>"}, true},
      {"no end tag", {"<sheetData><row>a</row>"}, 1000, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    XlsxRowCutter cutter(c.minPiece);
    std::vector<std::string> pieces;
    for (const std::string& chunk : c.chunks) {
      if (cutter.Done()) break;
      if (auto rows = cutter.Add(chunk)) pieces.push_back(std::move(*rows));
    }
    if (!cutter.Done())
      if (auto rows = cutter.Finish()) pieces.push_back(std::move(*rows));
    EXPECT_EQ(pieces, c.pieces);
    EXPECT_EQ(cutter.Failed(), c.failed);
  }
}

}  // namespace
}  // namespace rowcaster::data
