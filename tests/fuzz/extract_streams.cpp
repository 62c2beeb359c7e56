// Writes the workbook stream of each .xls given, as seeds for fuzz_xls: extract_streams OUTDIR FILE…
#include <cstdio>
#include <string>

#include "platform/data/XlsSource.h"

int main(int argc, char** argv) {
  for (int i = 2; i < argc; ++i) {
    try {
      const std::string stream = rowcaster::data::ReadWorkbookStream(argv[i]);
      const std::string out = std::string(argv[1]) + "/seed" + std::to_string(i) + ".biff";
      if (std::FILE* f = std::fopen(out.c_str(), "wb")) {
        std::fwrite(stream.data(), 1, stream.size(), f);
        std::fclose(f);
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
    }
  }
  return 0;
}
