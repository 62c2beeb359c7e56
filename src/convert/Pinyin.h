#pragma once
// Pinyin for the record composition, and the 701 lines built from the statement of
// responsibility.

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "convert/Finding.h"
#include "platform/pinyin/PinyinEngine.h"

namespace rowcaster::convert {

// A failure that ends the composition of one record, thrown from deep inside it (a lookup, the
// pinyin) and caught where the record is composed; finding() says why.
class ComposeError : public std::runtime_error {
 public:
  explicit ComposeError(Finding finding)
      : std::runtime_error(std::string(KindCode(finding.kind))), finding_(std::move(finding)) {}
  const Finding& finding() const { return finding_; }

 private:
  Finding finding_;
};

// The pinyin engine, or why it could not be loaded.
struct PinyinSource {
  std::shared_ptr<const pinyin::PinyinEngine> engine;
  std::string loadError;

  // Loads the dictionary beside the executable; a failure is kept, not thrown.
  static PinyinSource Beside();
  static PinyinSource FromFile(const std::string& path);
};

// The pinyin of `text` (name mode for persons). Throws ComposeError when the engine is missing.
std::string PinyinOf(const PinyinSource& source, std::string_view text, bool names = false);

// The part of `text` before its first NUL.
std::string_view CutAtNul(std::string_view text);

// The role terms recognised at the end of a name, in the order they are tested.
inline constexpr std::string_view kRoleTerms[] = {"编著", "撰写", "书绘", "撰文", "撰稿", "译注", "主编", "著", "编", "撰"};

// One 701 work-form line per person of the statement of responsibility `d200f`.
std::string AuthorLines(std::string_view d200f, const PinyinSource& pinyin);

}  // namespace rowcaster::convert
