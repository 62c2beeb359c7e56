// Reads one table of a user's file into the table model, the way the window loads it, and prints
// the time, rows per second and peak memory.
//
//   bench_read FILE [child|inprocess]     (default: child, the guarded path the program uses)

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "import/DataFile.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
  using namespace rowcaster;
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_read FILE [child|inprocess]\n");
    return 2;
  }
  const std::string path = argv[1];
  const std::string mode = argc > 2 ? argv[2] : "child";
  auto reader = mode == "inprocess" ? data::InProcessReader() : data::ChildProcessReader(BesideExecutable("rowcaster-cli"));
  const std::string kind = import::KindOfPath(path);
  const auto parts = import::SplitPath(path);
  const std::string connection = import::ConnectionStringFor(kind, path, parts->folder);
  const auto t0 = std::chrono::steady_clock::now();
  std::string table;
  if (kind != "dbf" && !import::IsTextKind(kind)) table = import::OfferedTables(kind, reader->ReadCatalogue(connection)).at(0);
  const auto loaded = import::LoadTable(*reader, kind, connection, import::QueryTextFor(kind, table, parts->fileName));
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  rusage self{}, children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  std::printf("%s (%s): %zu rows x %zu columns in %.3f s = %.0f rows/s; table model %.1f MB; peak RSS %.1f MB"
              " (reader child %.1f MB)\n",
              parts->fileName.c_str(), mode.c_str(), loaded->RowCount(), loaded->ColumnCount(), s,
              loaded->RowCount() / s, loaded->MemoryBytes() / 1048576.0, self.ru_maxrss / 1024.0,
              children.ru_maxrss / 1024.0);
  return 0;
}
