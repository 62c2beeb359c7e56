#pragma once
// The 38 subfields a source column can feed, as the pick list offers them.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace rowcaster::mapping {

// Each entry: the four-character code, an em dash and a Chinese label.
inline constexpr std::array<std::string_view, 38> kMarcFieldEntries = {
    "010a—ISBN",           "010b—装订方式",       "010d—价格",           "101a—作品语种",
    "200a—题名",           "200d—并列正题名 ",    "200e—副题名",         "200f—责任者",
    "200g—其余责任说明 ",  "200h—分辑号 ",        "200i—分辑名",         "205a—版本说明",
    "210a—出版、发行地",   "210c—出版、发行者名称", "210d—出版时间",     "215a—页码",
    "215c—其它形态细节",   "215d—尺寸",           "215e—附件",           "225a—丛书题名",
    "225e—其它丛书题名",   "225v—卷册标示",       "300a—一般性附注",     "320a—书目、索引附注",
    "330a—提要或文摘附注", "333a—附注内容",       "606a—主题词(主标目)", "606x—主题词(主题复分)",
    "606j—主题词(形式得分)", "606y—主题词(地区复分)", "606z—主题词(年代复分)", "690a—中图分类号",
    "690v—中图法版本",     "905b—条形码",         "905d—分类号",         "905e—种次号/著者号",
    "905v—卷次号",         "905f—复本数",
};

// For each entry that contains the em dash, its first four characters followed by "|".
std::string BuildMarcCodeList(const std::vector<std::string>& entries);
std::string DefaultMarcCodeList();

// True when `name` is exactly one of the codes held in `marcCodeList`.
bool IsMarcCode(std::string_view name, std::string_view marcCodeList);

}  // namespace rowcaster::mapping
