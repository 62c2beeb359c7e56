#pragma once
// The title cell (200 $a) as shop and vendor lists fill it: a subtitle after a colon or a dash,
// an edition, a part, a binding or a count of volumes written after the title, a shop listing's
// advertising, and rows that are no book (合计, 结束).

#include <string>
#include <string_view>
#include <vector>

#include "convert/Finding.h"
#include "convert/Subfields.h"

namespace rowcaster::convert {

// A piece the title cell held besides the title: where it belongs and what goes there.
struct TitlePiece {
  enum class Into { Edition, PartNumber, PartName, Binding, Volumes };
  Into into;
  std::string written;  // as the cell had it, with its brackets: "（第3版）"
  std::string value;    // what the field gets: "第3版"; "3册" for "（全3册）"
};

struct SplitOfTitle {
  std::string title;     // the title proper
  std::string subtitle;  // empty when the cell held none
  std::vector<TitlePiece> pieces;
};

// The trailing pieces ("（第3版）", "修订版", "（上）", "第一册", "（平装）", "（全3册）") taken off,
// then "正题名：副题名" or "正题名——副题名" split when the part before the mark is a title of its
// own (not "第一部：…").
SplitOfTitle SplitTitle(std::string_view cell);

// 【】, "正版", "包邮", "畅销", a gift, several "！", or over 40 characters with a second title in them.
bool LooksLikeShopListing(std::string_view title);

// 合计, 总计, 小计, 共计 or 结束, maybe with a count or a colon after it.
bool IsTotalRow(std::string_view title);

// The title rules on a row's cleaned values: a total row throws ComposeError (NotABook); a shop
// listing stays as given with a warning; otherwise the pieces move to 200 $e, 205 $a, 200 $h,
// 200 $i, 010 $b and 215 $a, each with a note, unless one of those holds another value already
// (then the title stays as the table gives it).
void ApplyTitleRules(SubfieldValues& v, std::vector<Finding>& findings);

}  // namespace rowcaster::convert
