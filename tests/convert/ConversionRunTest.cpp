#include "convert/ConversionRun.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "TestPaths.h"
#include "convert/Recommended.h"
#include "convert/TestCbk.h"
#include "iso2709/Listing.h"
#include "import/DataFile.h"
#include "mapping/MarcFields.h"
#include "platform/text/Gbk.h"
#include "output/ReportFile.h"
#include "words/Words.h"

namespace rowcaster::convert {
namespace {

std::shared_ptr<import::LoadedTable> Load(const std::string& fixture, const std::string& table) {
  const std::string path = test::SourceFile("fixtures/" + fixture);
  const std::string kind = import::KindOfPath(path);
  const auto parts = import::SplitPath(path);
  auto reader = data::InProcessReader();
  return import::LoadTable(*reader, kind, import::ConnectionStringFor(kind, path, parts->folder),
                           import::QueryTextFor(kind, table, parts->fileName));
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The records of an ISO 2709 file, split at the record terminator; each must be whole.
std::vector<std::string> Records(const std::string& bytes) {
  std::vector<std::string> out;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = bytes.find('\x1D', start);
    EXPECT_NE(end, std::string::npos) << "a record is cut short";
    if (end == std::string::npos) break;
    const std::string rec = bytes.substr(start, end + 1 - start);
    EXPECT_EQ(std::stoi(rec.substr(0, 5)), static_cast<int>(rec.size()));
    out.push_back(rec);
    start = end + 1;
  }
  return out;
}

std::string Yaz(const std::string& path, std::string* errors) {
  const std::string err = path + ".err";
  std::FILE* p = popen(("yaz-marcdump -f GBK -t UTF-8 " + path + " 2>" + err).c_str(), "r");
  std::string out;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  *errors = Slurp(err);
  return out;
}

class Run : public ::testing::Test {
 protected:
  void SetUp() override {
    input_.outputPath = test::TempPath("run-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".iso";
    std::filesystem::remove(input_.outputPath);
    input_.clock = FixedClock({2026, 12, 5, 23, 36, 0});
    input_.cbkConnStr = test::JetConnStr(test::MakeCbk("run-cbk.db", {{"7-5327", "上海译文出版社", "上海", "310000"}}));
    input_.pinyin = std::make_shared<PinyinSource>(PinyinSource::FromFile(test::BuildFile("pinyin.dat")));
    input_.threads = 2;
    input_.table = Load("sheetjs_biff8.xls", "图书$");
    input_.mapping = import::PrefilledMapping(input_.table->FieldNames(), mapping::DefaultMarcCodeList());
  }
  // The input's table converted again by `rules` (with their own template) in `encoding`, the
  // output replaced.
  RunResult RunAgain(Rules rules, iso2709::Encoding encoding) {
    SCOPED_TRACE(std::string(RulesName(rules)) + " " + std::string(iso2709::NameOf(encoding)));
    input_.rules = rules;
    input_.templateText = std::string(DefaultTemplate(rules));
    input_.encoding = encoding;
    input_.replace = true;
    return RunConversion(input_);
  }
  RunInput input_;
};

TEST_F(Run, AppendsOneRecordPerRowInOrder) {
  std::vector<std::int64_t> progress;
  RunCallbacks callbacks;
  callbacks.progress = [&](std::int64_t k, std::int64_t m) {
    progress.push_back(k);
    EXPECT_EQ(m, 5);
  };
  RunResult r = RunConversion(input_, callbacks);
  EXPECT_EQ(r.outcome, RunOutcome::Finished);
  EXPECT_EQ(r.rows, 5);
  EXPECT_EQ(r.written, 5);
  EXPECT_EQ(r.failed, 0);
  EXPECT_EQ(progress.back(), 5);
  const auto message = words::MessageFor(r, input_);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->text, " 恭喜，数据已转换完毕！");
  EXPECT_EQ(message->title, "温馨提示");

  std::string errors;
  const std::string text = Yaz(input_.outputPath, &errors);
  EXPECT_EQ(errors, "");
  std::vector<std::string> titles;
  for (std::size_t p = text.find("\n200 "); p != std::string::npos; p = text.find("\n200 ", p + 1))
    titles.push_back(text.substr(p + 1, text.find('\n', p + 1) - p - 1));
  ASSERT_EQ(titles.size(), 4u) << text;  // the empty row has no 200 field, but still a record
  EXPECT_EQ(titles[0], "200 1  $a 银行会计学 $A yin hang kuai ji xue $f 张三主编");
  EXPECT_NE(text.find("701    $a 张三 $A zhang san $4 主编"), std::string::npos);
  EXPECT_NE(text.find("102    $a CN $b 310000"), std::string::npos) << "publisher looked up by name";
  EXPECT_EQ(Records(Slurp(input_.outputPath)).size(), 5u);

  // A second run appends after the first.
  r = RunConversion(input_);
  EXPECT_EQ(r.written, 5);
  const auto records = Records(Slurp(input_.outputPath));
  ASSERT_EQ(records.size(), 10u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(records[i], records[i + 5]);
}

TEST_F(Run, ChecksThePathThenTheRequiredFields) {
  RunInput in = input_;
  in.outputPath = "";
  in.mapping.assign(in.mapping.size(), "");
  RunResult r = RunConversion(in);
  EXPECT_EQ(r.outcome, RunOutcome::PathMissing);
  EXPECT_EQ(words::MessageFor(r, in)->text, "请选择导出MARC文件的路径");
  EXPECT_EQ(words::MessageFor(r, in)->title, "温馨提示");

  in.outputPath = "   ";  // blanks pass the path check
  r = RunConversion(in);
  EXPECT_EQ(r.outcome, RunOutcome::RequiredMissing);
  EXPECT_EQ(words::MessageFor(r, in)->text, "对不起，必备字段：“题名”“ISBN”“价格”不能为忽略！请重新选择！");
  EXPECT_EQ(words::MessageFor(r, in)->title, "系统提示");
  EXPECT_FALSE(std::filesystem::exists("   "));

  in.mapping = input_.mapping;
  in.mapping[2] = "";
  EXPECT_EQ(words::MessageFor(RunConversion(in), in)->text, "对不起，必备字段：“价格”不能为忽略！请重新选择！");
}

TEST_F(Run, RoutesSubfieldsAndHandsUnmappedCodesOverEmpty) {
  // note → 905v (written as $j), 210c → 200d (carried as d020d), 200f unmapped.
  input_.mapping = {"200a", "010a", "010d", "210d", "", "200d", "905v"};
  ASSERT_EQ(RunConversion(input_).failed, 0);
  std::string errors;
  const std::string text = Yaz(input_.outputPath, &errors);
  EXPECT_NE(text.find("200 1  $a 长江三峡 $A chang jiang san xia $d 上海译文出版社"), std::string::npos) << text;
  EXPECT_NE(text.find("905    $j 第二行"), std::string::npos);
  EXPECT_EQ(text.find("701 "), std::string::npos) << "no 200f, no 701";
  EXPECT_NE(text.find("101 0  $a chi"), std::string::npos);
}

TEST_F(Run, TheLastRowHoldingACodeWins) {
  input_.mapping = {"200a", "010a", "010d", "", "", "200a", ""};
  ASSERT_EQ(RunConversion(input_).written, 5);
  std::string errors;
  EXPECT_NE(Yaz(input_.outputPath, &errors).find("200 1  $a 世界知识出版社"), std::string::npos);
}

TEST_F(Run, AnEmptyTableCreatesAnEmptyFile) {
  input_.table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"200a", "010a", "010d"});
  input_.mapping = {"200a", "010a", "010d"};
  const RunResult r = RunConversion(input_);
  EXPECT_EQ(r.outcome, RunOutcome::Finished);
  EXPECT_EQ(r.rows, 0);
  EXPECT_TRUE(std::filesystem::exists(input_.outputPath));
  EXPECT_EQ(std::filesystem::file_size(input_.outputPath), 0u);
  EXPECT_EQ(words::MessageFor(r, input_)->text, " 恭喜，数据已转换完毕！");
}

TEST_F(Run, AnOutputFileThatCannotBeOpenedStopsBeforeTheFirstRow) {
  input_.outputPath = "/nonexistent/dir/out.iso";
  const RunResult r = RunConversion(input_);
  EXPECT_EQ(r.outcome, RunOutcome::OutputFailed);
  EXPECT_EQ(r.written, 0);
  const auto m = words::MessageFor(r, input_);
  EXPECT_NE(m->text.find("/nonexistent/dir/out.iso"), std::string::npos);
  EXPECT_NE(m->text.find("文件或文件夹不存在"), std::string::npos) << m->text;
  EXPECT_EQ(m->icon, ui::Icon::Error);
}

// A field past 9,999 bytes gives no record, and the finding names the subfield and the column it
// came from; the limit counts the output's bytes (a Han character is 2 in GBK, 3 in UTF-8).
TEST_F(Run, AFieldTooLongNamesItsColumn) {
  struct Case {
    std::string note;
    iso2709::Encoding encoding;
    Rules rules;
    bool written;
  };
  const Case cases[] = {
      {std::string(9994, 'x'), iso2709::Encoding::Gbk, Rules::Classic, true},  // 2 + 2 + 9994 + 1 bytes
      {std::string(9995, 'x'), iso2709::Encoding::Gbk, Rules::Classic, false},
      {std::string(9995, 'x'), iso2709::Encoding::Utf8, Rules::Recommended, false},
      {std::string(9994, 'x'), iso2709::Encoding::Utf8, Rules::Recommended, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note.size());
    auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"书名", "ISBN", "定价", "简介"});
    table->AppendRow(std::vector<std::string>{"长江三峡", "9787302123453", "25.00", c.note});
    table->SetFirstDataLine(2);
    input_.table = table;
    input_.mapping = {"200a", "010a", "010d", "330a"};
    input_.encoding = c.encoding;
    input_.rules = c.rules;
    input_.templateText = std::string(c.rules == Rules::Classic ? kDefaultTemplate : kRecommendedTemplate);
    input_.replace = true;
    const RunResult r = RunConversion(input_);
    EXPECT_EQ(r.written, c.written ? 1 : 0);
    if (c.written) continue;
    EXPECT_EQ(r.firstFailure.kind, Kind::FieldTooLong);
    EXPECT_EQ(words::Describe(r.firstFailure),
              "提要或文摘附注（列“简介”）在字段 330 中长 10,000 字节，超过单个字段 9,999 字节的上限");
  }
  // Han characters: 4,997 of them fit in GBK (9,994 bytes), not in UTF-8 (14,991).
  std::string hans;
  for (int k = 0; k < 4997; ++k) hans += "字";
  for (const auto& [encoding, written] : {std::pair{iso2709::Encoding::Gbk, 1}, {iso2709::Encoding::Utf8, 0}}) {
    auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"书名", "ISBN", "定价", "简介"});
    table->AppendRow(std::vector<std::string>{"长江三峡", "9787302123453", "25.00", hans});
    input_.table = table;
    input_.encoding = encoding;
    EXPECT_EQ(RunConversion(input_).written, written) << iso2709::NameOf(encoding);
  }
}

// The reasons a user meets are given in Chinese with the next step, made by real failing opens.
TEST_F(Run, TheOutputFileReasonSpeaksChinese) {
  const std::string folder = test::TempPath("run-folder-output");
  std::filesystem::create_directories(folder);
  const std::string readOnly = test::TempPath("run-read-only");
  std::filesystem::create_directories(readOnly);
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const bool root = ::geteuid() == 0;  // root writes anywhere
  const std::pair<std::string, std::string> cases[] = {
      {"/nonexistent/dir/out.iso", "文件或文件夹不存在，请换一个文件夹或文件名"},
      {folder, "这是一个文件夹，不是文件，请换一个文件夹或文件名"},
      {"/proc/version/out.iso", "路径中有一段不是文件夹，请换一个文件夹或文件名"},
      {readOnly + "/out.iso", root ? "" : "没有访问权限，请换一个文件夹或文件名"},
  };
  for (const auto& [path, reason] : cases) {
    if (reason.empty()) continue;
    input_.outputPath = path;
    const RunResult r = RunConversion(input_);
    EXPECT_EQ(r.outcome, RunOutcome::OutputFailed) << path;
    EXPECT_EQ(r.outputError, reason) << path;
  }
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);
}

TEST_F(Run, FailedRowsAreSummedUpOnce) {
  input_.cbkConnStr = test::JetConnStr("/nonexistent/cbk.db");
  const RunResult r = RunConversion(input_);
  EXPECT_EQ(r.outcome, RunOutcome::Finished);
  EXPECT_EQ(r.written, 0);
  EXPECT_EQ(r.failed, 5);
  EXPECT_EQ(r.firstFailedRow, 1);
  const auto m = words::MessageFor(r, input_);
  EXPECT_NE(m->text.find("写入 0 条记录，5 行没有生成记录"), std::string::npos) << m->text;
  EXPECT_NE(m->text.find("/nonexistent/cbk.db"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(input_.outputPath), 0u);

  // A template the builder refuses fails every row, with one summary.
  input_.cbkConnStr = test::JetConnStr(test::MakeCbk("run-cbk2.db", {}));
  input_.templateText = "200 1  {200a}\r\n1ab    |a x\r\n801    |aCN\r\n";
  const RunResult refused = RunConversion(input_);
  EXPECT_EQ(refused.failed, 4) << "the empty row loses its 200 line, so the bad line becomes the first";
  EXPECT_EQ(refused.firstFailure.kind, Kind::RecordNotBuilt);
}

TEST_F(Run, KeepsOrderAcrossBatchesAndStopsBetweenWholeRecords) {
  auto big = std::make_shared<import::LoadedTable>(std::vector<std::string>{"200a", "010a", "010d"});
  for (int i = 0; i < 3000; ++i) big->AppendRow(std::vector<std::string>{"书" + std::to_string(i), "7-5327-" + std::to_string(i), "10"});
  input_.table = big;
  input_.mapping = {"200a", "010a", "010d"};
  input_.threads = 3;
  RunResult r = RunConversion(input_);
  ASSERT_EQ(r.written, 3000);
  auto records = Records(Slurp(input_.outputPath));
  ASSERT_EQ(records.size(), 3000u);
  for (int i : {0, 255, 256, 1999, 2999}) EXPECT_NE(records[i].find(*text::ToGbk("\x1F" "a书" + std::to_string(i) + "\x1F" "Ashu " + std::to_string(i))), std::string::npos) << i;

  std::filesystem::remove(input_.outputPath);
  std::atomic<bool> stop{false};
  RunCallbacks callbacks;
  callbacks.stop = &stop;
  callbacks.progress = [&](std::int64_t k, std::int64_t) {
    if (k >= 500) stop = true;
  };
  r = RunConversion(input_, callbacks);
  EXPECT_EQ(r.outcome, RunOutcome::Stopped);
  EXPECT_GE(r.written, 500);
  EXPECT_LT(r.written, 3000);
  EXPECT_EQ(Records(Slurp(input_.outputPath)).size(), static_cast<std::size_t>(r.written));
}

// A table converted while another thread reads it gives the bytes and the report of the whole
// table, whatever its length against the batches (256 rows), with any number of composing threads,
// in GBK, UTF-8 and MARCXML; a read that fails part way takes the run's records back out.
TEST_F(Run, ConvertsATableWhileItIsRead) {
  const auto row = [](int i) {
    return std::vector<std::string>{i % 50 == 7 ? "" : "书" + std::to_string(i) + (i % 3 ? "：上卷" : ""),
                                    "7-5327-" + std::to_string(i), i % 11 ? "10" : "无价"};
  };
  const std::vector<std::string> names{"200a", "010a", "010d"};
  input_.mapping = names;
  struct Case {
    int rows, threads;
    iso2709::Format format;
    iso2709::Encoding encoding;
  };
  using F = iso2709::Format;
  using E = iso2709::Encoding;
  for (const Case c : {Case{0, 2, F::Iso2709, E::Gbk}, Case{1, 2, F::Iso2709, E::Gbk}, Case{255, 1, F::Iso2709, E::Utf8},
                       Case{256, 2, F::Iso2709, E::Gbk}, Case{257, 3, F::MarcXml, E::Utf8},
                       Case{2560, 2, F::Iso2709, E::Utf8}, Case{3001, 3, F::Iso2709, E::Gbk}}) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, " + std::to_string(c.threads) + " threads");
    input_.threads = c.threads;
    input_.format = c.format;
    input_.encoding = c.encoding;
    auto whole = std::make_shared<import::LoadedTable>(names);
    for (int i = 0; i < c.rows; ++i) whole->AppendRow(row(i));
    input_.table = whole;
    std::filesystem::remove(input_.outputPath);
    const RunResult expected = RunConversion(input_);
    const std::string expectedBytes = Slurp(input_.outputPath);
    ASSERT_EQ(expected.outcome, RunOutcome::Finished);
    EXPECT_EQ(expected.rows, c.rows);
    EXPECT_EQ(expected.written + expected.failed, c.rows) << "every row gives a record or fails";
    if (c.format == F::Iso2709) {
      EXPECT_EQ(Records(expectedBytes).size(), static_cast<std::size_t>(expected.written));
    }

    // failAt < 0: read to the end; else the read fails after that many rows.
    for (const int failAt : {-1, c.rows / 2}) {
      SCOPED_TRACE(failAt);
      auto loading = std::make_shared<import::LoadedTable>();
      loading->BeginLoading();
      input_.table = loading;
      const std::string before = failAt < 0 ? std::string() : expectedBytes;  // a fail appends to the first run
      std::filesystem::remove(input_.outputPath);
      if (failAt >= 0) std::ofstream(input_.outputPath, std::ios::binary) << before;
      std::thread reader([&] {
        loading->SetFieldNames(names);
        for (int i = 0; i < c.rows && (failAt < 0 || i < failAt); ++i) {
          loading->AppendRow(row(i));
          if (i % 300 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        loading->EndLoading(failAt < 0 ? "" : "读取程序异常终止");
      });
      const RunResult r = RunConversion(input_);
      reader.join();
      if (failAt < 0) {
        EXPECT_EQ(r.outcome, RunOutcome::Finished);
        EXPECT_EQ(r.rows, c.rows);
        EXPECT_EQ(r.written, expected.written);
        EXPECT_EQ(r.warned, expected.warned);
        EXPECT_TRUE(Slurp(input_.outputPath) == expectedBytes) << "the bytes of the whole table's run";
        EXPECT_EQ(words::ReportText(r, 0), words::ReportText(expected, 0));
      } else {
        EXPECT_EQ(r.outcome, RunOutcome::ReadFailed);
        EXPECT_EQ(r.readError, "读取程序异常终止");
        EXPECT_EQ(r.written, 0);
        EXPECT_TRUE(Slurp(input_.outputPath) == before) << "the output as it was";
        const auto message = words::MessageFor(r, input_);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->text, "读取数据文件出错！\r\n读取程序异常终止\r\n输出文件和转换前一样：这次没有写入记录。");
      }
    }
  }
  // A run over 600 rows whose reading then fails.
  const auto failedRun = [&] {
    auto loading = std::make_shared<import::LoadedTable>(names);
    loading->BeginLoading();
    for (int i = 0; i < 600; ++i) loading->AppendRow(row(i));
    input_.table = loading;
    std::thread reader([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      loading->EndLoading("读取程序异常终止");
    });
    const RunOutcome outcome = RunConversion(input_).outcome;
    reader.join();
    return outcome;
  };
  // A file the failed run made is not left behind.
  std::filesystem::remove(input_.outputPath);
  EXPECT_EQ(failedRun(), RunOutcome::ReadFailed);
  EXPECT_FALSE(std::filesystem::exists(input_.outputPath));
  // A link to a file not there yet is the user's: it stays, and the file it names is left empty.
  const std::string target = input_.outputPath + ".target";
  std::filesystem::remove(target);
  std::filesystem::create_symlink(target, input_.outputPath);
  EXPECT_EQ(failedRun(), RunOutcome::ReadFailed);
  EXPECT_TRUE(std::filesystem::is_symlink(input_.outputPath));
  EXPECT_EQ(std::filesystem::file_size(target), 0u);
  std::filesystem::remove(input_.outputPath);
  std::filesystem::remove(target);
}

// What an earlier run left at the end of the file decides what this run may append to it.
TEST_F(Run, AppendsOnlyAfterWholeRecords) {
  ASSERT_EQ(RunConversion(input_).written, 5);
  const std::string five = Slurp(input_.outputPath);
  const std::size_t firstLength = std::stoul(five.substr(0, 5));
  const std::size_t lastLength = Records(five).back().size();
  struct Case {
    const char* what;
    std::string existing;
    RunOutcome outcome;
    std::size_t kept;  // bytes of the existing file kept before the new records
  };
  const Case cases[] = {
      {"whole records", five, RunOutcome::Finished, five.size()},
      {"whole records and a line end", five + "\r\n", RunOutcome::Finished, five.size() + 2},
      {"a record cut short", five + five.substr(0, firstLength - 1), RunOutcome::Finished, five.size()},
      {"only its length digits", five + five.substr(0, 3), RunOutcome::Finished, five.size()},
      {"the start of the first record", five.substr(0, 40), RunOutcome::Finished, 0},
      {"one byte short of whole", five.substr(0, five.size() - 1), RunOutcome::Finished, five.size() - lastLength},
      {"not ISO 2709", "书名,ISBN\r\n银行会计学,978\r\n", RunOutcome::OutputFailed, 0},
      {"digits but no record", "12345 is not a record at all, just text", RunOutcome::OutputFailed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(input_.outputPath, std::ios::binary | std::ios::trunc) << c.existing;
    const RunResult r = RunConversion(input_);
    ASSERT_EQ(r.outcome, c.outcome);
    const std::string after = Slurp(input_.outputPath);
    if (c.outcome == RunOutcome::OutputFailed) {
      EXPECT_EQ(after, c.existing) << "a foreign file is left as it was";
      EXPECT_NE(words::MessageFor(r, input_)->text.find("不是 ISO 2709"), std::string::npos);
      continue;
    }
    EXPECT_EQ(r.cutBytes, static_cast<std::int64_t>(c.existing.size() - c.kept));
    EXPECT_EQ(after.substr(0, c.kept), c.existing.substr(0, c.kept));
    EXPECT_EQ(after.substr(c.kept), five) << "the new records follow the whole ones";
    std::string errors;
    Yaz(input_.outputPath, &errors);
    EXPECT_EQ(errors, "");
    if (r.cutBytes > 0) {
      EXPECT_NE(words::MessageFor(r, input_)->text.find(std::to_string(r.cutBytes) + " 字节"), std::string::npos);
    } else {
      EXPECT_EQ(words::MessageFor(r, input_)->text, " 恭喜，数据已转换完毕！");
    }
  }
}

// Only a record cut short at the very end is cut. A record that does not chain to the next (a
// length counted in characters, a damaged directory, a stray byte) leaves the file untouched, the
// records still counted by their terminators.
TEST_F(Run, NeverCutsWholeRecords) {
  ASSERT_EQ(RunConversion(input_).written, 5);
  const std::vector<std::string> recs = Records(Slurp(input_.outputPath));
  ASSERT_EQ(recs.size(), 5u);
  const auto join = [](const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts) out += p;
    return out;
  };
  const auto withLength = [](std::string rec, long long length) {
    rec.replace(0, 5, iso2709::PadDigits(5, length));
    return rec;
  };
  std::vector<std::string> shortLength = recs, longLength = recs, badDirectory = recs, stray = recs, unterminated = recs;
  shortLength[1] = withLength(recs[1], static_cast<long long>(recs[1].size()) - 1);
  longLength[1] = withLength(recs[1], static_cast<long long>(recs[1].size()) + 1);
  badDirectory[1][24 + 12 + 4] = 'x';  // the second entry's field length
  stray[2] = "x" + recs[2];
  unterminated[4] = withLength(recs[4].substr(0, recs[4].size() - 1), static_cast<long long>(recs[4].size()) - 1);
  const auto withByte = [](std::string rec, std::size_t at, char c) {
    rec[at] = c;
    return rec;
  };
  std::vector<std::string> longAtEnd = recs;
  longAtEnd[4] = withLength(recs[4], static_cast<long long>(recs[4].size()) + 10);
  const std::string five = join(recs);
  struct Case {
    const char* what;
    std::string existing;
    std::int64_t records;  // as counted before the run
    std::int64_t damaged;  // the record named; 0: the run appends
    const char* says;
  };
  const Case cases[] = {
      {"a length one too small", join(shortLength), 5, 2, "第 2 条记录的长度不对"},
      {"a length one too large", join(longLength), 5, 2, "第 2 条记录的长度不对"},
      {"a damaged directory", join(badDirectory), 5, 2, "第 2 条记录的目录不对"},
      {"a stray byte between records", join(stray), 5, 3, "第 3 条记录的位置上有不属于记录的字节"},
      {"the last record without its terminator", join(unterminated), 5, 5, "第 5 条记录没有记录结束符"},
      {"the last length past the end, its terminator there", join(longAtEnd), 5, 5, "第 5 条记录的长度不对"},
      {"text after the last record", five + "见附件\r\n", 5, 6, "第 6 条记录的位置上"},
      {"a record cut short after five", five + recs[0].substr(0, 300), 5, 0, ""},
      {"a tail whose base address begins with a letter", five + withByte(recs[0].substr(0, 30), 12, 'x'), 5, 6,
       "第 6 条记录的位置上有不属于记录的字节"},
      {"a tail whose base address ends with a letter", five + withByte(recs[0].substr(0, 30), 16, 'x'), 5, 6,
       "第 6 条记录的位置上有不属于记录的字节"},
      {"the last record one byte short", five.substr(0, five.size() - 1), 4, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(input_.outputPath, std::ios::binary | std::ios::trunc) << c.existing;
    const output::ExistingOutput found = output::InspectOutput(input_.outputPath, input_.format, input_.encoding);
    EXPECT_EQ(found.records, c.records);
    EXPECT_EQ(found.damagedRecord, c.damaged);
    const RunResult r = RunConversion(input_);
    const std::string after = Slurp(input_.outputPath);
    if (c.damaged > 0) {
      EXPECT_EQ(found.refusal, output::Refusal::Damaged);
      EXPECT_EQ(r.outcome, RunOutcome::OutputFailed);
      EXPECT_EQ(r.written, 0);
      EXPECT_EQ(after, c.existing) << "a file whose records do not chain is left as it was";
      const std::string text = words::MessageFor(r, input_)->text;
      EXPECT_NE(text.find(std::string("输出文件里") + c.says), std::string::npos) << text;
      EXPECT_NE(text.find("文件没有改动。请换一个输出文件，或选择替换"), std::string::npos) << text;
      continue;
    }
    EXPECT_EQ(r.outcome, RunOutcome::Finished);
    EXPECT_EQ(r.existing, c.records);
    EXPECT_EQ(after.size() - five.size(), static_cast<std::size_t>(found.appendAt)) << "only the partial tail was cut";
    EXPECT_EQ(after.substr(0, static_cast<std::size_t>(found.appendAt)), c.existing.substr(0, static_cast<std::size_t>(found.appendAt)));
    EXPECT_EQ(Records(after).size(), static_cast<std::size_t>(c.records) + 5);
  }
}

// Records of ASCII alone (a list of English books) say nothing of their encoding: a run in any
// encoding appends to them, in ISO 2709 and in a listing.
TEST_F(Run, AppendsInAnyEncodingToRecordsOfAsciiAlone) {
  using iso2709::Encoding;
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"title", "isbn", "price"});
  table->AppendRow(std::vector<std::string>{"Database System Concepts", "9787302123453", "25"});
  input_.table = table;
  input_.mapping = {"200a", "010a", "010d"};
  for (const auto format : {iso2709::Format::Iso2709, iso2709::Format::Text}) {
    for (const Encoding first : {Encoding::Gbk, Encoding::Utf8}) {
      for (const Encoding second : {Encoding::Gbk, Encoding::Gb18030, Encoding::Utf8}) {
        SCOPED_TRACE(std::string(iso2709::NameOf(format)) + ": " + std::string(iso2709::NameOf(first)) + " then " +
                     std::string(iso2709::NameOf(second)));
        std::filesystem::remove(input_.outputPath);
        input_.format = format;
        input_.encoding = first;
        ASSERT_EQ(RunConversion(input_).written, 1);
        input_.encoding = second;
        const output::ExistingOutput found = output::InspectOutput(input_.outputPath, format, second);
        EXPECT_EQ(found.refusal, output::Refusal::None);
        const RunResult r = RunConversion(input_);
        EXPECT_EQ(r.outcome, RunOutcome::Finished);
        EXPECT_EQ(r.existing, 1);
        EXPECT_EQ(output::InspectOutput(input_.outputPath, format, second).records, 2);
      }
    }
  }
}

// A listing's records are counted by their empty lines, also when the two line ends of one fall on
// either side of the end of a 64 KiB block.
TEST_F(Run, CountsListingRecordsWhoseEmptyLineMeetsTheBlockEnd) {
  constexpr std::size_t kBlock = 1 << 16;
  input_.format = iso2709::Format::Text;
  input_.encoding = iso2709::Encoding::Utf8;
  ASSERT_EQ(RunConversion(input_).written, 5);
  const std::string listing = Slurp(input_.outputPath);
  std::string base;
  int copies = 0;
  for (; base.size() < kBlock + listing.size(); ++copies) base += listing;
  // The last record end wholly inside the block, moved by ASCII put into the first title line.
  const std::size_t pair = base.rfind("\n\n", kBlock - 3);
  const std::size_t titleEnd = base.find('\n', base.find("\n200 ") + 1);
  const std::pair<const char*, std::size_t> cases[] = {
      {"both line ends before the block's end", kBlock - 2},
      {"the first line end last in the block, the second first in the next", kBlock - 1},
      {"both line ends in the next block", kBlock},
  };
  for (const auto& [what, at] : cases) {
    SCOPED_TRACE(what);
    std::string file = base;
    file.insert(titleEnd, at - pair, 'x');
    ASSERT_EQ(file.substr(at, 2), "\n\n");
    std::ofstream(input_.outputPath, std::ios::binary | std::ios::trunc) << file;
    EXPECT_EQ(output::InspectOutput(input_.outputPath, input_.format, input_.encoding).records, 5 * copies);
    const RunResult r = RunConversion(input_);
    EXPECT_EQ(r.existing, 5 * copies);
    EXPECT_EQ(Slurp(input_.outputPath), file + listing);
  }
}

// The first rows of a table already written at the start of the file are found again later that
// day: the record's id and the time of the run are not compared. Another mapping writes other
// records; a table of no rows, another format or a file of no records repeat nothing.
TEST_F(Run, FindsTheSameTableAlreadyWritten) {
  ASSERT_EQ(RunConversion(input_).written, 5);
  const output::ExistingOutput existing = output::InspectOutput(input_.outputPath, input_.format, input_.encoding);
  ASSERT_EQ(existing.records, 5);
  const RunInput first = input_;
  struct Case {
    const char* what;
    std::function<void(RunInput&)> change;
    bool repeats;
  };
  const Case cases[] = {
      {"the same run again", [](RunInput&) {}, true},
      {"later the same day", [](RunInput& in) { in.clock = FixedClock({2026, 12, 5, 23, 59, 59}); }, true},
      {"months later (001, 100 $a and 801 $c hold the day)", [](RunInput& in) { in.clock = FixedClock({2027, 3, 1, 8, 0, 0}); }, true},
      {"another mapping", [](RunInput& in) { in.mapping = {"200a", "010a", "010d", "210d", "", "210c", ""}; }, false},
      {"a table of no rows",
       [](RunInput& in) { in.table = std::make_shared<import::LoadedTable>(in.table->FieldNames()); }, false},
      {"MARCXML", [](RunInput& in) { in.format = iso2709::Format::MarcXml; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunInput again = first;
    c.change(again);
    EXPECT_EQ(RepeatsExistingRecords(again, existing), c.repeats);
  }
  EXPECT_FALSE(RepeatsExistingRecords(first, output::ExistingOutput{}));
}

// Records of one encoding are never appended to records of another; replacing is always possible.
TEST_F(Run, AppendsOnlyRecordsOfTheFilesEncoding) {
  using iso2709::Encoding;
  struct Case {
    Encoding first, second;
    bool appends;
  };
  const Case cases[] = {
      {Encoding::Gbk, Encoding::Gbk, true},      {Encoding::Gbk, Encoding::Gb18030, true},
      {Encoding::Gb18030, Encoding::Gbk, true},  {Encoding::Utf8, Encoding::Utf8, true},
      {Encoding::Gbk, Encoding::Utf8, false},    {Encoding::Utf8, Encoding::Gbk, false},
      {Encoding::Utf8, Encoding::Gb18030, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(iso2709::NameOf(c.first)) + " then " + std::string(iso2709::NameOf(c.second)));
    std::filesystem::remove(input_.outputPath);
    input_.encoding = c.first;
    input_.replace = false;
    ASSERT_EQ(RunConversion(input_).written, 5);
    const std::string before = Slurp(input_.outputPath);
    input_.encoding = c.second;
    const output::ExistingOutput found = output::InspectOutput(input_.outputPath, input_.format, input_.encoding);
    EXPECT_EQ(found.records, 5);
    EXPECT_EQ(found.refusal == output::Refusal::None, c.appends);
    RunResult r = RunConversion(input_);
    if (c.appends) {
      EXPECT_EQ(r.outcome, RunOutcome::Finished);
      EXPECT_EQ(r.existing, 5);
      EXPECT_EQ(Records(Slurp(input_.outputPath)).size(), 10u);
      continue;
    }
    EXPECT_EQ(r.outcome, RunOutcome::OutputFailed);
    const std::string text = words::MessageFor(r, input_)->text;
    const std::string says = std::string("输出文件里已有的记录是 ") + (c.first == Encoding::Utf8 ? "UTF-8" : "GBK/GB18030") +
                             " 编码，不能在其后追加 " + std::string(iso2709::NameOf(c.second)) + " 编码的记录";
    EXPECT_NE(text.find(says), std::string::npos) << text;
    EXPECT_NE(text.find("只能有一种编码"), std::string::npos) << text;
    EXPECT_EQ(Slurp(input_.outputPath), before) << "the file is left as it was";
    input_.replace = true;
    r = RunConversion(input_);
    EXPECT_EQ(r.outcome, RunOutcome::Finished);
    EXPECT_EQ(r.existing, 0);
    EXPECT_EQ(Records(Slurp(input_.outputPath)).size(), 5u);
  }
}

// A listing's encoding is told from its first 64 KiB, which may end inside a character: a UTF-8
// listing cut there is still UTF-8, so a UTF-8 run appends to it and a GBK run is refused.
TEST_F(Run, AppendsToAUtf8ListingWhoseFirstBlockEndsInsideACharacter) {
  constexpr std::size_t kBlock = 1 << 16;
  input_.format = iso2709::Format::Text;
  input_.encoding = iso2709::Encoding::Utf8;
  ASSERT_EQ(RunConversion(input_).written, 5);
  const std::string listing = Slurp(input_.outputPath);
  std::string file;
  int copies = 0;
  for (; file.size() < kBlock + listing.size(); ++copies) file += listing;
  // ASCII put into the first title line moves the last character that begins before the block's
  // end onto its last byte.
  std::size_t lead = kBlock - 1;
  while ((static_cast<unsigned char>(file[lead]) & 0xC0) != 0xC0) --lead;
  file.insert(file.find('\n', file.find("\n200 ") + 1), kBlock - 1 - lead, 'x');
  ASSERT_EQ(static_cast<unsigned char>(file[kBlock]) & 0xC0, 0x80) << "the block ends inside a character";
  for (const auto encoding : {iso2709::Encoding::Utf8, iso2709::Encoding::Gbk}) {
    const bool utf8 = encoding == iso2709::Encoding::Utf8;
    SCOPED_TRACE(iso2709::NameOf(encoding));
    std::ofstream(input_.outputPath, std::ios::binary | std::ios::trunc) << file;
    input_.encoding = encoding;
    const output::ExistingOutput found = output::InspectOutput(input_.outputPath, input_.format, input_.encoding);
    EXPECT_EQ(found.records, 5 * copies);
    EXPECT_EQ(found.refusal, utf8 ? output::Refusal::None : output::Refusal::OtherEncoding);
    const RunResult r = RunConversion(input_);
    const std::string after = Slurp(input_.outputPath);
    if (utf8) {
      EXPECT_EQ(r.outcome, RunOutcome::Finished);
      EXPECT_EQ(r.existing, 5 * copies);
      EXPECT_EQ(after, file + listing) << "the same five records appended";
    } else {
      EXPECT_TRUE(found.utf8Records);
      EXPECT_EQ(r.outcome, RunOutcome::OutputFailed);
      EXPECT_EQ(after, file) << "the file is left as it was";
    }
  }
}

// A MARCXML file stays one collection: a second run goes in before its end tag, a run killed
// before writing the end tag is appended to after its last whole record.
TEST_F(Run, AppendsMarcXmlInsideTheCollection) {
  input_.format = iso2709::Format::MarcXml;
  input_.encoding = iso2709::Encoding::Utf8;
  ASSERT_EQ(RunConversion(input_).written, 5);
  const std::string one = Slurp(input_.outputPath);
  ASSERT_EQ(one.rfind("</collection>\n"), one.size() - 14);
  RunResult r = RunConversion(input_);
  EXPECT_EQ(r.existing, 5);
  EXPECT_EQ(r.cutBytes, 0);
  const std::string two = Slurp(input_.outputPath);
  const auto count = [](const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(two, "<record>"), 10u);
  EXPECT_EQ(count(two, "<collection"), 1u);
  EXPECT_EQ(count(two, "</collection>"), 1u);
  std::string errors;
  FILE* p = popen(("yaz-marcdump -i marcxml -o line " + input_.outputPath + " 2>&1 | grep -c '^001 '").c_str(), "r");
  char buf[32] = {};
  std::fread(buf, 1, sizeof buf - 1, p);
  pclose(p);
  EXPECT_EQ(std::string(buf), "10\n");

  // Killed inside the third record: what follows the second's end tag is cut, and said, however
  // short.
  const std::size_t second = two.find("</record>\n", two.find("</record>\n") + 1) + 10;
  for (const std::size_t partial : {30u, 3u}) {
    std::ofstream(input_.outputPath, std::ios::binary | std::ios::trunc) << two.substr(0, second + partial);
    r = RunConversion(input_);
    EXPECT_EQ(r.existing, 2);
    EXPECT_EQ(r.cutBytes, static_cast<std::int64_t>(partial));
    EXPECT_EQ(count(Slurp(input_.outputPath), "<record>"), 7u);
  }

  // An empty collection (a run of no rows) is appended to without a word about cut bytes.
  input_.table = std::make_shared<import::LoadedTable>(input_.table->FieldNames());
  std::filesystem::remove(input_.outputPath);
  EXPECT_EQ(RunConversion(input_).written, 0);
  const std::string none = Slurp(input_.outputPath);
  EXPECT_EQ(count(none, "<collection"), 1u);
  r = RunConversion(input_);
  EXPECT_EQ(r.cutBytes, 0);
  EXPECT_EQ(Slurp(input_.outputPath), none);

  std::ofstream(input_.outputPath, std::ios::binary | std::ios::trunc) << "<html><body>not records</body></html>\n";
  r = RunConversion(input_);
  EXPECT_EQ(r.outcome, RunOutcome::OutputFailed);
  EXPECT_EQ(Slurp(input_.outputPath), "<html><body>not records</body></html>\n");
}

// What other programs write: prefixed names, comments and CDATA that look like end tags, a
// document type (never expanded). Records are counted as a parser sees them.
TEST(ExistingMarcXml, CountsRecordsAsAParserSeesThem) {
  const std::string slim = "http://www.loc.gov/MARC21/slim";
  struct Case {
    const char* what;
    std::string xml;
    std::int64_t records;
    output::Refusal refusal;
    std::string appendBefore;  // the text appending goes in before (empty: at the end)
  };
  const Case cases[] = {
      {"prefixed names", "<marc:collection xmlns:marc=\"" + slim + "\"><marc:record><marc:leader>x</marc:leader></marc:record>"
                         "<marc:record/></marc:collection>\n", 2, output::Refusal::None, "</marc:collection>\n"},
      {"end tags inside a comment and CDATA", "<collection xmlns=\"" + slim + "\"><!-- </record> --><record>"
                         "<datafield><subfield><![CDATA[</record>]]></subfield></datafield></record></collection>", 1,
       output::Refusal::None, "</collection>"},
      {"a record nested deeper is no record of the collection", "<collection><x><record/></x><record/></collection>", 1,
       output::Refusal::None, "</collection>"},
      {"killed after the first record", "<collection><record/><record><leader>", 1, output::Refusal::None, ""},
      {"a document type", "<?xml version=\"1.0\"?><!DOCTYPE c [<!ENTITY e \"x\">]><collection><record/></collection>", 0,
       output::Refusal::NotMarcXml, ""},
      {"a single record, no collection", "<record xmlns=\"" + slim + "\"></record>", 0, output::Refusal::NotMarcXml, ""},
      {"a collection without a record or an end", "<collection xmlns=\"" + slim + "\">\n<rec", 0, output::Refusal::UnendedMarcXml, ""},
  };
  const std::string path = test::TempPath("existing.xml");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.xml;
    const output::ExistingOutput e = output::InspectOutput(path, iso2709::Format::MarcXml, iso2709::Encoding::Utf8);
    EXPECT_EQ(e.records, c.records);
    EXPECT_EQ(e.refusal, c.refusal);
    if (c.refusal == output::Refusal::None && !c.appendBefore.empty()) {
      EXPECT_EQ(c.xml.substr(static_cast<std::size_t>(e.appendAt)), c.appendBefore);
    }
  }
}

// Characters GBK lacks are counted for their rows; the end message suggests GB18030 or UTF-8.
TEST_F(Run, ReportsCharactersTheEncodingLacks) {
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"200a", "010a", "010d"});
  table->AppendRow(std::vector<std::string>{"䶮𠀀之书", "7-5327-1", "10"});
  table->AppendRow(std::vector<std::string>{"普通书", "7-5327-2", "10"});
  table->AppendRow(std::vector<std::string>{"Caf\u00e9 • 书", "7-5327-3", "10"});
  input_.table = table;
  input_.mapping = {"200a", "010a", "010d"};
  RunResult r = RunConversion(input_);
  EXPECT_EQ(r.written, 3);
  EXPECT_EQ(r.unencodable, 3);
  EXPECT_EQ(r.unencodableRows, 2);
  ASSERT_EQ(r.report.size(), 2u);
  EXPECT_EQ(r.report[0].row, 1);
  EXPECT_EQ(r.report[1].row, 3);
  EXPECT_EQ(r.report[1].findings.back().kind, Kind::Unencodable);
  EXPECT_NE(words::Describe(r.report[1].findings.back()).find("•"), std::string::npos);
  const auto m = words::MessageFor(r, input_);
  EXPECT_NE(m->text.find("GB18030 或 UTF-8"), std::string::npos) << m->text;
  EXPECT_EQ(m->icon, ui::Icon::Warning);

  input_.encoding = iso2709::Encoding::Gb18030;
  input_.replace = true;
  r = RunConversion(input_);
  EXPECT_EQ(r.unencodable, 0);
  EXPECT_TRUE(r.report.empty());
  EXPECT_EQ(words::MessageFor(r, input_)->text, " 恭喜，数据已转换完毕！\r\n记录写成了 ISO 2709，GB18030 编码。");
}

// Private-use characters, which a library system cannot show: the recommended rules count them
// among the characters GBK and GB18030 lack and write "?"; the classic rules write them as code page
// 936 always did, and UTF-8 keeps them, both counting them.
TEST_F(Run, CountsPrivateUseCharacters) {
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"200a", "010a", "010d"});
  table->AppendRow(std::vector<std::string>{"书\uE000名\U000F0001", "7-5327-1", "10"});
  table->AppendRow(std::vector<std::string>{"普通书", "7-5327-2", "10"});
  table->AppendRow(std::vector<std::string>{"\uE766书", "7-5327-3", "10"});
  input_.table = table;
  input_.mapping = {"200a", "010a", "010d"};
  struct Case {
    Rules rules;
    iso2709::Encoding encoding;
    std::int64_t unencodable, kept;
    std::string title1;  // the first record's 200 $a, read back
    std::string says;    // in the end message
  };
  using iso2709::Encoding;
  const Case cases[] = {
      {Rules::Classic, Encoding::Gbk, 1, 2, "书\uE000名?", "2 条记录里共有 2 个私用区字符，照原样写出"},
      {Rules::Classic, Encoding::Utf8, 0, 3, "书\uE000名\U000F0001", "2 条记录里共有 3 个私用区字符，照原样写出"},
      {Rules::Recommended, Encoding::Gbk, 3, 0, "书?名?", "2 条记录里共有 3 个字符 GBK 中没有，写成了“?”"},
      {Rules::Recommended, Encoding::Gb18030, 3, 0, "书?名?", "2 条记录里共有 3 个字符 GB18030 中没有，写成了“?”"},
      {Rules::Recommended, Encoding::Utf8, 0, 3, "书\uE000名\U000F0001", "2 条记录里共有 3 个私用区字符，照原样写出"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(RulesName(c.rules)) + " " + std::string(iso2709::NameOf(c.encoding)));
    const RunResult r = RunAgain(c.rules, c.encoding);
    EXPECT_EQ(r.written, 3);
    EXPECT_EQ(r.unencodable, c.unencodable);
    EXPECT_EQ(r.privateUse, c.kept);
    EXPECT_EQ(r.privateUseRows, c.kept ? 2 : 0);
    EXPECT_EQ(r.counts.count(Kind::PrivateUseKept) ? r.counts.at(Kind::PrivateUseKept) : 0, c.kept ? 2 : 0);
    const auto m = words::MessageFor(r, input_);
    EXPECT_NE(m->text.find(c.says), std::string::npos) << m->text;
    const auto records = Records(Slurp(input_.outputPath));
    ASSERT_EQ(records.size(), 3u);
    iso2709::Record first;
    ASSERT_TRUE(iso2709::ReadRecord(records[0], first, c.encoding));
    for (const iso2709::Field& f : first.fields) {
      if (f.tag != "200") continue;
      EXPECT_EQ(f.subfields.at(0).data, c.title1);
    }
  }
  // The classic GBK records hold the user-defined codes code page 936 gives them.
  input_.rules = Rules::Classic;
  input_.templateText = std::string(kDefaultTemplate);
  input_.encoding = iso2709::Encoding::Gbk;
  RunConversion(input_);
  const std::string bytes = Slurp(input_.outputPath);
  EXPECT_NE(bytes.find("\xCA\xE9\xAA\xA1\xC3\xFB?"), std::string::npos);
  EXPECT_NE(bytes.find("\xA2\xAB\xCA\xE9"), std::string::npos);
}

// A cell with a byte that begins no character (no reader gives one, but a row may come from
// elsewhere) never goes out as it is: the builder refuses the row, or, for the recommended rules in
// GBK, whose writer meets every character anyway, it is written as a counted "?".
TEST_F(Run, ABrokenByteOfACellFailsItsRowOrIsWrittenAsACountedQuestionMark) {
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"200a", "010a", "010d", "330a"});
  table->AppendRow(std::vector<std::string>{"普通书", "7-5327-1", "10", "提要"});
  table->AppendRow(std::vector<std::string>{"另一本书", "7-5327-2", "10", "提\xFF要"});
  input_.table = table;
  input_.mapping = {"200a", "010a", "010d", "330a"};
  struct Case {
    Rules rules;
    iso2709::Encoding encoding;
    std::int64_t written, unencodable;
  };
  using iso2709::Encoding;
  const Case cases[] = {
      {Rules::Classic, Encoding::Gbk, 1, 0},
      {Rules::Classic, Encoding::Utf8, 1, 0},
      {Rules::Recommended, Encoding::Gbk, 2, 1},
      {Rules::Recommended, Encoding::Gb18030, 1, 0},
      {Rules::Recommended, Encoding::Utf8, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(RulesName(c.rules)) + " " + std::string(iso2709::NameOf(c.encoding)));
    const RunResult r = RunAgain(c.rules, c.encoding);
    EXPECT_EQ(r.written, c.written);
    EXPECT_EQ(r.failed, 2 - c.written);
    EXPECT_EQ(r.unencodable, c.unencodable);
    const std::string bytes = Slurp(input_.outputPath);
    EXPECT_EQ(bytes.find('\xFF'), std::string::npos);
    ASSERT_FALSE(r.report.empty());
    const Finding& said = r.report.back().findings.back();
    EXPECT_EQ(r.report.back().row, 2);
    if (c.written == 2) {
      EXPECT_EQ(said.kind, Kind::Unencodable);
      EXPECT_NE(words::Describe(said).find("\uFFFD"), std::string::npos) << words::Describe(said);
      const auto records = Records(bytes);
      ASSERT_EQ(records.size(), 2u);
      EXPECT_NE(records[1].find("\xCC\xE1?\xD2\xAA"), std::string::npos);  // 提?要
    } else {
      EXPECT_EQ(said.kind, Kind::RecordNotBuilt);
    }
  }
}

// Under the classic rules a title keeps its tab in the record and loses a lone CR; the row report,
// itself tab-separated, shows both as blanks.
TEST_F(Run, AClassicTitleKeepsItsTabButTheReportShowsABlank) {
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"200a", "010a", "010d"});
  table->AppendRow(std::vector<std::string>{"䶮\t书\r名", "7-5327-1", "10"});  // 䶮: a warning, so a report
  input_.table = table;
  input_.mapping = {"200a", "010a", "010d"};
  const RunResult r = RunConversion(input_);
  EXPECT_EQ(r.written, 1);
  ASSERT_EQ(r.report.size(), 1u);
  EXPECT_EQ(r.report[0].title, "䶮 书 名");
  const std::string report = words::ReportText(r, 2);
  const std::string row = report.substr(report.find('\n') + 1);
  EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 7) << report;
  EXPECT_NE(Slurp(input_.outputPath).find("\x1F" "a?\t" + *text::ToGbk("书名") + "\x1F"), std::string::npos);
}

// Whatever a row throws becomes that row's failure; the run goes on.
TEST_F(Run, AnExceptionInARowFailsOnlyThatRow) {
  for (const int threads : {1, 3}) {
    std::filesystem::remove(input_.outputPath);
    std::atomic<int> calls{0};
    input_.threads = threads;
    input_.clock = [&calls]() -> LocalTime {
      const int n = ++calls;
      if (n == 2) throw std::runtime_error("时钟坏了");
      if (n == 4) throw std::bad_alloc();
      if (n == 5) throw 42;
      return {2026, 12, 5, 23, 36, 0};
    };
    const RunResult r = RunConversion(input_);
    EXPECT_EQ(r.outcome, RunOutcome::Finished);
    EXPECT_EQ(r.written, 2);
    EXPECT_EQ(r.failed, 3);
    if (threads == 1) {
      EXPECT_EQ(r.firstFailedRow, 2);
      EXPECT_EQ(r.firstFailure.kind, Kind::RowCrashed);
      EXPECT_EQ(words::Describe(r.firstFailure), "处理这一行时出错：时钟坏了");
    }
    EXPECT_EQ(Records(Slurp(input_.outputPath)).size(), 2u);
  }
}


// Rows whose statement gives no role word are counted once each, however many names they hold.
TEST_F(Run, RecommendedRulesCountTheRowsWithAnAssumedRole) {
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"书名", "责任者"});
  table->AppendRow(std::vector<std::string>{"银行会计学", "张三"});
  table->AppendRow(std::vector<std::string>{"长江三峡", "李四著"});
  table->AppendRow(std::vector<std::string>{"音乐欣赏", "王五  赵六"});
  table->AppendRow(std::vector<std::string>{"校长的故事", ""});
  input_.table = table;
  input_.mapping = {"200a", "200f"};
  input_.rules = Rules::Recommended;
  input_.templateText = std::string(kRecommendedTemplate);
  const RunResult r = RunConversion(input_);
  EXPECT_EQ(r.written, 4);
  EXPECT_EQ(r.counts.at(Kind::RoleAssumed), 2);
}

// The recommended rules need the title only; a row without one gives no record and is reported,
// rows with warnings are reported with their records written, and every 001 differs.
TEST_F(Run, RecommendedRulesReportEveryRowThatNeedsALook) {
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"书名", "书号", "出版"});
  table->AppendRow(std::vector<std::string>{"银行会计学", "9787302123453", "北京：清华大学出版社，2008"});
  table->AppendRow(std::vector<std::string>{"", "9787302123453", ""});
  table->AppendRow(std::vector<std::string>{"长江三峡", "9787302123454", "2015"});
  table->AppendRow(std::vector<std::string>{"第三本\t书", "暂无", "上海：译文出版社"});
  table->SetFirstDataLine(2);
  input_.table = table;
  input_.mapping = {"200a", "010a", "210c"};
  input_.rules = Rules::Recommended;
  input_.templateText = std::string(kRecommendedTemplate);
  EXPECT_EQ(CheckRun(input_), RunOutcome::Finished) << "ISBN and price need not be mapped";
  const RunResult r = RunConversion(input_);
  EXPECT_EQ(r.outcome, RunOutcome::Finished);
  EXPECT_EQ(r.written, 3);
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(r.warned, 2);
  ASSERT_EQ(r.report.size(), 3u);
  EXPECT_EQ(r.report[0].row, 2);
  EXPECT_TRUE(r.report[0].failed);
  ASSERT_EQ(r.report[0].findings.size(), 1u);
  EXPECT_EQ(r.report[0].findings[0].kind, Kind::NoTitle);
  // Every finding counted by its kind, those of the written rows as those of the failed one.
  // "2015" in the publisher column is the year; "译文出版社" may be short for the table's 上海译文出版社.
  EXPECT_EQ(r.counts, (std::map<Kind, std::int64_t>{{Kind::NoTitle, 1},
                                                     {Kind::IsbnOldCheckDigit, 1},
                                                     {Kind::NoYear, 1},
                                                     {Kind::PlaceholderDropped, 1},
                                                     {Kind::PlaceUnknown, 1},
                                                     {Kind::PublisherAbbreviated, 1},
                                                     {Kind::PublisherNotAName, 1}}));
  EXPECT_EQ(r.report[1].row, 3);
  EXPECT_EQ(r.report[1].title, "长江三峡");
  EXPECT_EQ(r.report[1].isbn, "9787302123454");
  EXPECT_EQ(r.report[2].title, "第三本 书");
  // A line a finding, the run's own first; the data row and its line in the file.
  const std::string report = words::ReportText(r, input_.table->FirstDataLine());
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 9) << report;
  EXPECT_NE(report.find("\n\t\t\t\t警告\tno-agency-code\t801 $b\t"), std::string::npos) << report;
  EXPECT_NE(report.find("\n2\t3\t\t9787302123453\t错误\tno-title\t200 $a\t没有题名\n"), std::string::npos) << report;
  const auto message = words::MessageFor(r, input_);
  EXPECT_NE(message->text.find("写入 3 条记录，1 行没有生成记录"), std::string::npos) << message->text;
  EXPECT_NE(message->text.find("2 条有警告"), std::string::npos) << message->text;
  EXPECT_NE(message->text.find("错误：1 行没有题名\r\n警告：1 行没有出版年；1 行ISBN 是 978 加 ISBN-10 的旧校验位；1 行没有找到出版地；"
                               "1 行出版者可能是简称\r\n说明：1 行有表示“没有”的值（0、无、-），没有写入；1 行出版者一栏是版次或日期"),
            std::string::npos) << message->text;
  EXPECT_EQ(message->details, report);

  const auto records = Records(Slurp(input_.outputPath));
  ASSERT_EQ(records.size(), 3u);
  std::set<std::string> ids;
  for (const auto& rec : records) ids.insert(rec.substr(std::stoul(rec.substr(12, 5)), 20));
  EXPECT_EQ(ids.size(), 3u) << "a 001 of its own for every record";
  std::string errors;
  const std::string listing = Yaz(input_.outputPath, &errors);
  EXPECT_EQ(errors, "");
  EXPECT_NE(listing.find("010    $a 978-7-302-12345-3"), std::string::npos) << listing;
  EXPECT_NE(listing.find("210    $a 北京 $c 清华大学出版社 $d 2008"), std::string::npos) << listing;
  EXPECT_NE(listing.find("010    $z 9787302123454"), std::string::npos) << listing;

  // The classic rules still require all three and say so.
  input_.rules = Rules::Classic;
  EXPECT_EQ(CheckRun(input_), RunOutcome::RequiredMissing);
}


// The report has a line a finding, the run's own first, with the data row and its row in the sheet
// (the header counted); written as tab-separated text or as a workbook, which our reader of
// workbooks reads back cell for cell. A clean table under the classic rules has no line at all.
TEST_F(Run, TheReportHasALineAFindingAsTextOrWorkbook) {
  const RunResult clean = RunConversion(input_);
  EXPECT_EQ(words::ReportTable(clean, input_.table->FirstDataLine()).size(), 1u) << words::ReportText(clean, 2);
  EXPECT_EQ(words::SummaryText(clean), "");

  input_.table = Load("messy_vendor.xls", "Sheet1$");
  input_.mapping = {"", "200a", "200f", "010a", "010d", "210c", "210d", "330a", "215a", "215d", ""};
  input_.rules = Rules::Recommended;
  input_.templateText = std::string(kRecommendedTemplate);
  input_.replace = true;
  const RunResult r = RunConversion(input_);
  ASSERT_EQ(input_.table->FirstDataLine(), 2);
  const auto table = words::ReportTable(r, 2);
  std::size_t findings = r.runFindings.size();
  for (const RowReport& row : r.report) findings += row.findings.size();
  ASSERT_EQ(table.size(), 1 + findings);
  EXPECT_EQ(table[0], (std::vector<std::string>{"行", "表格行", "题名", "ISBN", "级别", "类别", "字段", "说明"}));
  EXPECT_EQ(table[1], (std::vector<std::string>{"", "", "", "", "警告", "no-agency-code", "801 $b",
                                                "没有设置编目机构代码，801 $b 和 905 $a 都是空的（--agency 或方案的 agency）"}));
  // The last row's findings close the table, on the sheet's row 421.
  const RowReport& last = r.report.back();
  EXPECT_EQ(last.row, 420);
  const auto& line = table.back();
  EXPECT_EQ(line[0], "420");
  EXPECT_EQ(line[1], "421");
  EXPECT_EQ(line[5], std::string(KindCode(last.findings.back().kind)));
  EXPECT_EQ(line[7], words::Describe(last.findings.back()));
  // Each kind's count is the rows that have it.
  for (const auto& [kind, rows] : r.counts) {
    std::set<std::string> seen;
    for (std::size_t k = 1; k < table.size(); ++k)
      if (table[k][5] == KindCode(kind)) seen.insert(table[k][0]);
    EXPECT_EQ(static_cast<std::int64_t>(seen.size()), rows) << KindCode(kind);
  }

  const std::string tsv = test::TempPath("report-") + "findings.tsv";
  const std::string xlsx = test::TempPath("report-") + "findings.xlsx";
  ASSERT_EQ(output::WriteReport(tsv, table), "");
  EXPECT_EQ(Slurp(tsv), words::ReportText(r, 2));
  ASSERT_EQ(output::WriteReport(xlsx, table), "");
  const auto parts = import::SplitPath(xlsx);
  auto reader = data::InProcessReader();
  const auto back = import::LoadTable(*reader, "xlsx", import::ConnectionStringFor("xlsx", xlsx, parts->folder),
                                      import::QueryTextFor("xlsx", "Sheet1$", parts->fileName));
  EXPECT_EQ(back->FieldNames(), table[0]);
  ASSERT_EQ(back->RowCount(), table.size() - 1);
  for (std::size_t k = 1; k < table.size(); ++k)
    for (std::size_t c = 0; c < table[k].size(); ++c) ASSERT_EQ(back->Cell(k - 1, c), table[k][c]) << k << ", " << c;
  EXPECT_NE(output::WriteReport("/nonexistent-folder/report.xlsx", table), "");
  // No lines at all: an empty file, a workbook of one empty sheet.
  EXPECT_EQ(output::WriteReport(tsv, std::vector<std::vector<std::string>>{}), "");
  EXPECT_EQ(Slurp(tsv), "");
  EXPECT_EQ(output::WriteReport(xlsx, std::vector<std::vector<std::string>>{}), "");
  EXPECT_GT(std::filesystem::file_size(xlsx), 0u);
  {
    // A report past one sheet's 1,048,576 rows goes on to a second sheet under the same header.
    const std::string big = test::TempPath("report-") + "big.xlsx";
    constexpr std::int64_t kLines = 1048576 + 6;  // the header and 1,048,581 findings
    ASSERT_EQ(output::WriteReport(big, [](const auto& line) {
                line({"行", "说明"});
                for (std::int64_t k = 1; k < kLines; ++k) line({std::to_string(k), "x"});
              }), "");
    const auto bigParts = import::SplitPath(big);
    const auto second = import::LoadTable(*reader, "xlsx", import::ConnectionStringFor("xlsx", big, bigParts->folder),
                                          import::QueryTextFor("xlsx", "Sheet2$", bigParts->fileName));
    EXPECT_EQ(second->FieldNames(), (std::vector<std::string>{"行", "说明"}));
    ASSERT_EQ(second->RowCount(), 6u);
    EXPECT_EQ(second->Cell(0, 0), "1048576");
    EXPECT_EQ(second->Cell(5, 0), std::to_string(kLines - 1));
    std::filesystem::remove(big);
  }
  EXPECT_NE(output::WriteReport("/nonexistent-folder/report.tsv", table), "");
  std::filesystem::remove(tsv);
  std::filesystem::remove(xlsx);
}

// The ISBN-13 of twelve digits, with its check digit.
std::string Isbn13(const std::string& twelve) {
  int sum = 0;
  for (std::size_t k = 0; k < 12; ++k) sum += (twelve[k] - '0') * (k % 2 ? 3 : 1);
  return twelve + static_cast<char>('0' + (10 - sum % 10) % 10);
}

// The ISBN-10 of nine digits, with its check digit.
std::string Isbn10(const std::string& nine) {
  int sum = 0;
  for (std::size_t k = 0; k < 9; ++k) sum += (nine[k] - '0') * static_cast<int>(10 - k);
  const int check = (11 - sum % 11) % 11;
  return nine + (check == 10 ? 'X' : static_cast<char>('0' + check));
}

// The records of an output file by the row (from 1) their 001 ends with, each as its subfields
// "200h" → values.
using Subfields = std::map<std::string, std::vector<std::string>>;
std::map<std::int64_t, Subfields> RecordsByRow(const std::string& path, iso2709::Encoding encoding) {
  std::map<std::int64_t, Subfields> out;
  for (const std::string& bytes : Records(Slurp(path))) {
    iso2709::Record record;
    EXPECT_TRUE(iso2709::ReadRecord(bytes, record, encoding));
    Subfields subfields;
    std::int64_t row = 0;
    for (const iso2709::Field& f : record.fields) {
      if (f.tag == "001") row = std::stoll(f.data.substr(14));
      for (const iso2709::Subfield& sub : f.subfields) subfields[f.tag + sub.code].push_back(sub.data);
    }
    out[row] = std::move(subfields);
  }
  return out;
}

// What the run says about row `row`, worded, its findings of `kinds` only.
std::map<std::int64_t, std::string> Said(const RunResult& r, std::set<Kind> kinds) {
  std::map<std::int64_t, std::string> said;
  for (const RowReport& report : r.report)
    for (const Finding& f : report.findings)
      if (kinds.count(f.kind)) said[report.row] += (said[report.row].empty() ? "" : "；") + words::Describe(f);
  return said;
}

// The recommended rules merge a row that repeats an earlier one into that row's record, whichever
// thread composed either and in whichever batch, adding up their copies; the same title under
// another ISBN is kept and reported on both rows. In GBK and in UTF-8.
TEST_F(Run, RecommendedRulesMergeRepeatedRows) {
  constexpr int kRows = 600;  // three batches
  const std::string a = Isbn13("978730212345");
  // row (from 1) → title, ISBN, author, publisher, year, copies
  const std::map<int, std::vector<std::string>> planted = {
      {10, {"甲书", a, "张三著", "上海译文出版社", "2008", "2"}},
      {300, {"甲 书", "978-7-302-12345-" + a.substr(12), "", "", "", "3册"}},  // hyphenated, no other cell
      {400, {"甲书（平装）", Isbn10("730212345"), "", "", "", ""}},              // its ISBN-10; one copy
      {401, {"甲书", Isbn13("978730212346"), "", "", "", "1"}},                 // one digit off: another book
      {256, {"乙书", "", "张三著", "上海译文出版社", "2008", "1"}},
      {257, {"乙书", "", "张三 著", "上海译文出版社", "2008年5月", "１"}},  // the first row of the next batch
      {258, {"乙书", "", "李四著", "上海译文出版社", "2008", "1"}},        // another author
      {259, {"乙书", "", "张三著", "上海译文出版社", "2009", "1"}},        // another year
      {260, {"乙书", "", "张三著", "人民文学出版社", "2008", "1"}},        // another publisher
      {20, {"丙书", Isbn13("978730200001"), "", "上海译文出版社", "2008", "2"}},
      {520, {"丙书", Isbn13("978730200002"), "", "上海译文出版社", "2008", "两本"}},
      {521, {"丙书", Isbn13("978730200002"), "", "上海译文出版社", "2008", "1"}},
      {30, {"丁书", Isbn13("978730200003"), "", "上海译文出版社", "2008", "1"}},
      {31, {"丁书", "", "", "上海译文出版社", "2008", "1"}},  // one with an ISBN, one without: two books
  };
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"书名", "书号", "作者", "出版", "日期", "复本"});
  for (int row = 1; row <= kRows; ++row) {
    const auto it = planted.find(row);
    table->AppendRow(it != planted.end() ? it->second
                                         : std::vector<std::string>{"书" + std::to_string(row), "", "", "上海译文出版社", "2008", "1"});
  }
  input_.table = table;
  input_.mapping = {"200a", "010a", "200f", "210c", "210d", "905f"};
  input_.rules = Rules::Recommended;
  input_.templateText = std::string(kRecommendedTemplate);
  input_.threads = 3;
  const std::map<std::int64_t, std::string> expected = {
      {10, "第 300、400 行与这一行重复，并入这一条记录，复本数合计 6（905 $f）；题名与第 401 行相同而 ISBN 不同，请核对"},
      {300, "与第 10 行重复，并入那一行的记录"},
      {400, "与第 10 行重复，并入那一行的记录"},
      {401, "题名与第 10 行相同而 ISBN 不同，请核对"},
      {256, "第 257 行与这一行重复，并入这一条记录，复本数合计 2（905 $f）"},
      {257, "与第 256 行重复，并入那一行的记录"},
      {20, "题名与第 520 行相同而 ISBN 不同，请核对"},
      {520, "第 521 行与这一行重复，并入这一条记录；复本数“两本”读不出，没有相加；题名与第 20 行相同而 ISBN 不同，请核对"},
      {521, "与第 520 行重复，并入那一行的记录"}};
  const std::set<std::int64_t> merged = {300, 400, 257, 521};

  for (const iso2709::Encoding encoding : {iso2709::Encoding::Gbk, iso2709::Encoding::Utf8}) {
    SCOPED_TRACE(std::string(iso2709::NameOf(encoding)));
    input_.encoding = encoding;
    input_.keepDuplicates = false;
    input_.replace = true;
    const RunResult r = RunConversion(input_);
    EXPECT_EQ(r.outcome, RunOutcome::Finished);
    EXPECT_EQ(r.written, kRows - 4);
    EXPECT_EQ(r.merged, 4);
    EXPECT_EQ(r.failed, 0);
    EXPECT_EQ(r.counts.at(Kind::DuplicateRow), 4);
    EXPECT_EQ(r.counts.at(Kind::RowsMerged), 3);
    EXPECT_EQ(r.counts.at(Kind::SameTitleOtherIsbn), 4);
    EXPECT_EQ(Said(r, {Kind::DuplicateRow, Kind::RowsMerged, Kind::SameTitleOtherIsbn}), expected);
    for (const RowReport& report : r.report) EXPECT_EQ(report.merged, merged.count(report.row) > 0) << report.row;
    // The report has a line for each merged row; the summary says how many there are.
    const std::string text = words::ReportText(r, 0);
    EXPECT_NE(text.find("\n300\t\t甲 书\t978-7-302-12345-" + a.substr(12) + "\t警告\tduplicate-row\t\t与第 10 行重复，并入那一行的记录\n"),
              std::string::npos) << text;
    EXPECT_NE(words::SummaryText(r).find("4 行与前面的行重复，并入了那一行的记录"), std::string::npos) << words::SummaryText(r);
    EXPECT_NE(words::MessageFor(r, input_)->text.find("4 行与前面的行重复，并入了那一行的记录"), std::string::npos);
    EXPECT_EQ(words::MergedSummary(r), "4 行与前面的行重复，已并入前面那一行的记录");

    // The records of the other rows, in order (001 ends in the row's number), the copies added up.
    const auto records = RecordsByRow(input_.outputPath, encoding);
    std::vector<std::int64_t> rows, kept;
    for (const auto& [row, subfields] : records) rows.push_back(row);
    for (std::int64_t row = 1; row <= kRows; ++row)
      if (!merged.count(row)) kept.push_back(row);
    EXPECT_EQ(rows, kept);
    EXPECT_EQ(records.at(10).at("905f"), std::vector<std::string>{"6"});
    EXPECT_EQ(records.at(256).at("905f"), std::vector<std::string>{"2"});
    EXPECT_EQ(records.at(520).at("905f"), std::vector<std::string>{"两本"}) << "unreadable copies are not added";
    EXPECT_EQ(records.at(20).at("905f"), std::vector<std::string>{"2"});
    EXPECT_EQ(records.at(401).at("905f"), std::vector<std::string>{"1"});

    // Without the rows' report (a CLI run writing none): the same records and counts.
    const std::string bytes = Slurp(input_.outputPath);
    input_.keepReport = false;
    const RunResult bare = RunConversion(input_);
    input_.keepReport = true;
    EXPECT_EQ(Slurp(input_.outputPath), bytes);
    EXPECT_TRUE(bare.report.empty());
    EXPECT_EQ(std::tie(bare.written, bare.merged, bare.failed, bare.warned, bare.noted, bare.counts),
              std::tie(r.written, r.merged, r.failed, r.warned, r.noted, r.counts));
    EXPECT_EQ(words::SummaryText(bare), words::SummaryText(r));

    // Kept on request: every row gives its record with its own copies, no row is merged.
    input_.keepDuplicates = true;
    const RunResult all = RunConversion(input_);
    EXPECT_EQ(all.written, kRows);
    EXPECT_EQ(all.merged, 0);
    EXPECT_EQ(all.counts.count(Kind::DuplicateRow) + all.counts.count(Kind::RowsMerged), 0u);
    EXPECT_EQ(words::ReportText(all, 0).find("duplicate-row"), std::string::npos);
    EXPECT_EQ(words::MergedSummary(all), "");
    EXPECT_EQ(RecordsByRow(input_.outputPath, encoding).at(10).at("905f"), std::vector<std::string>{"2"});
  }

  // The classic rules write every row as it is.
  input_.rules = Rules::Classic;
  input_.templateText = std::string(kDefaultTemplate);
  input_.encoding = iso2709::Encoding::Gbk;
  input_.keepDuplicates = false;
  input_.mapping = {"200a", "010a", "200f", "010d", "210d", "905f"};
  const RunResult classic = RunConversion(input_);
  EXPECT_EQ(classic.written, kRows);
  EXPECT_EQ(classic.merged, 0);
  EXPECT_TRUE(Said(classic, {Kind::DuplicateRow, Kind::RowsMerged, Kind::SameTitleOtherIsbn}).empty());
}

// The rows of a set, one title under several ISBNs, are each given their volume number in 200 $h
// when the rows say which: the title rules' pieces, a number the titles end with and differ in, a
// volume column. A title that only looks like one with a number keeps it.
TEST_F(Run, RecommendedRulesNumberTheVolumesOfASet) {
  struct Row {
    std::string title, isbn, volume, part;
    std::string a, h;  // 200 $a and $h written
    std::string said;  // about the set and the number
  };
  const std::vector<Row> rows = {
      /* 1 */ {"中国通史1", Isbn13("978730200011"), "", "", "中国通史", "1", "题名与第 2 行相同而 ISBN 不同，请核对；题名中的“1”写入 200 $h"},
      /* 2 */ {"中国通史 2", Isbn13("978730200012"), "", "", "中国通史", "2", "题名与第 1 行相同而 ISBN 不同，请核对；题名中的“2”写入 200 $h"},
      /* 3 */ {"中国通史（３）", Isbn13("978730200013"), "", "", "中国通史", "3", "题名与第 1 行相同而 ISBN 不同，请核对；题名中的“（３）”写入 200 $h"},
      /* 4 */ {"中国通史", Isbn13("978730200014"), "", "", "中国通史", "", "题名与第 1 行相同而 ISBN 不同，请核对"},
      /* 5 */ {"在路上", Isbn13("978730200015"), "", "", "在路上", "", "题名与第 6 行相同而 ISBN 不同，请核对"},
      /* 6 */ {"在路上", Isbn13("978730200016"), "", "", "在路上", "", "题名与第 5 行相同而 ISBN 不同，请核对"},
      /* 7 */ {"在路", Isbn13("978730200017"), "", "", "在路", "", ""},
      /* 8 */ {"资本论", Isbn13("978730200018"), "第一卷", "", "资本论", "第一卷", "题名与第 9 行相同而 ISBN 不同，请核对；同一题名有不同的 ISBN，卷次“第一卷”写入 200 $h"},
      /* 9 */ {"资本论", Isbn13("978730200019"), "第二卷", "", "资本论", "第二卷", "题名与第 8 行相同而 ISBN 不同，请核对；同一题名有不同的 ISBN，卷次“第二卷”写入 200 $h"},
      /* 10 */ {"红楼梦（上）", Isbn13("978730200020"), "", "", "红楼梦", "上", "题名中的“（上）”写入 200 $h；题名与第 11 行相同而 ISBN 不同，请核对"},
      /* 11 */ {"红楼梦（下）", Isbn13("978730200021"), "", "", "红楼梦", "下", "题名中的“（下）”写入 200 $h；题名与第 10 行相同而 ISBN 不同，请核对"},
      /* 12 */ {"三国演义（上）", Isbn13("978730200022"), "", "", "三国演义", "上", "题名中的“（上）”写入 200 $h"},  // one ISBN for the set
      /* 13 */ {"三国演义（下）", Isbn13("978730200022"), "", "", "三国演义", "下", "题名中的“（下）”写入 200 $h"},
      /* 14 */ {"三体1", Isbn13("978730200023"), "", "", "三体1", "", ""},
      /* 15 */ {"三体2", Isbn13("978730200023"), "", "", "三体2", "", ""},
      /* 16 */ {"Windows 7", Isbn13("978730200024"), "", "", "Windows 7", "", ""},
      /* 17 */ {"Windows 8", Isbn13("978730200025"), "", "", "Windows 8", "", ""},
      /* 18 */ {"西游记上", Isbn13("978730200026"), "", "", "西游记", "上", "题名与第 19 行相同而 ISBN 不同，请核对；题名中的“上”写入 200 $h"},
      /* 19 */ {"西游记下", Isbn13("978730200027"), "", "", "西游记", "下", "题名与第 18 行相同而 ISBN 不同，请核对；题名中的“下”写入 200 $h"},
      /* 20 */ {"辞海", Isbn13("978730200028"), "1", "上", "辞海", "上", "题名与第 21 行相同而 ISBN 不同，请核对"},
      /* 21 */ {"辞海", Isbn13("978730200029"), "2", "", "辞海", "2", "题名与第 20 行相同而 ISBN 不同，请核对；同一题名有不同的 ISBN，卷次“2”写入 200 $h"},
      /* 22 */ {"辞源", Isbn13("978730200030"), "3", "", "辞源", "", ""},  // one row: no set
  };
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"书名", "书号", "卷次", "分册号"});
  for (const Row& row : rows) table->AppendRow(std::vector<std::string>{row.title, row.isbn, row.volume, row.part});
  input_.table = table;
  input_.mapping = {"200a", "010a", "905v", "200h"};
  input_.rules = Rules::Recommended;
  input_.templateText = std::string(kRecommendedTemplate);
  for (const bool keep : {false, true}) {
    for (const iso2709::Encoding encoding : {iso2709::Encoding::Gbk, iso2709::Encoding::Utf8}) {
      SCOPED_TRACE(std::string(iso2709::NameOf(encoding)) + (keep ? ", duplicates kept" : ""));
      input_.encoding = encoding;
      input_.keepDuplicates = keep;
      input_.replace = true;
      const RunResult r = RunConversion(input_);
      ASSERT_EQ(r.written, static_cast<std::int64_t>(rows.size()));
      const auto written = Records(Slurp(input_.outputPath));
      for (std::size_t k = 0; k < rows.size(); ++k) EXPECT_EQ(PreviewRow(input_, static_cast<std::int64_t>(k)).record, written[k]) << k;
      const auto records = RecordsByRow(input_.outputPath, encoding);
      const auto said = Said(r, {Kind::SameTitleOtherIsbn, Kind::TitlePartMoved, Kind::PartFromVolumeColumn});
      for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::int64_t row = static_cast<std::int64_t>(k) + 1;
        const Subfields& got = records.at(row);
        EXPECT_EQ(got.at("200a"), std::vector<std::string>{rows[k].a}) << row;
        EXPECT_EQ(got.count("200h") ? got.at("200h") : std::vector<std::string>{},
                  rows[k].h.empty() ? std::vector<std::string>{} : std::vector<std::string>{rows[k].h})
            << row;
        EXPECT_EQ(said.count(row) ? said.at(row) : "", rows[k].said) << row;
      }
    }
  }

  // The classic rules leave every title as the table has it.
  input_.rules = Rules::Classic;
  input_.templateText = std::string(kDefaultTemplate);
  input_.mapping = {"200a", "010a", "010d", "200h"};
  input_.encoding = iso2709::Encoding::Gbk;
  const RunResult classic = RunConversion(input_);
  EXPECT_EQ(classic.written, static_cast<std::int64_t>(rows.size()));
  EXPECT_TRUE(Said(classic, {Kind::SameTitleOtherIsbn, Kind::TitlePartMoved, Kind::PartFromVolumeColumn}).empty());
  const auto records = Records(Slurp(input_.outputPath));
  ASSERT_EQ(records.size(), rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    iso2709::Record record;
    ASSERT_TRUE(iso2709::ReadRecord(records[k], record));
    for (const iso2709::Field& f : record.fields) {
      if (f.tag == "200") {
        EXPECT_EQ(f.subfields.at(0).data, rows[k].title);
      }
    }
  }
}

// The preview of a merged row says which row stands for it; the row standing for others previews
// the record the run writes, copies added up and barcodes joined. Converting the table again is
// recognised.
TEST_F(Run, APreviewOfAMergedRowNamesTheRowThatStandsForIt) {
  auto table = std::make_shared<import::LoadedTable>(std::vector<std::string>{"书名", "书号", "复本", "条码"});
  table->AppendRow(std::vector<std::string>{"甲书", Isbn13("978730212345"), "2", "T001-T002"});
  table->AppendRow(std::vector<std::string>{"甲书", Isbn13("978730212345"), "3", "T003-T005"});
  table->AppendRow(std::vector<std::string>{"乙书", Isbn13("978730212346"), "1", "T006"});
  input_.table = table;
  input_.mapping = {"200a", "010a", "905f", "905b"};
  input_.rules = Rules::Recommended;
  input_.templateText = std::string(kRecommendedTemplate);
  const RunResult r = RunConversion(input_);
  ASSERT_EQ(r.written, 2);
  const auto records = Records(Slurp(input_.outputPath));

  const RowPreview first = PreviewRow(input_, 0);
  EXPECT_EQ(first.record, records[0]);
  EXPECT_NE(first.listing.find("905    $b T001-T002,T003-T005 $f 5"), std::string::npos) << first.listing;
  const RowPreview second = PreviewRow(input_, 1);
  EXPECT_TRUE(second.merged);
  EXPECT_TRUE(second.record.empty());
  EXPECT_EQ(words::PreviewText(second), "没有生成记录：与第 1 行重复，并入那一行的记录\n");
  EXPECT_EQ(PreviewRow(input_, 2).record, records[1]);

  output::ExistingOutput existing;
  existing.firstRecords = records;
  EXPECT_TRUE(RepeatsExistingRecords(input_, existing)) << "the merged row gives no record to compare";
  input_.keepDuplicates = true;
  EXPECT_FALSE(RepeatsExistingRecords(input_, existing)) << "kept, the second row gives the second record";
  EXPECT_FALSE(PreviewRow(input_, 1).merged);

  // Written one item a copy, the merged row's barcodes are the record's too.
  input_.keepDuplicates = false;
  input_.holdings.preset = "905-per-copy";
  const RowPreview items = PreviewRow(input_, 0);
  for (const char* code : {"T001", "T002", "T003", "T004", "T005"})
    EXPECT_NE(items.listing.find(std::string("905    $b ") + code + "\n"), std::string::npos) << code << items.listing;
  for (const Finding& f : items.findings) EXPECT_NE(f.kind, Kind::CopiesDisagree) << words::Describe(f);
}

// A row's preview is the record the run writes, listed as yaz-marcdump lists it; nothing is written.
TEST_F(Run, APreviewIsTheRecordTheRunWrites) {
  input_.table = Load("messy_vendor.xls", "Sheet1$");
  input_.mapping = {"", "200a", "200f", "010a", "010d", "210c", "210d", "330a", "215a", "215d", ""};
  input_.rules = Rules::Recommended;
  input_.templateText = std::string(kRecommendedTemplate);
  ASSERT_EQ(RunConversion(input_).written, 420);
  std::string errors;
  const std::string listing = Yaz(input_.outputPath, &errors);
  ASSERT_EQ(errors, "");
  std::vector<std::string> yaz;  // one block a record
  for (std::size_t start = 0; start < listing.size();) {
    const std::size_t end = listing.find("\n\n", start);
    yaz.push_back(listing.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  ASSERT_EQ(yaz.size(), 420u);
  const auto records = Records(Slurp(input_.outputPath));
  const std::string before = Slurp(input_.outputPath);
  for (const std::int64_t row : {0, 1, 2, 57, 210, 418, 419}) {
    const RowPreview p = PreviewRow(input_, row);
    EXPECT_EQ(p.record, records[row]) << row;
    EXPECT_EQ(p.listing, yaz[row]) << row;
  }
  EXPECT_EQ(Slurp(input_.outputPath), before) << "a preview writes nothing";
  EXPECT_EQ(words::PreviewText(PreviewRow(input_, 420)), "没有生成记录：没有第 421 行\n");

  // A dry run composes every row and writes nothing.
  std::filesystem::remove(input_.outputPath);
  input_.dryRun = true;
  const RunResult dry = RunConversion(input_);
  EXPECT_EQ(dry.written, 420);
  // Two rows' ISBN "0" is a placeholder, not warned; 271 sizes "16开" and "32开" are converted, noted;
  // 38 statements give no role word, so 著 is noted (12 of those rows had no other finding); 15
  // titles without a Han character and 13 translations of no known original are warned (101); 185
  // rows have no place in the row or the publisher table (153 of them no other warning); 31 rows
  // share their title with a row under another ISBN (11 of them no other warning).
  EXPECT_EQ(dry.warned, 229);
  // Notes only: converted sizes, assumed roles, placeholders left out (ISBN "0", 暂无), look-alikes.
  EXPECT_EQ(dry.warned + dry.noted, 379) << "rows with notes only are not warned";
  EXPECT_EQ(dry.counts.at(Kind::RoleAssumed), 38);
  EXPECT_EQ(dry.counts.at(Kind::LanguageUnknown), 15);
  EXPECT_EQ(dry.counts.at(Kind::OriginalLanguageUnknown), 13);
  EXPECT_EQ(dry.counts.at(Kind::OriginalLanguageFromMark), 49);
  EXPECT_EQ(dry.counts.at(Kind::SameTitleOtherIsbn), 31);
  EXPECT_EQ(dry.counts.at(Kind::PlaceUnknown), 185);
  EXPECT_FALSE(std::filesystem::exists(input_.outputPath));
}

}  // namespace
}  // namespace rowcaster::convert
