#include <QCoreApplication>
#include <QString>

#include "import/DataFile.h"
#include "words/Words.h"

namespace rowcaster::words {
namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
QString N(std::int64_t n) { return QString::number(n); }

std::string OutputFailedText(const convert::RunResult& r, const convert::RunInput& input) {
  const std::string why = r.refused ? RefusalText(r.refusal, input.encoding) : r.outputError;
  QString text = QCoreApplication::translate("Words", "无法写入输出文件 %1：%2").arg(Q(input.outputPath), Q(why));
  if (r.written > 0) text += "\r\n" + QCoreApplication::translate("Words", "已写入 %1 条完整的记录。").arg(N(r.written));
  return text.toStdString() + CutNote(r);
}

// The end of a run that went through every row.
EndMessage FinishedMessage(const convert::RunResult& r, const convert::RunInput& input) {
  EndMessage m;
  m.title = FriendlyTitle();
  QString text;
  if (r.failed == 0) {
    text = Q(DoneText());
  } else {
    text = QCoreApplication::translate("Words", "转换结束：写入 %1 条记录，%2 行没有生成记录。\r\n第一个未生成记录的是第 %3 行：%4")
               .arg(N(r.written), N(r.failed), N(r.firstFailedRow), Q(Describe(r.firstFailure)));
  }
  if (input.rules == convert::Rules::Recommended && r.failed == 0)
    text += "\r\n" + QCoreApplication::translate("Words", "写入 %1 条记录，其中 %2 条有警告。").arg(N(r.written), N(r.warned));
  else if (input.rules == convert::Rules::Recommended)
    text += "\r\n" + QCoreApplication::translate("Words", "写入的记录中 %1 条有警告。").arg(N(r.warned));
  if (const std::string unencodable = UnencodableSummary(r, input); !unencodable.empty()) text += "\r\n" + Q(unencodable);
  // The recommended rules tell what they found and changed, by kind; the report lists the rows.
  if (input.rules == convert::Rules::Recommended)
    if (const std::string summary = SummaryText(r); !summary.empty()) text += "\r\n" + Q(summary).trimmed().replace("\n", "\r\n");
  if (r.privateUse > 0) text += "\r\n" + Q(PrivateUseSummary(r));
  text += Q(CutNote(r));
  // The long-standing GBK records need no word; any other output is named.
  if (input.format != iso2709::Format::Iso2709 || input.encoding != iso2709::Encoding::Gbk)
    text += "\r\n" + QCoreApplication::translate("Words", "记录写成了 %1。").arg(Q(OutputKindText(input.format, input.encoding)));
  m.text = text.toStdString();
  m.icon = r.failed > 0 || r.cutBytes > 0 || r.warned > 0 ? ui::Icon::Warning : ui::Icon::Information;
  if (input.rules == convert::Rules::Classic && r.failed == 0 && r.cutBytes == 0 && r.unencodable == 0)
    m.icon = ui::Icon::Information;
  if (!r.report.empty() || !r.runFindings.empty())
    m.details = ReportText(r, input.table ? input.table->FirstDataLine() : 0);
  return m;
}

}  // namespace

std::string StoppedText(const convert::RunResult& r) {
  return QCoreApplication::translate("Words", "转换已停止：写入了 %1 条完整的记录，表格共 %2 行。")
      .arg(N(r.written), N(r.rows))
      .toStdString();
}

std::optional<EndMessage> MessageFor(const convert::RunResult& r, const convert::RunInput& input) {
  switch (r.outcome) {
    case convert::RunOutcome::PathMissing: return EndMessage{PathMissingText(), FriendlyTitle(), ui::Icon::Information, {}};
    case convert::RunOutcome::RequiredMissing: {
      const convert::RequiredFields mapped = convert::RequiredMapped(input.mapping, input.rules);
      return EndMessage{RequiredFieldsMessage(!mapped.title, !mapped.isbn, !mapped.price), SystemTitle(),
                        ui::Icon::Information, {}};
    }
    case convert::RunOutcome::OutputFailed:
      return EndMessage{OutputFailedText(r, input), QCoreApplication::translate("Words", "操作提示").toStdString(),
                        ui::Icon::Error, {}};
    case convert::RunOutcome::ReadFailed:
      return EndMessage{std::string(import::kReadError) + "\r\n" + r.readError + "\r\n" +
                            QCoreApplication::translate("Words", "输出文件和转换前一样：这次没有写入记录。").toStdString(),
                        QCoreApplication::translate("Words", "操作提示").toStdString(), ui::Icon::Error, {}};
    case convert::RunOutcome::Stopped: return std::nullopt;
    case convert::RunOutcome::Finished: return FinishedMessage(r, input);
  }
  return std::nullopt;
}

}  // namespace rowcaster::words
