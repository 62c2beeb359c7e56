// rowcaster-cli lookup --target NAME|URL [--timeout S] [--title T [--author A]] ISBN ...
// rowcaster-cli targets [--test NAME|URL] [--timeout S]

#include <QCoreApplication>
#include <QString>

#include <chrono>
#include <cstdio>

#include "catalogue/Lookup.h"
#include "cli/Args.h"
#include "cli/Catalogue.h"
#include "words/Words.h"
#include "cli/Commands.h"
#include "cli/Common.h"
#include "iso2709/Writers.h"

namespace rowcaster::cli {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
void Say(const QString& line) { std::fprintf(stderr, "%s\n", line.toStdString().c_str()); }

int TimeoutOption(const std::string& value) {
  if (value.empty() || value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos || std::stoi(value) < 1)
    throw UsageError{"--timeout takes seconds from 1, not '" + value + "'"};
  return std::stoi(value);
}

QString FailureText(const catalogue::Target& t, const catalogue::TargetFailure& f) {
  return QCoreApplication::translate("Cli", "%1 不可用（错误 %2：%3）").arg(Q(t.name)).arg(f.code).arg(Q(f.message));
}

}  // namespace


std::vector<catalogue::Target> KnownTargets(const std::vector<catalogue::Target>& profileTargets) {
  std::vector<catalogue::Target> known = profileTargets;
  const catalogue::TargetsRead user = catalogue::LoadUserTargets();
  if (user.problem != catalogue::TargetProblem::None)
    Say(Q(catalogue::UserTargetsPath()) + QCoreApplication::translate("Cli", "：") +
        Q(words::TargetProblemText({std::nullopt, user.problem, user.value})));
  known.insert(known.end(), user.targets.begin(), user.targets.end());
  return known;
}

catalogue::Target TargetOrUsage(const std::string& nameOrUrl, const std::vector<catalogue::Target>& known) {
  catalogue::TargetRead read = catalogue::ResolveTarget(nameOrUrl, known);
  if (!read.target) throw UsageError{words::TargetProblemText(read)};
  return std::move(*read.target);
}

int LookupCommand(std::vector<std::string> argv) {
  UseWords();
  Args args(std::move(argv));
  std::optional<std::string> target;
  catalogue::LookupSettings settings;
  catalogue::Wanted byTitle;
  std::vector<std::string> isbns;
  while (!args.Done()) {
    if (auto t = args.Option("--target")) target = t;
    else if (auto s = args.Option("--timeout")) settings.timeoutSeconds = TimeoutOption(*s);
    else if (auto title = args.Option("--title")) byTitle.title = *title;
    else if (auto author = args.Option("--author")) byTitle.author = *author;
    else if (args.Peek().rfind("-", 0) != 0) isbns.push_back(args.Next());
    else throw UsageError{"lookup: unknown argument '" + args.Peek() + "'"};
  }
  if (!target || (isbns.empty() && byTitle.title.empty()))
    throw UsageError{"lookup --target NAME|URL ISBN ... (or --title T); see lookup --help"};
  const catalogue::Target t = TargetOrUsage(*target, KnownTargets({}));
  std::vector<catalogue::Wanted> wanted;
  for (const std::string& isbn : isbns) wanted.push_back({isbn, "", ""});
  if (!byTitle.title.empty()) wanted.push_back(byTitle);
  iso2709::RecordWriter writer(iso2709::Format::Text, iso2709::Encoding::Utf8);
  int found = 0;
  for (const catalogue::Wanted& w : wanted) {
    catalogue::TargetFailure failure;
    const std::vector<iso2709::Record> records = catalogue::Search(t, w, settings, failure);
    if (failure.code != 0) {
      Say(FailureText(t, failure));
      return kExitFailed;
    }
    if (records.empty()) Say(QCoreApplication::translate("Cli", "%1：%2 中没有找到").arg(Q(w.isbn.empty() ? w.title : w.isbn), Q(t.name)));
    for (const iso2709::Record& r : records) {
      std::fputs(writer.ListingOf(r).c_str(), stdout);
      std::fputc('\n', stdout);
      ++found;
    }
  }
  return found > 0 ? kExitOk : kExitFailed;
}

int TargetsCommand(std::vector<std::string> argv) {
  UseWords();
  Args args(std::move(argv));
  std::optional<std::string> test;
  int timeout = 10;
  while (!args.Done()) {
    if (auto t = args.Option("--test")) test = t;
    else if (auto s = args.Option("--timeout")) timeout = TimeoutOption(*s);
    else throw UsageError{"targets: unknown argument '" + args.Peek() + "'"};
  }
  const std::vector<catalogue::Target> known = KnownTargets({});
  if (!test) {
    if (known.empty()) Say(QCoreApplication::translate("Cli", "没有设置套录目标（%1）").arg(Q(catalogue::UserTargetsPath())));
    // The URL leaves the user and password out.
    for (const catalogue::Target& t : known)
      std::printf("%s\t%s%s\n", t.name.c_str(), catalogue::TargetUrl(t).c_str(),
                  t.own ? ("\t" + QCoreApplication::translate("Cli", "本馆目录（查重）").toStdString()).c_str() : "");
    return kExitOk;
  }
  const catalogue::Target t = TargetOrUsage(*test, known);
  const auto start = std::chrono::steady_clock::now();
  catalogue::TargetFailure failure;
  const bool ok = catalogue::TestTarget(t, timeout, failure);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!ok) {
    Say(FailureText(t, failure));
    return kExitFailed;
  }
  std::printf("%s\n", QCoreApplication::translate("Cli", "%1 可以使用（%2 秒）").arg(Q(t.name)).arg(seconds, 0, 'f', 2).toStdString().c_str());
  return kExitOk;
}

}  // namespace rowcaster::cli
