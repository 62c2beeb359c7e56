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
  return std::string(CutAtNul(out));
}

std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

namespace {

}  // namespace

std::string AuthorLines(std::string_view d200f, const PinyinSource& pinyin) {
  // Append "," and fold ",," to "," in one left-to-right pass.
  std::string text(d200f);
  text += ',';
  std::string folded;
  folded.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text.compare(i, 2, ",,") == 0) {
      folded += ',';
      i += 2;
    } else {
      folded += text[i++];
    }
  }
  // Every piece but the last is a name.
  std::vector<std::string_view> names;
  std::string_view rest = folded;
  for (std::size_t comma; (comma = rest.find(',')) != std::string_view::npos;) {
    names.push_back(rest.substr(0, comma));
    rest.remove_prefix(comma + 1);
  }
  std::string lines, role;
  for (std::string_view name : names) {
    for (std::string_view term : kRoleTerms) {
      if (name.size() >= term.size() && name.substr(name.size() - term.size()) == term) {
        role = " |4" + std::string(term);
        name.remove_suffix(term.size());
        break;
      }
    }
    const std::string py(text::TrimBlanks(PinyinOf(pinyin, name, true)));
    if (role.empty()) continue;
    lines += "701    |a ";
    lines += name;
    if (!py.empty()) lines += " |A " + py;
    lines += role;
    lines += "\r\n";
  }
  return lines;
}

}  // namespace rowcaster::convert
