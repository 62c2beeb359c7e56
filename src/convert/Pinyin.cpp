#include "convert/Pinyin.h"

#include <vector>

#include "platform/Paths.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {

PinyinSource PinyinSource::FromFile(const std::string& path) {
  PinyinSource s;
  try {
    s.engine = pinyin::PinyinEngine::Load(path);
  } catch (const std::exception& e) {
    s.loadError = e.what();
  }
  return s;
}

PinyinSource PinyinSource::Beside() { return FromFile(DataFile("pinyin.dat")); }

std::string PinyinOf(const PinyinSource& source, std::string_view text, bool names) {
  if (!source.engine) throw ComposeError(MakeFinding(Kind::PinyinUnavailable, {}, {source.loadError}));
  std::string out = source.engine->Pinyin(text, names);
  // A "|" would open a subfield of its own in the work form.
  std::erase(out, '|');
  out.resize(CutAtNul(out).size());
  return out;
}

std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

namespace {

}  // namespace

std::string AuthorLines(std::string_view d200f, const PinyinSource& pinyin) {
  // Append "," and fold ",," to "," in one left-to-right pass.
  thread_local std::string folded;  // room kept from row to row
  folded.clear();
  folded.reserve(d200f.size() + 1);
  for (std::size_t i = 0; i <= d200f.size();) {
    const char c = i < d200f.size() ? d200f[i] : ',';
    const char next = i + 1 < d200f.size() ? d200f[i + 1] : i + 1 == d200f.size() ? ',' : '\0';
    folded += c;
    i += c == ',' && next == ',' ? 2 : 1;
  }
  // Every piece but the last is a name.
  std::string lines;
  std::string_view role;  // " |4" follows, once a name has had a role term
  std::string_view rest = folded;
  for (std::size_t comma; (comma = rest.find(',')) != std::string_view::npos;) {
    std::string_view name = rest.substr(0, comma);
    rest.remove_prefix(comma + 1);
    for (std::string_view term : kRoleTerms) {
      if (name.size() >= term.size() && name.substr(name.size() - term.size()) == term) {
        role = term;
        name.remove_suffix(term.size());
        break;
      }
    }
    const std::string reading = PinyinOf(pinyin, name, true);
    if (role.empty()) continue;
    const std::string_view py = text::TrimBlanks(reading);
    lines += "701    |a ";
    lines += name;
    if (!py.empty()) lines.append(" |A ").append(py);
    lines.append(" |4").append(role);
    lines += "\r\n";
  }
  return lines;
}

}  // namespace rowcaster::convert
