// rowcaster-cli tables FILE, dump FILE [--table NAME], and read (the child side of guarded reading).

#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/DataFile.h"
#include "import/DataFile.h"
#include "platform/Paths.h"

namespace rowcaster::cli {

SourceTable OpenSource(const std::string& file, const std::optional<std::string>& table, Rows rows) {
  SourceTable source;
  std::error_code ec;
  const std::string path = import::TrimBlanks(std::filesystem::absolute(file, ec).lexically_normal().string());
  if (!std::filesystem::exists(path, ec)) throw SourceError{import::kFileMissing + std::string("\n") + path};
  source.kind = import::KindOfPath(path);
  if (!import::IsReadableKind(source.kind))
    throw SourceError{std::string(import::kFileInvalid) + "\n" + import::kOnlyThreeKinds};
  const auto parts = import::SplitPath(path);
  if (!parts) throw SourceError{import::kFileInvalid};
  const std::string connection = import::ConnectionStringFor(source.kind, path, parts->folder);
  std::shared_ptr<data::TableReader> reader = data::ChildProcessReader(BesideExecutable("rowcaster-cli"));
  try {
    if (source.kind == "dbf" || import::IsTextKind(source.kind)) {
      source.offered = {parts->fileName};
      if (table && *table != parts->fileName) throw data::DataError("表文件只有一个表：" + parts->fileName);
    } else {
      const auto catalogue = reader->ReadCatalogue(connection);
      source.offered = import::OfferedTables(source.kind, catalogue);
      if (source.offered.empty()) throw SourceError{import::NoTableMessage(source.kind)};
      if (table && std::find(source.offered.begin(), source.offered.end(), *table) == source.offered.end())
        throw data::DataError("没有表“" + *table + "”；可选的表：" + Join(source.offered));
    }
    source.tableName = table ? *table : source.offered.front();
    const std::string query = import::QueryTextFor(source.kind, source.tableName, parts->fileName);
    if (rows == Rows::Whole) source.table = import::LoadTable(*reader, source.kind, connection, query);
    if (rows == Rows::WhileUsed) {
      source.table = std::make_shared<import::LoadedTable>();
      source.table->BeginLoading();
      const auto load = [reader, kind = source.kind, connection, query, table = source.table] {
        import::LoadTableWhileUsed(*reader, kind, connection, query, *table);
      };
      try {
        source.reading = std::make_shared<std::jthread>(load);
      } catch (const std::system_error&) {
        load();  // no thread to spare: the table is read here, to its end
      }
    }
  } catch (const data::DataError& e) {
    throw SourceError{ReadErrorText(e.what())};
  }
  return source;
}

std::optional<SourceTable> OpenSourceOrSay(const std::string& file, const std::optional<std::string>& table, Rows rows) {
  try {
    return OpenSource(file, table, rows);
  } catch (const SourceError& e) {
    std::fprintf(stderr, "%s\n", e.text.c_str());
    return std::nullopt;
  }
}

std::string ReadErrorText(const std::string& why) { return std::string(import::kReadError) + "\n" + why; }

std::string Join(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) s += (s.empty() ? "" : "、") + n;
  return s;
}

int ReadCommand(std::vector<std::string> argv) {
  if (argv.empty() || argv.size() > 2) throw UsageError{"read CONNECTION [QUERY]"};
  return data::ServeRead(argv[0], argv.size() == 2 ? std::optional<std::string>(argv[1]) : std::nullopt, 1);
}

int TablesCommand(std::vector<std::string> argv) {
  if (argv.size() != 1) throw UsageError{"tables FILE"};
  const auto source = OpenSourceOrSay(argv[0], std::nullopt, Rows::None);
  if (!source) return kExitFailed;
  for (const auto& name : source->offered) std::printf("%s\n", name.c_str());
  return kExitOk;
}

namespace {

void PutEscaped(std::string& out, std::string_view cell) {
  for (char c : cell) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
}

}  // namespace

int DumpCommand(std::vector<std::string> argv) {
  Args args(std::move(argv));
  std::optional<std::string> file, table;
  while (!args.Done()) {
    if (auto t = args.Option("--table")) {
      table = t;
    } else if (!file) {
      file = args.Next();
    } else {
      throw UsageError{"dump FILE [--table NAME]"};
    }
  }
  if (!file) throw UsageError{"dump FILE [--table NAME]"};
  const auto opened = OpenSourceOrSay(*file, table, Rows::Whole);
  if (!opened) return kExitFailed;
  const SourceTable& source = *opened;
  std::string out;
  const auto& names = source.table->FieldNames();
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (c) out += '\t';
    PutEscaped(out, names[c]);
  }
  out += '\n';
  std::vector<std::string_view> cells;
  for (std::size_t r = 0; r < source.table->RowCount(); ++r) {
    source.table->Row(r, cells);
    for (std::size_t c = 0; c < cells.size(); ++c) {
      if (c) out += '\t';
      PutEscaped(out, cells[c]);
    }
    out += '\n';
    if (out.size() > (1 << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

}  // namespace rowcaster::cli
