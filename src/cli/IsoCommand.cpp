// rowcaster-cli iso: work forms on standard input, separated by an empty line, become ISO 2709
// records on standard output. Streams: one work form is held at a time.

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "iso2709/IsoRecord.h"

namespace rowcaster::cli {
namespace {

// Reads standard input line by line in large blocks.
class LineReader {
 public:
  explicit LineReader(std::FILE* in) : in_(in) {}
  // The next line with its line end (LF, or CR LF), or false at the end of the input. A last
  // line without a line feed is given one, so that it is read like any other.
  bool Next(std::string& line) {
    line.clear();
    for (;;) {
      if (pos_ == len_) {
        if (eof_) break;
        len_ = std::fread(buf_, 1, sizeof buf_, in_);
        pos_ = 0;
        if (len_ == 0) {
          eof_ = true;
          break;
        }
      }
      const char* start = buf_ + pos_;
      const void* lf = std::memchr(start, '\n', len_ - pos_);
      if (lf) {
        const std::size_t n = static_cast<const char*>(lf) - start + 1;
        line.append(start, n);
        pos_ += n;
        return true;
      }
      line.append(start, len_ - pos_);
      pos_ = len_;
    }
    if (line.empty()) return false;
    line += '\n';
    return true;
  }

 private:
  std::FILE* in_;
  char buf_[1 << 16];
  std::size_t pos_ = 0, len_ = 0;
  bool eof_ = false;
};

bool IsBlank(const std::string& line) { return line == "\n" || line == "\r\n"; }

}  // namespace

int IsoCommand(std::vector<std::string> argv) {
  Args args(std::move(argv));
  std::optional<std::string> now;
  while (!args.Done()) {
    if (auto v = args.Option("--now")) {
      now = v;
    } else {
      throw UsageError{"iso: unknown argument '" + args.Peek() + "'"};
    }
  }
  const Clock clock = ClockFrom(now);

  static char outBuf[1 << 16];
  std::setvbuf(stdout, outBuf, _IOFBF, sizeof outBuf);
  LineReader reader(stdin);
  std::string line, form;
  long long number = 0;
  int status = kExitOk;
  auto flush = [&] {
    if (form.empty()) return;
    ++number;
    const iso2709::BuildResult r = iso2709::BuildIsoRecord(form, clock());
    form.clear();
    if (r.status == iso2709::BuildStatus::Built) {
      std::fwrite(r.record.data(), 1, r.record.size(), stdout);
    } else {
      std::fprintf(stderr, "work form %lld: %s\n", number, r.description.c_str());
      status = kExitFailed;
    }
  };
  while (reader.Next(line)) {
    if (IsBlank(line)) {
      flush();
    } else {
      form += line;
    }
  }
  flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "iso: cannot write the records to standard output\n");
    return kExitFailed;
  }
  return status;
}

}  // namespace rowcaster::cli
