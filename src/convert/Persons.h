#pragma once
// The persons and bodies of a statement of responsibility (200 $f, 200 $g) as 7XX fields:
// "李仲轩 口述 / 徐皓峰 整理", "张三著 李四译", "[美] Abraham Silberschatz 等著", "王小明 李华编".

#include <string>
#include <string_view>
#include <vector>

#include "convert/Finding.h"
#include "convert/Pinyin.h"

namespace rowcaster::convert {

struct Responsible {
  std::string name;   // without mark and role word
  std::string mark;   // nationality or dynasty: 美, 清
  std::string addition;  // a Latin name's suffix: Jr.
  std::string original;  // the original form given in brackets: 罗恩·彻诺(Ron Chernow)
  std::string role;   // the role word; 著 when the statement gives none
  bool corporate = false;  // a body (…出版社, …委员会): 711/712
  bool secondary = false;  // a secondary role (译, 校, 注, 绘, 整理 …): 702/712
  bool latin = false;      // written in Latin letters
  bool etAl = false;       // 等 follows the name: the statement names only some of them
  bool roleAssumed = false;  // no role word reached the name: 著 by default
};

// The persons and bodies of one cell, in order. Names before a role word share it, but a secondary
// one (译, 审校) reaches back no further than a blank between names ("（日）某某  张三 审校"); a bare Han name after a foreign author is the
// translator; 等 and 等著, placeholders (佚名, an image file's name) and stray Latin initials are
// dropped; statements apart at "|" may start with their role ("译者:李四"). What the rules
// inferred or dropped goes to `findings` when given.
std::vector<Responsible> SplitResponsibility(std::string_view statement, std::vector<Finding>* findings = nullptr);

// The name of SplitResponsibility's first person or body, or nothing: the statement is read only
// as far as that name.
std::string FirstResponsibleName(std::string_view statement);

// One heading per person or body: the same name again is left out, its main role kept.
void OnePerPerson(std::vector<Responsible>& all, std::vector<Finding>* findings = nullptr);

// The statement in cataloguing form, one text per responsibility group (consecutive names with one
// role): marks as "(美)", the role word right after the names, 著 where none was given —
// "[美] 某某 著；张三 译" gives "(美)某某著", "张三译". The first group is 200 $f, the others $g.
std::vector<std::string> ResponsibilityGroups(const std::vector<Responsible>& all);

// What the persons tell of the text's language: translated (a role with 译, or an author with a
// foreign nationality mark), and the original language that mark stands for (美 eng, 法 fre …;
// empty when there is no mark or it is not known).
struct Translation {
  bool translated = false;
  std::string mark;      // the foreign mark the language is read from
  std::string language;  // MARC language code
};
Translation TranslationOf(const std::vector<Responsible>& all);

// The 7XX work-form lines for them, grouped by tag (701, 702, 711, 712): Chinese names with
// indicators " 0" and $A pinyin, Latin names surname first ("Silberschatz, Abraham") with " 1",
// the mark in $c, the role in $4; appended to `out`.
void AppendResponsibleLines(std::string& out, const std::vector<Responsible>& all, const PinyinSource& pinyin);

}  // namespace rowcaster::convert
