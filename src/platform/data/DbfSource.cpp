#include "platform/data/DbfSource.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/SystemError.h"
#include "platform/data/ValueText.h"
#include "platform/text/CodePage.h"
#include "platform/text/Utf8.h"

namespace rowcaster::data {
namespace {

namespace fs = std::filesystem;

std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const unsigned char* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint32_t Be32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// A file in `dir` whose name equals `name` but for letter case (tables copied from Windows).
std::string FindIgnoringCase(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::exists(dir / name, ec)) return (dir / name).string();
  const std::string want = text::AsciiLower(name);
  for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end; it.increment(ec))
    if (text::AsciiLower(it->path().filename().string()) == want) return it->path().string();
  return {};
}

struct Field {
  std::string name;
  char type = 'C';
  std::size_t offset = 0, length = 0;
  int decimals = 0;
  bool hidden = false, binary = false;
  int nullBit = -1, varBit = -1;
};

class MemoFile {
 public:
  MemoFile(const std::string& path, unsigned char version) : in_(path, std::ios::binary), path_(path) {
    if (!in_) throw DataError("无法打开备注文件 " + path);
    in_.seekg(0, std::ios::end);
    size_ = static_cast<std::uint64_t>(in_.tellg());
    unsigned char head[32] = {};
    in_.seekg(0);
    in_.read(reinterpret_cast<char*>(head), sizeof head);
    const std::string ext = text::AsciiLower(fs::path(path).extension().string());
    if (ext == ".fpt") {
      kind_ = Kind::Fpt;
      blockSize_ = static_cast<std::uint32_t>(head[6]) << 8 | head[7];
      if (blockSize_ == 0) blockSize_ = 512;  // some writers leave it 0
    } else if (version == 0x83) {
      kind_ = Kind::Dbt3;
      blockSize_ = 512;
    } else {
      kind_ = Kind::Dbt4;
      blockSize_ = Le16(head + 20);
      if (blockSize_ == 0) blockSize_ = 512;
    }
  }

  // The bytes of the memo in block `block`; empty for a picture or object memo.
  std::string Read(std::uint32_t block) {
    const std::uint64_t pos = static_cast<std::uint64_t>(block) * blockSize_;
    if (block == 0 || pos >= size_) return {};
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(pos));
    switch (kind_) {
      case Kind::Fpt: {
        unsigned char head[8];
        if (!in_.read(reinterpret_cast<char*>(head), 8)) return {};
        if (Be32(head) != 1) return {};  // 0 picture, 2 object
        return Take(std::min<std::uint64_t>(Be32(head + 4), size_ - pos - 8));
      }
      case Kind::Dbt4: {
        unsigned char head[8];
        if (!in_.read(reinterpret_cast<char*>(head), 8)) return {};
        if (head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00) {
          const std::uint32_t len = Le32(head + 4);
          return Take(std::min<std::uint64_t>(len > 8 ? len - 8 : 0, size_ - pos - 8));
        }
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(pos));
        [[fallthrough]];
      }
      case Kind::Dbt3: {
        // Text up to the 0x1A end mark.
        std::string out;
        char buf[512];
        while (out.size() < size_ - pos) {
          in_.read(buf, sizeof buf);
          const std::streamsize n = in_.gcount();
          if (n <= 0) break;
          const char* end = static_cast<const char*>(std::memchr(buf, 0x1A, static_cast<std::size_t>(n)));
          out.append(buf, end ? static_cast<std::size_t>(end - buf) : static_cast<std::size_t>(n));
          if (end) break;
        }
        return out;
      }
    }
    return {};
  }

 private:
  std::string Take(std::uint64_t n) {
    std::string s(static_cast<std::size_t>(n), '\0');
    in_.read(s.data(), static_cast<std::streamsize>(n));
    s.resize(static_cast<std::size_t>(in_.gcount()));
    return s;
  }
  enum class Kind { Fpt, Dbt3, Dbt4 };
  std::ifstream in_;
  std::string path_;
  std::uint64_t size_ = 0;
  Kind kind_ = Kind::Fpt;
  std::uint32_t blockSize_ = 512;
};

class DbfRowSet : public RowSet {
 public:
  DbfRowSet(const std::string& path, bool hideDeleted) : path_(path), hideDeleted_(hideDeleted) {
    in_.open(path, std::ios::binary);
    if (!in_) throw DataError("无法打开表文件 " + path + "：" + ErrorText(errno));
    in_.seekg(0, std::ios::end);
    const std::uint64_t fileSize = static_cast<std::uint64_t>(in_.tellg());
    in_.seekg(0);
    unsigned char head[32];
    if (fileSize < 33 || !in_.read(reinterpret_cast<char*>(head), 32))
      throw DataError(path + " 不是有效的 dBASE/FoxPro 表（文件过短）");
    version_ = head[0];
    static const unsigned char kVersions[] = {0x02, 0x03, 0x04, 0x05, 0x30, 0x31, 0x32, 0x43,
                                              0x63, 0x7B, 0x83, 0x8B, 0x8C, 0xCB, 0xE5, 0xF5, 0xFB};
    if (std::find(std::begin(kVersions), std::end(kVersions), version_) == std::end(kVersions))
      throw DataError(path + " 不是 dBASE/FoxPro 表（未知的版本字节）");
    count_ = Le32(head + 4);
    headerLength_ = Le16(head + 8);
    recordLength_ = Le16(head + 10);
    codePage_ = DbfCodePage(head[29]);
    if (headerLength_ < 33 || recordLength_ < 1 || headerLength_ > fileSize)
      throw DataError(path + " 的表头已损坏");
    const bool vfp = version_ == 0x30 || version_ == 0x31 || version_ == 0x32;
    const bool dbase7 = version_ == 0x04 || version_ == 0x8C;
    intBigEndian_ = dbase7;

    std::vector<unsigned char> descriptors(headerLength_ - 32);
    in_.read(reinterpret_cast<char*>(descriptors.data()), static_cast<std::streamsize>(descriptors.size()));
    const std::size_t descSize = dbase7 ? 48 : 32;
    const std::size_t descStart = dbase7 ? 36 : 0;  // dBASE 7 has a language driver name first
    std::size_t offset = 1;
    int nextBit = 0;
    for (std::size_t d = descStart; d + descSize <= descriptors.size() && descriptors[d] != 0x0D; d += descSize) {
      const unsigned char* f = descriptors.data() + d;
      Field field;
      const std::size_t nameLen = dbase7 ? 32 : 11;
      field.name = std::string(reinterpret_cast<const char*>(f), strnlen(reinterpret_cast<const char*>(f), nameLen));
      const std::size_t typeAt = dbase7 ? 32 : 11;
      field.type = static_cast<char>(std::toupper(f[typeAt]));
      field.length = dbase7 ? f[33] : f[16];
      field.decimals = dbase7 ? f[34] : f[17];
      if (!dbase7 && field.type == 'C' && !vfp) field.length |= static_cast<std::size_t>(f[17]) << 8;  // long C fields
      if (vfp) {
        const unsigned char flags = f[18];
        field.hidden = (flags & 0x01) != 0;
        field.binary = (flags & 0x04) != 0;
        if (field.type == 'V' || field.type == 'Q') field.varBit = nextBit++;
        if (flags & 0x02) field.nullBit = nextBit++;
      }
      if (field.type == '0') field.hidden = true;
      field.offset = offset;
      offset += field.length;
      if (field.length == 0 || offset > recordLength_) throw DataError(path + " 的字段定义已损坏（字段 " + field.name + "）");
      fields_.push_back(field);
    }
    if (fields_.empty()) throw DataError(path + " 没有字段");
    for (const Field& f : fields_) {
      if (f.name == "_NullFlags" || (f.type == '0' && f.hidden)) nullFlags_ = &f - fields_.data();
      if (!f.hidden) names_.push_back(text::CodePageDecoder(codePage_).Decode(f.name));
    }
    const std::uint64_t available = (fileSize - headerLength_) / recordLength_;
    if (available < count_)
      throw DataError(path + " 不完整：表头记载 " + std::to_string(count_) + " 条记录，文件中只有 " +
                      std::to_string(available) + " 条");
    decoder_ = std::make_unique<text::CodePageDecoder>(codePage_);
    const bool hasMemo = std::any_of(fields_.begin(), fields_.end(), [&](const Field& f) {
      return !f.hidden && (f.type == 'M' || (f.type == 'B' && !vfp) || f.type == 'G' || f.type == 'P' || f.type == 'W');
    });
    const bool textMemo = std::any_of(fields_.begin(), fields_.end(), [](const Field& f) { return !f.hidden && f.type == 'M'; });
    if (hasMemo) {
      const fs::path p(path);
      const std::string stem = p.stem().string();
      std::string memoPath = FindIgnoringCase(p.parent_path(), stem + ".fpt");
      if (memoPath.empty()) memoPath = FindIgnoringCase(p.parent_path(), stem + ".dbt");
      if (!memoPath.empty()) {
        memo_ = std::make_unique<MemoFile>(memoPath, version_);
      } else if (textMemo) {
        throw DataError(path + " 有备注字段，但找不到它的备注文件（" + stem + ".fpt 或 " + stem + ".dbt）");
      }
    }
    vfp_ = vfp;
    in_.seekg(headerLength_);
    record_.resize(recordLength_);
  }

  std::optional<std::int64_t> RecordCount() const override { return count_; }
  const std::vector<std::string>& FieldNames() const override { return names_; }

  bool Next(std::vector<std::string>& values) override {
    for (;;) {
      if (read_ >= count_) return false;
      if (!in_.read(record_.data(), static_cast<std::streamsize>(recordLength_)))
        throw DataError("读取 " + path_ + " 的第 " + std::to_string(read_ + 1) + " 条记录出错");
      ++read_;
      if (hideDeleted_ && record_[0] == '*') continue;
      values.resize(names_.size());
      std::size_t out = 0;
      for (const Field& f : fields_) {
        if (f.hidden) continue;
        std::string& value = values[out++];
        if (f.type == 'C' && !FlagBit(f.nullBit)) {
          // The common case, decoded into the value's own storage.
          decoder_->DecodeInto(value, TrimRight(std::string_view(record_.data() + f.offset, f.length)));
        } else {
          value = Value(f);
        }
      }
      return true;
    }
  }

 private:
  bool FlagBit(int bit) const {
    if (bit < 0 || nullFlags_ < 0) return false;
    const Field& nf = fields_[nullFlags_];
    const std::size_t byte = static_cast<std::size_t>(bit) / 8;
    if (byte >= nf.length) return false;
    return (static_cast<unsigned char>(record_[nf.offset + byte]) >> (bit % 8)) & 1;
  }

  static std::string_view TrimRight(std::string_view s) {
    // Fields are padded to their width, often far: eight blanks at a time first.
    constexpr std::uint64_t kBlanks = 0x2020202020202020ull;
    while (s.size() >= 8) {
      std::uint64_t word;
      std::memcpy(&word, s.data() + s.size() - 8, 8);
      if (word != kBlanks && word != 0) break;
      s.remove_suffix(8);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    return s;
  }
  static std::string_view Trim(std::string_view s) {
    s = TrimRight(s);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
    return s;
  }

  std::string Value(const Field& f) {
    if (FlagBit(f.nullBit)) return {};
    const auto* raw = reinterpret_cast<const unsigned char*>(record_.data() + f.offset);
    std::string_view bytes(record_.data() + f.offset, f.length);
    switch (f.type) {
      case 'C':
        return decoder_->Decode(TrimRight(bytes));
      case 'V': {
        std::size_t len = f.length;
        if (FlagBit(f.varBit)) len = std::min<std::size_t>(raw[f.length - 1], f.length);
        return decoder_->Decode(TrimRight(bytes.substr(0, len)));
      }
      case 'N':
      case 'F': {
        const std::string_view t = Trim(bytes);
        if (t.empty() || t.find_first_not_of("0123456789+-.eE") != std::string_view::npos) return {};
        char* end = nullptr;
        const std::string s(t);
        const double v = std::strtod(s.c_str(), &end);
        return end && *end == '\0' ? NumberText(v) : std::string();
      }
      case 'D': {
        const std::string_view t = Trim(bytes);
        if (t.size() != 8 || t.find_first_not_of("0123456789") != std::string_view::npos || t == "00000000") return {};
        const int y = std::stoi(std::string(t.substr(0, 4))), m = std::stoi(std::string(t.substr(4, 2))),
                  d = std::stoi(std::string(t.substr(6, 2)));
        if (m < 1 || m > 12 || d < 1 || d > 31) return {};
        return DateText(y, m, d);
      }
      case 'L': {
        const char c = bytes.empty() ? ' ' : bytes[0];
        if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return BoolText(true);
        if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return BoolText(false);
        return {};
      }
      case 'I':
      case '+': {
        if (f.length < 4) return {};
        std::uint32_t u = intBigEndian_ ? Be32(raw) ^ 0x80000000u : Le32(raw);
        return std::to_string(static_cast<std::int32_t>(u));
      }
      case 'Y': {
        if (f.length < 8) return {};
        std::int64_t v = 0;
        std::memcpy(&v, raw, 8);
        return NumberText(static_cast<double>(v) / 10000.0);
      }
      case 'B':
        if (vfp_ && f.length == 8) {
          double v;
          std::memcpy(&v, raw, 8);
          return NumberText(v);
        }
        return {};
      case 'O': {
        if (f.length < 8) return {};
        unsigned char b[8];
        for (int i = 0; i < 8; ++i) b[i] = raw[7 - i];
        // dBASE 7 doubles are big-endian with the sign bit flipped for sorting.
        if (raw[0] & 0x80) {
          b[7] &= 0x7F;
        } else {
          for (unsigned char& x : b) x = static_cast<unsigned char>(~x);
        }
        double v;
        std::memcpy(&v, b, 8);
        return NumberText(v);
      }
      case 'T':
      case '@': {
        if (f.length < 8) return {};
        const std::uint32_t jdn = Le32(raw), ms = Le32(raw + 4);
        if (jdn == 0) return {};
        // Rounded to the second; 23:59:59.6 carries into the next day.
        const std::uint64_t total = (static_cast<std::uint64_t>(ms) + 500) / 1000;
        const auto s = static_cast<std::uint32_t>(total % 86400);
        int y, m, d;
        CivilFromDays(static_cast<std::int64_t>(jdn) - 2440588 + static_cast<std::int64_t>(total / 86400), y, m, d);
        return DateText(y, m, d, static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
      }
      case 'M': {
        if (!memo_) return {};
        std::uint32_t block = 0;
        if (f.length == 4) {
          block = Le32(raw);
        } else {
          const std::string_view t = Trim(bytes);
          if (t.empty() || t.find_first_not_of("0123456789") != std::string_view::npos || t.size() > 10) return {};
          block = static_cast<std::uint32_t>(std::stoull(std::string(t)));
        }
        return decoder_->Decode(memo_->Read(block));
      }
      case 'G':
      case 'P':
      case 'W':
      case 'Q':
      case '0':
        return {};
      default:
        return decoder_->Decode(Trim(bytes));
    }
  }

  std::string path_;
  bool hideDeleted_;
  std::ifstream in_;
  unsigned char version_ = 0;
  std::uint32_t count_ = 0, read_ = 0;
  std::size_t headerLength_ = 0, recordLength_ = 0;
  int codePage_ = text::kSystemCodePage;
  bool intBigEndian_ = false, vfp_ = false;
  std::vector<Field> fields_;
  std::ptrdiff_t nullFlags_ = -1;
  std::vector<std::string> names_;
  std::unique_ptr<text::CodePageDecoder> decoder_;
  std::unique_ptr<MemoFile> memo_;
  std::vector<char> record_;
};

class DbfFolder : public Connection {
 public:
  DbfFolder(std::string folder, bool hideDeleted) : folder_(std::move(folder)), hideDeleted_(hideDeleted) {
    RequireFolder(folder_);
  }

  std::vector<CatalogRow> Tables() override { return FilesAsTables(folder_, {".dbf"}); }

  std::unique_ptr<RowSet> Query(const std::string& queryText) override {
    std::string name = TableOfQuery(queryText);
    std::string path = FindIgnoringCase(folder_, name);
    if (path.empty() && text::AsciiLower(fs::path(name).extension().string()) != ".dbf") path = FindIgnoringCase(folder_, name + ".dbf");
    if (path.empty()) throw DataError("找不到表 " + name + "（文件夹 " + folder_ + "）");
    return OpenDbfTable(path, hideDeleted_);
  }

 private:
  std::string folder_;
  bool hideDeleted_;
};

}  // namespace

int DbfCodePage(unsigned char ldid) {
  switch (ldid) {
    case 0x01: return 437;
    case 0x02: return 850;
    case 0x03: return 1252;
    case 0x04: return 10000;
    case 0x08: case 0x09: case 0x0A: case 0x0B: case 0x0D: case 0x0E: case 0x0F: case 0x10: case 0x11:
    case 0x12: case 0x13: case 0x14: case 0x15: case 0x16: case 0x17: case 0x18: case 0x19: case 0x1A:
    case 0x1B: case 0x1C: case 0x1D: case 0x1F: case 0x22: case 0x25: case 0x37:
      return 437;
    case 0x26: return 866;
    case 0x57: case 0x58: case 0x59: return 1252;
    case 0x64: return 852;
    case 0x65: return 866;
    case 0x66: return 865;
    case 0x67: return 861;
    case 0x6A: return 737;
    case 0x6B: return 857;
    case 0x78: return 950;
    case 0x79: return 949;
    case 0x7A: return 936;
    case 0x7B: return 932;
    case 0x7C: return 874;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0x4D: return 936;
    case 0x4E: return 949;
    case 0x4F: return 950;
    case 0x50: return 874;
    case 0x96: return 10007;
    case 0x97: return 10029;
    case 0x98: return 10006;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    case 0xCC: return 1257;
    default: return text::kSystemCodePage;
  }
}

std::unique_ptr<RowSet> OpenDbfTable(const std::string& path, bool hideDeleted) {
  return std::make_unique<DbfRowSet>(path, hideDeleted);
}

std::unique_ptr<Connection> OpenDbfFolder(const std::string& folder, bool hideDeleted) {
  return std::make_unique<DbfFolder>(folder, hideDeleted);
}

}  // namespace rowcaster::data
