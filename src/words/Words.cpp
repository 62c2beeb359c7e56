#include "words/Words.h"

#include <QCoreApplication>
#include <QLocale>
#include <QString>
#include <QTranslator>

#include "convert/Values.h"

namespace rowcaster::words {
namespace {

using convert::Finding;
using convert::Kind;

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string S(const QString& s) { return s.toStdString(); }
QString N(std::int64_t n) { return QString::number(n); }

// The finding's n-th value, or the empty text.
QString Value(const Finding& f, std::size_t n) { return n < f.values.size() ? Q(f.values[n]) : QString(); }

QString DescribeError(const Finding& f) {
  switch (f.kind) {
    case Kind::NoTitle: return QCoreApplication::translate("Words", "没有题名");
    case Kind::PublisherTableMissing: return QCoreApplication::translate("Words", "没有出版社库");
    case Kind::PublisherTableUnusable: return QCoreApplication::translate("Words", "出版社库不能用：%1").arg(Value(f, 0));
    case Kind::PinyinUnavailable: return QCoreApplication::translate("Words", "无法取得拼音：%1").arg(Value(f, 0));
    case Kind::RecordNotBuilt: return QCoreApplication::translate("Words", "记录生成失败：%1").arg(Value(f, 0));
    case Kind::RecordNotWritten: return QCoreApplication::translate("Words", "记录写不出：%1").arg(Value(f, 0));
    case Kind::RecordEmpty: return QCoreApplication::translate("Words", "记录为空");
    case Kind::OutOfMemory: return QCoreApplication::translate("Words", "内存不足");
    case Kind::RowCrashed:
      return f.values.empty() ? QCoreApplication::translate("Words", "处理这一行时出错")
                              : QCoreApplication::translate("Words", "处理这一行时出错：%1").arg(Value(f, 0));
    case Kind::NoSuchRow: return QCoreApplication::translate("Words", "没有第 %1 行").arg(Value(f, 0));
    case Kind::NotABook: return QCoreApplication::translate("Words", "“%1”是合计或结束行，没有生成记录").arg(Value(f, 0));
    case Kind::FieldTooLong:
      if (f.values.size() >= 4)
        return QCoreApplication::translate("Words", "%1（列“%2”）在字段 %3 中长 %4 字节，超过单个字段 9,999 字节的上限")
            .arg(Value(f, 2), Value(f, 3), Value(f, 0), QLocale(QLocale::English).toString(Value(f, 1).toLongLong()));
      return QCoreApplication::translate("Words", "字段 %1 长 %2 字节，超过单个字段 9,999 字节的上限")
          .arg(Value(f, 0), QLocale(QLocale::English).toString(Value(f, 1).toLongLong()));
    default: return {};
  }
}

// The rows merged into this one's record and what became of their copies.
QString RowsMerged(const Finding& f) {
  QStringList rows;
  for (std::size_t k = 2; k < f.values.size(); ++k) rows << Value(f, k);
  const QString list = rows.join(QCoreApplication::translate("Words", "、"));
  if (!Value(f, 0).isEmpty())
    return QCoreApplication::translate("Words", "第 %1 行与这一行重复，并入这一条记录，复本数合计 %2（905 $f）").arg(list, Value(f, 0));
  if (!Value(f, 1).isEmpty())
    return QCoreApplication::translate("Words", "第 %1 行与这一行重复，并入这一条记录；复本数“%2”读不出，没有相加").arg(list, Value(f, 1));
  return QCoreApplication::translate("Words", "第 %1 行与这一行重复，并入这一条记录").arg(list);
}

// "本馆已有（本馆 记录号 CAT0001，按 ISBN）…": where the library's record was found and how.
QString Held(const Finding& f) {
  const QString by = Value(f, 2) == QStringLiteral("title") ? QCoreApplication::translate("Words", "按题名、责任者、出版者和出版年")
                                                           : QCoreApplication::translate("Words", "按 ISBN");
  const QString where = Value(f, 1).isEmpty()
                            ? QCoreApplication::translate("Words", "%1，%2").arg(Value(f, 0), by)
                            : QCoreApplication::translate("Words", "%1 记录号 %2，%3").arg(Value(f, 0), Value(f, 1), by);
  switch (f.kind) {
    case Kind::HeldSkipped: return QCoreApplication::translate("Words", "本馆已有（%1），没有转换").arg(where);
    case Kind::HeldConverted: return QCoreApplication::translate("Words", "本馆已有（%1），照样转换").arg(where);
    default: return QCoreApplication::translate("Words", "本馆已有（%1），只写了加馆藏用的简要记录").arg(where);
  }
}

QString DescribeWarning(const Finding& f) {
  switch (f.kind) {
    case Kind::IsbnCheckDigit: return QCoreApplication::translate("Words", "ISBN %1 的校验位不对，写入 010 $z").arg(Value(f, 0));
    case Kind::NotAnIsbn: return QCoreApplication::translate("Words", "“%1”不是 ISBN，没有写入 010").arg(Value(f, 0));
    case Kind::PriceUnreadable: return QCoreApplication::translate("Words", "价格“%1”读不出，没有写入 010 $d").arg(Value(f, 0));
    case Kind::NoYear: return QCoreApplication::translate("Words", "没有出版年，100 $a 的出版日期记为不详");
    case Kind::DateWithoutYear:
      return QCoreApplication::translate("Words", "出版日期“%1”中没有年份，100 $a 的出版日期记为不详").arg(Value(f, 0));
    case Kind::Unencodable:
      return QCoreApplication::translate("Words", "%1 个 %2 中没有的字符写成了“?”：%3").arg(Value(f, 0), Value(f, 1), Value(f, 2));
    case Kind::XmlControlCharacters:
      return QCoreApplication::translate("Words", "%1 个 XML 不允许的控制字符没有写出：%2").arg(Value(f, 0), Value(f, 1));
    case Kind::NameFragment:
      return QCoreApplication::translate("Words", "“%1”不是完整的名称，没有写入 7XX，请核对责任者").arg(Value(f, 0));
    case Kind::TranslatorInferred:
      return QCoreApplication::translate("Words", "推定“%1”为译者（702 $4 译）").arg(Value(f, 0));
    case Kind::NotAPerson: return QCoreApplication::translate("Words", "“%1”不是责任者，没有写入 7XX").arg(Value(f, 0));
    case Kind::SamePersonOnce:
      return QCoreApplication::translate("Words", "“%1”重复出现，只写一个检索点（略去责任方式“%2”）").arg(Value(f, 0), Value(f, 1));
    case Kind::ShopTitle: return QCoreApplication::translate("Words", "题名像商品标题，请核对");
    case Kind::IsbnOldCheckDigit:
      return QCoreApplication::translate("Words", "ISBN %1 的校验位不对，写入 010 $z；它可能是 ISBN-10 %2 前加了 978 而没有重算校验位")
          .arg(Value(f, 0), Value(f, 1));
    case Kind::SizeUnreadable: return QCoreApplication::translate("Words", "尺寸“%1”读不出，照原样写入 215 $d").arg(Value(f, 0));
    case Kind::NotAClassNumber: return QCoreApplication::translate("Words", "“%1”不是中图法分类号，没有写入 690").arg(Value(f, 0));
    case Kind::LanguageUnknown:
      return QCoreApplication::translate("Words", "题名“%1”不是中文，又没有作品语种，101 $a 记为 und").arg(Value(f, 0));
    case Kind::OriginalLanguageUnknown:
      return f.values.empty() || f.values[0].empty()
                 ? QCoreApplication::translate("Words", "这是译著，但看不出原作语种，101 没有 $c")
                 : QCoreApplication::translate("Words", "这是译著，但看不出国别“%1”的原作语种，101 没有 $c").arg(Value(f, 0));
    case Kind::TitleSplit:
      return QCoreApplication::translate("Words", "题名分为正题名“%1”和副题名“%2”（200 $e）").arg(Value(f, 0), Value(f, 1));
    case Kind::TitlePartMoved:
      return QCoreApplication::translate("Words", "题名中的“%1”写入 %2").arg(Value(f, 0), Q(f.field));
    case Kind::YearFromSerial:
      return QCoreApplication::translate("Words", "出版日期“%1”是年份 %2 被当作日期读出，取 %2 年").arg(Value(f, 0), Value(f, 1));
    case Kind::YearFromDateSerial:
      return QCoreApplication::translate("Words", "出版日期“%1”是日期的序号，取其年份 %2").arg(Value(f, 0), Value(f, 1));
    case Kind::SizeConverted: return QCoreApplication::translate("Words", "尺寸“%1”换算为 %2").arg(Value(f, 0), Value(f, 1));
    case Kind::RoleAssumed:
      return QCoreApplication::translate("Words", "“%1”没有写责任方式，推定为“%2”（200 $f、7XX $4）")
          .arg(Value(f, 0), f.values.size() > 1 ? Value(f, 1) : QStringLiteral("著"));
    case Kind::BarcodesUnreadable:
      return QCoreApplication::translate("Words", "条形码“%1”中有读不出的条码或范围，照原样写入").arg(Value(f, 0));
    case Kind::CopiesDisagree:
      return QCoreApplication::translate("Words", "复本数 %1 与条形码的数目 %2 不符，按条形码写入 %2 个复本").arg(Value(f, 0), Value(f, 1));
    case Kind::NoAgencyCode:
      return QCoreApplication::translate("Words", "没有设置编目机构代码，801 $b 和 905 $a 都是空的（--agency 或方案的 agency）");
    case Kind::PlaceholderDropped:
      return QCoreApplication::translate("Words", "“%1”表示没有值，没有写入 %2").arg(Value(f, 0), Q(f.field));
    case Kind::BarReplaced:
      return QCoreApplication::translate("Words", "“%1”中的“|”是子字段标识符，写成了“｜”").arg(Value(f, 0));
    case Kind::LookAlikeFolded:
      return QCoreApplication::translate("Words", "“%1”中 GBK 没有的字符换成了形近字：“%2”").arg(Value(f, 0), Value(f, 1));
    case Kind::OriginalLanguageFromMark:
      return QCoreApplication::translate("Words", "按国别“%1”推定原作语种为 %2（101 $c）").arg(Value(f, 0), Value(f, 1));
    case Kind::NotCopied: return QCoreApplication::translate("Words", "未套录到，写入按本行数据生成的记录");
    case Kind::CopyRejected:
      return QCoreApplication::translate("Words", "%1 中这个 ISBN 的记录题名是“%2”，与本行题名“%3”不符，没有套录")
          .arg(Value(f, 0), Value(f, 1), Value(f, 2));
    case Kind::CopyUnreadable:
      return QCoreApplication::translate("Words", "%1 返回的记录读不出，没有套录").arg(Value(f, 0));
    case Kind::TargetUnavailable:
      return QCoreApplication::translate("Words", "套录目标 %1 不可用（错误 %2：%3），之后的行没有再查询它")
          .arg(Value(f, 0), Value(f, 1), Value(f, 2));
    case Kind::CopiedFrom:
      return f.values.size() > 1 && !f.values[1].empty()
                 ? QCoreApplication::translate("Words", "套录自 %1（记录号 %2）").arg(Value(f, 0), Value(f, 1))
                 : QCoreApplication::translate("Words", "套录自 %1").arg(Value(f, 0));
    case Kind::CopyConflict:
      return QCoreApplication::translate("Words", "%1 本行是“%2”，套录的记录是“%3”，保留记录的").arg(Q(f.field), Value(f, 0), Value(f, 1));
    case Kind::PlaceUnknown: return QCoreApplication::translate("Words", "没有找到出版地，210 $a 记为“[出版地不详]”");
    case Kind::PublisherAbbreviated:
      return QCoreApplication::translate("Words", "出版者“%1”可能是“%2”的简称，ISBN 不能证实，照原样写入 210 $c")
          .arg(Value(f, 0), Value(f, 1));
    case Kind::DuplicateRow:
      return QCoreApplication::translate("Words", "与第 %1 行重复，并入那一行的记录").arg(Value(f, 0));
    case Kind::SameTitleOtherIsbn:
      return QCoreApplication::translate("Words", "题名与第 %1 行相同而 ISBN 不同，请核对").arg(Value(f, 0));
    case Kind::PublisherNotAName:
      return QCoreApplication::translate("Words", "出版者一栏的“%1”是版次或日期，不是出版者").arg(Value(f, 0));
    case Kind::PublisherFromIsbn:
      return QCoreApplication::translate("Words", "按 ISBN 的出版者号，210 $c 记为“%1”").arg(Value(f, 0));
    case Kind::PublisherCompleted:
      return QCoreApplication::translate("Words", "出版者“%1”按 ISBN 的出版者号补全为“%2”").arg(Value(f, 0), Value(f, 1));
    case Kind::RowsMerged: return RowsMerged(f);
    case Kind::HeldSkipped:
    case Kind::HeldConverted:
    case Kind::HeldItemsOnly: return Held(f);
    case Kind::CopyAlternatives: {
      QStringList ids;
      for (std::size_t k = 1; k < f.values.size(); ++k) ids << Value(f, k);
      return QCoreApplication::translate("Words", "%1 还有 %2 条记录也相符（%3），套录了题名最相符的一条")
          .arg(Value(f, 0))
          .arg(ids.size())
          .arg(ids.join(QCoreApplication::translate("Words", "、")));
    }
    case Kind::PrivateUseKept:
      return QCoreApplication::translate("Words", "%1 个私用区字符照原样写出，图书馆系统可能显示不出：%2").arg(Value(f, 0), Value(f, 1));
    case Kind::PartFromVolumeColumn:
      return QCoreApplication::translate("Words", "同一题名有不同的 ISBN，卷次“%1”写入 200 $h").arg(Value(f, 0));
    default: return {};
  }
}

QString Damaged(const output::ExistingOutput& e) {
  const QString n = N(e.damagedRecord);
  QString what;
  switch (e.damage) {
    case output::Damage::Directory: what = QCoreApplication::translate("Words", "第 %1 条记录的目录不对").arg(n); break;
    case output::Damage::StrayBytes:
      what = QCoreApplication::translate("Words", "第 %1 条记录的位置上有不属于记录的字节").arg(n);
      break;
    case output::Damage::NoTerminator: what = QCoreApplication::translate("Words", "第 %1 条记录没有记录结束符").arg(n); break;
    default: what = QCoreApplication::translate("Words", "第 %1 条记录的长度不对").arg(n); break;
  }
  return QCoreApplication::translate("Words", "输出文件里%1，文件没有改动。请换一个输出文件，或选择替换").arg(what);
}

// What a row of the kind has, to follow "N 行" in the summary.
QString KindLabel(Kind kind) {
  switch (kind) {
    case Kind::NoTitle: return QCoreApplication::translate("Words", "没有题名");
    case Kind::NotABook: return QCoreApplication::translate("Words", "是合计或结束行");
    case Kind::FieldTooLong: return QCoreApplication::translate("Words", "有字段超过 9,999 字节");
    case Kind::BarcodesUnreadable: return QCoreApplication::translate("Words", "条形码读不出");
    case Kind::CopiesDisagree: return QCoreApplication::translate("Words", "复本数与条形码数目不符");
    case Kind::IsbnCheckDigit: return QCoreApplication::translate("Words", "ISBN 校验位不对");
    case Kind::IsbnOldCheckDigit: return QCoreApplication::translate("Words", "ISBN 是 978 加 ISBN-10 的旧校验位");
    case Kind::NotAnIsbn: return QCoreApplication::translate("Words", "ISBN 一栏不是 ISBN");
    case Kind::PriceUnreadable: return QCoreApplication::translate("Words", "价格读不出");
    case Kind::NoYear: return QCoreApplication::translate("Words", "没有出版年");
    case Kind::DateWithoutYear: return QCoreApplication::translate("Words", "出版日期中没有年份");
    case Kind::Unencodable: return QCoreApplication::translate("Words", "有输出编码中没有的字符");
    case Kind::XmlControlCharacters: return QCoreApplication::translate("Words", "有 XML 不允许的控制字符");
    case Kind::NameFragment: return QCoreApplication::translate("Words", "责任者中有不完整的名称");
    case Kind::ShopTitle: return QCoreApplication::translate("Words", "题名像商品标题");
    case Kind::SizeUnreadable: return QCoreApplication::translate("Words", "尺寸读不出");
    case Kind::NotAClassNumber: return QCoreApplication::translate("Words", "分类号不是中图法分类号");
    case Kind::LanguageUnknown: return QCoreApplication::translate("Words", "题名不是中文又没有语种");
    case Kind::OriginalLanguageUnknown: return QCoreApplication::translate("Words", "是译著但看不出原作语种");
    case Kind::TranslatorInferred: return QCoreApplication::translate("Words", "推定了译者");
    case Kind::NotAPerson: return QCoreApplication::translate("Words", "责任者一栏有不是责任者的值");
    case Kind::SamePersonOnce: return QCoreApplication::translate("Words", "同一责任者重复出现，只写一个检索点");
    case Kind::TitleSplit: return QCoreApplication::translate("Words", "题名分出了副题名");
    case Kind::TitlePartMoved: return QCoreApplication::translate("Words", "题名中的版次、卷册或装帧移到了别的字段");
    case Kind::YearFromSerial:
    case Kind::YearFromDateSerial: return QCoreApplication::translate("Words", "出版年取自日期单元格的序号");
    case Kind::SizeConverted: return QCoreApplication::translate("Words", "尺寸换算为厘米");
    case Kind::RoleAssumed: return QCoreApplication::translate("Words", "的责任方式是推定的");
    case Kind::OriginalLanguageFromMark: return QCoreApplication::translate("Words", "按国别推定了原作语种");
    case Kind::PlaceholderDropped: return QCoreApplication::translate("Words", "有表示“没有”的值（0、无、-），没有写入");
    case Kind::BarReplaced: return QCoreApplication::translate("Words", "有“|”写成了“｜”");
    case Kind::LookAlikeFolded: return QCoreApplication::translate("Words", "有 GBK 没有的字符换成了形近字");
    case Kind::NotCopied: return QCoreApplication::translate("Words", "未套录到");
    case Kind::CopyRejected: return QCoreApplication::translate("Words", "查到的记录题名不符，没有套录");
    case Kind::CopyUnreadable: return QCoreApplication::translate("Words", "查到的记录读不出");
    case Kind::TargetUnavailable: return QCoreApplication::translate("Words", "套录目标不可用");
    case Kind::CopiedFrom: return QCoreApplication::translate("Words", "是套录的记录");
    case Kind::CopyConflict: return QCoreApplication::translate("Words", "出版者或出版年与套录的记录不同");
    case Kind::PlaceUnknown: return QCoreApplication::translate("Words", "没有找到出版地");
    case Kind::DuplicateRow: return QCoreApplication::translate("Words", "与前面的行重复，并入了那一行的记录");
    case Kind::SameTitleOtherIsbn: return QCoreApplication::translate("Words", "题名与别的行相同而 ISBN 不同");
    case Kind::RowsMerged: return QCoreApplication::translate("Words", "的记录合并了后面重复的行");
    case Kind::PartFromVolumeColumn: return QCoreApplication::translate("Words", "的卷次从卷次列写入 200 $h");
    case Kind::PrivateUseKept: return QCoreApplication::translate("Words", "有照原样写出的私用区字符");
    case Kind::HeldSkipped: return QCoreApplication::translate("Words", "本馆已有，没有转换");
    case Kind::CopyAlternatives: return QCoreApplication::translate("Words", "套录目标中还有别的相符记录");
    case Kind::HeldConverted: return QCoreApplication::translate("Words", "本馆已有，照样转换了");
    case Kind::HeldItemsOnly: return QCoreApplication::translate("Words", "本馆已有，只写了馆藏");
    case Kind::PublisherAbbreviated: return QCoreApplication::translate("Words", "出版者可能是简称");
    case Kind::PublisherNotAName: return QCoreApplication::translate("Words", "出版者一栏是版次或日期");
    case Kind::PublisherFromIsbn: return QCoreApplication::translate("Words", "出版者按 ISBN 的出版者号写入");
    case Kind::PublisherCompleted: return QCoreApplication::translate("Words", "出版者按 ISBN 的出版者号补全");
    default: return Q(std::string(convert::KindCode(kind)));
  }
}

}  // namespace

bool InstallTranslations(const std::string& dataDir, Audience audience) {
  // The languages asked for messages (LANGUAGE, LC_ALL, LC_MESSAGES, LANG): Chinese keeps the
  // program's own texts; the window keeps them too where none or C is asked for.
  const QStringList languages = QLocale::system().uiLanguages();
  const QString first = languages.isEmpty() ? QString() : languages.front();
  if (first.startsWith("zh")) return true;
  if (audience == Audience::Window && (first.isEmpty() || first == "C" || first.startsWith("C."))) return true;
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(Q(dataDir + "/translations/rowcaster_en.qm"))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

std::string LevelName(convert::Level level) {
  switch (level) {
    case convert::Level::Error: return S(QCoreApplication::translate("Words", "错误"));
    case convert::Level::Warning: return S(QCoreApplication::translate("Words", "警告"));
    case convert::Level::Note: return S(QCoreApplication::translate("Words", "说明"));
  }
  return {};
}

std::string Describe(const Finding& f) {
  const QString text = f.level == convert::Level::Error ? DescribeError(f) : DescribeWarning(f);
  return S(text.isEmpty() ? Q(std::string(convert::KindCode(f.kind))) : text);
}

std::string Describe(const std::vector<Finding>& findings) {
  std::string out;
  for (const Finding& f : findings) {
    if (!out.empty()) out += S(QCoreApplication::translate("Words", "；"));
    out += convert::OneLine(Describe(f));
  }
  return out;
}

std::string PathMissingText() { return S(QCoreApplication::translate("Words", "请选择导出MARC文件的路径")); }
std::string FriendlyTitle() { return S(QCoreApplication::translate("Words", "温馨提示")); }
std::string SystemTitle() { return S(QCoreApplication::translate("Words", "系统提示")); }
std::string DoneText() { return S(QCoreApplication::translate("Words", " 恭喜，数据已转换完毕！")); }

std::string RequiredFieldsMessage(bool titleMissing, bool isbnMissing, bool priceMissing) {
  QString list;
  if (titleMissing) list += QCoreApplication::translate("Words", "“题名”");
  if (isbnMissing) list += QCoreApplication::translate("Words", "“ISBN”");
  if (priceMissing) list += QCoreApplication::translate("Words", "“价格”");
  return S(QCoreApplication::translate("Words", "对不起，必备字段：%1不能为忽略！请重新选择！").arg(list));
}

std::string OutputKindText(iso2709::Format format, iso2709::Encoding encoding) {
  const QString name = Q(std::string(iso2709::NameOf(encoding)));
  switch (format) {
    case iso2709::Format::Iso2709: return S(QCoreApplication::translate("Words", "ISO 2709，%1 编码").arg(name));
    case iso2709::Format::MarcXml: return S(QCoreApplication::translate("Words", "MARCXML（%1）").arg(name));
    case iso2709::Format::Text: return S(QCoreApplication::translate("Words", "记录列表（%1）").arg(name));
  }
  return {};
}

std::string RefusalText(const output::ExistingOutput& e, iso2709::Encoding encoding) {
  switch (e.refusal) {
    case output::Refusal::None: return {};
    case output::Refusal::NotIso2709:
      return S(QCoreApplication::translate("Words", "这个文件不是 ISO 2709 记录文件，不能在其后追加记录"));
    case output::Refusal::NotMarcXml:
      return S(QCoreApplication::translate("Words", "这个文件不是 MARCXML 记录集合，不能在其后追加记录"));
    case output::Refusal::UnendedMarcXml:
      return S(QCoreApplication::translate("Words", "这个 MARCXML 文件没有结尾，不能在其后追加记录"));
    case output::Refusal::OtherEncoding:
      return S(QCoreApplication::translate("Words", "输出文件里已有的记录是 %1 编码，不能在其后追加 %2 编码的记录：一个文件里的记录只能有一种编码，否则读的程序会把一部分读错。请换一个输出文件，或者选择替换")
                   .arg(e.utf8Records ? "UTF-8" : "GBK/GB18030", Q(std::string(iso2709::NameOf(encoding)))));
    case output::Refusal::Damaged: return S(Damaged(e));
  }
  return {};
}

std::string UnmatchedText(const convert::Profile& p, const convert::ProfileMatch& match) {
  if (match.unmatched.empty()) return {};
  QStringList names;
  for (const convert::ProfileColumn& m : match.unmatched)
    names << (m.column.empty() ? QCoreApplication::translate("Words", "第 %1 列").arg(m.position) : Q(m.column));
  return S(QCoreApplication::translate("Words", "方案“%1”有 %2 列在这张表里找不到：%3")
               .arg(Q(p.name), N(static_cast<std::int64_t>(names.size())), names.join(QCoreApplication::translate("Words", "、"))));
}

std::string MisfitText(mapping::Misfit why, const std::string& example) {
  using mapping::Misfit;
  QString text;
  switch (why) {
    case Misfit::None: return {};
    case Misfit::OnlyNumbers: text = QCoreApplication::translate("Words", "这一列的值只有数字"); break;
    case Misfit::Prices: text = QCoreApplication::translate("Words", "这一列的值是价格"); break;
    case Misfit::NoPageCount: text = QCoreApplication::translate("Words", "这一列的值不是页数"); break;
    case Misfit::NoIsbn: text = QCoreApplication::translate("Words", "这一列的值没有 ISBN"); break;
    case Misfit::NoYear: text = QCoreApplication::translate("Words", "这一列的值没有年份"); break;
    case Misfit::NoNumber: text = QCoreApplication::translate("Words", "这一列的值没有数字"); break;
    case Misfit::NoClassNumber: text = QCoreApplication::translate("Words", "这一列的值不是分类号"); break;
    case Misfit::NoCount: text = QCoreApplication::translate("Words", "这一列的值不是数量"); break;
  }
  if (!example.empty()) text += QCoreApplication::translate("Words", "（如“%1”）").arg(Q(example));
  return S(text);
}

std::string RejectedText(const std::string& column, const mapping::RejectedColumn& rejected) {
  return S(QCoreApplication::translate("Words", "“%1”没有对应 %2：%3")
               .arg(Q(column), Q(rejected.code), Q(MisfitText(rejected.why, rejected.example))));
}

std::string OfferedText(const std::string& column, const mapping::OfferedColumn& offered) {
  QStringList codes;
  for (const std::string& code : offered.codes) codes << Q(code);
  return S(QCoreApplication::translate("Words", "“%1”是图书的类别，没有对应；可以对应 %2")
               .arg(Q(column), codes.join(QCoreApplication::translate("Words", " 或 "))));
}

std::string NamedCellTip(const std::string& column, const std::string& code) {
  return S(QCoreApplication::translate("Words", "按列名“%1”对应 %2，请核对：选一个字段即修改，右键菜单可全部确认").arg(Q(column), Q(code)));
}

std::string ConfirmNamedText() { return S(QCoreApplication::translate("Words", "确认按列名对应的字段")); }

std::string CutNote(const convert::RunResult& r) {
  if (r.cutBytes == 0) return {};
  return S("\r\n" + QCoreApplication::translate("Words", "输出文件末尾原有一条不完整的记录（%1 字节），已删除，新记录接在最后一条完整记录之后。")
                        .arg(N(r.cutBytes)));
}

std::string UnencodableSummary(const convert::RunResult& r, const convert::RunInput& input) {
  if (r.unencodable == 0) return {};
  if (input.format == iso2709::Format::MarcXml)
    return S(QCoreApplication::translate("Words", "%1 条记录里共有 %2 个 XML 不允许的控制字符，没有写出（每行的字符见详细信息）。")
                 .arg(N(r.unencodableRows), N(r.unencodable)));
  return S(QCoreApplication::translate("Words", "%1 条记录里共有 %2 个字符 %3 中没有，写成了“?”（每行的字符见详细信息）。要保留这些字符，请改用 GB18030 或 UTF-8 编码输出。")
               .arg(N(r.unencodableRows), N(r.unencodable), Q(std::string(iso2709::NameOf(input.encoding)))));
}

std::string PrivateUseSummary(const convert::RunResult& r) {
  if (r.privateUse == 0) return {};
  return S(QCoreApplication::translate("Words", "%1 条记录里共有 %2 个私用区字符，照原样写出，图书馆系统可能显示不出（每行的字符见详细信息）。")
               .arg(N(r.privateUseRows), N(r.privateUse)));
}

std::string SummaryText(const convert::RunResult& result) {
  std::string out;
  for (const convert::Finding& f : result.runFindings) out += LevelName(f.level) + S(QCoreApplication::translate("Words", "：")) + Describe(f) + "\n";
  for (const convert::Level level : {convert::Level::Error, convert::Level::Warning, convert::Level::Note}) {
    QStringList parts;
    for (const auto& [kind, rows] : result.counts)
      if (convert::LevelOf(kind) == level) parts << QCoreApplication::translate("Words", "%1 行%2").arg(N(rows), KindLabel(kind));
    if (!parts.isEmpty())
      out += LevelName(level) + S(QCoreApplication::translate("Words", "：") + parts.join(QCoreApplication::translate("Words", "；"))) + "\n";
  }
  return out;
}

void ForEachReportLine(const convert::RunResult& result, int firstDataLine,
                       const std::function<void(const std::vector<std::string>&)>& use) {
  use({S(QCoreApplication::translate("Words", "行")), S(QCoreApplication::translate("Words", "表格行")),
       S(QCoreApplication::translate("Words", "题名")), "ISBN", S(QCoreApplication::translate("Words", "级别")),
       S(QCoreApplication::translate("Words", "类别")), S(QCoreApplication::translate("Words", "字段")),
       S(QCoreApplication::translate("Words", "说明"))});
  const auto line = [&](const Finding& f, const convert::RowReport* r) {
    const std::string sheetRow = r && firstDataLine > 0 ? std::to_string(r->row - 1 + firstDataLine) : "";
    use({r ? std::to_string(r->row) : "", sheetRow, r ? convert::OneLine(r->title) : "",
         r ? convert::OneLine(r->isbn) : "", LevelName(f.level), std::string(convert::KindCode(f.kind)), f.field,
         convert::OneLine(Describe(f))});
  };
  for (const Finding& f : result.runFindings) line(f, nullptr);
  for (const convert::RowReport& r : result.report)
    for (const Finding& f : r.findings) line(f, &r);
}

std::vector<std::vector<std::string>> ReportTable(const convert::RunResult& result, int firstDataLine) {
  std::vector<std::vector<std::string>> table;
  ForEachReportLine(result, firstDataLine, [&](const std::vector<std::string>& cells) { table.push_back(cells); });
  return table;
}

std::string ReportText(const convert::RunResult& result, int firstDataLine) {
  std::string out;
  for (const auto& cells : ReportTable(result, firstDataLine)) {
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (k > 0) out += '\t';
      for (const char c : cells[k]) out += c == '\t' ? ' ' : c;  // a tab inside a cell would shift the columns
    }
    out += '\n';
  }
  return out;
}

std::string MergedSummary(const convert::RunResult& r) {
  if (r.merged == 0) return {};
  return S(QCoreApplication::translate("Words", "%1 行与前面的行重复，已并入前面那一行的记录")
               .arg(N(r.merged)));
}

std::string PreviewText(const convert::RowPreview& preview) {
  std::string out = preview.listing;
  // Without a record, why: the error, the row that stands for a merged one, or the holding.
  const Finding* why = nullptr;
  if (preview.record.empty()) {
    why = convert::FirstError(preview.findings);
    // Not an error: the row repeats another, or the library holds the book.
    for (const Finding& f : preview.findings)
      if (!why && (f.kind == Kind::DuplicateRow || f.kind == Kind::HeldSkipped)) why = &f;
    out = S(QCoreApplication::translate("Words", "没有生成记录：%1").arg(why ? Q(Describe(*why)) : QString())) + "\n";
  }
  for (const Finding& f : preview.findings)
    if (f.level != convert::Level::Error && &f != why)
      out += LevelName(f.level) + S(QCoreApplication::translate("Words", "：")) + Describe(f) + "\n";
  return out;
}

std::string TargetProblemText(const catalogue::TargetRead& read) {
  using catalogue::TargetProblem;
  const QString v = Q(read.value);
  switch (read.problem) {
    case TargetProblem::None: return {};
    case TargetProblem::NotAUrl: return S(QCoreApplication::translate("Cli", "“%1”不是 z3950:// 或 sru:// 开头的地址").arg(v));
    case TargetProblem::NoHost: return S(QCoreApplication::translate("Cli", "地址中没有主机名"));
    case TargetProblem::BadPort: return S(QCoreApplication::translate("Cli", "端口“%1”不是 1 到 65535 的数").arg(v));
    case TargetProblem::UnknownKey: return S(QCoreApplication::translate("Cli", "不认识的设置“%1”（syntax、esn、charset、name、own）").arg(v));
    case TargetProblem::BadSyntax: return S(QCoreApplication::translate("Cli", "记录格式“%1”不是 unimarc 或 marcxml").arg(v));
    case TargetProblem::BadCharset: return S(QCoreApplication::translate("Cli", "字符集“%1”不是 utf-8、gbk 或 gb18030").arg(v));
    case TargetProblem::BadOwn: return S(QCoreApplication::translate("Cli", "own=“%1”应是 yes 或 no").arg(v));
    case TargetProblem::NoDatabase: return S(QCoreApplication::translate("Cli", "Z39.50 地址中没有数据库名"));
    case TargetProblem::NotATarget: return S(QCoreApplication::translate("Cli", "套录目标文件中有一项不是地址，也没有 host"));
    case TargetProblem::NotJson: return S(QCoreApplication::translate("Cli", "套录目标文件不是 JSON 列表"));
    case TargetProblem::UnknownName:
      return S(QCoreApplication::translate("Cli", "没有名为“%1”的套录目标（rowcaster-cli targets 列出已设置的目标）").arg(v));
  }
  return {};
}

}  // namespace rowcaster::words
