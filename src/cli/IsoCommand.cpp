// rowcaster-cli iso: work forms on standard input, separated by an empty line, become records on
// standard output: ISO 2709 (GBK unless --encoding says otherwise), MARCXML or a listing (--format).
// Streams: one work form is held at a time.

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "iso2709/IsoRecord.h"
#include "iso2709/Writers.h"

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
  std::optional<iso2709::Encoding> encoding;
  iso2709::Format format = iso2709::Format::Iso2709;
  while (!args.Done()) {
    if (auto v = args.Option("--now")) {
      now = v;
    } else if (auto e = args.Option("--encoding")) {
      encoding = EncodingOption(*e);
    } else if (auto f = args.Option("--format")) {
      format = FormatOption(*f);
    } else {
      throw UsageError{"iso: unknown argument '" + args.Peek() + "'"};
    }
  }
  const Clock clock = ClockFrom(now);
  const iso2709::Encoding chosen = encoding.value_or(iso2709::DefaultEncoding(format));
  if (const std::string why = iso2709::Unsupported(format, chosen); !why.empty()) throw UsageError{"iso: " + why};
  iso2709::RecordWriter writer(format, chosen);

  static char outBuf[1 << 16];
  std::setvbuf(stdout, outBuf, _IOFBF, sizeof outBuf);
  LineReader reader(stdin);
  std::string line, form, bytes;
  iso2709::Record record;
  long long number = 0;
  int status = kExitOk;
  std::fwrite(writer.Prologue().data(), 1, writer.Prologue().size(), stdout);
  auto flush = [&] {
    if (form.empty()) return;
    ++number;
    const iso2709::Built built = iso2709::BuildRecord(form, clock(), {}, record);
    form.clear();
    bytes.clear();
    const iso2709::WriteResult written = built.status == iso2709::BuildStatus::Built ? writer.Append(record, bytes)
                                                                                     : iso2709::WriteResult{false, built.description, {}, 0, 0, {}, 0, {}};
    if (written.ok) {
      std::fwrite(bytes.data(), 1, bytes.size(), stdout);
      if (written.unencodable)
        std::fprintf(stderr, "work form %lld: %zu characters written as '?': %s\n", number, written.unencodable,
                     written.unencodableChars.c_str());
    } else {
      std::fprintf(stderr, "work form %lld: %s\n", number, written.description.c_str());
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
  std::fwrite(writer.Epilogue().data(), 1, writer.Epilogue().size(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "iso: cannot write the records to standard output\n");
    return kExitFailed;
  }
  return status;
}

}  // namespace rowcaster::cli
