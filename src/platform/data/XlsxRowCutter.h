#pragma once
// A worksheet part's XML cut, as it is inflated, into pieces that parse on their own: the text
// between the sheetData tags, cut after a row's end tag.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rowcaster::data {

class XlsxRowCutter {
 public:
  // A piece is cut off once it holds at least `minPiece` bytes.
  explicit XlsxRowCutter(std::size_t minPiece = std::size_t{1} << 18) : minPiece_(minPiece) {}

  // Takes the next bytes of the part; gives a piece of whole rows when one is ready.
  std::optional<std::string> Add(std::string_view bytes);
  // After the last bytes: the rows before the sheetData end tag (possibly none).
  std::optional<std::string> Finish();

  // The rows cannot be cut plainly: no sheetData, no end tag for it, or a document type, comment,
  // CDATA section or processing instruction that could hide an end tag. The part must then be
  // read whole.
  bool Failed() const { return failed_; }
  // No more bytes are wanted: it failed, or the sheet is an empty <sheetData/>.
  bool Done() const { return failed_ || empty_; }

 private:
  bool FindBody();
  std::optional<std::string> Checked(std::string rows);

  std::size_t minPiece_;
  std::string pending_, rowEnd_, bodyEnd_;
  bool inBody_ = false, empty_ = false, failed_ = false;
};

}  // namespace rowcaster::data
