#pragma once
// The subfield values of one source row, in the parameter order of the record composition.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rowcaster::convert {

// Parameters of ConverttoMarc, named "d" + code. d020d carries the 200d value; d200g is the one
// value beyond the original 37 (the subsequent statement of responsibility).
enum Param : std::size_t {
  d010a, d010b, d010d, d101a, d200a, d020d, d200e, d200h, d200i, d200f, d205a, d210a, d210c,
  d210d, d215a, d215c, d215d, d215e, d225a, d225e, d225v, d300a, d320a, d330a, d333a, d606a,
  d690a, d690v, d905b, d905e, d905f, d606x, d606y, d606z, d606j, d905d, d905v, d200g,
  kParamCount
};

// The 38 subfields a column can feed, in the order the pick list offers them: the code, the
// parameter that carries it and the label the pick list shows ("code—label"). The one table the
// pick list, the composition and the column-name file read.
struct Subfield {
  std::string_view code;
  Param param;
  std::string_view label;
};
inline constexpr std::array<Subfield, kParamCount> kSubfields = {{
    {"010a", d010a, "ISBN"},           {"010b", d010b, "装订方式"},         {"010d", d010d, "价格"},
    {"101a", d101a, "作品语种"},       {"200a", d200a, "题名"},             {"200d", d020d, "并列正题名 "},
    {"200e", d200e, "副题名"},         {"200f", d200f, "责任者"},           {"200g", d200g, "其余责任说明 "},
    {"200h", d200h, "分辑号 "},        {"200i", d200i, "分辑名"},           {"205a", d205a, "版本说明"},
    {"210a", d210a, "出版、发行地"},   {"210c", d210c, "出版、发行者名称"}, {"210d", d210d, "出版时间"},
    {"215a", d215a, "页码"},           {"215c", d215c, "其它形态细节"},     {"215d", d215d, "尺寸"},
    {"215e", d215e, "附件"},           {"225a", d225a, "丛书题名"},         {"225e", d225e, "其它丛书题名"},
    {"225v", d225v, "卷册标示"},       {"300a", d300a, "一般性附注"},       {"320a", d320a, "书目、索引附注"},
    {"330a", d330a, "提要或文摘附注"}, {"333a", d333a, "附注内容"},         {"606a", d606a, "主题词(主标目)"},
    {"606x", d606x, "主题词(主题复分)"}, {"606j", d606j, "主题词(形式得分)"}, {"606y", d606y, "主题词(地区复分)"},
    {"606z", d606z, "主题词(年代复分)"}, {"690a", d690a, "中图分类号"},    {"690v", d690v, "中图法版本"},
    {"905b", d905b, "条形码"},         {"905d", d905d, "分类号"},           {"905e", d905e, "种次号/著者号"},
    {"905v", d905v, "卷次号"},         {"905f", d905f, "复本数"},
}};

// The code each parameter carries, in parameter order.
inline constexpr std::array<std::string_view, kParamCount> kParamCodes = [] {
  std::array<std::string_view, kParamCount> codes{};
  for (const Subfield& s : kSubfields) codes[s.param] = s.code;
  return codes;
}();

// The parameter that carries `code`, if any.
std::optional<Param> ParamOfCode(std::string_view code);

using SubfieldValues = std::array<std::string, kParamCount>;

}  // namespace rowcaster::convert
